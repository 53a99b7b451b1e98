// web.cpp: the web pages' side: the program in a page, the browser's turn every pass, what emscripten's SDL 1.2 lacks.
#include "demo.h"
#include "game.h"
#include "input/pad.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdint>
#include <emscripten.h>

// ---- the browser's turn ----

// A turn without a wait: a message the page posts to itself, answered as soon as the browser has drawn and
// read its input. A 0 ms timer would wait 4 ms (browsers hold nested timers to that).
EM_ASYNC_JS(void, browserTurn, (), {
    await new Promise(resolve => {
        const c = Module.korvadoTurn || (Module.korvadoTurn = new MessageChannel());
        c.port1.onmessage = () => resolve();
        c.port2.postMessage(0);
    });
});

// What the tests and the measurements read on the page (Module.korvado): the passes played, when the first
// ended (the first frame shown) and when the menu was first shown.
EM_JS(void, notePass, (int menuShown), {
    const s = Module.korvado || (Module.korvado = {passes: 0});
    const now = performance.now();
    if (!s.passes) s.firstPassAt = now;
    s.passes++;
    if (menuShown && !s.menuAt) s.menuAt = now;
});

static bool inFrameLoop;  // past the intro: a pass with the menu running shows the menu

// The pads the browser shows the page (emscripten's SDL_NumJoysticks counts its empty slots too).
EM_JS(int, padsShown, (), {
    return Array.from(navigator.getGamepads ? navigator.getGamepads() : []).filter(pad => pad).length;
});

// The browser shows a pad to a page only once one of its buttons is pressed there: pads are opened again
// when it shows more than are open.
static void openNewPads() {
    if (padsShown() <= padsOpened()) return;
    padsClose();
    padsOpen();
}

void endPass(Uint32 waitMs) {
    notePass(inFrameLoop && menuBezi && !gameBezi);
    openNewPads();
    if (waitMs) SDL_Delay(waitMs);  // a timer: the browser has its turn meanwhile
    else browserTurn();
}

const char* musicFile() { return "../music/wildwest.ogg"; }

// ---- what emscripten's SDL 1.2 lacks or ignores ----

// Its surfaces are all in the one format of the page's canvas.
extern "C" SDL_Surface* SDL_DisplayFormat(SDL_Surface* s) { return SDL_DisplayFormatAlpha(s); }

// Its colour keys do nothing: the key colour's pixels are made transparent instead, once, at load.
extern "C" int SDL_SetColorKey(SDL_Surface* s, int flag, Uint32 key) {
    if (!s || !(flag & SDL_SRCCOLORKEY) || SDL_LockSurface(s) < 0) return s ? 0 : -1;
    Uint32* pixels = (Uint32*)s->pixels;
    for (int i = 0; i < s->w * s->h; i++)
        if ((pixels[i] & 0x00ffffff) == (key & 0x00ffffff)) pixels[i] = 0;
    SDL_UnlockSurface(s);
    return 0;
}

// Its blits neither clip the rectangle given nor write back the part drawn, which SDL 1.2's do (the game keeps
// it as a cowboy's or the bottle's box): this one does both, then draws that part unscaled.
extern "C" int SDL_UpperBlit(SDL_Surface* src, const SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
    SDL_Rect from = srcrect ? *srcrect : SDL_Rect{0, 0, src->w, src->h};
    SDL_Rect to = dstrect ? SDL_Rect{dstrect->x, dstrect->y, from.w, from.h} : SDL_Rect{0, 0, from.w, from.h};
    if (to.x < 0) from.x -= to.x, from.w += to.x, to.w += to.x, to.x = 0;
    if (to.y < 0) from.y -= to.y, from.h += to.y, to.h += to.y, to.y = 0;
    to.w = from.w = std::min(to.w, dst->w - to.x);
    to.h = from.h = std::min(to.h, dst->h - to.y);
    if (to.w <= 0 || to.h <= 0) to.w = to.h = 0;
    if (dstrect) *dstrect = to;
    return to.w ? SDL_UpperBlitScaled(src, &from, dst, &to) : 0;
}

// zlib's CRC-32 (the same polynomial and values), all the demo files need of zlib: emscripten's zlib is
// a port that would be downloaded.
extern "C" unsigned long crc32(unsigned long crc, const unsigned char* p, unsigned int n) {
    static uint32_t table[256];
    if (!table[1])
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
    if (!p) return 0;  // crc32(0, Z_NULL, 0): the starting value
    uint32_t c = ~uint32_t(crc);
    while (n--) c = table[(c ^ *p++) & 0xff] ^ (c >> 8);
    return ~c;
}

// ---- the program in a page ----

// Leaving the game (the menu's exit item, K in a round) cannot close a page: it starts again from its title.
static void backToTitle() {
    resetGameState();
    SDL_BlitSurface(gameLogo, nullptr, screen, nullptr);
    noteDrawn(screen, nullptr);
    SDL_Flip(screen);
    keys[SDLK_RETURN] = keys[SDLK_ESCAPE] = 0;  // the press that left is not the title's
    keyWait();
    keys[SDLK_RETURN] = keys[SDLK_ESCAPE] = 0;  // nor is the title's the menu's
}

// The page's arguments are empty, or the test hook's --timedemo FILE.
int main(int argc, char* argv[]) {
    int status = startUp(argc, argv);
    if (status >= 0) return status;
    status = demoRun();
    if (status >= 0) return status;
    playIntro();
    for (;;) {
        inFrameLoop = true;
        while (!done) framePass();
        inFrameLoop = false;
        backToTitle();
    }
}
