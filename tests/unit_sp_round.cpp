// unit_sp_round.cpp: the single-player round frame: the computer drives the blue cowboy, his keys do nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "game.h"
#include "harness.h"

namespace {

Uint8* K;

class SoloRound : public ::testing::Test {
protected:
    void SetUp() override {
        bootGame();
        K = SDL_GetKeyState(NULL);
        memset(K, 0, SDLK_LAST);
        newGame(2);
        doCount = false;
        reflex = wReflex = 0;
    }
    void TearDown() override { endGame(); }
    void frame(float ms) {
        delta = ms;
        keys = SDL_GetKeyState(NULL);
        game();
    }
};

TEST_F(SoloRound, BluesKeysDoNothingAndTheComputerWalksHim) {
    // Red high up and 200 pixels off: the computer has nothing to do for now.
    Hrac1->x = 500, Hrac1->y = 100;
    Hrac2->x = 300, Hrac2->y = 300;
    K[SDLK_q] = K[SDLK_a] = K[SDLK_s] = K[SDLK_k] = 1;
    frame(16);
    EXPECT_FLOAT_EQ(Hrac2->x, 300);
    EXPECT_FLOAT_EQ(Hrac2->y, 300);
    EXPECT_TRUE(Hrac2->canShoot);
    EXPECT_FALSE(done);

    wReflex = 1000;  // now it lines up with red: up
    frame(16);
    EXPECT_LT(Hrac2->y, 300);
    EXPECT_FLOAT_EQ(Hrac2->x, 300);
}

TEST_F(SoloRound, TheComputerFiresItsLastShotWhenItsTriggerGoesOffInTheFrameItIsHit) {
    Hrac1->x = 500, Hrac1->y = 300, Hrac1->smer = 'l';
    Hrac2->x = 100, Hrac2->y = 300, Hrac2->smer = 'r';
    reflex = 290;  // goes off in this frame
    K[SDLK_RCTRL] = 1;
    frame(16);
    EXPECT_TRUE(Hrac2->dead);
    EXPECT_TRUE(Hrac1->dead);
    EXPECT_EQ(Hrac1->whiskeyCount, 9);

    // Hit again later with the trigger not ready: no answer.
    newGame(2);
    doCount = false;
    Hrac1->x = 500, Hrac1->y = 300, Hrac1->smer = 'l';
    Hrac2->x = 100, Hrac2->y = 300, Hrac2->smer = 'r';
    reflex = 0;
    frame(16);
    EXPECT_TRUE(Hrac2->dead);
    EXPECT_FALSE(Hrac1->dead);
}

TEST_F(SoloRound, RedInItsSightsCloseByHoldsTheComputerStillInsteadOfBackingAway) {
    Hrac1->x = 230, Hrac1->y = 300, Hrac1->smer = 'r';
    Hrac2->x = 300, Hrac2->y = 300, Hrac2->smer = 'r';
    frame(16);
    EXPECT_FLOAT_EQ(Hrac2->x, 300);
    EXPECT_EQ(Hrac2->motion, 'l');  // drawn turned towards red

    Hrac1->y = 313;  // 13 lower: out of its sights but nearly level, so now it backs away
    frame(16);
    EXPECT_GT(Hrac2->x, 300);
}

}  // namespace
