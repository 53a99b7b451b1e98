// round.cpp: one frame of a round: input, shots and hits, pickups, depth-ordered drawing, HUD and the round's end.
#include "game.h"

#include <cstdlib>

// The blue cowboy's five inputs for this frame: his keys in the two-player edition, the computer's
// decisions in the single-player edition. Both editions then play the same frame with them.
static BlueInput blueInput() {
#ifdef KORVADO_SP
    return opponentDecide();
#else
    BlueInput in;
    in.fire = keys[SDLK_q] != 0;
    in.right = keys[SDLK_d] != 0;
    in.left = keys[SDLK_a] != 0;
    in.down = keys[SDLK_s] != 0;
    in.up = keys[SDLK_w] != 0;
    return in;
#endif
}

// T is level with S when T's line at y + 135 lies strictly inside S's band from y + 123 to y + 147.
static bool level(const Player* s, const Player* t) {
    double tLine = (double)t->y + 135;
    return tLine > (double)s->y + 123 && (double)s->y + 147 > tLine;
}

// A hit: a cry (or none), the last-shot mark when red hit blue, and the target goes down.
static void hit(Player* shooter, Player* target) {
    r = gameRand() % 10;
    if (r <= 1)
        FSOUND_PlaySound(FSOUND_FREE, sy1);
    else if (r <= 3)
        FSOUND_PlaySound(FSOUND_FREE, sy3);
    else if (r >= 7)
        FSOUND_PlaySound(FSOUND_FREE, sy2);
    if (shooter == Hrac1) p2justdied = true;
    target->die();
}

// The shot reaches across the whole street: facing the target, more than 50 pixels ahead and level.
static void fire(Player* shooter, Player* target) {
    FSOUND_PlaySound(FSOUND_FREE, sgfire);
    shooter->shoot();
    if (shooter->getSmer() == 'r' && !target->dead && (double)target->x > (double)shooter->x + 50 &&
        level(shooter, target))
        hit(shooter, target);
    if (shooter->getSmer() == 'l' && !target->dead && (double)shooter->x > (double)target->x + 50 &&
        level(shooter, target))
        hit(shooter, target);
}

// One walking direction per frame: the first held one of right, left, down, up wins.
static void walk(Player* p, bool right, bool left, bool down, bool up) {
    if (right && (p->motion == 's' || p->motion == 'r')) p->wRight();
    if (left && (p->motion == 's' || p->motion == 'l')) p->wLeft();
    if (down && (p->motion == 's' || p->motion == 'd')) p->wDown();
    if (up && (p->motion == 's' || p->motion == 'u')) p->wUp();
}

// Escape leaves the round for the menu's main page; the rest of the frame still runs.
static void roundEscape() {
    if (!keys[SDLK_ESCAPE] || !canGEsc) return;
    canEsc = false;
    gameBezi = false;
    menuBezi = true;
    SDL_Delay(100);
    volbamenu = 0;
    pozicemenu = 0;
}

// The red cowboy's turn: Right Ctrl fires, the arrows walk.
static void redTurn() {
    if (Hrac1->dead || doCount) return;
    if (keys[SDLK_RCTRL] && Hrac1->canShoot) fire(Hrac1, Hrac2);
    walk(Hrac1, keys[SDLK_RIGHT], keys[SDLK_LEFT], keys[SDLK_DOWN], keys[SDLK_UP]);
}

// The blue cowboy's turn. A blue cowboy just hit by red still gets his last shot in this frame.
static void blueTurn(const BlueInput& in) {
    if (p2justdied && in.fire && Hrac2->canShoot) fire(Hrac2, Hrac1);
    if (Hrac2->dead || doCount) return;
    if (in.fire && Hrac2->canShoot) fire(Hrac2, Hrac1);
    walk(Hrac2, in.right, in.left, in.down, in.up);
#ifndef KORVADO_SP
    if (keys[SDLK_k]) done = true;
#endif
}

// Whoever touched the bottle last frame takes it; red is asked first, so he wins a tie.
static void pickups() {
    if (whiskey.kolid(Hrac1->rect)) {
        Hrac1->whiskeyCount++;
        FSOUND_PlaySound(FSOUND_FREE, swhis);
    }
    if (whiskey.kolid(Hrac2->rect)) {
        Hrac2->whiskeyCount++;
        FSOUND_PlaySound(FSOUND_FREE, swhis);
    }
}

// The cowboy nearer the bottom of the screen is drawn in front; red wins equal feet lines. The bottle
// gets three chances to be drawn, and only the first that is taken draws it.
static void drawInDepth() {
    float redFeet = Hrac1->y + 130;
    float blueFeet = Hrac2->y + 130;
    float base = (float)(whiskey.y + 55);
    bool redFront = redFeet >= blueFeet;
    Player* back = redFront ? Hrac2 : Hrac1;
    Player* front = redFront ? Hrac1 : Hrac2;
    float backFeet = redFront ? blueFeet : redFeet;
    float frontFeet = redFront ? redFeet : blueFeet;

    if (backFeet >= base) whiskey.draw(screen, delta);
    back->anim();
    back->draw();
    if (frontFeet >= base) whiskey.draw(screen, delta);
    front->anim();
    front->draw();
    if (base > frontFeet) whiskey.draw(screen, delta);
}

// A count picture; a count outside the eleven pictures draws nothing rather than read past them.
static void drawCount(int n, SDL_Rect* at) {
    if (n < 0 || n > 10) return;
    SDL_UpperBlit(wc[n], NULL, screen, at);
    noteDrawn(screen, at);
}

// Blue's count top left, red's top right, the portraits over them.
static void drawHud() {
    hud3.x = 5;
    hud3.y = 0;
    hud4.x = 695;
    hud4.y = 0;
    drawCount(Hrac2->whiskeyCount, &hud1);
    drawCount(Hrac1->whiskeyCount, &hud2);
    SDL_UpperBlit(bpi, NULL, screen, &hud3);
    noteDrawn(screen, &hud3);
    SDL_UpperBlit(rpi, NULL, screen, &hud4);
    noteDrawn(screen, &hud4);
}

// The end of the round by game type. Both winner screens can come in one frame: in types 1 and 2
// blue's first, when both cowboys lost their last life together.
static void endOfRound() {
    if (gameMode == 0 && gameBezi) {
        if (Hrac1->whiskeyCount >= wLimit) gameOverAn(1);
        if (Hrac2->whiskeyCount >= wLimit) gameOverAn(2);
    }
    if (gameMode == 1 && gameBezi) {
        if (Hrac1->whiskeyCount <= 0) gameOverAn(2);
        if (Hrac2->whiskeyCount <= 0) gameOverAn(1);
        if (Hrac1->whiskeyCount > 4) Hrac1->whiskeyCount = 5;
        if (Hrac2->whiskeyCount > 4) Hrac2->whiskeyCount = 5;
    }
    if (gameMode == 2 && gameBezi) {
        if (Hrac1->whiskeyCount <= 0) gameOverAn(2);
        if (Hrac2->whiskeyCount <= 0) gameOverAn(1);
    }
}

void game() {
    drawBackground(bgr);

    Hrac1->setDelta(delta);
    Hrac1->motion = 's';
    Hrac2->setDelta(delta);
    Hrac2->motion = 's';

    roundEscape();
    redTurn();
    BlueInput in = blueInput();
    blueTurn(in);
    pickups();
    drawInDepth();
    drawHud();

    whiskey.drawn = false;
    p2justdied = false;
    canGEsc = true;
    if (doCount) count();

    endOfRound();
}
