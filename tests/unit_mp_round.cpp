// unit_mp_round.cpp: round passes of the two-player edition: shots, the last shot, walking, depth order, HUD, the end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "draw/draw.h"
#include "game/ticker.h"
#include "harness.h"

namespace {

const Uint32 RED = 0xe01010, BLUE = 0x1010e0, BOTTLE = 0xe0e020, RWIN = 0xc04000, BWIN = 0x0040c0;

// The loaded pictures that a test swaps for blocks of colour, put back before shutdown.
struct Loaded {
    imgbase red, blue;
    SDL_Surface *rpwins, *bpwins, *rpi, *bpi, *wc[11], *bottle[BOTTLE_FRAMES];
};

class Round : public ::testing::Test {
protected:
    GameState s = startState(1);
    uint16_t down = 0;  // what the players hold
    TickEvents ev;
    Loaded loaded;
    std::vector<SDL_Surface*> made;

    SDL_Surface* solid(int w, int h, Uint32 rgb) {
        SDL_Surface* p = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xff0000, 0xff00, 0xff, 0);
        SDL_FillRect(p, NULL, SDL_MapRGB(p->format, rgb >> 16, (rgb >> 8) & 0xff, rgb & 0xff));
        made.push_back(p);
        return p;
    }
    // A round of `mode` past its countdown, nothing held; the winners' pictures are blocks of colour.
    void SetUp() override {
        bootGame();
        loaded = Loaded{imgbas, imgbas2, rpwins, bpwins, rpi, bpi, {}, {}};
        memcpy(loaded.wc, wc, sizeof wc);
        memcpy(loaded.bottle, whiskeyPics, sizeof whiskeyPics);
        rpwins = solid(100, 100, RWIN);
        bpwins = solid(100, 100, BWIN);
    }
    void TearDown() override {
        imgbas = loaded.red, imgbas2 = loaded.blue;
        rpwins = loaded.rpwins, bpwins = loaded.bpwins, rpi = loaded.rpi, bpi = loaded.bpi;
        memcpy(wc, loaded.wc, sizeof wc);
        memcpy(whiskeyPics, loaded.bottle, sizeof whiskeyPics);
        endGame();
        for (SDL_Surface* p : made) SDL_FreeSurface(p);
    }
    void start(int mode) {
        newGame(s, mode);
        s.doCount = false;
        s.canGEsc = true;
    }
    void hold(std::initializer_list<int> keys, bool on = true) {
        down = on ? uint16_t(down | bits(keys)) : uint16_t(down & ~bits(keys));
    }
    // One round pass of `ms` milliseconds, drawn.
    void frame(uint16_t ms) {
        TicCmd c;
        c.held = down, c.dt = ms;
        ev = tick(s, c);
        drawFrame(s);
    }
    // One pass that may end the round, then its winner screens, each answered with a fresh press of Return:
    // the colour seen where each winner's picture goes.
    std::vector<Uint32> frameWithWinners(uint16_t ms) {
        frame(ms);
        std::vector<Uint32> seen;
        for (int i = 0; i < 4 && s.screen == SCR_WINNER; i++) {
            seen.push_back(pixelRGB(screen, 250, 300));
            hold({K_RETURN}, false);
            frame(0);
            hold({K_RETURN});
            frame(0);
            hold({K_RETURN}, false);
        }
        return seen;
    }
    void place(Player& p, float x, float y, char smer) { p.x = x, p.y = y, p.smer = smer; }
    // Red on the right facing left, blue on the left facing right, level at y 300.
    void duel(float redX, float blueX) {
        place(s.Hrac1, redX, 300, 'l');
        place(s.Hrac2, blueX, 300, 'r');
    }
    // One red shot at a blue cowboy standing at (bx, by), red at (rx, ry) facing `smer`: did it hit?
    bool redHits(float rx, float ry, char smer, float bx, float by) {
        start(2);
        place(s.Hrac1, rx, ry, smer);
        place(s.Hrac2, bx, by, 'r');
        hold({K_RCTRL});
        frame(1);
        hold({K_RCTRL}, false);
        EXPECT_FALSE(s.Hrac1.canShoot) << "the shot was fired";
        return s.Hrac2.dead;
    }
};

}  // namespace

TEST_F(Round, BothShotsOfOneFrameCountAndTheLastShotNeedsALoadedGun) {
    start(1);
    duel(500, 100);
    hold({K_RCTRL, K_Q});
    frame(16);
    EXPECT_TRUE(s.Hrac1.dead && s.Hrac2.dead);
    EXPECT_EQ(s.Hrac1.whiskeyCount, 4);
    EXPECT_EQ(s.Hrac2.whiskeyCount, 4);
    EXPECT_TRUE(played(ev, SND_FIRE, 1) && played(ev, SND_FIRE, 2));
    EXPECT_FALSE(s.p2justdied);

    start(1);  // blue still reloading when red hits him: no return shot
    duel(500, 100);
    s.Hrac2.canShoot = false;
    frame(16);
    EXPECT_EQ(s.Hrac1.whiskeyCount, 5);
    EXPECT_EQ(s.Hrac2.whiskeyCount, 4);

    // A blue cowboy who died in an earlier frame has no last shot.
    hold({K_RCTRL}, false);
    s.Hrac2.canShoot = true;
    frame(16);
    EXPECT_EQ(s.Hrac1.whiskeyCount, 5);
    EXPECT_TRUE(s.Hrac2.canShoot);
}

TEST_F(Round, RedCannotAnswerBluesShotAndTheHitCryComesFromTheGenerator) {
    start(0);
    duel(500, 100);
    s.Hrac1.whiskeyCount = 0;
    s.Hrac2.whiskeyCount = 3;
    hold({K_Q});
    frame(16);
    EXPECT_TRUE(s.Hrac1.dead);
    EXPECT_EQ(s.Hrac1.whiskeyCount, 0);  // no bottle to lose
    hold({K_Q}, false);
    hold({K_RCTRL, K_LEFT});  // dead: his gun and his legs do nothing
    frame(16);
    EXPECT_EQ(s.Hrac2.whiskeyCount, 3);
    EXPECT_FLOAT_EQ(s.Hrac1.x, 500);

    start(0);
    duel(500, 100);
    s.Hrac2.whiskeyCount = 3;
    hold({K_LEFT}, false);
    GameRng next = s.rng;
    int cry = next.next() % 10;
    frame(16);
    EXPECT_EQ(s.Hrac2.whiskeyCount, 2);
    EXPECT_EQ(s.r, cry);
    EXPECT_EQ(played(ev, SND_OUCH, 2), cry <= 1);
    EXPECT_EQ(played(ev, SND_YEEHAAA, 2), cry == 2 || cry == 3);
    EXPECT_EQ(played(ev, SND_YAAHOOO, 2), cry >= 7);
}

TEST_F(Round, AShotNeedsMoreThanFiftyPixelsALevelTargetAndTheRightFacing) {
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
    struct Case { int a, b, blueA, blueB; float dx, dy; } cases[] = {
        {K_RIGHT, K_LEFT, K_D, K_A, 20, 0}, {K_DOWN, K_UP, K_S, K_W, 0, 17}, {K_RIGHT, K_UP, K_D, K_W, 20, 0},
        {K_LEFT, K_DOWN, K_A, K_S, -20, 0}};
    start(2);
    for (const Case& c : cases) {
        duel(400, 100);
        hold({c.a, c.b, c.blueA, c.blueB});
        frame(100);
        hold({c.a, c.b, c.blueA, c.blueB}, false);
        EXPECT_NEAR(s.Hrac1.x, 400 + c.dx, 1e-3) << c.a << "+" << c.b;
        EXPECT_NEAR(s.Hrac1.y, 300 + c.dy, 1e-3) << c.a << "+" << c.b;
        EXPECT_NEAR(s.Hrac2.x, 100 + c.dx, 1e-3) << c.a << "+" << c.b;
        EXPECT_NEAR(s.Hrac2.y, 300 + c.dy, 1e-3) << c.a << "+" << c.b;
    }
}

TEST_F(Round, TheLowerFeetAreInFrontAndTheBottleSitsBetween) {
    start(2);
    SDL_Surface *red = solid(80, 130, RED), *blue = solid(80, 130, BLUE);
    for (int i = 0; i < 20; i++) imgbas[i] = red, imgbas2[i] = blue;
    duel(300, 340);
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 360, 350), RED);  // equal feet lines: red over blue
    duel(300, 340);
    s.Hrac2.y = 300.5f;
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 360, 350), BLUE);

    // Blue's feet at 400, red's at 450, the bottle's base at 425: behind red, in front of blue.
    for (SDL_Surface*& p : whiskeyPics) p = solid(30, 55, BOTTLE);
    place(s.Hrac2, 100, 270, 'r');
    place(s.Hrac1, 125, 320, 'l');
    s.whiskey.x = 110, s.whiskey.y = 370, s.whiskey.hidden = false;
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 115, 380), BOTTLE);
    EXPECT_EQ(pixelRGB(screen, 130, 380), RED);
    EXPECT_EQ(pixelRGB(screen, 170, 300), BLUE);
    s.whiskey.y = 395;  // base on red's feet line: drawn behind him
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 130, 440), RED);
    EXPECT_EQ(pixelRGB(screen, 115, 440), BOTTLE);
    s.whiskey.y = 396;  // base below both: in front of both
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 130, 440), BOTTLE);
    s.whiskey.y = 345;  // base on blue's feet line: behind him too
    frame(1);
    EXPECT_EQ(pixelRGB(screen, 115, 360), BLUE);
}

TEST_F(Round, AHiddenBottleCountsEachOfItsChancesToBeDrawn) {
    start(0);
    duel(600, 100);
    s.whiskey.hidden = true;
    s.whiskey.timer = 0;
    s.whiskey.y = 300;  // base 355, above both feet lines: two chances
    frame(100);
    EXPECT_FLOAT_EQ(s.whiskey.timer, 200);
    s.whiskey.y = 400;  // base 455, below both: one chance
    frame(100);
    EXPECT_FLOAT_EQ(s.whiskey.timer, 300);
}

TEST_F(Round, HudShowsBothCountsUnderThePortraitsAndASixthLifeForOneFrame) {
    start(1);
    for (int i = 0; i < 11; i++) wc[i] = solid(40, 40, 0x010101 * (i * 20 + 10));
    bpi = solid(20, 20, BLUE);
    rpi = solid(20, 20, RED);
    place(s.Hrac1, 340, 230, 'l');  // feet on the bottle that shows at (360, 300)
    place(s.Hrac2, 340, 230, 'r');
    s.Hrac2.whiskeyCount = 3;
    frame(16);
    frame(16);  // both touch it now: red, asked first, takes it
    EXPECT_TRUE(played(ev, SND_YIPEE, 1) && !played(ev, SND_YIPEE, 2));
    EXPECT_EQ(pixelRGB(screen, 730, 40), 0x010101u * 130);  // wc[6]
    EXPECT_EQ(pixelRGB(screen, 30, 40), 0x010101u * 70);    // wc[3]
    EXPECT_EQ(pixelRGB(screen, 12, 12), BLUE);
    EXPECT_EQ(pixelRGB(screen, 712, 15), RED);
    EXPECT_EQ(s.Hrac1.whiskeyCount, 5);
    EXPECT_EQ(s.Hrac2.whiskeyCount, 3);
    frame(16);
    EXPECT_EQ(pixelRGB(screen, 730, 40), 0x010101u * 110);  // wc[5]
}

TEST_F(Round, ACountOutsideTheCounterPicturesDrawsNothing) {
    start(2);
    for (int i = 0; i < 11; i++) wc[i] = solid(40, 40, 0x808080);
    bpi = rpi = solid(1, 1, 0);
    s.Hrac1.whiskeyCount = 11;
    s.Hrac2.whiskeyCount = 12;
    frame(16);
    EXPECT_EQ(pixelRGB(screen, 30, 30), pixelRGB(bgr, 30, 30));
    EXPECT_EQ(pixelRGB(screen, 730, 30), pixelRGB(bgr, 730, 30));
}

TEST_F(Round, BothLosingTheirLastLifeShowsBlueWinningThenRedThenTheMenu) {
    for (int mode : {1, 2}) {
        start(mode);
        duel(500, 100);
        s.Hrac1.whiskeyCount = s.Hrac2.whiskeyCount = 1;
        hold({K_RCTRL, K_Q});
        std::vector<Uint32> seen = frameWithWinners(16);
        ASSERT_EQ(seen, std::vector<Uint32>({BWIN, RWIN})) << "game type " << mode;
        EXPECT_TRUE(s.menuBezi && s.gameOver && !s.gameBezi);
        EXPECT_EQ(s.pozicemenu, 0);
        hold({K_RCTRL, K_Q}, false);
    }
}

TEST_F(Round, TypeZeroIsWonWithTheFifthBottle) {
    start(0);
    place(s.Hrac1, 340, 230, 'l');
    s.Hrac1.whiskeyCount = 4;
    frame(16);  // the bottle shows under his feet
    EXPECT_EQ(frameWithWinners(16), std::vector<Uint32>({RWIN}));
}

// The rules write no other winner code than 1 and 2; a damaged state's shows no winner's picture at all.
TEST_F(Round, AWinnerCodeNeitherRedNorBlueDrawsNoPicture) {
    start(2);
    frame(16);
    s.screen = SCR_WINNER, s.winnerCount = 1, s.winnerAt = 0;
    for (uint8_t code : {0, 3, 255}) {
        s.winners[0] = code;
        drawFrame(s);
        Uint32 seen = pixelRGB(screen, 250, 300);
        EXPECT_TRUE(seen != RWIN && seen != BWIN) << "code " << int(code);
    }
}

TEST_F(Round, EscapeLeavesDuringTheCountdownAndTheRoundResumesWhereItStood) {
    start(1);
    s.doCount = true;
    frame(500);
    duel(500, 100);
    s.Hrac2.whiskeyCount = 1;
    s.volbamenu = 2;
    s.pozicemenu = 1;
    hold({K_ESCAPE, K_RCTRL});  // no shot in the countdown
    EXPECT_TRUE(frameWithWinners(500).empty());
    EXPECT_TRUE(ev.pause);
    EXPECT_TRUE(s.menuBezi && !s.gameBezi && s.doCount);
    EXPECT_EQ(s.shown.view, VIEW_MENU) << "the menu shows in the pass that left";
    EXPECT_EQ(s.volbamenu, 0);
    EXPECT_EQ(s.pozicemenu, 0);
    EXPECT_FLOAT_EQ(s.cPause, 1000);
    EXPECT_EQ(s.Hrac2.whiskeyCount, 1);

    for (int i = 0; i < 10 && !s.gameBezi; i++) frame(50);  // Escape still held: resume
    ASSERT_TRUE(s.gameBezi);
    hold({K_RCTRL}, false);
    frame(500);  // the first resumed frame ignores the held Escape
    EXPECT_TRUE(s.gameBezi && s.canGEsc);
    EXPECT_FLOAT_EQ(s.cPause, 1500);
    EXPECT_FLOAT_EQ(s.Hrac1.x, 500);

    // After the countdown the frame in which Escape leaves still plays: red's shot takes blue's last
    // life, or red holds five bottles, but no round is decided while it is left.
    for (int mode : {0, 1, 2}) {
        start(mode);
        duel(500, 100);
        s.Hrac1.whiskeyCount = mode == 0 ? 5 : s.Hrac1.whiskeyCount;
        s.Hrac2.whiskeyCount = 1;
        hold({K_RCTRL});
        EXPECT_TRUE(frameWithWinners(16).empty()) << "game type " << mode;
        EXPECT_EQ(s.Hrac2.whiskeyCount, 0);
        EXPECT_FALSE(s.gameBezi || s.gameOver);
    }
}

TEST_F(Round, KEndsTheGameOnlyWhileBlueIsAliveAndTheCountdownIsOver) {
    start(2);
    hold({K_K});
    s.doCount = true;
    frame(16);
    EXPECT_FALSE(s.done);
    s.doCount = false;
    s.Hrac2.dead = true;
    frame(16);
    EXPECT_FALSE(s.done);
    s.Hrac2.dead = false;
    frame(16);
    EXPECT_TRUE(s.done);
}
