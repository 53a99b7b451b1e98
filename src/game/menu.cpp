// menu.cpp: the main menu with its four pages, and the start of a round.
#include "game/ticker.h"

// Keeps the highlight on the page's list: past the last item back to the first and the other way round.
// The credits and instructions pages have no list, so nothing wraps there.
static void wrapChoice(GameState& s) {
    int last = s.pozicemenu == 0 ? 3 : s.pozicemenu == 1 ? 2 : -1;
    if (last < 0) return;
    if (s.volbamenu > last) s.volbamenu = 0;
    if (s.volbamenu < 0) s.volbamenu = last;
}

// Escape: back to the main page, or from the main page back into a round left with Escape (after a pause
// of 100 ms).
static void menuEscape(GameState& s, TickEvents& ev) {
    if (s.pozicemenu != 0 || s.gameOver) {
        s.pozicemenu = 0;
        s.mCanMove = false;
        return;
    }
    ev.pause = true;
    s.menuBezi = false;
    s.gameBezi = true;
    s.canGEsc = false;  // the Escape still held must not leave the round at once
}

// Return on the main page: a list of game types, instructions, credits or the end.
static void mainPageReturn(GameState& s) {
    if (s.volbamenu == 3) {
        s.done = true;
    } else if (s.volbamenu == 2) {
        s.pozicemenu = 2;
    } else if (s.volbamenu == 1) {
        s.pozicemenu = 3;
    } else if (s.volbamenu == 0) {
        s.pozicemenu = 1;
        s.volbamenu = 0;
        take(s, K_RETURN);  // a game starts only on a fresh press
    }
}

// Up (-1) or Down (+1).
static void menuStep(GameState& s, int step) {
    s.mCanMove = false;
    s.volbamenu += step;
    wrapChoice(s);
}

// One pass of the menu: the page as it stands is what the pass shows; then it acts on at most one key and
// runs the key guard.
void menuPass(GameState& s, TickEvents& ev) {
    s.shown.view = VIEW_MENU;
    s.shown.page = int8_t(s.pozicemenu), s.shown.item = int8_t(s.volbamenu);
    if (held(s, K_ESCAPE) && s.canEsc && s.mCanMove) menuEscape(s, ev);
    if (held(s, K_UP) && s.mCanMove) menuStep(s, -1);
    if (held(s, K_DOWN) && s.mCanMove) menuStep(s, +1);
    if (held(s, K_RETURN) && s.mCanMove) {
        s.mCanMove = false;
        if (s.pozicemenu == 1) newGame(s, s.volbamenu);
        else if (s.pozicemenu == 0) mainPageReturn(s);
    }
    if (!s.mCanMove) s.mPause += s.delta;
    if (s.mPause > 200) {
        s.mPause = 0;
        s.mCanMove = true;
    }
    s.canEsc = true;
}

// Both cowboys at their corners, facing each other, alive and loaded, with the type's count.
static void resetCowboys(GameState& s, int mode) {
    for (Player* p : {&s.Hrac1, &s.Hrac2}) {
        p->dead = false;
        p->canShoot = true;
        p->frame = 0;  // a cowboy who fell in the last round must not start on a death frame
    }
    s.Hrac1.x = 700.0f;
    s.Hrac1.y = 120.0f;
    s.Hrac1.smer = 'l';
    s.Hrac2.smer = 'r';
    s.Hrac2.x = 20.0f;
    s.Hrac2.y = 430.0f;
    int start = mode == 0 ? 0 : mode == 1 ? 5 : mode == 2 ? 10 : -1;
    if (start >= 0) s.Hrac1.whiskeyCount = s.Hrac2.whiskeyCount = start;
}

// The bottle hidden, about to show up in the middle of the street (off it when there is none).
static void resetBottle(Whiskey& w, int mode) {
    w.frame = 0;
    w.hidden = true;
    w.timer = 3999.0f;  // shows up almost at once
    w.x = 360;
    w.y = 300;
    if (mode == 2) {  // no bottle in this game type: it waits where nobody can walk
        w.x = 900;
        w.y = 700;
    }
}

// Starts a round of game type `mode` (0 bottles, 1 five lives, 2 ten lives) with the countdown.
void newGame(GameState& s, int mode) {
    s.cPause = 0;
    s.gameMode = mode;
    s.doCount = true;
    s.wLimit = 5;
    resetCowboys(s, mode);
    resetBottle(s.whiskey, mode);
    s.gameOver = false;
    s.done = false;
    s.menuBezi = false;
    s.gameBezi = true;
}
