// sdl_web.h: included first in every file of the web build: what emscripten's SDL 1.2 has but does not declare.
#ifndef KORVADO_SDL_WEB_H
#define KORVADO_SDL_WEB_H

#include <SDL.h>

extern "C" Uint8* SDL_GetKeyState(int* numkeys);

#endif
