// screens.h: korvado_net's screens as states of the frame loop, shared by the sessions' screens (session.cpp)
// and the front page's (frontpage.cpp): one screen runs a frame at a time and names the next.
#ifndef KORVADO_SCREENS_H
#define KORVADO_SCREENS_H

#include <cstdint>
#include <string>
#include <vector>
#include "draw/text.h"
#include "input/input.h"

extern const char NET_VERSION[];  // the game's version, as sessions compare it

typedef void (*NetScreen)();    // one frame of a screen
typedef void (*Opening)();   // what a screen does when it opens: sets itself up, then becomes the screen

extern Lettering ink, heading;   // the screens' lettering: lines and headings
extern SDL_Surface* frontPaper;  // the paper of the front page and of the screens it leads to
extern bool pageMode;        // started without host or join: the front page leads to everything
extern Opening backTo;       // page mode: the page a failure's Return and a join's Escape go back to

void become(NetScreen s, bool paced = true);  // the screen from the next frame on; unpaced: the frame waits itself
void endProgram(int status);
LocalInput frameInput();     // this frame's event and keys
bool leaves(const LocalInput& in);  // Escape, or a pad's B or Back, pressed now
// A page: a heading and a few lines on the paper.
void showPage(const std::string& title, const std::vector<std::string>& lines);
// A sentence to read: for `ms` in command-line mode, then `then` (or the program ends with `status` when there
// is none); in page mode a failure waits for Return and goes back to backTo.
void showMessage(const std::string& title, const std::vector<std::string>& lines, uint32_t ms, Opening then,
                 int status, bool failure);
void hangUp();               // the network, the router's port and the lobby given up

// ---- the front page (frontpage.cpp) ----
void openFront();            // the front page, the network given up
void openLook();             // the search for hosts on this network (both modes)
// ---- the sessions (session.cpp) ----
void openHosting();          // hosts on netPort (netLobby, portMapping)
void openJoining();          // joins netAddress ("+CODE", an address, or empty: the host on this network)
void joinFound(const std::vector<std::string>& addresses);  // the command line's search's end: the hosts found

#endif
