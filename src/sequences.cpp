// sequences.cpp: (being written) intro, countdown, winner screen.
#include "game.h"
void playIntro() {}
void count() {}
void gameOverAn(int) {}
bool keyWait() { return true; }
