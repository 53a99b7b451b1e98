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

LocalInput readLocalInput(bool inRound) {
    LocalInput in;
    SDL_Event e;
    if (SDL_PollEvent(&e)) {  // the rest wait for the passes after: one a pass, as ever
        in.close = e.type == SDL_QUIT;
        in.keyDown = e.type == SDL_KEYDOWN;
        if (in.keyDown) in.key = e.key.keysym.sym, in.alt = (e.key.keysym.mod & KMOD_ALT) != 0;
    }
    PadKeys pads = padsRead(inRound);
    uint16_t held = uint16_t(keyboardHeld() | pads.held);
    swallowed &= held;
    in.held = uint16_t(held & ~swallowed);
    in.fresh = uint16_t(pads.fresh & ~swallowed);
    return in;
}
