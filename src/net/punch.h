// punch.h: hole punching: both sides send to every address of the other at once, from the game's socket; the
// answers that carry the session's token tell which ways through the routers are open.
#ifndef KORVADO_PUNCH_H
#define KORVADO_PUNCH_H

#include <cstdint>
#include <vector>
#include "lobbywire.h"

const uint32_t PUNCH_MS = 2000;     // how long a side punches
const uint32_t PUNCH_EVERY_MS = 100;
const uint32_t PUNCH_GATHER_MS = 200;  // answers within this of the first are compared

uint64_t punchClockMs();  // a steady clock in ms
// Starts punching the other side's addresses for the session `token`; `joiner` is this side's role.
void punchBegin(uint64_t token, bool joiner, const std::vector<Candidate>& theirs);
void punchTick();  // sends the round of punches that is due, within the punching time
// A PUNCH for us (the session's token, from the other side, not our own come back) is answered, or its answer
// noted; false for any other.
bool punchTake(const Endpoint& from, const LobbyMsg& m);
// The best address that answered (LAN, then public, then mapped) once the answers have been gathered.
bool punchChosen(Candidate& best);
bool punchFailed();  // the punching time is over and nothing answered

#endif
