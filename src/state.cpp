// state.cpp: the game's shared globals, with their zero start values; start-up gives the rest.
#include "game.h"

#include <cstdlib>
#include <random>

bool done;
bool menuBezi;
bool gameBezi;
bool gameOver;
bool canEsc;
bool canGEsc;
bool mCanMove;
bool doCount;
bool p2justdied;

int gameMode;
int wLimit;
int volbamenu;
int pozicemenu;
float delta;
float deltaNew;
float deltaOld;
float mPause;
float cPause;
int r;
Uint8* keys;
SDL_Event event;
int schannel;

SDL_Surface* screen;
Player* Hrac1;
Player* Hrac2;
Whiskey whiskey;
imgbase imgbas;
imgbase imgbas2;

SDL_Rect hud1, hud2, hud3, hud4;
SDL_Rect nRect;
SDL_Rect rmng, rmop, rmcr, rmex;

SDL_Surface *loading, *credits, *instruc;
SDL_Surface *mng, *mnga, *mop, *mopa, *mcr, *mcra, *mex, *mexa;
SDL_Surface *wh, *wha, *dop, *dopa, *su, *sua;
SDL_Surface *rpi, *bpi, *mbgr, *bgr, *teamLogo, *gameLogo, *rpwins, *bpwins;
SDL_Surface* wc[11];
SDL_Surface *n1, *n2, *n3, *n0;

FMUSIC_MODULE* music;
FSOUND_SAMPLE *sgfire, *sy1, *sy2, *sy3, *swhis, *winS;

std::mt19937 gameDraws;
uint32_t gameSeed;
uint64_t gameDrawCount;
int gameRand() {
    gameDrawCount++;
    return int(gameDraws() >> 1);
}

void gameSrand(unsigned seed) {
    gameSeed = seed;
    gameDraws.seed(seed);
    gameDrawCount = 0;
}
