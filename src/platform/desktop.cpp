// desktop.cpp: the desktop's side of the platform calls: the music module itself.
#include "platform/platform.h"

const char* musicFile() { return "../music/wildwest.it"; }
