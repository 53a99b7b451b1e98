// unit_sp_opponent.cpp: the computer opponent's rules, each at its boundary, on a game state.
#include "game/ticker.h"
#include "harness.h"

#include <gtest/gtest.h>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Two cowboys in game type 2: the decision step only reads and writes the state.
class Opponent : public ::testing::Test {
protected:
    GameState s;
    void SetUp() override {
        s.delta = 16;
        s.gameMode = 2;
        s.whiskey.hidden = true;
        s.whiskey.x = 900;
        s.whiskey.y = 700;
    }
    // The round sets both cowboys standing before the decision step.
    BlueInput decide() {
        s.Hrac2.motion = 's';
        return opponentDecide(s);
    }
    // The bottle stands on the street in game type 0.
    void bottleAt(int x, int y) {
        s.gameMode = 0;
        s.whiskey.hidden = false;
        s.whiskey.x = x;
        s.whiskey.y = y;
    }
};

void place(Player& p, float x, float y) {
    p.x = x;
    p.y = y;
}

// Which single walk was decided: 'r', 'l', 'd', 'u', or 's' for none; '?' for more than one.
char walk(const BlueInput& in) {
    int n = in.right + in.left + in.down + in.up;
    if (n > 1) return '?';
    return in.right ? 'r' : in.left ? 'l' : in.down ? 'd' : in.up ? 'u' : 's';
}

}  // namespace

// ---- the bottle hunt ----

TEST_F(Opponent, BottlePointOnAnEdgeOfBluesBoxIsReached) {
    bottleAt(300, 300);  // its point is (327, 355)
    s.Hrac1.x = 700;
    s.Hrac1.y = 60;
    place(s.Hrac2, 282, 220);  // point on the right and bottom edges
    EXPECT_EQ(walk(decide()), 's');
    place(s.Hrac2, 292, 230);  // on the left and top edges
    EXPECT_EQ(walk(decide()), 's');
    place(s.Hrac2, 287, 225);
    EXPECT_EQ(walk(decide()), 's');
}

TEST_F(Opponent, BottleHuntWalksVerticallyFirst) {
    bottleAt(300, 300);
    s.Hrac1.x = 700;
    s.Hrac1.y = 60;
    place(s.Hrac2, 100, 219.5f);
    EXPECT_EQ(walk(decide()), 'd');
    place(s.Hrac2, 500, 230.5f);
    EXPECT_EQ(walk(decide()), 'u');
    place(s.Hrac2, 292.5f, 225);
    EXPECT_EQ(walk(decide()), 'l');
    place(s.Hrac2, 281.5f, 225);
    EXPECT_EQ(walk(decide()), 'r');
}

TEST_F(Opponent, TheHuntIgnoresTheEdgesAndNeverTurnsBlue) {
    bottleAt(57, 300);  // close to the left edge
    s.Hrac1.x = 700;
    s.Hrac1.y = 60;
    place(s.Hrac2, 45, 225);  // an edge rule would walk right
    s.Hrac2.smer = 'l';
    EXPECT_EQ(walk(decide()), 's');
    EXPECT_EQ(s.Hrac2.smer, 'l');
    place(s.Hrac2, 400, 225);  // red far to the left: the duel would turn blue
    s.Hrac1.x = 20;
    s.Hrac2.smer = 'r';
    EXPECT_EQ(walk(decide()), 'l');
    EXPECT_EQ(s.Hrac2.smer, 'r');
}

TEST_F(Opponent, GameTypeTwoNeverHuntsAndAHiddenBottleMeansDuel) {
    s.Hrac1.x = 400;
    s.Hrac1.y = 60;
    place(s.Hrac2, 300, 225);
    bottleAt(300, 400);  // the bottle below blue: the hunt walks down
    EXPECT_EQ(walk(decide()), 'd');
    s.gameMode = 2;  // the same bottle in type 2 is left alone
    EXPECT_EQ(walk(decide()), 's');
    s.gameMode = 1;
    s.whiskey.hidden = true;  // taken: duel until it shows again
    place(s.Hrac2, 30, 225);
    EXPECT_EQ(walk(decide()), 'r');  // the left edge rule
    s.whiskey.hidden = false;
    EXPECT_EQ(walk(decide()), 'd');
}

// ---- duel positioning ----

TEST_F(Opponent, FacingTurnsAtFortyPixelsAcross) {
    place(s.Hrac2, 300, 300);
    s.Hrac1.y = 100;  // far above: no other rule acts
    s.Hrac2.smer = 'l';
    s.Hrac1.x = 340;  // exactly 40 to the right
    EXPECT_EQ(walk(decide()), 's');
    EXPECT_EQ(s.Hrac2.smer, 'r');
    s.Hrac1.x = 260;  // exactly 40 to the left: facing kept
    decide();
    EXPECT_EQ(s.Hrac2.smer, 'r');
    s.Hrac1.x = 259.5f;
    decide();
    EXPECT_EQ(s.Hrac2.smer, 'l');
    // Less than 40 pixels to the right leaves the facing alone, whichever way it points.
    for (char was : {'l', 'r'}) {
        for (float ahead : {0.0f, 20.0f, 39.5f}) {
            s.Hrac2.smer = was;
            s.Hrac1.x = 300 + ahead;
            decide();
            EXPECT_EQ(s.Hrac2.smer, was) << "red " << ahead << " px to the right";
        }
    }
}

TEST_F(Opponent, EdgeRulesComeBeforeEverythingElse) {
    s.Hrac1.y = 300;
    place(s.Hrac2, 49.5f, 300);
    s.Hrac1.x = 49.5f;  // same place: backing away would walk left
    s.Hrac2.smer = 'l';
    EXPECT_EQ(walk(decide()), 'r');
    EXPECT_EQ(s.Hrac2.smer, 'l');  // no turn while an edge rule acts
    s.Hrac2.x = s.Hrac1.x = 50;
    EXPECT_EQ(walk(decide()), 'l');

    place(s.Hrac2, 670.5f, 300);
    s.Hrac1.x = 620.5f;  // 50 to the left: backing away would walk right
    s.Hrac2.smer = 'r';
    EXPECT_EQ(walk(decide()), 'l');
    EXPECT_EQ(s.Hrac2.smer, 'r');
    s.Hrac2.x = 670;
    s.Hrac1.x = 620;
    EXPECT_EQ(walk(decide()), 'r');
    EXPECT_EQ(s.Hrac2.smer, 'l');
}

TEST_F(Opponent, NearlyLevelBandIsAsymmetric) {
    place(s.Hrac2, 300, 300);
    s.Hrac1.x = 320;  // 20 to the right, too close for the sights
    const float inside[] = {-14.5f, 0, 13.5f};
    for (float dy : inside) {
        s.Hrac1.y = 300 + dy;
        EXPECT_EQ(walk(decide()), 'l') << "dy " << dy;
    }
    const float outside[] = {-15, 14};
    for (float dy : outside) {
        s.wReflex = 0;  // keep the vertical follow out of it
        s.Hrac1.y = 300 + dy;
        EXPECT_EQ(walk(decide()), 's') << "dy " << dy;
    }
}

TEST_F(Opponent, BacksAwayWithinNinetyPixels) {
    place(s.Hrac2, 300, 300);
    s.Hrac1.y = 313;  // nearly level, but not level: out of the sights
    s.Hrac1.x = 300;  // same x: backs away to the left
    EXPECT_EQ(walk(decide()), 'l');
    s.Hrac1.x = 299.5f;  // red a hair to the left: backs away to the right
    EXPECT_EQ(walk(decide()), 'r');
    s.Hrac1.x = 210.5f;  // 89.5 to the left
    EXPECT_EQ(walk(decide()), 'r');
    s.Hrac1.x = 210;  // 90 to the left
    EXPECT_EQ(walk(decide()), 's');
    s.Hrac1.x = 389.5f;
    EXPECT_EQ(walk(decide()), 'l');
    s.Hrac1.x = 390;
    EXPECT_EQ(walk(decide()), 's');
}

TEST_F(Opponent, ClosesInBeyondThreeHundredPixels) {
    s.Hrac1.y = 100;
    place(s.Hrac2, 400, 300);
    s.Hrac1.x = 99.5f;
    EXPECT_EQ(walk(decide()), 'l');
    s.Hrac1.x = 100;
    EXPECT_EQ(walk(decide()), 's');
    place(s.Hrac2, 100, 300);
    s.Hrac1.x = 400.5f;
    EXPECT_EQ(walk(decide()), 'r');
    s.Hrac1.x = 400;
    EXPECT_EQ(walk(decide()), 's');
}

TEST_F(Opponent, VerticalFollowNeedsMoreThanThreeHundredMs) {
    place(s.Hrac2, 300, 300);
    s.Hrac1.x = 500;
    s.Hrac1.y = 200;
    s.wReflex = 290;
    s.delta = 10;  // 300: not yet
    EXPECT_EQ(walk(decide()), 's');
    EXPECT_FLOAT_EQ(s.wReflex, 300);
    s.delta = 0.5f;
    EXPECT_EQ(walk(decide()), 'u');
    EXPECT_FLOAT_EQ(s.wReflex, 301);  // a vertical move sets it to 301
    s.Hrac1.y = 295;                 // exactly 5 higher: stays
    EXPECT_EQ(walk(decide()), 's');
    s.Hrac1.y = 305.5f;
    EXPECT_EQ(walk(decide()), 'd');
    s.Hrac1.y = 305;
    EXPECT_EQ(walk(decide()), 's');
}

TEST_F(Opponent, WReflexWrapsPastTwoSeconds) {
    place(s.Hrac2, 300, 300);
    s.Hrac1.x = 500;
    s.Hrac1.y = 300;  // level, no vertical move
    s.wReflex = 1990;
    s.delta = 10;
    decide();
    EXPECT_FLOAT_EQ(s.wReflex, 2000);
    s.delta = 0.5f;
    decide();
    EXPECT_FLOAT_EQ(s.wReflex, 301);
}

TEST_F(Opponent, FollowWaitsThreeHundredMsAfterRedDodgesInSights) {
    place(s.Hrac2, 300, 300);
    s.Hrac1.x = 500;
    s.Hrac1.y = 300;
    s.wReflex = 1000;
    s.delta = 50;
    s.Hrac1.motion = 'u';  // red steps up while in blue's sights
    decide();
    EXPECT_FLOAT_EQ(s.wReflex, 0);
    s.Hrac1.motion = 's';
    s.Hrac1.y = 250;  // out of the sights, well above blue
    for (int i = 1; i <= 6; i++) EXPECT_EQ(walk(decide()), 's') << "frame " << i;
    EXPECT_EQ(walk(decide()), 'u');  // 350 ms
    // A dodge outside the sights does not count.
    s.Hrac1.motion = 'd';
    EXPECT_EQ(walk(decide()), 'u');
}

// ---- aim and trigger ----

TEST_F(Opponent, TriggerGathersTimeAcrossSightings) {
    place(s.Hrac2, 300, 300);
    s.Hrac1.x = 500;
    s.Hrac1.y = 300;
    s.delta = 50;
    for (int i = 0; i < 4; i++) EXPECT_FALSE(decide().fire);  // 200 ms in sight
    s.Hrac1.y = 350;                                           // leaves the sights
    for (int i = 0; i < 10; i++) EXPECT_FALSE(decide().fire);
    EXPECT_FLOAT_EQ(s.reflex, 200);
    s.Hrac1.y = 300;
    EXPECT_FALSE(decide().fire);  // 250
    EXPECT_FALSE(decide().fire);  // 300 is not more than 300
    EXPECT_TRUE(decide().fire);   // 350
    EXPECT_FLOAT_EQ(s.reflex, 0);
    EXPECT_FALSE(decide().fire);
}

TEST_F(Opponent, ALostTriggerStillRestartsTheClock) {
    place(s.Hrac2, 300, 300);
    s.Hrac1.x = 100;
    s.Hrac1.y = 300;
    s.Hrac2.canShoot = false;  // reloading
    s.reflex = 290;
    s.delta = 20;
    EXPECT_TRUE(decide().fire);
    EXPECT_FLOAT_EQ(s.reflex, 0);
}

TEST_F(Opponent, SightsAreTheShotsReach) {
    place(s.Hrac2, 300, 300);
    s.Hrac1.y = 300;
    s.Hrac1.x = 350;  // exactly 50 across: out of reach
    decide();
    EXPECT_EQ(s.Hrac2.motion, 's');
    EXPECT_FLOAT_EQ(s.reflex, 0);
    s.Hrac1.x = 350.5f;
    decide();
    EXPECT_EQ(s.Hrac2.motion, 'r');
    s.Hrac1.x = 249.5f;
    decide();
    EXPECT_EQ(s.Hrac2.motion, 'l');
    s.Hrac1.y = 312;  // exactly 12 lower: not level
    decide();
    EXPECT_EQ(s.Hrac2.motion, 's');
    // A hair under 12: level only when the sums are formed in double.
    s.Hrac2.y = 100;
    s.Hrac1.y = std::nextafter(112.0f, 0.0f);
    decide();
    EXPECT_EQ(s.Hrac2.motion, 'l');
    s.Hrac1.y = 100;
    s.Hrac1.dead = true;  // a dead cowboy is in nobody's sights
    float before = s.reflex;
    decide();
    EXPECT_EQ(s.Hrac2.motion, 's');
    EXPECT_FLOAT_EQ(s.reflex, before);
}

TEST_F(Opponent, InSightsWithinNinetyPixelsStandsRatherThanBacking) {
    place(s.Hrac2, 300, 300);
    s.Hrac1.y = 300;
    s.Hrac1.x = 230;  // 70 to the left: backing away says right, the aim says left
    BlueInput in = decide();
    EXPECT_TRUE(in.right);
    EXPECT_EQ(s.Hrac2.motion, 'l');  // so the round's walking guard lets nothing walk
    EXPECT_EQ(s.Hrac2.smer, 'l');
    s.Hrac1.x = 370;  // 70 to the right
    in = decide();
    EXPECT_TRUE(in.left);
    EXPECT_EQ(s.Hrac2.motion, 'r');
    EXPECT_EQ(s.Hrac2.smer, 'r');
}

// The hunt leaves blue's facing from its last walk: red level on the other side is aimed at in
// the picture, but the shot goes the way blue faces.
TEST_F(Opponent, StandoffDuringTheHunt) {
    bottleAt(300, 300);
    place(s.Hrac2, 287, 225);  // standing on the bottle's point
    s.Hrac2.smer = 'l';       // it came from the right
    s.Hrac1.x = 500;
    s.Hrac1.y = 225;
    s.delta = 100;
    BlueInput in{};
    for (int i = 0; i < 4 && !in.fire; i++) in = decide();
    EXPECT_TRUE(in.fire);
    EXPECT_EQ(walk(in), 's');
    EXPECT_EQ(s.Hrac2.motion, 'r');
    EXPECT_EQ(s.Hrac2.smer, 'l');
}

// ---- whole rounds, pass by pass, against a red cowboy who never touches a key ----

namespace {

class WholeRound : public ::testing::Test {
protected:
    GameState s = startState(7);
    // One 16 ms pass with no key down but Return, so that a winner screen does not wait.
    void frame() { step(s, {K_RETURN}); }
};

bool levelWith(const Player& s, const Player& t) {
    return (double)t.y + 135 > (double)s.y + 123 && (double)s.y + 147 > (double)t.y + 135;
}

}  // namespace

TEST_F(WholeRound, TypeTwoLinesUpWithAStillRedAndShootsHimDown) {
    newGame(s, 2);
    int lives = s.Hrac1.whiskeyCount, frames = 0;
    while (s.gameBezi && frames < 20000) {
        float bx = s.Hrac2.x, by = s.Hrac2.y;
        char facing = s.Hrac2.smer;
        frame();
        frames++;
        if (s.Hrac1.whiskeyCount < lives) {  // every hit is blue's shot, level and facing red
            lives = s.Hrac1.whiskeyCount;
            EXPECT_TRUE(levelWith(s.Hrac2, s.Hrac1)) << "frame " << frames;
            EXPECT_EQ(facing, s.Hrac1.x > bx ? 'r' : 'l') << "frame " << frames;
            EXPECT_FALSE(s.Hrac2.canShoot);
            EXPECT_FLOAT_EQ(s.Hrac2.y, by);  // it stood to shoot
        }
    }
    EXPECT_EQ(lastWinner(s), 2);
    EXPECT_EQ(s.Hrac1.whiskeyCount, 0);
    EXPECT_EQ(s.Hrac2.whiskeyCount, 10);
    frame();
    EXPECT_TRUE(s.gameOver && s.menuBezi) << "the winner screen took the held Return";
    // Ten lives at one shot per reload (a little over 2 s) after the 3.5 s countdown.
    EXPECT_GT(frames * 16, 3500 + 9 * 2000);
    EXPECT_LT(frames * 16, 90000);
}

TEST_F(WholeRound, TypeZeroCollectsBottles) {
    newGame(s, 0);
    int frames = 0, rises = 0, bottles = 0;
    while (s.gameBezi && frames < 20000) {
        frame();
        frames++;
        if (s.Hrac2.whiskeyCount > bottles) rises++;
        bottles = s.Hrac2.whiskeyCount;
    }
    EXPECT_EQ(lastWinner(s), 2);
    EXPECT_EQ(s.Hrac2.whiskeyCount, s.wLimit);  // blue won on bottles
    EXPECT_EQ(rises, s.wLimit);
    EXPECT_LT(s.Hrac1.whiskeyCount, s.wLimit);
}

// The hunt wants the bottle on the left, red stands level on the right: blue stays put,
// turned towards red, and every shot goes left into the empty street.
TEST_F(WholeRound, StandoffWhileHuntingLastsWhileRedStandsStill) {
    newGame(s, 1);
    s.doCount = false;
    frame();  // the bottle shows
    s.whiskey.x = 100;
    s.whiskey.y = 155;  // its point is level with blue's box
    s.Hrac2.x = 400, s.Hrac2.y = 80, s.Hrac2.smer = 'l';
    s.Hrac1.x = 600, s.Hrac1.y = 80;
    int shots = 0;
    for (int i = 0; i < 400; i++) {  // 6.4 s
        bool loaded = s.Hrac2.canShoot;
        frame();
        if (loaded && !s.Hrac2.canShoot) shots++;
        ASSERT_EQ(s.Hrac2.motion, 'r');
    }
    EXPECT_GE(shots, 2);
    EXPECT_FLOAT_EQ(s.Hrac2.x, 400);
    EXPECT_FLOAT_EQ(s.Hrac2.y, 80);
    EXPECT_EQ(s.Hrac2.smer, 'l');
    EXPECT_EQ(s.Hrac1.whiskeyCount, 5);
    EXPECT_FALSE(s.Hrac1.dead);
    // Red steps out of the sights: blue walks on to the bottle.
    s.Hrac1.y = 300;
    frame();
    EXPECT_LT(s.Hrac2.x, 400);
}
