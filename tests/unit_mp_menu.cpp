// unit_mp_menu.cpp: the main menu pass by pass (pages, highlight, key guard, Escape) and the start of a round.
#include <gtest/gtest.h>

#include <algorithm>

#include "draw/draw.h"
#include "game/ticker.h"
#include "harness.h"

namespace {

class Menu : public ::testing::Test {
protected:
    GameState s = startState(1);
    uint16_t down = 0;  // what the player holds
    TickEvents ev;

    // One pass of `ms` milliseconds, as the frame loop runs it.
    void frame(uint16_t ms) {
        TicCmd c;
        c.held = down, c.dt = ms;
        ev = tick(s, c);
    }
    void hold(int k, bool on = true) { down = on ? uint16_t(down | keyBit(k)) : uint16_t(down & ~keyBit(k)); }
    // Passes of 50 ms with nothing held, until the key guard has opened again.
    void openGuard() {
        down = 0;
        for (int i = 0; i < 6 && !s.mCanMove; i++) frame(50);
        ASSERT_TRUE(s.mCanMove);
    }
    // Press a key for one pass, then let it go and wait for the guard.
    void press(int k) {
        hold(k);
        frame(16);
        openGuard();
    }
    // True when the last pass's frame shows `pic` whole at (x, y), drawn over the menu background.
    bool shows(SDL_Surface* pic, int x, int y) {
        drawFrame(s);
        SDL_Surface* ref = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 600, 32, 0xff0000, 0xff00, 0xff, 0);
        SDL_BlitSurface(mbgr, NULL, ref, NULL);
        SDL_Rect at = {Sint16(x), Sint16(y), 0, 0};
        SDL_BlitSurface(pic, NULL, ref, &at);
        bool same = sameArea(screen, x, y, ref, x, y, std::min(pic->w, 800 - x), std::min(pic->h, 600 - y));
        SDL_FreeSurface(ref);
        return same;
    }
    // A list page as drawn, with `lit` the highlighted item (-1: none).
    void expectPage(std::initializer_list<SDL_Surface*> plain, std::initializer_list<SDL_Surface*> high, int lit) {
        for (int i = 0; i < int(plain.size()); i++) {
            SDL_Surface *p = plain.begin()[i], *h = high.begin()[i];
            EXPECT_TRUE(shows(i == lit ? h : p, 200, 150 + 100 * i)) << "item " << i;
            EXPECT_FALSE(shows(i == lit ? p : h, 200, 150 + 100 * i)) << "item " << i;
        }
    }
    void expectMainPage(int lit) { expectPage({mng, mop, mcr, mex}, {mnga, mopa, mcra, mexa}, lit); }
    void expectTypePage(int lit) { expectPage({wh, dop, su}, {wha, dopa, sua}, lit); }
};

// The tests that look at the drawn page run on the booted game.
class DrawnMenu : public Menu {
protected:
    void SetUp() override { bootGame(); }
    void TearDown() override { endGame(); }
};

}  // namespace

TEST_F(DrawnMenu, MainPageHighlightFollowsUpAndDownWithWrap) {
    frame(16);
    expectMainPage(0);
    press(K_UP);  // from the first item up to exit
    EXPECT_EQ(s.volbamenu, 3);
    frame(16);
    expectMainPage(3);
    press(K_DOWN);  // and from exit down to the first again
    EXPECT_EQ(s.volbamenu, 0);
    press(K_DOWN);
    press(K_DOWN);
    frame(16);
    expectMainPage(2);
    EXPECT_EQ(s.pozicemenu, 0);
}

TEST_F(Menu, KeyGuardCountsFrameTimeStrictlyAbove200) {
    hold(K_DOWN);  // held all along
    frame(50);     // accepted; this pass already counts
    EXPECT_EQ(s.volbamenu, 1);
    EXPECT_FALSE(s.mCanMove);
    EXPECT_FLOAT_EQ(s.mPause, 50);
    frame(50);
    frame(50);
    frame(50);  // 200 exactly: still closed
    EXPECT_FALSE(s.mCanMove);
    frame(0);   // only frame time counts
    EXPECT_FALSE(s.mCanMove);
    EXPECT_EQ(s.volbamenu, 1);
    frame(1);  // 201: opens, the clock starts again from 0
    EXPECT_TRUE(s.mCanMove);
    EXPECT_EQ(s.mPause, 0);
    EXPECT_EQ(s.volbamenu, 1);
    frame(10);  // the held key takes its next step
    EXPECT_EQ(s.volbamenu, 2);
    frame(500);  // one long pass opens the guard at once, after the step it closed it for
    EXPECT_EQ(s.volbamenu, 2);
    EXPECT_TRUE(s.mCanMove);
    frame(1);
    EXPECT_EQ(s.volbamenu, 3);
}

TEST_F(DrawnMenu, ReturnOpensGameTypesAndOnlyAFreshPressStartsTheRound) {
    frame(16);
    hold(K_RETURN);
    frame(16);
    EXPECT_EQ(s.pozicemenu, 1);
    EXPECT_EQ(s.volbamenu, 0);
    EXPECT_FALSE(held(s, K_RETURN)) << "the page takes Return";
    for (int i = 0; i < 10; i++) frame(50);  // still held: the game sees it let go
    EXPECT_TRUE(s.menuBezi);
    EXPECT_FALSE(s.gameBezi);
    expectTypePage(0);
    press(K_UP);  // game types wrap over three items
    EXPECT_EQ(s.volbamenu, 2);
    frame(16);
    expectTypePage(2);
    press(K_DOWN);
    EXPECT_EQ(s.volbamenu, 0);
    press(K_DOWN);
    hold(K_RETURN);  // a fresh press
    frame(16);
    EXPECT_FALSE(s.menuBezi);
    EXPECT_TRUE(s.gameBezi);
    EXPECT_EQ(s.gameMode, 1);
    EXPECT_EQ(s.pozicemenu, 1) << "the page stays as it was during the round";
}

TEST_F(DrawnMenu, CreditsInstructionsAndExit) {
    frame(16);
    press(K_DOWN);
    press(K_DOWN);
    press(K_RETURN);  // item 2: credits
    EXPECT_EQ(s.pozicemenu, 2);
    frame(16);
    EXPECT_TRUE(shows(credits, 0, 0));
    press(K_RETURN);  // nothing on this page
    EXPECT_EQ(s.pozicemenu, 2);
    EXPECT_FALSE(s.done);
    press(K_ESCAPE);
    EXPECT_EQ(s.pozicemenu, 0);
    EXPECT_EQ(s.volbamenu, 2);
    press(K_UP);
    press(K_RETURN);  // item 1: instructions
    EXPECT_EQ(s.pozicemenu, 3);
    frame(16);
    EXPECT_TRUE(shows(instruc, 0, 0));
    press(K_ESCAPE);
    press(K_DOWN);
    press(K_DOWN);
    EXPECT_EQ(s.volbamenu, 3);
    EXPECT_FALSE(s.done);
    press(K_RETURN);  // item 3: exit
    EXPECT_TRUE(s.done);
}

TEST_F(DrawnMenu, NoWrapOnCreditsOrInstructionsAndTheMainPageWrapsLater) {
    frame(16);
    press(K_UP);
    press(K_UP);
    press(K_RETURN);  // item 2: credits
    ASSERT_EQ(s.pozicemenu, 2);
    press(K_DOWN);
    press(K_DOWN);
    EXPECT_EQ(s.volbamenu, 4) << "no wrap on the credits page";
    press(K_ESCAPE);
    frame(16);
    expectMainPage(-1);  // nothing highlighted
    press(K_RETURN);     // and Return does nothing
    EXPECT_EQ(s.pozicemenu, 0);
    EXPECT_FALSE(s.done);
    press(K_DOWN);  // 5 is above 3: wraps to 0
    EXPECT_EQ(s.volbamenu, 0);
    press(K_UP);
    press(K_UP);
    press(K_RETURN);  // credits again, from item 2
    ASSERT_EQ(s.pozicemenu, 2);
    for (int i = 0; i < 3; i++) press(K_UP);
    EXPECT_EQ(s.volbamenu, -1) << "no wrap on the credits page";
    press(K_ESCAPE);
    press(K_UP);  // -2 is below 0: wraps to 3
    EXPECT_EQ(s.volbamenu, 3);
    press(K_UP);
    press(K_UP);
    press(K_RETURN);  // item 1: instructions, and no wrap there either
    ASSERT_EQ(s.pozicemenu, 3);
    press(K_UP);
    press(K_UP);
    EXPECT_EQ(s.volbamenu, -1) << "no wrap on the instructions page";
}

TEST_F(DrawnMenu, EscapeOnGameTypesKeepsTheNumberAndDoesNothingOnTheMainPageWithoutARound) {
    frame(16);
    press(K_RETURN);
    press(K_DOWN);
    press(K_DOWN);  // game type 2
    press(K_ESCAPE);
    EXPECT_EQ(s.pozicemenu, 0);
    EXPECT_EQ(s.volbamenu, 2);
    frame(16);
    expectMainPage(2);  // credits lit
    hold(K_ESCAPE);     // no round to go back to (as after a winner screen): Escape only closes the guard
    frame(16);
    EXPECT_TRUE(s.menuBezi);
    EXPECT_FALSE(s.gameBezi);
    EXPECT_FALSE(s.mCanMove);
    EXPECT_EQ(s.pozicemenu, 0);
    EXPECT_FALSE(ev.pause);
}

// A round started from the menu, which leaves the key guard closed; some of the round goes by, then Escape
// leaves it: the menu runs in that same pass on the same keys, and its guard counts only its own passes.
TEST_F(Menu, EscapeResumesTheRoundLeftWithEscapeAsItWas) {
    press(K_RETURN);
    hold(K_RETURN);
    frame(16);  // game type 0 starts; the guard is closed by that Return
    ASSERT_TRUE(s.gameBezi);
    ASSERT_FALSE(s.mCanMove);
    float guardBefore = s.mPause;
    down = 0;
    for (int i = 0; i < 20; i++) frame(16);
    s.Hrac1.x = 333, s.Hrac1.y = 222, s.Hrac2.whiskeyCount = 3, s.whiskey.x = 640, s.cPause = 1234;
    hold(K_ESCAPE);
    frame(100);
    EXPECT_TRUE(ev.pause) << "leaving pauses 100 ms";
    EXPECT_TRUE(s.menuBezi && !s.gameBezi);
    EXPECT_FLOAT_EQ(s.mPause, guardBefore + 100) << "only the menu's own pass counts towards the guard";
    frame(100);  // more than 200 ms of menu passes: the guard opens, after Escape was looked at
    ASSERT_TRUE(s.mCanMove);
    EXPECT_TRUE(s.menuBezi) << "the guard was still closed when this pass looked at Escape";
    frame(16);
    EXPECT_TRUE(ev.pause) << "the resume pauses 100 ms";
    EXPECT_TRUE(s.gameBezi && !s.menuBezi && !s.canGEsc && !s.gameOver && s.doCount);
    EXPECT_TRUE(s.mCanMove) << "the resume leaves the guard open";
    EXPECT_FLOAT_EQ(s.Hrac1.x, 333);
    EXPECT_FLOAT_EQ(s.Hrac1.y, 222);
    EXPECT_EQ(s.Hrac2.whiskeyCount, 3);
    EXPECT_FLOAT_EQ(s.cPause, 1334) << "the pass that left still counted down";
    EXPECT_EQ(s.whiskey.x, 640);
}

TEST_F(Menu, EscapeIgnoredInTheFirstMenuPassAndOtherKeysActWithTheResume) {
    newGame(s, 2);
    s.canGEsc = true;
    hold(K_ESCAPE);
    frame(16);  // the pass the round hands over in
    EXPECT_TRUE(s.menuBezi && !s.gameBezi && s.canEsc);
    EXPECT_TRUE(s.mCanMove);
    hold(K_DOWN);
    frame(16);  // resume, and Down still moves the menu in the same pass
    EXPECT_TRUE(s.gameBezi && !s.menuBezi);
    EXPECT_EQ(s.volbamenu, 1);
    EXPECT_FALSE(s.mCanMove);
}

// Everything a round leaves behind, scrambled, then a round of each type.
TEST_F(Menu, NewGameResetsBothCowboysAndTheBottleForEachType) {
    const int counts[3] = {0, 5, 10};
    const int bottleX[3] = {360, 360, 900}, bottleY[3] = {300, 300, 700};
    for (int mode = 0; mode < 3; mode++) {
        SCOPED_TRACE(mode);
        for (Player* p : {&s.Hrac1, &s.Hrac2}) {
            p->dead = true, p->canShoot = false, p->frame = 3, p->x = 55, p->y = 66, p->whiskeyCount = 7;
            p->smer = p == &s.Hrac1 ? 'r' : 'l', p->motion = 'u';
        }
        Whiskey& w = s.whiskey;
        w.x = 10, w.y = 20, w.hidden = false, w.frame = 4, w.timer = 77, w.drawn = true;
        s.cPause = 900, s.wLimit = 0, s.doCount = false, s.gameOver = s.done = s.menuBezi = true, s.gameBezi = false;
        s.pozicemenu = 1, s.volbamenu = 2;
        newGame(s, mode);
        EXPECT_EQ(s.gameMode, mode);
        EXPECT_EQ(s.wLimit, 5);
        EXPECT_EQ(s.cPause, 0);
        EXPECT_TRUE(s.doCount && !s.gameOver && !s.done && !s.menuBezi && s.gameBezi);
        for (Player* p : {&s.Hrac1, &s.Hrac2}) {
            EXPECT_TRUE(!p->dead && p->canShoot);
            EXPECT_EQ(p->frame, 0);
            EXPECT_EQ(p->whiskeyCount, counts[mode]);
            EXPECT_EQ(p->motion, 'u') << "the walk is not reset";
        }
        EXPECT_FLOAT_EQ(s.Hrac1.x, 700);
        EXPECT_FLOAT_EQ(s.Hrac1.y, 120);
        EXPECT_EQ(s.Hrac1.smer, 'l');
        EXPECT_FLOAT_EQ(s.Hrac2.x, 20);
        EXPECT_FLOAT_EQ(s.Hrac2.y, 430);
        EXPECT_EQ(s.Hrac2.smer, 'r');
        EXPECT_EQ(w.x, bottleX[mode]);
        EXPECT_EQ(w.y, bottleY[mode]);
        EXPECT_TRUE(w.hidden);
        EXPECT_EQ(w.frame, 0);
        EXPECT_FLOAT_EQ(w.timer, 3999);
        EXPECT_TRUE(w.drawn) << "the drawn flag is not reset";
        EXPECT_EQ(s.pozicemenu, 1);
        EXPECT_EQ(s.volbamenu, 2);
    }
}
