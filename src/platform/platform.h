// platform.h: what the desktop programs and the web pages do differently, behind one call (desktop.cpp, web.cpp).
#ifndef KORVADO_PLATFORM_H
#define KORVADO_PLATFORM_H

#include <string>

// The music file the game plays, as an asset path: the module, or its OGG rendering in a page (browsers do
// not decode modules).
const char* musicFile();

// A web page: no full screen, and Right Ctrl fires for nobody unless the player says so (Ctrl+W closes the tab).
bool onPage();

// The kept settings' text: a file of the player's configuration folder on the desktop, the site's storage in a
// page. `where` names it for messages. False when there is none yet.
bool readSettingsStore(std::string& text, std::string& where);
// Writes it whole, or not at all: a temporary file renamed over the old one. False (said on stderr) on failure.
bool writeSettingsStore(const std::string& text);

#endif
