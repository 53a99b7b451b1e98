// unit_mp_menu.cpp: the main menu frame by frame (pages, highlight, key guard, Escape) and the start of a round.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "game.h"
#include "harness.h"

namespace {

Uint8* K;  // SDL's own key-state array: what the player holds

void boot() {
    bootGame();
    K = SDL_GetKeyState(NULL);
}

// One menu frame of `ms` milliseconds, as the frame loop runs it.
void frame(float ms) {
    delta = ms;
    keys = SDL_GetKeyState(NULL);
    menu();
}

// Frames of 50 ms with nothing held, until the key guard has opened again.
void openGuard() {
    K[SDLK_UP] = K[SDLK_DOWN] = K[SDLK_RETURN] = K[SDLK_ESCAPE] = 0;
    for (int i = 0; i < 6 && !mCanMove; i++) frame(50);
    ASSERT_TRUE(mCanMove);
}

// Press a key for one frame, then let it go and wait for the guard.
void press(SDLKey k) {
    K[k] = 1;
    frame(16);
    K[k] = 0;
    openGuard();
}

// True when the screen shows `pic` whole at (x, y), drawn over the menu background.
bool shows(SDL_Surface* pic, int x, int y) {
    SDL_Surface* ref = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 600, 32, 0xff0000, 0xff00, 0xff, 0);
    SDL_BlitSurface(mbgr, NULL, ref, NULL);
    SDL_Rect at = {Sint16(x), Sint16(y), 0, 0};
    SDL_BlitSurface(pic, NULL, ref, &at);
    int w = std::min(pic->w, 800 - x), h = std::min(pic->h, 600 - y);
    bool same = sameArea(screen, x, y, ref, x, y, w, h);
    SDL_FreeSurface(ref);
    return same;
}

// The main page as drawn, with `lit` the highlighted item (-1: none).
void expectMainPage(int lit) {
    SDL_Surface* plain[4] = {mng, mop, mcr, mex};
    SDL_Surface* high[4] = {mnga, mopa, mcra, mexa};
    int y[4] = {150, 250, 350, 450};
    for (int i = 0; i < 4; i++) {
        EXPECT_TRUE(shows(i == lit ? high[i] : plain[i], 200, y[i])) << "main page item " << i;
        EXPECT_FALSE(shows(i == lit ? plain[i] : high[i], 200, y[i])) << "main page item " << i;
    }
}

void expectTypePage(int lit) {
    SDL_Surface* plain[3] = {wh, dop, su};
    SDL_Surface* high[3] = {wha, dopa, sua};
    int y[3] = {150, 250, 350};
    for (int i = 0; i < 3; i++) {
        EXPECT_TRUE(shows(i == lit ? high[i] : plain[i], 200, y[i])) << "game type item " << i;
        EXPECT_FALSE(shows(i == lit ? plain[i] : high[i], 200, y[i])) << "game type item " << i;
    }
}

}  // namespace

TEST(Menu, MainPageHighlightFollowsUpAndDownWithWrap) {
    boot();
    frame(16);
    expectMainPage(0);
    press(SDLK_UP);  // from the first item up to exit
    EXPECT_EQ(volbamenu, 3);
    frame(16);
    expectMainPage(3);
    press(SDLK_DOWN);  // and from exit down to the first again
    EXPECT_EQ(volbamenu, 0);
    press(SDLK_DOWN);
    press(SDLK_DOWN);
    frame(16);
    expectMainPage(2);
    EXPECT_EQ(pozicemenu, 0);
    endGame();
}

TEST(Menu, KeyGuardCountsFrameTimeStrictlyAbove200) {
    boot();
    K[SDLK_DOWN] = 1;  // held all along
    frame(50);         // accepted; this frame already counts
    EXPECT_EQ(volbamenu, 1);
    EXPECT_FALSE(mCanMove);
    EXPECT_FLOAT_EQ(mPause, 50);
    frame(50);
    frame(50);
    frame(50);  // 200 exactly: still closed
    EXPECT_FALSE(mCanMove);
    EXPECT_EQ(volbamenu, 1);
    SDL_Delay(250);  // the clock does not count, only frame time
    frame(0);
    EXPECT_FALSE(mCanMove);
    frame(0.5f);  // 200.5: opens, the clock starts again from 0
    EXPECT_TRUE(mCanMove);
    EXPECT_EQ(mPause, 0);
    EXPECT_EQ(volbamenu, 1);
    frame(10);  // the held key takes its next step
    EXPECT_EQ(volbamenu, 2);
    frame(500);  // one long frame opens the guard at once, after the step it closed it for
    EXPECT_EQ(volbamenu, 2);
    EXPECT_TRUE(mCanMove);
    frame(1);
    EXPECT_EQ(volbamenu, 3);
    K[SDLK_DOWN] = 0;
    endGame();
}

TEST(Menu, ReturnOpensGameTypesAndOnlyAFreshPressStartsTheRound) {
    boot();
    frame(16);
    K[SDLK_RETURN] = 1;
    frame(16);
    EXPECT_EQ(pozicemenu, 1);
    EXPECT_EQ(volbamenu, 0);
    EXPECT_EQ(SDL_GetKeyState(NULL)[SDLK_RETURN], 0) << "Return must be consumed in SDL's own array";
    for (int i = 0; i < 10; i++) frame(50);  // Return stays "released" although nobody let go
    EXPECT_TRUE(menuBezi);
    EXPECT_FALSE(gameBezi);
    expectTypePage(0);
    press(SDLK_UP);  // game types wrap over three items
    EXPECT_EQ(volbamenu, 2);
    frame(16);
    expectTypePage(2);
    press(SDLK_DOWN);
    EXPECT_EQ(volbamenu, 0);
    press(SDLK_DOWN);
    K[SDLK_RETURN] = 1;  // a fresh press
    frame(16);
    EXPECT_FALSE(menuBezi);
    EXPECT_TRUE(gameBezi);
    EXPECT_EQ(gameMode, 1);
    EXPECT_EQ(pozicemenu, 1) << "the page stays as it was during the round";
    K[SDLK_RETURN] = 0;
    endGame();
}

TEST(Menu, CreditsInstructionsAndExit) {
    boot();
    frame(16);
    press(SDLK_DOWN);
    press(SDLK_DOWN);
    press(SDLK_RETURN);  // item 2: credits
    EXPECT_EQ(pozicemenu, 2);
    frame(16);
    EXPECT_TRUE(shows(credits, 0, 0));
    press(SDLK_RETURN);  // nothing on this page
    EXPECT_EQ(pozicemenu, 2);
    EXPECT_FALSE(done);
    press(SDLK_ESCAPE);
    EXPECT_EQ(pozicemenu, 0);
    EXPECT_EQ(volbamenu, 2);
    press(SDLK_UP);
    press(SDLK_RETURN);  // item 1: instructions
    EXPECT_EQ(pozicemenu, 3);
    frame(16);
    EXPECT_TRUE(shows(instruc, 0, 0));
    press(SDLK_ESCAPE);
    press(SDLK_DOWN);
    press(SDLK_DOWN);
    EXPECT_EQ(volbamenu, 3);
    EXPECT_FALSE(done);
    press(SDLK_RETURN);  // item 3: exit
    EXPECT_TRUE(done);
    endGame();
}

TEST(Menu, NoWrapOnCreditsOrInstructionsAndTheMainPageWrapsLater) {
    boot();
    frame(16);
    press(SDLK_UP);
    press(SDLK_UP);
    press(SDLK_RETURN);  // item 2: credits
    ASSERT_EQ(pozicemenu, 2);
    press(SDLK_DOWN);
    press(SDLK_DOWN);
    EXPECT_EQ(volbamenu, 4) << "no wrap on the credits page";
    press(SDLK_ESCAPE);
    frame(16);
    expectMainPage(-1);  // nothing highlighted
    press(SDLK_RETURN);  // and Return does nothing
    EXPECT_EQ(pozicemenu, 0);
    EXPECT_FALSE(done);
    press(SDLK_DOWN);  // 5 is above 3: wraps to 0
    EXPECT_EQ(volbamenu, 0);
    press(SDLK_UP);
    press(SDLK_UP);
    press(SDLK_RETURN);  // credits again, from item 2
    ASSERT_EQ(pozicemenu, 2);
    press(SDLK_UP);
    press(SDLK_UP);
    press(SDLK_UP);
    EXPECT_EQ(volbamenu, -1) << "no wrap on the credits page";
    press(SDLK_ESCAPE);
    press(SDLK_UP);  // -2 is below 0: wraps to 3
    EXPECT_EQ(volbamenu, 3);
    press(SDLK_UP);
    press(SDLK_UP);
    press(SDLK_RETURN);  // item 1: instructions, and no wrap there either
    ASSERT_EQ(pozicemenu, 3);
    press(SDLK_UP);
    press(SDLK_UP);
    EXPECT_EQ(volbamenu, -1) << "no wrap on the instructions page";
    endGame();
}

TEST(Menu, EscapeOnGameTypesKeepsTheNumberAndDoesNothingOnTheMainPageWithoutARound) {
    boot();
    frame(16);
    press(SDLK_RETURN);
    press(SDLK_DOWN);
    press(SDLK_DOWN);  // game type 2
    press(SDLK_ESCAPE);
    EXPECT_EQ(pozicemenu, 0);
    EXPECT_EQ(volbamenu, 2);
    frame(16);
    expectMainPage(2);  // credits lit
    K[SDLK_ESCAPE] = 1;  // no round to go back to (as after a winner screen): Escape only closes the guard
    frame(16);
    EXPECT_TRUE(menuBezi);
    EXPECT_FALSE(gameBezi);
    EXPECT_FALSE(mCanMove);
    EXPECT_EQ(pozicemenu, 0);
    K[SDLK_ESCAPE] = 0;
    endGame();
}

// What the round does when Escape leaves it for the menu.
static void leaveRoundWithEscape() {
    canEsc = false;
    gameBezi = false;
    menuBezi = true;
    volbamenu = 0;
    pozicemenu = 0;
}

TEST(Menu, EscapeResumesTheRoundLeftWithEscapeAsItWas) {
    boot();
    frame(16);
    press(SDLK_RETURN);
    K[SDLK_RETURN] = 1;
    frame(16);  // game type 0 starts; the guard is closed by that Return
    K[SDLK_RETURN] = 0;
    ASSERT_TRUE(gameBezi);
    ASSERT_FALSE(mCanMove);
    float guardBefore = mPause;
    // some of the round goes by
    Hrac1->x = 333;
    Hrac1->y = 222;
    Hrac2->whiskeyCount = 3;
    cPause = 1234;
    whiskey.x = 640;
    canGEsc = true;
    leaveRoundWithEscape();
    K[SDLK_ESCAPE] = 1;
    frame(100);  // round frames did not count towards the guard; this menu frame does
    EXPECT_FLOAT_EQ(mPause, guardBefore + 100);
    EXPECT_TRUE(menuBezi);
    frame(100);  // more than 200 ms of menu frames: the guard opens, after Escape was looked at
    ASSERT_TRUE(mCanMove);
    EXPECT_TRUE(menuBezi) << "the guard was still closed when this frame looked at Escape";
    auto t0 = std::chrono::steady_clock::now();
    frame(16);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(100)) << "the resume pauses 100 ms";
    EXPECT_FALSE(menuBezi);
    EXPECT_TRUE(gameBezi);
    EXPECT_FALSE(canGEsc);
    EXPECT_TRUE(mCanMove) << "the resume leaves the guard open";
    EXPECT_FLOAT_EQ(Hrac1->x, 333);
    EXPECT_FLOAT_EQ(Hrac1->y, 222);
    EXPECT_EQ(Hrac2->whiskeyCount, 3);
    EXPECT_FLOAT_EQ(cPause, 1234);
    EXPECT_TRUE(doCount);
    EXPECT_EQ(whiskey.x, 640);
    EXPECT_FALSE(gameOver);
    K[SDLK_ESCAPE] = 0;
    endGame();
}

TEST(Menu, EscapeIgnoredInTheFirstMenuFrameAndOtherKeysActWithTheResume) {
    boot();
    newGame(2);
    mCanMove = true;
    leaveRoundWithEscape();
    K[SDLK_ESCAPE] = 1;
    frame(16);  // the frame the round handed over in
    EXPECT_TRUE(menuBezi);
    EXPECT_FALSE(gameBezi);
    EXPECT_TRUE(mCanMove);
    EXPECT_TRUE(canEsc);
    K[SDLK_DOWN] = 1;
    frame(16);  // resume, and Down still moves the menu in the same call
    EXPECT_FALSE(menuBezi);
    EXPECT_TRUE(gameBezi);
    EXPECT_EQ(volbamenu, 1);
    EXPECT_FALSE(mCanMove);
    K[SDLK_DOWN] = K[SDLK_ESCAPE] = 0;
    endGame();
}

// ---- the start of a round ----

// Everything a round leaves behind, scrambled.
static void scramble() {
    for (Player* p : {Hrac1, Hrac2}) {
        p->dead = true;
        p->canShoot = false;
        p->frame = 3;
        p->x = 55;
        p->y = 66;
        p->smer = p == Hrac1 ? 'r' : 'l';
        p->whiskeyCount = 7;
        p->motion = 'u';
    }
    whiskey.x = 10;
    whiskey.y = 20;
    whiskey.hidden = false;
    whiskey.frame = 4;
    whiskey.timer = 77;
    whiskey.drawn = true;
    cPause = 900;
    wLimit = 0;
    doCount = false;
    gameOver = true;
    done = true;
    menuBezi = true;
    gameBezi = false;
    pozicemenu = 1;
    volbamenu = 2;
}

TEST(Menu, NewGameResetsBothCowboysAndTheBottleForEachType) {
    boot();
    const int counts[3] = {0, 5, 10};
    const int bottleX[3] = {360, 360, 900}, bottleY[3] = {300, 300, 700};
    for (int mode = 0; mode < 3; mode++) {
        SCOPED_TRACE(mode);
        scramble();
        newGame(mode);
        EXPECT_EQ(gameMode, mode);
        EXPECT_EQ(wLimit, 5);
        EXPECT_EQ(cPause, 0);
        EXPECT_TRUE(doCount);
        EXPECT_FALSE(gameOver);
        EXPECT_FALSE(done);
        EXPECT_FALSE(menuBezi);
        EXPECT_TRUE(gameBezi);
        for (Player* p : {Hrac1, Hrac2}) {
            EXPECT_FALSE(p->dead);
            EXPECT_TRUE(p->canShoot);
            EXPECT_EQ(p->frame, 0);
            EXPECT_EQ(p->whiskeyCount, counts[mode]);
            EXPECT_EQ(p->motion, 'u') << "the walk is not reset";
        }
        EXPECT_FLOAT_EQ(Hrac1->x, 700);
        EXPECT_FLOAT_EQ(Hrac1->y, 120);
        EXPECT_EQ(Hrac1->smer, 'l');
        EXPECT_FLOAT_EQ(Hrac2->x, 20);
        EXPECT_FLOAT_EQ(Hrac2->y, 430);
        EXPECT_EQ(Hrac2->smer, 'r');
        EXPECT_EQ(whiskey.x, bottleX[mode]);
        EXPECT_EQ(whiskey.y, bottleY[mode]);
        EXPECT_TRUE(whiskey.hidden);
        EXPECT_EQ(whiskey.frame, 0);
        EXPECT_FLOAT_EQ(whiskey.timer, 3999);
        EXPECT_TRUE(whiskey.drawn) << "the drawn flag is not reset";
        EXPECT_EQ(pozicemenu, 1);
        EXPECT_EQ(volbamenu, 2);
    }
    endGame();
}
