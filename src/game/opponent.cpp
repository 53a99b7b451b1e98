// opponent.cpp: the computer opponent that plays the blue cowboy in the single-player edition.
#include "game/ticker.h"

namespace {

// This pass's decisions. A walking rule acts only while nothing is decided yet.
struct Decision {
    bool goLeft = false, goRight = false, goUp = false, goDown = false, decided = false, fire = false;

    // If cond holds and no walking rule has acted yet, walk that way.
    void rule(bool cond, bool& go) {
        if (cond && !decided) {
            go = true;
            decided = true;
        }
    }
};

// Every sum of a float field and a constant is formed in double, as the shot test does.
double at(float v, int add) { return (double)v + add; }

// Would blue's shot hit red if blue faced him? Red's line at y + 135 inside blue's band.
bool levelWithRed(const Player& blue, const Player& red) {
    return at(red.y, 135) > at(blue.y, 123) && at(blue.y, 147) > at(red.y, 135);
}

// Walk to the bottle's foot: vertically first, then across; stand once it is inside blue's box.
void huntBottle(Decision& d, const Player& blue, const Whiskey& w) {
    double footX = w.x + 27;  // the bottle's point, an integer sum
    double footY = w.y + 55;
    d.rule(footY > at(blue.y, 135), d.goDown);
    d.rule(at(blue.y, 125) > footY, d.goUp);
    d.rule(at(blue.x, 35) > footX, d.goLeft);
    d.rule(footX > at(blue.x, 45), d.goRight);
}

// Keep off the street's side edges, then turn towards red if he is far enough across.
void keepOffEdgesAndFace(Decision& d, Player& blue, const Player& red) {
    if (blue.x < 50) {
        d.goRight = true;
        d.decided = true;
    }
    if (at(blue.x, 80) > 750) {
        d.goLeft = true;
        d.decided = true;
    }
    if (!d.decided && blue.x > at(red.x, 40)) blue.smer = 'l';
    if (!d.decided && red.x >= at(blue.x, 40)) blue.smer = 'r';
}

// Back away when nearly level and close, close in when far, and follow red up or down
// once he has not dodged in blue's sights for a while.
void keepDistance(Decision& d, GameState& s, const Player& blue, const Player& red) {
    double redMid = at(red.x, 40), blueMid = at(blue.x, 40);
    if (at(red.y, 135) > at(blue.y, 120) && at(blue.y, 149) > at(red.y, 135)) {
        d.rule(blueMid > redMid && redMid > at(blue.x, -50), d.goRight);
        d.rule(redMid >= blueMid && at(blue.x, 130) > redMid, d.goLeft);
    }
    d.rule(blue.x > at(red.x, 300), d.goLeft);
    d.rule(red.x > at(blue.x, 300), d.goRight);
    if (s.wReflex > 300 && !d.decided) {
        d.rule(at(blue.y, 130) > at(red.y, 135), d.goUp);    // more than 5 px lower than red
        d.rule(at(red.y, 135) > at(blue.y, 140), d.goDown);  // more than 5 px higher than red
        if (d.decided) s.wReflex = 301;
    }
}

// Red in blue's sights: face him in the picture, stand or close in, and pull the trigger
// once 300 ms of such time have gathered.
void aimAndTrigger(Decision& d, GameState& s, Player& blue, const Player& red) {
    if (red.dead || !levelWithRed(blue, red)) return;
    if (red.x > at(blue.x, 50)) blue.motion = 'r';
    else if (blue.x > at(red.x, 50)) blue.motion = 'l';
    else return;
    if (red.motion == 'u' || red.motion == 'd') s.wReflex = 0;
    s.reflex += s.delta;
    if (s.reflex > 300) {
        d.fire = true;
        s.reflex = 0;
    }
}

}  // namespace

BlueInput opponentDecide(GameState& s) {
    Decision d;
    s.wReflex += s.delta;
    if (s.wReflex > 2000) s.wReflex = 301;
    if (!s.whiskey.hidden && s.gameMode != 2) {
        huntBottle(d, s.Hrac2, s.whiskey);
    } else {
        keepOffEdgesAndFace(d, s.Hrac2, s.Hrac1);
        keepDistance(d, s, s.Hrac2, s.Hrac1);
    }
    aimAndTrigger(d, s, s.Hrac2, s.Hrac1);
    return BlueInput{d.fire, d.goRight, d.goLeft, d.goDown, d.goUp};
}
