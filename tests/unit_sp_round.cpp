// unit_sp_round.cpp: the single-player round pass: the computer drives the blue cowboy, his keys do nothing.
#include <gtest/gtest.h>

#include "game/ticker.h"
#include "harness.h"

namespace {

class SoloRound : public ::testing::Test {
protected:
    GameState s = startState(1);
    void SetUp() override {
        newGame(s, 2);
        s.doCount = false;
    }
    void duel() {
        s.Hrac1.x = 500, s.Hrac1.y = 300, s.Hrac1.smer = 'l';
        s.Hrac2.x = 100, s.Hrac2.y = 300, s.Hrac2.smer = 'r';
    }
};

TEST_F(SoloRound, BluesKeysDoNothingAndTheComputerWalksHim) {
    // Red high up and 200 pixels off: the computer has nothing to do for now.
    s.Hrac1.x = 500, s.Hrac1.y = 100;
    s.Hrac2.x = 300, s.Hrac2.y = 300;
    step(s, {K_Q, K_A, K_S, K_K});
    EXPECT_FLOAT_EQ(s.Hrac2.x, 300);
    EXPECT_FLOAT_EQ(s.Hrac2.y, 300);
    EXPECT_TRUE(s.Hrac2.canShoot);
    EXPECT_FALSE(s.done);

    s.wReflex = 1000;  // now it lines up with red: up
    step(s, {K_Q, K_A, K_S, K_K});
    EXPECT_LT(s.Hrac2.y, 300);
    EXPECT_FLOAT_EQ(s.Hrac2.x, 300);
}

TEST_F(SoloRound, TheComputerFiresItsLastShotWhenItsTriggerGoesOffInTheFrameItIsHit) {
    duel();
    s.reflex = 290;  // goes off in this pass
    TickEvents ev = step(s, {K_RCTRL});
    EXPECT_TRUE(s.Hrac2.dead);
    EXPECT_TRUE(s.Hrac1.dead);
    EXPECT_EQ(s.Hrac1.whiskeyCount, 9);
    EXPECT_TRUE(played(ev, SND_FIRE, 2));

    // Hit again later with the trigger not ready: no answer.
    newGame(s, 2);
    s.doCount = false;
    duel();
    s.reflex = 0;
    step(s, {K_RCTRL});
    EXPECT_TRUE(s.Hrac2.dead);
    EXPECT_FALSE(s.Hrac1.dead);
}

TEST_F(SoloRound, RedInItsSightsCloseByHoldsTheComputerStillInsteadOfBackingAway) {
    s.Hrac1.x = 230, s.Hrac1.y = 300, s.Hrac1.smer = 'r';
    s.Hrac2.x = 300, s.Hrac2.y = 300, s.Hrac2.smer = 'r';
    step(s);
    EXPECT_FLOAT_EQ(s.Hrac2.x, 300);
    EXPECT_EQ(s.Hrac2.motion, 'l');  // drawn turned towards red

    s.Hrac1.y = 313;  // 13 lower: out of its sights but nearly level, so now it backs away
    step(s);
    EXPECT_GT(s.Hrac2.x, 300);
}

}  // namespace
