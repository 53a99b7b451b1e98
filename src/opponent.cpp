// opponent.cpp: (being written) the computer opponent.
#include "game.h"
float reflex;
float wReflex;
BlueInput opponentDecide() { return BlueInput{}; }
