// keyboard.cpp: the keyboard and the window's events, read for a pass, with the pads' keys beside them.
#include "input/input.h"
#include "input/pad.h"

#include <SDL.h>

const int KEY_SYMS[GAME_KEYS] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RCTRL, SDLK_w, SDLK_s,
                                 SDLK_a,  SDLK_d,    SDLK_q,    SDLK_RETURN, SDLK_ESCAPE, SDLK_k};

uint16_t keyboardHeld() {
    const Uint8* k = SDL_GetKeyState(nullptr);
    uint16_t held = 0;
    for (int i = 0; i < GAME_KEYS; i++)
        if (k[KEY_SYMS[i]]) held |= keyBit(i);
    return held;
}

LocalInput readLocalInput(bool inRound) {
    LocalInput in;
    SDL_Event e;
    if (SDL_PollEvent(&e)) {  // the rest wait for the passes after: one a pass, as ever
        in.close = e.type == SDL_QUIT;
        in.keyDown = e.type == SDL_KEYDOWN;
    }
    PadKeys pads = padsRead(inRound);
    in.held = uint16_t(keyboardHeld() | pads.held);
    in.fresh = uint16_t(pads.fresh);
    return in;
}
