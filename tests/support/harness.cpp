// harness.cpp: the in-process test harness: headless SDL drivers, sanitizer options and game boot.
#include "harness.h"
#include "demo.h"
#include "game.h"

#include <gtest/gtest.h>
#include <cstdlib>

// The tests always run headless: the harness picks SDL's dummy drivers before anything starts.
static int headless = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return 0;
}();

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
    ASSERT_NE(Hrac1, nullptr);
    ASSERT_NE(Hrac2, nullptr);
    keys = SDL_GetKeyState(nullptr);
}

void endGame() { shutDown(); }

Uint32 pixelRGB(SDL_Surface* s, int x, int y) {
    Uint8 rr, gg, bb;
    SDL_LockSurface(s);
    Uint8* row = (Uint8*)s->pixels + y * s->pitch;
    Uint32 raw = 0;
    int bpp = s->format->BytesPerPixel;
    Uint8* p = row + x * bpp;
    switch (bpp) {
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

uint32_t playDemoFile(const std::string& path, int* winner) {
    Demo d;
    EXPECT_TRUE(loadDemo(path, d)) << path;
    playDemo(d, false, false);
    EXPECT_FALSE(playerDesynced()) << path << " at pass " << playerPass();
    EXPECT_EQ(playerPass(), d.passes.size()) << path;
    int red = Hrac1->whiskeyCount, blue = Hrac2->whiskeyCount;
    bool redWon = gameMode == 0 ? red >= wLimit : blue <= 0;
    bool blueWon = gameMode == 0 ? blue >= wLimit : red <= 0;
    *winner = (redWon ? 1 : 0) | (blueWon ? 2 : 0);
    return stateHash();
}

std::string buildPath(const std::string& rel) { return std::string(KORVADO_BUILD_DIR) + "/" + rel; }
