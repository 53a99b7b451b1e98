// menu.cpp: (being written) the main menu.
#include "game.h"
void menu() {}
void newGame(int) {}
