// unit_mp_round.cpp: round frames of the two-player edition: shots, the last shot, walking, depth order, HUD, the end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "game.h"
#include "harness.h"

namespace {

Uint8* K;  // SDL's own key-state array: what the players hold
std::vector<SDL_Surface*> made;

const Uint32 RED = 0xe01010, BLUE = 0x1010e0, BOTTLE = 0xe0e020, RWIN = 0xc04000, BWIN = 0x0040c0;

SDL_Surface* solid(int w, int h, Uint32 rgb) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xff0000, 0xff00, 0xff, 0);
    SDL_FillRect(s, NULL, SDL_MapRGB(s->format, rgb >> 16, (rgb >> 8) & 0xff, rgb & 0xff));
    made.push_back(s);
    return s;
}

// Every picture of a cowboy becomes one block of colour, so the screen tells who is drawn where.
void paint(Player* p, Uint32 rgb) {
    SDL_Surface* s = solid(80, 130, rgb);
    for (int i = 0; i < 20; i++) p->img.img[i] = s;
}

void place(Player* p, float x, float y, char smer) {
    p->x = x;
    p->y = y;
    p->smer = smer;
}

// One round frame of `ms` milliseconds, as the frame loop runs it.
void frame(float ms) {
    delta = ms;
    keys = SDL_GetKeyState(NULL);
    game();
}

// One round frame that may end the round. A second thread plays the person at the keyboard: whenever a
// winner screen has had time to show, it notes the colour where the picture goes and presses Return.
std::vector<Uint32> frameWithWinners(float ms) {
    std::atomic<bool> finished(false);
    std::vector<Uint32> seen;
    std::thread person([&] {
        while (!finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (finished) break;
            seen.push_back(pixelRGB(screen, 250, 300));
            __atomic_store_n(&K[SDLK_RETURN], 1, __ATOMIC_SEQ_CST);
            while (!finished && __atomic_load_n(&K[SDLK_RETURN], __ATOMIC_SEQ_CST))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    frame(ms);
    finished = true;
    person.join();
    K[SDLK_RETURN] = 0;
    return seen;
}

// The loaded pictures that a test swaps for blocks of colour, put back before shutdown.
struct Loaded {
    SDL_Surface *rpwins, *bpwins, *rpi, *bpi, *wc[11], *bottle[5];
};

class Round : public ::testing::Test {
protected:
    Loaded loaded;
    // A round of `mode` past its countdown, nothing held.
    void start(int mode) {
        bootGame();
        loaded = Loaded{rpwins, bpwins, rpi, bpi, {}, {}};
        memcpy(loaded.wc, wc, sizeof wc);
        memcpy(loaded.bottle, whiskey.img, sizeof whiskey.img);
        K = SDL_GetKeyState(NULL);
        memset(K, 0, SDLK_LAST);
        newGame(mode);
        doCount = false;
        canGEsc = true;
        rpwins = solid(100, 100, RWIN);
        bpwins = solid(100, 100, BWIN);
    }
    // Red on the right facing left, blue on the left facing right, level at y 300.
    void duel(float redX, float blueX) {
        place(Hrac1, redX, 300, 'l');
        place(Hrac2, blueX, 300, 'r');
    }
    void TearDown() override {
        rpwins = loaded.rpwins, bpwins = loaded.bpwins, rpi = loaded.rpi, bpi = loaded.bpi;
        memcpy(wc, loaded.wc, sizeof wc);
        memcpy(whiskey.img, loaded.bottle, sizeof whiskey.img);
        endGame();
        for (SDL_Surface* s : made) SDL_FreeSurface(s);
        made.clear();
    }
};

TEST_F(Round, BothShotsOfOneFrameCountAndTheLastShotNeedsALoadedGun) {
    start(1);
    duel(500, 100);
    K[SDLK_RCTRL] = K[SDLK_q] = 1;
    frame(16);
    EXPECT_TRUE(Hrac1->dead && Hrac2->dead);
    EXPECT_EQ(Hrac1->whiskeyCount, 4);
    EXPECT_EQ(Hrac2->whiskeyCount, 4);
    EXPECT_FALSE(p2justdied);

    newGame(1);  // blue still reloading when red hits him: no return shot
    doCount = false;
    duel(500, 100);
    Hrac2->canShoot = false;
    frame(16);
    EXPECT_EQ(Hrac1->whiskeyCount, 5);
    EXPECT_EQ(Hrac2->whiskeyCount, 4);

    // A blue cowboy who died in an earlier frame has no last shot.
    K[SDLK_RCTRL] = 0;
    Hrac2->canShoot = true;
    frame(16);
    EXPECT_EQ(Hrac1->whiskeyCount, 5);
    EXPECT_TRUE(Hrac2->canShoot);
}

TEST_F(Round, RedCannotAnswerBluesShotAndTheHitCryComesFromTheGenerator) {
    start(0);
    duel(500, 100);
    Hrac1->whiskeyCount = 0;
    Hrac2->whiskeyCount = 3;
    K[SDLK_q] = 1;
    frame(16);
    EXPECT_TRUE(Hrac1->dead);
    EXPECT_EQ(Hrac1->whiskeyCount, 0);  // no bottle to lose
    K[SDLK_q] = 0;
    K[SDLK_RCTRL] = 1;  // dead: his gun and his legs do nothing
    K[SDLK_LEFT] = 1;
    frame(16);
    EXPECT_EQ(Hrac2->whiskeyCount, 3);
    EXPECT_FLOAT_EQ(Hrac1->x, 500);

    newGame(0);
    doCount = false;
    duel(500, 100);
    Hrac2->whiskeyCount = 3;
    K[SDLK_LEFT] = 0;
    gameSrand(7);
    int cry = gameRand() % 10;
    gameSrand(7);
    frame(16);
    EXPECT_EQ(Hrac2->whiskeyCount, 2);
    EXPECT_EQ(r, cry);
}

// One red shot at a blue cowboy standing at (bx, by), red at (rx, ry) facing `smer`: did it hit?
bool redHits(float rx, float ry, char smer, float bx, float by) {
    newGame(2);
    doCount = false;
    place(Hrac1, rx, ry, smer);
    place(Hrac2, bx, by, 'r');
    K[SDLK_RCTRL] = 1;
    frame(1);
    K[SDLK_RCTRL] = 0;
    EXPECT_FALSE(Hrac1->canShoot) << "the shot was fired";
    return Hrac2->dead;
}

TEST_F(Round, AShotNeedsMoreThanFiftyPixelsALevelTargetAndTheRightFacing) {
    start(2);
    EXPECT_FALSE(redHits(300, 300, 'l', 250, 300));  // exactly 50 ahead
    EXPECT_TRUE(redHits(300, 300, 'l', 249.5f, 300));
    EXPECT_FALSE(redHits(300, 300, 'r', 350, 300));
    EXPECT_TRUE(redHits(300, 300, 'r', 350.5f, 300));
    EXPECT_FALSE(redHits(300, 300, 'l', 100, 312));  // y differs by exactly 12
    EXPECT_FALSE(redHits(300, 300, 'l', 100, 288));
    EXPECT_TRUE(redHits(300, 300, 'l', 100, 311.9f));
    EXPECT_TRUE(redHits(300, 300, 'l', 100, 288.1f));
    EXPECT_FALSE(redHits(300, 300, 'r', 100, 300));  // facing away, far or close
    EXPECT_FALSE(redHits(300, 300, 'r', 290, 300));
    EXPECT_FALSE(redHits(100, 300, 'l', 700, 300));
    EXPECT_TRUE(redHits(700, 300, 'l', 0, 300));  // the whole street across

    // Sums that single precision would round onto the edge still count.
    EXPECT_TRUE(redHits(300, 400, 'l', 100, std::nextafter(412.0f, 0.0f)));
    EXPECT_TRUE(redHits(520, 300, 'l', std::nextafter(470.0f, 0.0f), 300));
}

TEST_F(Round, OneWalkingDirectionPerFrame) {
    struct Case { SDLKey a, b; float dx, dy; } red[] = {
        {SDLK_RIGHT, SDLK_LEFT, 20, 0}, {SDLK_DOWN, SDLK_UP, 0, 17}, {SDLK_RIGHT, SDLK_UP, 20, 0},
        {SDLK_LEFT, SDLK_DOWN, -20, 0}};
    SDLKey blueKey[SDLK_LAST] = {};  // blue's key for each of red's
    blueKey[SDLK_RIGHT] = SDLK_d;
    blueKey[SDLK_LEFT] = SDLK_a;
    blueKey[SDLK_DOWN] = SDLK_s;
    blueKey[SDLK_UP] = SDLK_w;
    start(2);
    for (const Case& c : red) {
        duel(400, 100);
        K[c.a] = K[c.b] = K[blueKey[c.a]] = K[blueKey[c.b]] = 1;
        frame(100);
        K[c.a] = K[c.b] = K[blueKey[c.a]] = K[blueKey[c.b]] = 0;
        EXPECT_NEAR(Hrac1->x, 400 + c.dx, 1e-3) << c.a << "+" << c.b;
        EXPECT_NEAR(Hrac1->y, 300 + c.dy, 1e-3) << c.a << "+" << c.b;
        EXPECT_NEAR(Hrac2->x, 100 + c.dx, 1e-3) << c.a << "+" << c.b;
        EXPECT_NEAR(Hrac2->y, 300 + c.dy, 1e-3) << c.a << "+" << c.b;
    }
}

TEST_F(Round, TheLowerFeetAreInFrontAndTheBottleSitsBetween) {
    start(2);
    paint(Hrac1, RED);
    paint(Hrac2, BLUE);
    duel(300, 340);
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 360, 350), RED);  // equal feet lines: red over blue
    duel(300, 340);
    Hrac2->y = 300.5f;
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 360, 350), BLUE);

    // Blue's feet at 400, red's at 450, the bottle's base at 425: behind red, in front of blue.
    for (int i = 0; i < 5; i++) whiskey.img[i] = solid(30, 55, BOTTLE);
    place(Hrac2, 100, 270, 'r');
    place(Hrac1, 125, 320, 'l');
    whiskey.x = 110, whiskey.y = 370, whiskey.hidden = false;
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 115, 380), BOTTLE);
    EXPECT_EQ(pixelRGB(screen, 130, 380), RED);
    EXPECT_EQ(pixelRGB(screen, 170, 300), BLUE);
    whiskey.y = 395;  // base on red's feet line: drawn behind him
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 130, 440), RED);
    EXPECT_EQ(pixelRGB(screen, 115, 440), BOTTLE);
    whiskey.y = 396;  // base below both: in front of both
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 130, 440), BOTTLE);
    whiskey.y = 345;  // base on blue's feet line: behind him too
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 115, 360), BLUE);
}

TEST_F(Round, AHiddenBottleCountsEachOfItsDrawingCalls) {
    start(0);
    duel(600, 100);
    whiskey.hidden = true;
    whiskey.timer = 0;
    whiskey.y = 300;  // base 355, above both feet lines: two calls
    frame(100);
    EXPECT_FLOAT_EQ(whiskey.timer, 200);
    whiskey.y = 400;  // base 455, below both: one call
    frame(100);
    EXPECT_FLOAT_EQ(whiskey.timer, 300);
}

TEST_F(Round, HudShowsBothCountsUnderThePortraitsAndASixthLifeForOneFrame) {
    start(1);
    for (int i = 0; i < 11; i++) wc[i] = solid(40, 40, 0x010101 * (i * 20 + 10));
    bpi = solid(20, 20, BLUE);
    rpi = solid(20, 20, RED);
    hud3.x = hud4.x = 300;
    place(Hrac1, 340, 230, 'l');  // feet on the bottle that shows at (360, 300)
    place(Hrac2, 340, 230, 'r');
    Hrac2->whiskeyCount = 3;
    frame(16);
    frame(16);  // both touch it now: red, asked first, takes it
    EXPECT_EQ(pixelRGB(screen, 730, 40), 0x010101u * 130);  // wc[6]
    EXPECT_EQ(pixelRGB(screen, 30, 40), 0x010101u * 70);    // wc[3]
    EXPECT_EQ(pixelRGB(screen, 12, 12), BLUE);
    EXPECT_EQ(pixelRGB(screen, 712, 15), RED);
    EXPECT_EQ(Hrac1->whiskeyCount, 5);
    EXPECT_EQ(Hrac2->whiskeyCount, 3);
    frame(16);
    EXPECT_EQ(pixelRGB(screen, 730, 40), 0x010101u * 110);  // wc[5]
}

TEST_F(Round, ACountOutsideTheCounterPicturesDrawsNothing) {
    start(2);
    for (int i = 0; i < 11; i++) wc[i] = solid(40, 40, 0x808080);
    bpi = rpi = solid(1, 1, 0);
    Hrac1->whiskeyCount = 11;
    Hrac2->whiskeyCount = 12;
    frame(16);
    EXPECT_EQ(pixelRGB(screen, 30, 30), pixelRGB(bgr, 30, 30));
    EXPECT_EQ(pixelRGB(screen, 730, 30), pixelRGB(bgr, 730, 30));
}

TEST_F(Round, BothLosingTheirLastLifeShowsBlueWinningThenRedThenTheMenu) {
    start(1);
    for (int mode : {1, 2}) {
        newGame(mode);
        doCount = false;
        duel(500, 100);
        Hrac1->whiskeyCount = Hrac2->whiskeyCount = 1;
        K[SDLK_RCTRL] = K[SDLK_q] = 1;
        std::vector<Uint32> seen = frameWithWinners(16);
        ASSERT_EQ(seen.size(), 2u) << "game type " << mode;
        EXPECT_EQ(seen[0], BWIN);
        EXPECT_EQ(seen[1], RWIN);
        EXPECT_TRUE(menuBezi && gameOver && !gameBezi);
        EXPECT_EQ(pozicemenu, 0);
    }
}

TEST_F(Round, TypeZeroIsWonWithTheFifthBottle) {
    start(0);
    place(Hrac1, 340, 230, 'l');
    Hrac1->whiskeyCount = 4;
    frame(16);  // the bottle shows under his feet
    std::vector<Uint32> seen = frameWithWinners(16);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], RWIN);
}

TEST_F(Round, EscapeLeavesDuringTheCountdownAndTheRoundResumesWhereItStood) {
    start(1);
    doCount = true;
    frame(500);
    duel(500, 100);
    Hrac2->whiskeyCount = 1;
    volbamenu = 2;
    pozicemenu = 1;
    K[SDLK_ESCAPE] = K[SDLK_RCTRL] = 1;  // no shot in the countdown
    Uint32 t0 = SDL_GetTicks();
    EXPECT_TRUE(frameWithWinners(500).empty());
    EXPECT_GE(SDL_GetTicks() - t0, 100u);
    EXPECT_TRUE(menuBezi && !gameBezi && !canEsc && doCount);
    EXPECT_EQ(volbamenu, 0);
    EXPECT_EQ(pozicemenu, 0);
    EXPECT_FLOAT_EQ(cPause, 1000);
    EXPECT_EQ(Hrac2->whiskeyCount, 1);

    delta = 50;
    for (int i = 0; i < 10 && !gameBezi; i++) menu();  // Escape still held: resume
    ASSERT_TRUE(gameBezi);
    K[SDLK_RCTRL] = 0;
    frame(500);  // the first resumed frame ignores the held Escape
    EXPECT_TRUE(gameBezi && canGEsc);
    EXPECT_FLOAT_EQ(cPause, 1500);
    EXPECT_FLOAT_EQ(Hrac1->x, 500);

    // After the countdown the frame in which Escape leaves still plays: red's shot takes blue's last
    // life, or red holds five bottles, but no round is decided while it is left.
    for (int mode : {0, 1, 2}) {
        newGame(mode);
        doCount = false;
        canGEsc = true;
        duel(500, 100);
        Hrac1->whiskeyCount = mode == 0 ? 5 : Hrac1->whiskeyCount;
        Hrac2->whiskeyCount = 1;
        K[SDLK_RCTRL] = 1;
        EXPECT_TRUE(frameWithWinners(16).empty()) << "game type " << mode;
        EXPECT_EQ(Hrac2->whiskeyCount, 0);
        EXPECT_FALSE(gameBezi || gameOver);
    }
}

TEST_F(Round, KEndsTheGameOnlyWhileBlueIsAliveAndTheCountdownIsOver) {
    start(2);
    K[SDLK_k] = 1;
    doCount = true;
    frame(16);
    EXPECT_FALSE(done);
    doCount = false;
    Hrac2->dead = true;
    frame(16);
    EXPECT_FALSE(done);
    Hrac2->dead = false;
    frame(16);
    EXPECT_TRUE(done);
}

}  // namespace
