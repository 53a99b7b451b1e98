// round.cpp: (being written) one frame of a round.
#include "game.h"
void game() {}
