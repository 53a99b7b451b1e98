// unit_mp_soak.cpp: two hundred thousand passes of random two-player play; every pass keeps the game's invariants.
#include "game/ticker.h"
#include "soak.h"

#include <cmath>

TEST(Soak, TwoPlayerEditionKeepsItsInvariantsThroughRandomPlay) { soak::soakTest(true, "mp"); }

// The checks after each pass, given the pass before: true when they find nothing.
static bool holds(soak::Run& run) {
    bool ok = soak::checkAll(run).empty();
    soak::remember(run);
    return ok;
}

// What a pass may leave behind passes; what it must not is caught.
TEST(Soak, TheChecksTellWhatAPassMayLeaveFromFaults) {
    soak::Run run{};
    GameState& s = run.s;
    s = startState(1);
    newGame(s, 1);
    EXPECT_TRUE(holds(run));

    s.Hrac1.x = 750;  // respawned at the right end of the grid, past the walking clamp
    EXPECT_TRUE(holds(run));
    s.Hrac1.x = 746.8f;  // walking left from there
    EXPECT_TRUE(holds(run));
    s.Hrac1.x = 748;  // but never right again
    EXPECT_FALSE(holds(run));
    for (float x : {721.0f, 757.0f, -0.5f}) {  // past the clamp off the grid, past the grid's end, off the street
        s.Hrac1.x = 700;
        EXPECT_TRUE(holds(run));
        s.Hrac1.x = x;
        EXPECT_FALSE(holds(run)) << x;
    }
    s.Hrac1.x = 700;

    s.Hrac2.y = 54;  // respawned at the top row
    EXPECT_TRUE(holds(run));
    s.Hrac2.y = 55.5f;  // walking down from there
    EXPECT_TRUE(holds(run));
    s.Hrac2.y = 55;  // but never up again
    EXPECT_FALSE(holds(run));
    s.Hrac2.y = std::nextafter(470.0f, 471.0f);  // a rounding past the bottom clamp
    EXPECT_TRUE(holds(run));
    s.Hrac2.y = 470.01f;
    EXPECT_FALSE(holds(run));
    s.Hrac2.y = 430;
    EXPECT_TRUE(holds(run));

    Whiskey& w = s.whiskey;
    struct Place { int x, y; bool fine; } places[] = {
        {64, 158, true}, {900, 700, true}, {360, 300, true}, {58, 154, false}, {57, 150, false}};  // its grid,
    for (const Place& p : places) {  // parked off the street, its start; off the grid
        w.x = p.x, w.y = p.y;
        EXPECT_EQ(holds(run), p.fine) << p.x << "," << p.y;
    }
    w.x = 360, w.y = 300;

    s.Hrac1.whiskeyCount = 7;  // five lives, six for a pass
    EXPECT_FALSE(holds(run));
    s.Hrac1.whiskeyCount = -1;
    EXPECT_FALSE(holds(run));
    s.Hrac1.whiskeyCount = 5;
    s.Hrac2.smer = 'u';
    EXPECT_FALSE(holds(run));
    s.Hrac2.smer = 'r';
    s.Hrac2.frame = 4;
    EXPECT_FALSE(holds(run));
    s.Hrac2.frame = 0;
    s.menuBezi = true;  // both screens at once
    EXPECT_FALSE(holds(run));
    s.menuBezi = s.gameBezi = false;  // neither
    EXPECT_FALSE(holds(run));
    s.screen = SCR_WINNER;  // a winner screen with no winner left to show
    EXPECT_FALSE(holds(run));
    s.winnerCount = 1;
    EXPECT_TRUE(holds(run));
    s.screen = SCR_PLAY, s.menuBezi = true;
    s.pozicemenu = 4;
    EXPECT_FALSE(holds(run));
    s.pozicemenu = 0;
    EXPECT_TRUE(holds(run));
}
