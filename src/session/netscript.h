// netscript.h: korvado_net's test seam: a player's inputs from a script file (KORVADO_NET_SCRIPT) instead
// of the keyboard, so that two programs can play each other unattended.
#ifndef KORVADO_NETSCRIPT_H
#define KORVADO_NETSCRIPT_H

#include <cstdint>
#include "game/game.h"

bool scriptActive();  // a script was named and read
// Reads the script; false (with a message) when it cannot be read or a line makes no sense.
bool scriptLoad(const char* path);
// The player's input bits for the next pass (IN_ bits). inSession: a lockstep session runs (the inputs act
// `delay` passes later); keyWaiting: a winner screen waits for its key.
uint8_t scriptBits(const GameState& s, bool inSession, bool keyWaiting);
// The input source before a session (the intro) while a script plays: its keys in the place of this
// machine's keyboard and pads.
bool scriptedLocalInputs(const GameState& s, bool timed, TicCmd& cmd);

#endif
