// menu.cpp: the main menu with its four pages, and the start of a round.
#include "demo.h"
#include "game.h"

// Draws a whole picture with its top-left corner at `at` (null: the corner of the screen).
static void showPic(SDL_Surface* pic, SDL_Rect* at) {
    if (!pic) return;
    SDL_BlitSurface(pic, NULL, screen, at);
    noteDrawn(screen, at);
}

// One item of a list page: highlighted when it is the chosen one.
static void drawItem(int item, SDL_Surface* plain, SDL_Surface* lit, SDL_Rect* at) {
    showPic(volbamenu == item ? lit : plain, at);
}

// The background and the current page over it.
static void drawPage() {
    drawBackground(mbgr);
    if (pozicemenu == 0) {
        drawItem(0, mng, mnga, &rmng);
        drawItem(1, mop, mopa, &rmop);
        drawItem(2, mcr, mcra, &rmcr);
        drawItem(3, mex, mexa, &rmex);
    } else if (pozicemenu == 1) {
        drawItem(0, wh, wha, &rmng);
        drawItem(1, dop, dopa, &rmop);
        drawItem(2, su, sua, &rmcr);
    } else if (pozicemenu == 2) {
        showPic(credits, NULL);
    } else if (pozicemenu == 3) {
        showPic(instruc, NULL);
    }
}

// Keeps the highlight on the page's list: past the last item back to the first and the other
// way round. The credits and instructions pages have no list, so nothing wraps there.
static void wrapChoice() {
    int last = pozicemenu == 0 ? 3 : pozicemenu == 1 ? 2 : -1;
    if (last < 0) return;
    if (volbamenu > last) volbamenu = 0;
    if (volbamenu < 0) volbamenu = last;
}

// Escape: back to the main page, or from the main page back into a round left with Escape.
static void menuEscape() {
    if (pozicemenu != 0 || gameOver) {
        pozicemenu = 0;
        mCanMove = false;
        return;
    }
    SDL_Delay(100);
    menuBezi = false;
    gameBezi = true;
    canGEsc = false;  // the Escape still held must not leave the round at once
}

// Return on the main page: a list of game types, instructions, credits or the end.
static void mainPageReturn() {
    if (volbamenu == 3) {
        done = true;
    } else if (volbamenu == 2) {
        pozicemenu = 2;
    } else if (volbamenu == 1) {
        pozicemenu = 3;
    } else if (volbamenu == 0) {
        pozicemenu = 1;
        volbamenu = 0;
        keys[SDLK_RETURN] = 0;  // a game starts only on a fresh press
    }
}

// Up (-1) or Down (+1).
static void menuStep(int step) {
    mCanMove = false;
    volbamenu += step;
    wrapChoice();
}

// One frame of the menu: a demo when the main page has been left alone, then draw the page, act on at most
// one key, run the key guard.
void menu() {
    attractWatch();
    drawPage();
    if (keys[SDLK_ESCAPE] && canEsc && mCanMove) menuEscape();
    if (keys[SDLK_UP] && mCanMove) menuStep(-1);
    if (keys[SDLK_DOWN] && mCanMove) menuStep(+1);
    if (keys[SDLK_RETURN] && mCanMove) {
        mCanMove = false;
        if (pozicemenu == 1) newGame(volbamenu);
        else if (pozicemenu == 0) mainPageReturn();
    }
    if (!mCanMove) mPause += delta;
    if (mPause > 200) {
        mPause = 0;
        mCanMove = true;
    }
    canEsc = true;
}

// Both cowboys at their corners, facing each other, alive and loaded, with the type's count.
static void resetCowboys(int mode) {
    Player* both[2] = {Hrac1, Hrac2};
    for (Player* p : both) {
        p->dead = false;
        p->canShoot = true;
        p->frame = 0;  // a cowboy who fell in the last round must not start on a death frame
    }
    Hrac1->x = 700.0f;
    Hrac1->y = 120.0f;
    Hrac1->smer = 'l';
    Hrac2->smer = 'r';
    Hrac2->x = 20.0f;
    Hrac2->y = 430.0f;
    int start = mode == 0 ? 0 : mode == 1 ? 5 : mode == 2 ? 10 : -1;
    if (start >= 0) Hrac1->whiskeyCount = Hrac2->whiskeyCount = start;
}

// The bottle hidden, about to show up in the middle of the street (off it when there is none).
static void resetBottle(int mode) {
    whiskey.frame = 0;
    whiskey.hidden = true;
    whiskey.timer = 3999.0f;  // shows up almost at once
    whiskey.x = 360;
    whiskey.y = 300;
    if (mode == 2) {  // no bottle in this game type: it waits where nobody can walk
        whiskey.x = 900;
        whiskey.y = 700;
    }
}

// Starts a round of game type `mode` (0 bottles, 1 five lives, 2 ten lives) with the countdown.
void newGame(int mode) {
    cPause = 0;
    gameMode = mode;
    doCount = true;
    wLimit = 5;
    resetCowboys(mode);
    resetBottle(mode);
    gameOver = false;
    done = false;
    menuBezi = false;
    gameBezi = true;
}
