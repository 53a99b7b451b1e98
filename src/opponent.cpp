// opponent.cpp: the computer opponent that plays the blue cowboy in the single-player edition.
#include "game.h"

// The two reaction clocks live for the whole run: a new round does not reset them.
float reflex;   // ms gathered with red in blue's sights since the last trigger
float wReflex;  // ms since red last dodged up or down in blue's sights

// This frame's decisions. A walking rule acts only while nothing is decided yet.
static bool goLeft, goRight, goUp, goDown, decided, fire;

// Every sum of a float field and a constant is formed in double, as the shot test does.
static double at(float v, int add) { return (double)v + add; }

// If cond holds and no walking rule has acted yet, walk that way.
static void rule(bool cond, bool& go) {
    if (cond && !decided) {
        go = true;
        decided = true;
    }
}

// Would blue's shot hit red if blue faced him? Red's line at y + 135 inside blue's band.
static bool levelWithRed(Player* blue, Player* red) {
    return at(red->y, 135) > at(blue->y, 123) && at(blue->y, 147) > at(red->y, 135);
}

// Walk to the bottle's foot: vertically first, then across; stand once it is inside blue's box.
static void huntBottle(Player* blue) {
    double footX = whiskey.x + 27;  // the bottle's point, an integer sum
    double footY = whiskey.y + 55;
    rule(footY > at(blue->y, 135), goDown);
    rule(at(blue->y, 125) > footY, goUp);
    rule(at(blue->x, 35) > footX, goLeft);
    rule(footX > at(blue->x, 45), goRight);
}

// Keep off the street's side edges, then turn towards red if he is far enough across.
static void keepOffEdgesAndFace(Player* blue, Player* red) {
    if (blue->x < 50) {
        goRight = true;
        decided = true;
    }
    if (at(blue->x, 80) > 750) {
        goLeft = true;
        decided = true;
    }
    if (!decided && blue->x > at(red->x, 40)) blue->smer = 'l';
    if (!decided && red->x >= at(blue->x, 40)) blue->smer = 'r';
}

// Back away when nearly level and close, close in when far, and follow red up or down
// once he has not dodged in blue's sights for a while.
static void keepDistance(Player* blue, Player* red) {
    double redMid = at(red->x, 40), blueMid = at(blue->x, 40);
    if (at(red->y, 135) > at(blue->y, 120) && at(blue->y, 149) > at(red->y, 135)) {
        rule(blueMid > redMid && redMid > at(blue->x, -50), goRight);
        rule(redMid >= blueMid && at(blue->x, 130) > redMid, goLeft);
    }
    rule(blue->x > at(red->x, 300), goLeft);
    rule(red->x > at(blue->x, 300), goRight);
    if (wReflex > 300 && !decided) {
        rule(at(blue->y, 130) > at(red->y, 135), goUp);     // more than 5 px lower than red
        rule(at(red->y, 135) > at(blue->y, 140), goDown);   // more than 5 px higher than red
        if (decided) wReflex = 301;
    }
}

// Red in blue's sights: face him in the picture, stand or close in, and pull the trigger
// once 300 ms of such time have gathered.
static void aimAndTrigger(Player* blue, Player* red) {
    if (red->dead || !levelWithRed(blue, red)) return;
    if (red->x > at(blue->x, 50)) blue->motion = 'r';
    else if (blue->x > at(red->x, 50)) blue->motion = 'l';
    else return;
    if (red->motion == 'u' || red->motion == 'd') wReflex = 0;
    reflex += delta;
    if (reflex > 300) {
        fire = true;
        reflex = 0;
    }
}

BlueInput opponentDecide() {
    goLeft = goRight = goUp = goDown = decided = fire = false;
    wReflex += delta;
    if (wReflex > 2000) wReflex = 301;
    if (!whiskey.hidden && gameMode != 2) {
        huntBottle(Hrac2);
    } else {
        keepOffEdgesAndFace(Hrac2, Hrac1);
        keepDistance(Hrac2, Hrac1);
    }
    aimAndTrigger(Hrac2, Hrac1);
    return BlueInput{fire, goRight, goLeft, goDown, goUp};
}
