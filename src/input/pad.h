// pad.h: gamepads: the adapter over SDL's joystick calls, and how a pad's buttons become the game's keys.
#ifndef KORVADO_PAD_H
#define KORVADO_PAD_H

#include <SDL.h>

const int MAX_PADS = 4;  // pads opened at start; the first drives red, the second blue, any works the menu

// One pad as SDL reports it in a pass.
struct PadState {
    Sint16 axes[6];      // left stick x and y; on the controller layout also right stick, left and right trigger
    Uint8 hat;           // the first hat's SDL_HAT_* bits (the controller layout has none)
    Uint32 buttons;      // bit i: button i is down
    int buttonCount;     // buttons the pad has
    bool controller;     // SDL2's standard controller layout (sdl12-compat): A B X Y Back Guide Start ...
};

// What a pad's buttons and stick mean, whatever the layout: bits of padControls.
enum PadControl { PAD_UP, PAD_DOWN, PAD_LEFT, PAD_RIGHT, PAD_FIRE, PAD_A, PAD_START, PAD_BACK, PAD_CONTROLS };
unsigned padControls(const PadState& p);

// The game's keys a control of pad `pad` presses (GameKey bits): in a round the pad's own cowboy's,
// elsewhere the menu's.
unsigned padKeysFor(int control, int pad, bool inRound);

// Which pad controls press which keys, from one pass to the next. A key goes down when a control that
// presses it goes down (a held button does not press a key it did not press when it went down); it goes
// up when no control holds it any more.
struct PadMerge {
    unsigned held[MAX_PADS];                   // each pad's controls held in the last pass
    unsigned engaged[MAX_PADS][PAD_CONTROLS];  // the keys each held control presses
};
struct PadKeys {
    unsigned held = 0;   // the game's keys the pads hold (GameKey bits)
    unsigned fresh = 0;  // of them, those a control pressed in this pass
};
// The pads' keys in this pass, from their controls.
PadKeys padMerge(PadMerge& m, const unsigned controls[], int pads, bool inRound);

// ---- the adapter: every joystick call of the game ----
void padsPrepare();                      // before SDL_Init: asks sdl12-compat for the controller layout
void padsOpen();                         // after SDL_Init: opens every pad plugged in (none later)
int padsOpened();                        // how many pads are open
PadKeys padsRead(bool inRound);          // reads the pads: the game's keys they hold and press
bool padsPressed();                      // reads the pads: a button the game uses went down
void padsClose();                        // before SDL_Quit

#endif
