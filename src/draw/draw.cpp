// draw.cpp: a frame of the game drawn from its state: the intro, the menu's pages, the round and the winners.
#include "draw/draw.h"

// Draws a whole picture with its top-left corner at (x, y). A picture that failed to load is not drawn.
static void showPic(SDL_Surface* pic, int x, int y) {
    if (!pic) return;
    SDL_Rect at = {Sint16(x), Sint16(y), 0, 0};
    SDL_BlitSurface(pic, NULL, screen, &at);
    noteDrawn(screen, &at);
}

// ---- the menu ----

// One item of a list page: highlighted when it is the chosen one; items in four slots down the page.
static void drawItem(const Shown& v, int item, SDL_Surface* plain, SDL_Surface* lit) {
    showPic(v.item == item ? lit : plain, 200, 150 + 100 * item);
}

static void drawMenu(const Shown& v) {
    if (v.page == 2) return drawBackground(credits);
    if (v.page == 3) return drawBackground(instruc);
    drawBackground(mbgr);
    if (v.page == 0) {
        drawItem(v, 0, mng, mnga);
        drawItem(v, 1, mop, mopa);
        drawItem(v, 2, mcr, mcra);
        drawItem(v, 3, mex, mexa);
    } else if (v.page == 1) {
        drawItem(v, 0, wh, wha);
        drawItem(v, 1, dop, dopa);
        drawItem(v, 2, su, sua);
    }
}

// ---- the round ----

static void drawCowboy(const Player& p, const imgbase& pics) {
    int slot = poseSlot(p);
    if (slot >= 0 && slot < 20) showPic(pics[slot], int(p.x), int(p.y));
}

static void drawBottle(const Whiskey& w) {
    if (w.frame >= 0 && w.frame < BOTTLE_FRAMES) showPic(whiskeyPics[w.frame], w.x, w.y);
}

// A count picture; a count outside the eleven pictures draws nothing rather than read past them.
static void drawCount(int n, int x, int y) {
    if (n >= 0 && n <= 10) showPic(wc[n], x, y);
}

// The digit for a countdown clock of `ms`: 3, 2 and 1 for a second each, DRAW! for half a second.
static SDL_Surface* countDigit(float ms) {
    if (ms < 1000) return n3;
    if (ms < 2000) return n2;
    if (ms < 3000) return n1;
    if (ms < 3500) return n0;
    return NULL;
}

// A winner screen's picture: red's for 1, blue's for 2; the rules write no other code, and a damaged state's
// draws nothing.
static SDL_Surface* winnerPic(uint8_t code) { return code == 1 ? rpwins : code == 2 ? bpwins : nullptr; }

// The street, the cowboys and the bottle in depth order, blue's count top left and red's top right with
// the portraits over them, the countdown, and the winner screens shown so far over it all.
static void drawRound(const GameState& s) {
    const Shown& v = s.shown;
    const Player& back = v.redFront ? s.Hrac2 : s.Hrac1;
    const Player& front = v.redFront ? s.Hrac1 : s.Hrac2;
    drawBackground(bgr);
    if (v.bottleAt == 0) drawBottle(s.whiskey);
    drawCowboy(back, v.redFront ? imgbas2 : imgbas);
    if (v.bottleAt == 1) drawBottle(s.whiskey);
    drawCowboy(front, v.redFront ? imgbas : imgbas2);
    if (v.bottleAt == 2) drawBottle(s.whiskey);
    drawCount(v.blueCount, 10, 10);
    drawCount(v.redCount, 710, 12);
    showPic(bpi, 5, 0);
    showPic(rpi, 695, 0);
    if (s.doCount) showPic(countDigit(s.cPause), 300, 200);
    int winners = s.screen == SCR_WINNER ? s.winnerAt + 1 : 0;
    for (int i = 0; i < winners; i++) showPic(winnerPic(s.winners[i]), 200, 250);
}

// A winner screen waits for a key: while nothing but the keys changes and nothing else was drawn, its frame
// is the one on the screen already, and is neither drawn nor shown again.
static bool stillOnScreen(const GameState& s) {
    static uint32_t lastLook, lastDrawing;
    if (s.screen != SCR_WINNER) return lastLook = 0, false;
    GameState look = s;
    look.keys = look.heldBefore = 0;
    uint32_t h = stateHash(look);
    bool same = h == lastLook && drawings() == lastDrawing;
    lastLook = h;
    lastDrawing = drawings() + (same ? 0 : 1);  // the frame about to be drawn counts as one more drawing
    return same;
}

bool drawFrame(const GameState& s) {
    if (stillOnScreen(s)) return false;
    switch (s.shown.view) {
    case VIEW_STUDIO: drawBackground(teamLogo); break;
    case VIEW_TITLE: drawBackground(gameLogo); break;
    case VIEW_MENU: drawMenu(s.shown); break;
    default: drawRound(s); break;
    }
    return true;
}
