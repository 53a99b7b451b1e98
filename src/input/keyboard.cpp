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

void inputTyping(bool on) { SDL_EnableUNICODE(on ? 1 : 0); }

// The game's key for a key symbol, as a bit; 0 for none.
static uint16_t gameKeyOf(int sym) {
    for (int i = 0; i < GAME_KEYS; i++)
        if (KEY_SYMS[i] == sym) return keyBit(i);
    return 0;
}

LocalInput readLocalInput(bool inRound) {
    LocalInput in;
    SDL_Event e;
    if (SDL_PollEvent(&e)) {  // the rest wait for the passes after: one a pass, as ever
        in.close = e.type == SDL_QUIT;
        in.keyDown = e.type == SDL_KEYDOWN;
        if (in.keyDown) in.key = e.key.keysym.sym, in.typed = e.key.keysym.unicode, in.pressed = gameKeyOf(in.key);
    }
    PadKeys pads = padsRead(inRound);
    in.held = uint16_t(keyboardHeld() | pads.held);
    in.fresh = uint16_t(pads.fresh);
    in.pressed |= in.fresh;
    return in;
}
