// desktop.cpp: the desktop's side of the platform calls: a plain wait, and the music module itself.
#include "platform/platform.h"

void endPass(Uint32 waitMs) {
    if (waitMs) SDL_Delay(waitMs);
}

const char* musicFile() { return "../music/wildwest.it"; }
