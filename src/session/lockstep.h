// lockstep.h: korvado_net's frame loop in lockstep: both machines play every pass with the same inputs.
#ifndef KORVADO_LOCKSTEP_H
#define KORVADO_LOCKSTEP_H

#include <cstdint>
#include <cstdio>
#include "game/game.h"
#include "net/packet.h"

enum SessionEnd { SESSION_RUNNING, SESSION_GONE, SESSION_LOST_SYNC };

// Starts a session at pass 0. The host plays red, the joiner blue; `delay` is the input delay in passes.
void lockstepBegin(bool hosting, uint32_t delay);
// The input source of a session: this machine's inputs out, both players' in, for the pass about to run;
// none once the session has ended.
bool lockstepInputs(const GameState& s, bool timed, TicCmd& cmd);
void lockstepFinish();             // closes the session's trace
// The game ended in the pass just played (on both machines alike): stays, at most a second, until the other
// holds every input of this side he needs to play that pass too.
void lockstepLinger();
// Test seam: this side's input datagrams leave `sends` sends late, and those held when the session ends are
// lost, as if the network had dropped the last ones.
void lockstepHoldInputs(uint32_t sends);
SessionEnd lockstepEnd();          // why the session stopped, or that it runs
void lockstepReceive(const Message& m);  // an INPUT or HASH message of the other player
uint32_t lockstepPass();           // the pass being taken
uint32_t lockstepDelay();
bool lockstepHosting();
// The test seam's trace (KORVADO_NET_TRACE names the file): every pass with its hash, the inputs as they
// change, the winners and how sessions end; null without it.
FILE* netTrace();
unsigned long long netMicroseconds();  // the trace's clock
// The local player's input bits from the game's keys he holds (arrow keys or W A S D, Right Ctrl or Q,
// Return, Escape).
uint8_t keyboardBits(uint16_t held);
// Both players' bits as the game's keys: red's from the host, blue's from the joiner; the menu follows the
// host; the joiner's Escape counts in a round and on a winner screen, his Return on a winner screen.
uint16_t combineKeys(uint8_t host, uint8_t joiner, bool keyWaiting, bool inRound);
// When the pass after one due at `last` is due at `now`: `budget` and `stretch` ms later; a late pass is made
// up by quicker ones while it is at most a budget late, later than that the schedule starts again from now.
uint32_t passDue(uint32_t last, uint32_t now, uint32_t budget, uint32_t stretch);
// The ms a side is to fall back, from how early the other's inputs came to it and its to him (the middle of
// the latest passes, in ms): half the difference when it plays ahead, from 2 ms up to 16; else 0.
int stretchFor(int8_t ownSlack, int8_t otherSlack);

#endif
