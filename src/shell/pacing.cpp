// pacing.cpp: how long a pass lasts: the display's refresh where SDL waits for it, else a frame budget.
#include "demo/demo.h"
#include "shell/shell.h"

#include <cstdlib>
#include <cstring>

// Pacing. Neither SDL 1.2 waits for the display's refresh in SDL_Flip unless asked, so an unpaced loop
// draws a thousand frames a second and burns a core. sdl12-compat is asked to wait for the refresh; where
// nothing waits, each pass is given at least frameBudgetMs from its start: 125 frames a second at most,
// twice the usual 60 Hz display, so pacing never shows. KORVADO_NO_PACING=1 turns both off (for measuring).
// korvado_net's passes are 13 ms: 77 a second, few enough datagrams to stay light on the network; its
// sessions keep their own schedule, and it does not wait for the refresh, which would hold passes to 60 Hz.
#ifdef KORVADO_NET
Uint32 frameBudgetMs = 13;
#else
Uint32 frameBudgetMs = 8;
#endif
bool pacing = true;
static Uint32 passStart;  // when the current pass took its inputs

void setUpPacing() {
    const char* off = getenv("KORVADO_NO_PACING");
    pacing = !(off && *off && strcmp(off, "0") != 0) && demoMode != DEMO_TIME;
#ifndef KORVADO_NET
    if (pacing) setenv("SDL12COMPAT_SYNC_TO_VBLANK", "1", 0);  // the player's own setting wins
#endif
}

void paceFrame() {
    if (!pacing) return;
    Uint32 spent = tickSource() - passStart;
    if (spent < frameBudgetMs) SDL_Delay(frameBudgetMs - spent);
}

void startPass() { passStart = tickSource(); }
