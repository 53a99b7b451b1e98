// startup.cpp: (being written) start-up, frame loop, shutdown.
#include "game.h"
int SDL_main(int, char*[]) { return 0; }
int startUp(int, char*[]) { return 0; }
void frameTime() {}
void framePass() {}
void shutDown() {}
