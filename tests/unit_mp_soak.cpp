// unit_mp_soak.cpp: two hundred thousand frames of random two-player play; every frame keeps the game's invariants.
#include "soak.h"

TEST(Soak, TwoPlayerEditionKeepsItsInvariantsThroughRandomPlay) { soak::soakTest(true, "mp"); }

// The checks after each frame, given the frame before: true when they find nothing.
static bool holds(soak::Run& run) {
    bool ok = soak::checkAll(run).empty();
    soak::remember(run);
    return ok;
}

// What a frame may leave behind passes; what it must not is caught.
TEST(Soak, TheFrameChecksTellWhatAFrameMayLeaveFromFaults) {
    bootGame();
    soak::Run run{};
    newGame(1);
    EXPECT_TRUE(holds(run));

    Hrac1->x = 750;  // respawned at the right end of the grid, past the walking clamp
    EXPECT_TRUE(holds(run));
    Hrac1->x = 746.8f;  // walking left from there
    EXPECT_TRUE(holds(run));
    Hrac1->x = 748;  // but never right again
    EXPECT_FALSE(holds(run));
    Hrac1->x = 700;
    EXPECT_TRUE(holds(run));
    Hrac1->x = 721;  // past the clamp off the grid
    EXPECT_FALSE(holds(run));
    Hrac1->x = 757;  // one step past the grid's end
    EXPECT_FALSE(holds(run));
    Hrac1->x = -0.5f;
    EXPECT_FALSE(holds(run));
    Hrac1->x = 700;

    Hrac2->y = 54;  // respawned at the top row
    EXPECT_TRUE(holds(run));
    Hrac2->y = 55.5f;  // walking down from there
    EXPECT_TRUE(holds(run));
    Hrac2->y = 55;  // but never up again
    EXPECT_FALSE(holds(run));
    Hrac2->y = 471;
    EXPECT_FALSE(holds(run));
    Hrac2->y = 430;
    EXPECT_TRUE(holds(run));

    whiskey.x = 64, whiskey.y = 158;  // its grid, parked off the street, its start
    EXPECT_TRUE(holds(run));
    whiskey.x = 900, whiskey.y = 700;
    EXPECT_TRUE(holds(run));
    whiskey.x = 58, whiskey.y = 154;
    EXPECT_FALSE(holds(run));
    whiskey.x = 57, whiskey.y = 150;
    EXPECT_FALSE(holds(run));
    whiskey.x = 360, whiskey.y = 300;
    EXPECT_TRUE(holds(run));

    Hrac1->whiskeyCount = 7;  // five lives, six for a frame
    EXPECT_FALSE(holds(run));
    Hrac1->whiskeyCount = -1;
    EXPECT_FALSE(holds(run));
    Hrac1->whiskeyCount = 5;
    Hrac2->smer = 'u';
    EXPECT_FALSE(holds(run));
    Hrac2->smer = 'r';
    Hrac2->frame = 4;
    EXPECT_FALSE(holds(run));
    Hrac2->frame = 0;
    menuBezi = true;  // both screens at once
    EXPECT_FALSE(holds(run));
    menuBezi = gameBezi = false;  // neither
    EXPECT_FALSE(holds(run));
    menuBezi = true;
    pozicemenu = 4;
    EXPECT_FALSE(holds(run));
    pozicemenu = 0;
    EXPECT_TRUE(holds(run));
    endGame();
}
