// platform.h: what the desktop programs and the web pages do differently, behind two calls (desktop.cpp, web.cpp).
#ifndef KORVADO_PLATFORM_H
#define KORVADO_PLATFORM_H

#include <SDL.h>

// The end of a pass: waits waitMs (0: none). In a web page every pass also hands the browser its turn, so
// the tab never freezes and the frame reaches the screen.
void endPass(Uint32 waitMs);
// The music file the game plays, as an asset path: the module, or its OGG rendering in a page (browsers do
// not decode modules).
const char* musicFile();

#endif
