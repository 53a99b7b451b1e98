// sequences.cpp: the intro, the 3-2-1 countdown before a round and the winner screens.
#include "game/ticker.h"

// Return or Escape as the game sees them: what the intro and the winner screens wait for.
static bool returnOrEscape(const GameState& s) { return held(s, K_RETURN) || held(s, K_ESCAPE); }

static void takeReturnEscape(GameState& s) {
    take(s, K_RETURN);
    take(s, K_ESCAPE);
}

// The studio picture until Return or Escape, then the music and the title, which wants a fresh press
// (and that press must not reach the menu). The window's close button ends the game from either.
void introPass(GameState& s, const TicCmd& in, TickEvents& ev) {
    if (in.close) {
        s.done = true;
        if (s.screen == SCR_TITLE) takeReturnEscape(s);
        return;
    }
    if (!returnOrEscape(s)) return;
    if (s.screen == SCR_STUDIO) {
        ev.startMusic = true;
        s.screen = SCR_TITLE;
        s.shown.view = VIEW_TITLE;
    } else {
        s.screen = SCR_PLAY;  // the title stays on the screen until the menu's first pass
    }
    takeReturnEscape(s);
}

// One round pass of the countdown; it ends after 3.5 seconds. The digit shows for the clock it reached.
void count(GameState& s) {
    s.cPause += s.delta;
    if (s.cPause > 3500) {
        s.doCount = false;
        s.cPause = 0;
    }
}

// After a winner screen: the main page, with no round left to resume.
static void handOverToMenu(GameState& s) {
    take(s, K_RETURN);  // so that the menu does not start a game at once
    s.pozicemenu = 0;
    s.volbamenu = 0;
    s.gameOver = true;
    s.menuBezi = true;
}

// The winner screens the round's last pass found, from the next one on: each shows the winner's picture over
// the round's last frame with his laugh, and waits for a key. A screen whose pass had the window closed
// waits for nothing. Once all are over, the rest of the round's pass runs.
void nextWinner(GameState& s, TickEvents& ev) {
    s.screen = SCR_PLAY;
    while (s.winnerAt < s.winnerCount) {
        s.gameBezi = false;
        if (!s.done) {
            ev.play(SND_LAUGH, s.winners[s.winnerAt]);
            s.screen = SCR_WINNER;
            return;
        }
        handOverToMenu(s);
        s.winnerAt++;
    }
    keepCounts(s);
}

// A pass of a winner screen: Return, Escape or the window's close button end it (the last also ends the
// game); then the next one shows, or the pass goes on as the round's last pass would have.
bool winnerPass(GameState& s, const TicCmd& in, TickEvents& ev) {
    if (in.close) s.done = true;
    else if (!returnOrEscape(s)) return false;
    handOverToMenu(s);
    s.winnerAt++;
    nextWinner(s, ev);
    return s.screen == SCR_PLAY;
}
