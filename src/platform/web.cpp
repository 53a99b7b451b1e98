// web.cpp: the web pages' side: the game run a frame at a time by the browser, and what emscripten's SDL 1.2 lacks.
#include "demo/demo.h"
#include "input/pad.h"
#include "platform/platform.h"
#include "shell/shell.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <emscripten.h>
#include <SDL_mixer.h>
#ifdef KORVADO_NET
#include "net/lobby.h"
#include "net/lobbywire.h"
#include "net/pagelink.h"
#include "session/netplay.h"
#endif

const char* musicFile() { return "../music/wildwest.ogg"; }

bool onPage() { return true; }

// ---- the settings, in the site's storage (localStorage): the same text as the desktop's file ----

static const char STORE_KEY[] = "korvado.settings";

// The stored text's length in UTF-8 bytes, -1 when there is none; then the text into `into`, `size` bytes with its end.
EM_JS(int, storedLength, (const char* key), {
    let text = null;
    try { text = window.localStorage.getItem(UTF8ToString(key)); } catch (e) {}
    return text === null ? -1 : lengthBytesUTF8(text);
});

EM_JS(void, storedCopy, (const char* key, char* into, int size), {
    let text = "";
    try { text = window.localStorage.getItem(UTF8ToString(key)) || ""; } catch (e) {}
    stringToUTF8(text, into, size);
});

EM_JS(int, storeText, (const char* key, const char* text), {
    try { window.localStorage.setItem(UTF8ToString(key), UTF8ToString(text)); return 1; } catch (e) { return 0; }
});

bool readSettingsStore(std::string& text, std::string& where) {
    where = std::string("the site's storage (") + STORE_KEY + ")";
    int length = storedLength(STORE_KEY);
    if (length < 0) return false;
    std::string got(size_t(length) + 1, '\0');
    storedCopy(STORE_KEY, &got[0], length + 1);
    text = got.c_str();
    return true;
}

// The browser writes an item whole: no temporary copy is needed.
bool writeSettingsStore(const std::string& text) {
    if (storeText(STORE_KEY, text.c_str())) return true;
    fprintf(stderr, "korvado: the site's storage does not keep the settings\n");
    return false;
}

// ---- the browser's frames ----

// A page cannot sleep: its thread is the browser's. A wait (the rest of a pass's frame budget, Escape's pause, a
// demo's recorded pace) holds back the page's next frame instead; the frame time the next pass measures counts
// it, as on the desktop.
static double holdUntil;  // emscripten_get_now()'s ms

extern "C" void SDL_Delay(Uint32 ms) { holdUntil = emscripten_get_now() + ms; }

static bool held() { return emscripten_get_now() < holdUntil; }

// What the tests and the measurements read on the page (Module.korvado): the passes run and the ms they took,
// when the first ended (the first frame shown) and when the menu was first shown.
EM_JS(void, notePass, (int menuShown, double since), {
    const s = Module.korvado || (Module.korvado = {passes: 0, passMs: 0});
    const now = performance.now();
    if (!s.passes) s.firstPassAt = now;
    s.passes++;
    s.passMs += now - since;
    if (menuShown && !s.menuAt) s.menuAt = now;
});

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

// Leaving the game (the menu's exit item, K in a round) cannot close a page: it starts again on its title, the
// music playing on. The key that left acts on the title only once let go and pressed again.
static void backToTitle() {
    GameState& g = theGame();
    g = introState(uint32_t(time(nullptr)));
    g.screen = SCR_TITLE;
    g.shown.view = VIEW_TITLE;
    g.heldBefore = uint16_t(keyBit(GAME_KEYS) - 1);
}

// The page's frame of the interactive game, as the browser calls it (once per display refresh).
static void gamePageFrame() {
    if (held()) return;
    double start = emscripten_get_now();
    openNewPads();
    if (!gameFrame()) backToTitle();
    notePass(theGame().shown.view == VIEW_MENU, start);
}

// The test hook's demo: passes until one asks to wait (at a paced demo's recorded pace) or 12 ms of the browser's
// frame are spent (a timed demo as fast as it goes). A timed demo's sounds are cut after each pass: started a
// hundred times faster than they end, they would take every channel (emscripten's mixer says so on the console
// where SDL's drops the sound). Once over, it prints what --timedemo prints and the page stops.
static GameState demoGame;

static void demoPageFrame() {
    double until = emscripten_get_now() + 12;
    bool on = true;
    while (on && !held() && emscripten_get_now() < until) {
        double start = emscripten_get_now();
        on = runFrame(demoGame, playerInputs);
        if (demoMode == DEMO_TIME) stopSounds();
        notePass(0, start);
    }
    if (on) return;
    demoRunEnd(demoGame);
    emscripten_cancel_main_loop();
}

#ifdef KORVADO_NET
// ---- korvado_net's page: the intro, then its screens (netFrame); an invite link goes straight to the join ----

// What net.js read from the page's address: the lobby's WebSocket URL and an invite link's code.
EM_JS(void, pageWord, (const char* name, char* into, int size), {
    stringToUTF8(String(Module[UTF8ToString(name)] || ""), into, size);
});

static std::string pageText(const char* name) {
    char text[512];
    pageWord(name, text, sizeof text);
    return text;
}

// What the tests and the measurements read (Module.korvado.net): the screens began (and when), a session's pass
// and its way, when its first pass ran, and the time from the latest key (net.js) to the frame that drew it.
EM_JS(void, noteNet, (int playing, int present, const char* way, int keyChanges), {
    const k = Module.korvado, s = k.net || (k.net = {keyMs: []});
    const now = performance.now();
    s.begunAt = s.begunAt || now;
    s.begun = 1, s.playing = playing, s.present = present, s.way = UTF8ToString(way);
    if (playing && !s.firstPassAt) s.firstPassAt = now;
    if (s.keyChanges !== undefined && keyChanges !== s.keyChanges && k.keyAt) s.keyMs.push(now - k.keyAt), k.keyAt = 0;
    s.keyChanges = keyChanges;
});

static bool netBegun;
static uint32_t invited;  // the invite link's code; 0: none (no code is 0 once typed: see parseCode)
static bool hasInvite;

static void netPageFrame() {
    pageFrameRan();
    if (held()) return;
    double start = emscripten_get_now();
    openNewPads();
    if (!netBegun && theGame().screen != SCR_PLAY && !hasInvite) return void(gameFrame()), notePass(0, start);
    if (!netBegun) {
        netBegun = true;
        beginSessions();
        if (hasInvite) openInvite(invited);
    }
    if (!netFrame()) netRole = NET_NONE, beginSessions();  // a page cannot end: its front page again
    notePass(0, start);
    noteNet(netPlaying(), int(netplayPresent()), lobbyWay(), int(netplayKeyChanges()));
}

static void netPageBegin() {
    netLobby = pageText("lobbyUrl");
    hasInvite = parseCode("+" + pageText("invite"), invited);
    pageWhenIdle(netBackground);
    theGame() = introState(startSeed());
    emscripten_set_main_loop(netPageFrame, 0, 1);
}
#endif

// The page's arguments are empty, or the test hook's --timedemo FILE. The browser calls a frame function at each
// display refresh; main's own stack is unwound.
int main(int argc, char* argv[]) {
    int status = startUp(argc, argv);
    if (status >= 0) return status;
    if (demoRunBegin(demoGame)) {
        emscripten_set_main_loop(demoPageFrame, 0, 1);
        return 0;
    }
#ifdef KORVADO_NET
    netPageBegin();
    return 0;
#endif
    theGame() = introState(startSeed());
    emscripten_set_main_loop(gamePageFrame, 0, 1);
    return 0;
}

// ---- what emscripten's SDL 1.2 lacks or ignores ----

// Its surfaces are all in the one format of the page's canvas: the pictures the game cannot convert itself
// (they load as 32-bit surfaces) are copied as they are.
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

// Its Mix_AllocateChannels(-1) answers -1 where SDL_mixer's answers how many channels there are, and the sound
// adapter stops the channels below that count.
EM_JS(int, allocateChannels, (int n), {
    if (n >= 0) SDL.allocateChannels(n);
    return SDL.numChannels;
});

extern "C" int Mix_AllocateChannels(int n) { return allocateChannels(n); }

// Its Mix_GetChunk is missing and its Mix_FadeOutChannel throws: the sound a channel plays is found by its Web Audio
// resource, and a fade (a corrected pass's sound taken away) stops the sound at once.
EM_JS(int, channelChunk, (int channel), {
    const playing = SDL.channels[channel] && SDL.channels[channel].audio;
    if (!playing) return 0;
    for (const id in SDL.audios)
        if (SDL.audios[id] && SDL.audios[id] === playing.resource) return Number(id);
    return 0;
});

extern "C" Mix_Chunk* Mix_GetChunk(int channel) { return reinterpret_cast<Mix_Chunk*>(intptr_t(channelChunk(channel))); }

extern "C" int Mix_FadeOutChannel(int channel, int) { return Mix_HaltChannel(channel), 1; }

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
