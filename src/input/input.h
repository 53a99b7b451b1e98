// input.h: this machine's inputs as the game's keys: one window event a pass, the keyboard and the pads.
#ifndef KORVADO_INPUT_H
#define KORVADO_INPUT_H

#include <cstdint>
#include "game/game.h"

extern const int KEY_SYMS[GAME_KEYS];  // the keyboard's key for each of the game's keys

struct LocalInput {
    uint16_t held = 0;     // the game's keys held on the keyboard or the pads (GameKey bits)
    uint16_t fresh = 0;    // those a pad pressed in this pass
    bool close = false;    // the event of the pass was the window's close button
    bool keyDown = false;  // ... or a key going down, any key
    int key = 0;           // that key (SDL's key symbol), 0 for none
    uint16_t typed = 0;    // the character it typed (while typing is on), 0 for none
    uint16_t pressed = 0;  // the game's keys that key or a pad pressed in this pass
};

// Takes at most one event from the window's queue, and reads the keyboard and the pads (whose buttons
// press a round's keys in a round, the menu's elsewhere).
LocalInput readLocalInput(bool inRound);
uint16_t keyboardHeld();  // the game's keys held on the keyboard alone
// Typed characters on or off (korvado_net's entry line): a key going down then also says what it typed.
void inputTyping(bool on);

#endif
