// main.cpp: the program's entry; the whole life of the game is SDL_main.
#include "shell/shell.h"

int main(int argc, char* argv[]) { return SDL_main(argc, argv); }
