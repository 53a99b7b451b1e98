// ticker.cpp: one pass of the rules on the game state: the keys as the game sees them, then the screen it is on.
#include "game/ticker.h"

// Everyone at his place of start-up, the bottle on the street, the menu's main page.
GameState startState(uint32_t seed) {
    GameState s;
    s.screen = SCR_PLAY;
    s.shown.view = VIEW_MENU;
    s.whiskey.x = 360;
    s.whiskey.y = 300;
    s.Hrac1.x = 700.0f;
    s.Hrac1.y = 120.0f;
    s.Hrac1.smer = 'l';
    s.Hrac2.x = 20.0f;
    s.Hrac2.y = 430.0f;
    s.rng.reseed(seed);
    return s;
}

GameState introState(uint32_t seed) {
    GameState s = startState(seed);
    s.screen = SCR_STUDIO;
    s.shown.view = VIEW_STUDIO;
    return s;
}

bool passTimed(const GameState& s) { return s.screen == SCR_PLAY; }

// A key is down for the game from its press until it is let go, or until a screen takes it; a demo's keys
// are already as the game saw them.
static void seeKeys(GameState& s, const TicCmd& in) {
    uint16_t pressed = uint16_t(in.held & ~s.heldBefore) | in.fresh;
    s.keys = uint16_t((s.keys & in.held) | pressed);
    s.heldBefore = in.held;
}

// A pass of the frame loop: its frame time, the round and then the menu. The round's hand-over to the
// menu shows the menu in the same pass, on the same keys; the menu's to the round takes effect in the next.
// A winner screen that waits ends the pass, which goes on once it is over.
static void playPass(GameState& s, const TicCmd& in, TickEvents& ev) {
    s.delta = float(in.dt);
    if (in.close) s.done = true;
    if (s.gameBezi) {
        roundPass(s, ev);
        if (s.winnerCount) nextWinner(s, ev);
        if (s.screen == SCR_WINNER) return;
    }
    if (s.menuBezi) menuPass(s, ev);
    if (in.close) s.done = true;  // a round started by this pass's Return does not outlive the close request
}

TickEvents tick(GameState& s, const TicCmd& in) {
    TickEvents ev;
    if (in.reset) s = startState(in.seed);
    seeKeys(s, in);
    ev.seen = s.keys;
    if (s.screen == SCR_STUDIO || s.screen == SCR_TITLE) introPass(s, in, ev);
    else if (s.screen == SCR_WINNER) {
        if (winnerPass(s, in, ev) && s.menuBezi) menuPass(s, ev);
    } else playPass(s, in, ev);
    return ev;
}

bool onMainPage(const GameState& s) {
    return s.screen == SCR_PLAY && s.menuBezi && !s.gameBezi && s.pozicemenu == 0;
}

int lastWinner(const GameState& s) {
    int red = s.Hrac1.whiskeyCount, blue = s.Hrac2.whiskeyCount;
    bool redWon = s.gameMode == 0 ? red >= s.wLimit : blue <= 0;
    bool blueWon = s.gameMode == 0 ? blue >= s.wLimit : red <= 0;
    return (redWon ? 1 : 0) | (blueWon ? 2 : 0);
}
