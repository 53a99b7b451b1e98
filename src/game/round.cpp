// round.cpp: one pass of a round: inputs, shots and hits, pickups, the depth order, the countdown and the end.
#include "game/ticker.h"

// The blue cowboy's five inputs for this pass: his keys in the two-player edition, the computer's
// decisions in the single-player edition. Both editions then play the same pass with them.
static BlueInput blueInput(GameState& s) {
#ifdef KORVADO_SP
    return opponentDecide(s);
#else
    return BlueInput{held(s, K_Q), held(s, K_D), held(s, K_A), held(s, K_S), held(s, K_W)};
#endif
}

// T is level with S when T's line at y + 135 lies strictly inside S's band from y + 123 to y + 147.
static bool level(const Player& s, const Player& t) {
    double tLine = (double)t.y + 135;
    return tLine > (double)s.y + 123 && (double)s.y + 147 > tLine;
}

// A hit: a cry (or none) from the one hit, the last-shot mark when red hit blue, and the target goes down.
static void hit(GameState& s, Player& shooter, Player& target, TickEvents& ev) {
    uint8_t who = &target == &s.Hrac1 ? 1 : 2;
    s.r = s.rng.next() % 10;
    if (s.r <= 1) ev.play(SND_OUCH, who);
    else if (s.r <= 3) ev.play(SND_YEEHAAA, who);
    else if (s.r >= 7) ev.play(SND_YAAHOOO, who);
    if (&shooter == &s.Hrac1) s.p2justdied = true;
    target.die();
}

// The shot reaches across the whole street: facing the target, more than 50 pixels ahead and level.
static void fire(GameState& s, Player& shooter, Player& target, TickEvents& ev) {
    ev.play(SND_FIRE, &shooter == &s.Hrac1 ? 1 : 2);
    shooter.shoot();
    if (shooter.getSmer() == 'r' && !target.dead && (double)target.x > (double)shooter.x + 50 && level(shooter, target))
        hit(s, shooter, target, ev);
    if (shooter.getSmer() == 'l' && !target.dead && (double)shooter.x > (double)target.x + 50 && level(shooter, target))
        hit(s, shooter, target, ev);
}

// One walking direction per frame: the first held one of right, left, down, up wins.
static void walk(Player& p, bool right, bool left, bool down, bool up) {
    if (right && (p.motion == 's' || p.motion == 'r')) p.wRight();
    if (left && (p.motion == 's' || p.motion == 'l')) p.wLeft();
    if (down && (p.motion == 's' || p.motion == 'd')) p.wDown();
    if (up && (p.motion == 's' || p.motion == 'u')) p.wUp();
}

// Escape leaves the round for the menu's main page, after a pause of 100 ms; the rest of the pass still runs.
static void roundEscape(GameState& s, TickEvents& ev) {
    if (!held(s, K_ESCAPE) || !s.canGEsc) return;
    s.canEsc = false;
    s.gameBezi = false;
    s.menuBezi = true;
    ev.pause = true;
    s.volbamenu = 0;
    s.pozicemenu = 0;
}

// The red cowboy's turn: Right Ctrl fires, the arrows walk.
static void redTurn(GameState& s, TickEvents& ev) {
    if (s.Hrac1.dead || s.doCount) return;
    if (held(s, K_RCTRL) && s.Hrac1.canShoot) fire(s, s.Hrac1, s.Hrac2, ev);
    walk(s.Hrac1, held(s, K_RIGHT), held(s, K_LEFT), held(s, K_DOWN), held(s, K_UP));
}

// The blue cowboy's turn. A blue cowboy just hit by red still gets his last shot in this frame.
static void blueTurn(GameState& s, const BlueInput& in, TickEvents& ev) {
    if (s.p2justdied && in.fire && s.Hrac2.canShoot) fire(s, s.Hrac2, s.Hrac1, ev);
    if (s.Hrac2.dead || s.doCount) return;
    if (in.fire && s.Hrac2.canShoot) fire(s, s.Hrac2, s.Hrac1, ev);
    walk(s.Hrac2, in.right, in.left, in.down, in.up);
#ifndef KORVADO_SP
    if (held(s, K_K)) s.done = true;
#endif
}

// Whoever touched the bottle last frame takes it; red is asked first, so he wins a tie.
static void pickups(GameState& s, TickEvents& ev) {
    if (s.whiskey.kolid(s.Hrac1.rect, s.rng)) {
        s.Hrac1.whiskeyCount++;
        ev.play(SND_YIPEE, 1);
    }
    if (s.whiskey.kolid(s.Hrac2.rect, s.rng)) {
        s.Hrac2.whiskeyCount++;
        ev.play(SND_YIPEE, 2);
    }
}

// The cowboy nearer the bottom of the screen is drawn in front; red wins equal feet lines. Each is animated
// just before he is drawn, the one behind first, so their clocks and a respawn's draws go in that order.
// The bottle gets a chance to be drawn before each cowboy and after the front one (its hidden time counts
// once per chance it gets); only the first chance it is showing draws it.
static void depthOrder(GameState& s) {
    float redFeet = s.Hrac1.y + 130, blueFeet = s.Hrac2.y + 130, base = (float)(s.whiskey.y + 55);
    bool redFront = redFeet >= blueFeet;
    Player& back = redFront ? s.Hrac2 : s.Hrac1;
    Player& front = redFront ? s.Hrac1 : s.Hrac2;
    float backFeet = redFront ? blueFeet : redFeet, frontFeet = redFront ? redFeet : blueFeet;
    s.shown.redFront = redFront;
    s.shown.bottleAt = -1;
    bool chances[3] = {backFeet >= base, frontFeet >= base, base > frontFeet};
    for (int at = 0; at < 3; at++) {
        if (chances[at]) {
            bool before = s.whiskey.drawn;
            s.whiskey.chance(s.delta);
            if (!before && s.whiskey.drawn) s.shown.bottleAt = int8_t(at);
        }
        Player* p = at == 0 ? &back : at == 1 ? &front : nullptr;
        if (p) p->anim(s.rng), p->place();
    }
}

// The end of the round by game type: the winner screens to show, in their order; in types 1 and 2 blue's
// first, when both cowboys lost their last life in one pass.
static void endOfRound(GameState& s) {
    const Player &red = s.Hrac1, &blue = s.Hrac2;
    bool ends[2] = {false, false};  // red wins, blue wins
    if (s.gameMode == 0) ends[0] = red.whiskeyCount >= s.wLimit, ends[1] = blue.whiskeyCount >= s.wLimit;
    if (s.gameMode == 1 || s.gameMode == 2) ends[1] = red.whiskeyCount <= 0, ends[0] = blue.whiskeyCount <= 0;
    bool blueFirst = s.gameMode != 0;
    for (int i = 0; i < 2; i++) {
        int w = blueFirst ? 1 - i : i;
        if (ends[w]) s.winners[s.winnerCount++] = uint8_t(w + 1);
    }
}

void roundPass(GameState& s, TickEvents& ev) {
    s.shown.view = VIEW_ROUND;
    s.winnerCount = s.winnerAt = 0;
    s.Hrac1.setDelta(s.delta);
    s.Hrac1.motion = 's';
    s.Hrac2.setDelta(s.delta);
    s.Hrac2.motion = 's';
    roundEscape(s, ev);
    redTurn(s, ev);
    BlueInput in = blueInput(s);
    blueTurn(s, in, ev);
    pickups(s, ev);
    depthOrder(s);
    s.shown.redCount = int8_t(s.Hrac1.whiskeyCount), s.shown.blueCount = int8_t(s.Hrac2.whiskeyCount);
    s.whiskey.drawn = false;
    s.p2justdied = false;
    s.canGEsc = true;
    if (s.doCount) count(s);
    if (!s.gameBezi) return;
    endOfRound(s);
    if (!s.winnerCount) keepCounts(s);
}

// Type 1 keeps each count to five, in every pass of the round, after any winner screens of the pass.
void keepCounts(GameState& s) {
    if (s.gameMode != 1) return;
    if (s.Hrac1.whiskeyCount > 4) s.Hrac1.whiskeyCount = 5;
    if (s.Hrac2.whiskeyCount > 4) s.Hrac2.whiskeyCount = 5;
}
