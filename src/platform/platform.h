// platform.h: what the desktop programs and the web pages do differently, behind one call (desktop.cpp, web.cpp).
#ifndef KORVADO_PLATFORM_H
#define KORVADO_PLATFORM_H

// The music file the game plays, as an asset path: the module, or its OGG rendering in a page (browsers do
// not decode modules).
const char* musicFile();

#endif
