// keyboard.cpp: the keyboard and the window's events, read for a pass, with the pads' keys beside them.
#include "input/input.h"
#include "input/pad.h"
#include "shell/settings.h"

#include <SDL.h>

uint16_t keyboardHeld() {
    int count = 0x10000;  // emscripten's SDL leaves it as it is: its key array has this many
    const Uint8* k = SDL_GetKeyState(&count);
    return heldGameKeys(playerSettings(), k, count);
}

static uint16_t swallowed;  // keys held when swallowHeldKeys was called, not yet let go

void swallowHeldKeys(uint16_t keys) { swallowed |= uint16_t((keyboardHeld() | padsRead(false).held) & keys); }

void inputTyping(bool on) { SDL_EnableUNICODE(on ? 1 : 0); }

// The game's keys a key stands for, as the player has set them; 0 for none.
static uint16_t gameKeyOf(int sym) {
    static uint8_t one[0x10000];  // a keyboard with that key alone held
    if (sym <= 0 || sym >= 0x10000) return 0;
    one[sym] = 1;
    uint16_t keys = heldGameKeys(playerSettings(), one, 0x10000);
    one[sym] = 0;
    return keys;
}

LocalInput readLocalInput(bool inRound) {
    LocalInput in;
    SDL_Event e;
    if (SDL_PollEvent(&e)) {  // the rest wait for the passes after: one a pass, as ever
        in.close = e.type == SDL_QUIT;
        in.keyDown = e.type == SDL_KEYDOWN;
        if (in.keyDown) {
            in.key = e.key.keysym.sym, in.alt = (e.key.keysym.mod & KMOD_ALT) != 0;
            in.typed = e.key.keysym.unicode, in.pressed = gameKeyOf(in.key);
        }
    }
    PadKeys pads = padsRead(inRound);
    uint16_t held = uint16_t(keyboardHeld() | pads.held);
    swallowed &= held;
    in.held = uint16_t(held & ~swallowed);
    in.fresh = uint16_t(pads.fresh & ~swallowed);
    in.pressed |= in.fresh;
    return in;
}
