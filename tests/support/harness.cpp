// harness.cpp: the in-process test harness: headless SDL drivers, passes of the rules and the game's boot.
#include "harness.h"
#include "demo/demo.h"
#include "draw/draw.h"
#include "shell/shell.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include <unistd.h>

// The tests always run headless: the harness picks SDL's dummy drivers before anything starts. The player's
// settings are a fresh folder's (none: the defaults), never the home's.
static int headless = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    static const std::string folder = KORVADO_BUILD_DIR "/test-config/" + std::to_string(getpid());
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    atexit([] {
        for (const char* f : {"/korvado/settings", "/korvado", ""}) remove((folder + f).c_str());
    });
    return 0;
}();

uint16_t bits(std::initializer_list<int> held) {
    uint16_t b = 0;
    for (int k : held) b |= keyBit(k);
    return b;
}

TickEvents step(GameState& s, std::initializer_list<int> held, uint16_t dt) {
    TicCmd cmd;
    cmd.held = bits(held);
    cmd.dt = passTimed(s) ? dt : 0;
    return tick(s, cmd);
}

bool played(const TickEvents& ev, Sound sound, int cowboy) {
    for (int i = 0; i < ev.soundCount; i++)
        if (ev.sounds[i].sound == sound && (!cowboy || ev.sounds[i].cowboy == cowboy)) return true;
    return false;
}

void bootGame() {
    (void)headless;
    char prog[] = "korvado_test";
#ifdef KORVADO_NET
    char role[] = "host";  // the network edition's start-up wants to know its part
    char* argv[] = {prog, role, nullptr};
    int status = startUp(2, argv);
#else
    char* argv[] = {prog, nullptr};
    int status = startUp(1, argv);
#endif
    ASSERT_EQ(status, -1) << "start-up stopped early";
    ASSERT_NE(screen, nullptr);
}

void endGame() { shutDown(); }

Uint32 pixelRGB(SDL_Surface* s, int x, int y) {
    Uint8 rr, gg, bb;
    SDL_LockSurface(s);
    Uint8* p = (Uint8*)s->pixels + y * s->pitch + x * s->format->BytesPerPixel;
    Uint32 raw = 0;
    switch (s->format->BytesPerPixel) {
    case 1: raw = *p; break;
    case 2: raw = *(Uint16*)p; break;
    case 3: raw = p[0] | (p[1] << 8) | (p[2] << 16); break;
    default: raw = *(Uint32*)p; break;
    }
    SDL_UnlockSurface(s);
    SDL_GetRGB(raw, s->format, &rr, &gg, &bb);
    return (Uint32(rr) << 16) | (Uint32(gg) << 8) | bb;
}

bool sameArea(SDL_Surface* a, int x, int y, SDL_Surface* b, int bx, int by, int w, int h) {
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++)
            if (pixelRGB(a, x + i, y + j) != pixelRGB(b, bx + i, by + j)) return false;
    return true;
}

uint32_t playDemoFile(const std::string& path, int* winner, GameState* end) {
    Demo d;
    EXPECT_TRUE(loadDemo(path, d)) << path;
    GameState s;
    EXPECT_EQ(playDemo(d, false, s), 0) << path << " at pass " << playerPass();
    EXPECT_EQ(playerPass(), d.passes.size()) << path;
    *winner = lastWinner(s);
    if (end) *end = s;
    return demoFinalHash(s);
}

std::string buildPath(const std::string& rel) { return std::string(KORVADO_BUILD_DIR) + "/" + rel; }
