// netplay.h: korvado_net's sessions as they are played: each side's input at once, the rival's over the network
// with rollback, both clocks kept together, the sounds of corrected passes, desyncs found, the trace.
#ifndef KORVADO_NETPLAY_H
#define KORVADO_NETPLAY_H

#include <cstdint>
#include <cstdio>
#include "game/game.h"
#include "net/packet.h"

enum SessionEnd { SESSION_RUNNING, SESSION_GONE, SESSION_LOST_SYNC };

// Starts a session at pass 0 from the start values with `seed`, into `s`. The host plays red, the joiner blue;
// `delay` is the input delay in passes.
void netplayBegin(GameState& s, bool hosting, uint32_t delay, uint32_t seed);
// One frame of the session on `s`: the schedule, this side's input, the network, the passes. NOT_DUE while the
// pass's time has not come (nothing done; netplayWaitMs says how long), OVER once the session has ended or the
// game is over (on this side, or on both by the game's own end).
enum NetplayStep { NETPLAY_RAN, NETPLAY_NOT_DUE, NETPLAY_OVER };
NetplayStep netplayFrame(GameState& s);
uint32_t netplayWaitMs();   // ms until the next pass is due
void netplayKeepAlive();    // no frame runs (a page in the background): the link answered, the other told
void netplayFrameDone();    // the frame is drawn and shown: its CPU time goes to the trace
bool netplayClosed();       // the frame ended the session because this player closed the window
bool netplayWaiting();      // the present pass has waited for the network for over half a second
// The game ended in the last pass (on both machines alike): a frame at a time (true while it lasts) stays, at
// most a second, until the other holds every input of this side he needs to play that pass too.
void netplayLingerBegin();
bool netplayLingerStep();
// The session's end, a frame at a time (true while it lasts): after a lost sync, until both states are in both
// traces (a second at most); then the session's trace is closed.
void netplayFinishBegin();
bool netplayFinishStep();
// Test seam: this side's input datagrams leave `sends` sends late, and those held when the session ends are
// lost, as if the network had dropped the last ones.
void netplayHoldInputs(uint32_t sends);
SessionEnd netplayEnd();    // why the session stopped, or that it runs
uint32_t netplayPresent();  // the pass being played
uint32_t netplayKeyChanges();  // how often this side's sampled keys have changed (the page's measurement)
uint32_t netplayDelay();
bool netplayHosting();
// The input delay a session takes at a round trip of `rttMs`: none on a local network, one or two passes
// further away, so that few of the rival's inputs are guessed wrong while a key shows at once.
uint32_t delayFor(uint32_t rttMs);
// The test seam's trace (KORVADO_NET_TRACE names the file): the session's confirmed passes with their hashes,
// keys sampled and shown, corrections, winners, how sessions end; null without it.
FILE* netTrace();
unsigned long long netMicroseconds();  // the trace's clock
// The local player's input bits from the game's keys he holds (arrow keys or W A S D, Right Ctrl or Q,
// Return, Escape).
uint8_t keyboardBits(uint16_t held);
// When the pass after one due at `last` is due at `now`: `budget` and `stretch` ms later; a late pass is made
// up by quicker ones while it is at most a budget late (or `catchUp` ms, when given), later than that the
// schedule starts again from now.
uint32_t passDue(uint32_t last, uint32_t now, uint32_t budget, uint32_t stretch, uint32_t catchUp = 0);
// The ms a side is to stretch its next pass by, when it plays `aheadMs` ahead of the other: 1, or 2 when far
// ahead, never more; 0 within 2 ms.
uint32_t stretchFor(int aheadMs);

#endif
