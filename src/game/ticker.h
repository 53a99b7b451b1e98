// ticker.h: what the rules' own files share: the screens' passes and the keys as the game sees them.
#ifndef KORVADO_TICKER_H
#define KORVADO_TICKER_H

#include "game/game.h"

inline bool held(const GameState& s, int k) { return s.keys & keyBit(k); }
// A screen that has acted on a key takes it: it stays up for the game until it is let go and pressed again.
inline void take(GameState& s, int k) { s.keys &= uint16_t(~keyBit(k)); }

struct BlueInput {  // the blue cowboy's five inputs for one round pass
    bool fire, right, left, down, up;
};
BlueInput opponentDecide(GameState& s);  // the computer's decisions for this pass (korvado_sp)

void roundPass(GameState& s, TickEvents& ev);  // one pass of a round
void keepCounts(GameState& s);                 // type 1's counts kept to five
void menuPass(GameState& s, TickEvents& ev);   // one pass of the menu
void newGame(GameState& s, int mode);          // a round of game type 0, 1 or 2 starts, with the countdown
void count(GameState& s);                      // one step of the 3-2-1 countdown
void introPass(GameState& s, const TicCmd& in, TickEvents& ev);   // the studio picture and the title
void nextWinner(GameState& s, TickEvents& ev);                    // the next winner screen of the pass, if any
bool winnerPass(GameState& s, const TicCmd& in, TickEvents& ev);  // a winner screen's wait; true when over

#endif
