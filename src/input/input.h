// input.h: this machine's inputs as the game's keys: one window event a pass, the keyboard and the pads.
#ifndef KORVADO_INPUT_H
#define KORVADO_INPUT_H

#include <cstdint>
#include "game/game.h"

struct LocalInput {
    uint16_t held = 0;     // the game's keys held on the keyboard or the pads (GameKey bits)
    uint16_t fresh = 0;    // those a pad pressed in this pass
    bool close = false;    // the event of the pass was the window's close button
    bool keyDown = false;  // ... or a key going down, any key
    int key = 0;           // ... that key (SDL's number), 0 for none
    bool alt = false;      // ... with Alt held
    uint16_t typed = 0;    // the character it typed (while typing is on), 0 for none
    uint16_t pressed = 0;  // the game's keys that key or a pad pressed in this pass
};

// Takes at most one event from the window's queue, and reads the keyboard and the pads (whose buttons
// press a round's keys in a round, the menu's elsewhere). The keyboard's keys are the player's own
// (playerSettings), mapped to the game's keys here, so every record holds the game's keys alone.
LocalInput readLocalInput(bool inRound);
uint16_t keyboardHeld();  // the game's keys held on the keyboard alone
// Those of `keys` (GameKey bits) held now on the keyboard or the pads count as let go until they are: the keys
// that worked something outside the game (the settings page, the full screen's Alt+Return) do nothing in it.
void swallowHeldKeys(uint16_t keys);
// Typed characters on or off (korvado_net's entry line): a key going down then also says what it typed.
void inputTyping(bool on);

#endif
