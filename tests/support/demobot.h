// demobot.h: a player at the keyboard for recording duels unattended: it starts a round of a given game type
// from the menu, plays red (and blue in the two-player edition), answers the winner screen and closes the
// window. Used by the demo tests and by demogen, which records the duels kept in the source tree.
#ifndef KORVADO_TEST_DEMOBOT_H
#define KORVADO_TEST_DEMOBOT_H

#include <algorithm>
#include <cmath>
#include <cstring>

#include "game.h"

namespace demobot {

// A player's keys, and how near level with the other he is content to be (blue less fussy, so that the two
// do not step past each other for ever).
struct Pad {
    int up, down, left, right, fire;
    float level;
};
const Pad RED = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RCTRL, 3};
const Pad BLUE = {SDLK_w, SDLK_s, SDLK_a, SDLK_d, SDLK_q, 9};

inline int mode;           // the game type to play
// How the duel is played: plainly; leaving the round with Escape once for a while and resuming it; or as
// twins, who fire only in the same pass, so that both fall together (red's shot, then blue's last one).
enum Variant { PLAIN, ESCAPE, TWINS };
inline Variant variant;
inline long roundPasses, onMenu;
inline Uint32 now;         // the bot's clock: 60 passes a second
inline long passes, waits, onMain, rounds;
inline bool tapped, closeAsked;

inline Uint32 clock() { return now; }

inline bool backing[2];  // each cowboy stepping back from the other, until well apart

// Faces the other cowboy from a distance and fires; too near, it steps well away first.
inline void duel(Player* me, const Pad& p, Uint8* k, float dx) {
    bool right = dx > 0;
    bool& back = backing[me == Hrac2];
    back = std::fabs(dx) < 80 || (back && std::fabs(dx) < 200 && me->x > 0 && me->x < 720);
    if (back) k[right ? p.left : p.right] = 1;
    else if (me->smer != (right ? 'r' : 'l')) k[right ? p.right : p.left] = 1;
    else if (me->canShoot) k[p.fire] = 1;
}

// To the bottle while it shows (in type 1 only when low on lives), else level with the other cowboy.
inline void drive(Player* me, Player* foe, const Pad& p, Uint8* k) {
    bool bottle = gameMode != 2 && !whiskey.hidden && (gameMode == 0 || me->whiskeyCount < 3);
    if (me->dead || (!bottle && foe->dead)) return;
    float dy = (bottle ? std::min(whiskey.y - 78, 470) : foe->y) - me->y;  // feet on the bottle's foot
    float dx = (bottle ? std::max(whiskey.x - 20, 0) : foe->x) - me->x;
    float near = bottle ? 3 : p.level;
    if (dy > near) k[p.down] = 1;
    else if (dy < -near) k[p.up] = 1;
    else if (!bottle) duel(me, p, k, dx);
    else if (std::fabs(dx) > 3) k[dx > 0 ? p.right : p.left] = 1;
}

// A key pressed for one pass whenever the menu's guard is open, let go in between.
inline void tap(Uint8* k, int key) {
    tapped = !tapped && mCanMove;
    k[key] = tapped;
}

// Main page: new game; the game types: down to the type, then Return. After a round: the window closes.
inline void driveMenu(Uint8* k) {
    if (rounds > 0) {
        closeAsked = ++onMain > 60;
        return;
    }
    if (pozicemenu == 0 && ++onMain > 40) tap(k, SDLK_RETURN);
    if (pozicemenu == 1) tap(k, volbamenu < mode ? SDLK_DOWN : SDLK_RETURN);
}

// Red in blue's line of fire or the other way round: facing him, more than 50 pixels off and level.
inline bool ready(const Player* me, const Player* foe) {
    float dx = foe->x - me->x;
    bool facing = me->smer == (dx > 0 ? 'r' : 'l');
    return facing && std::fabs(dx) > 50 && std::fabs(me->y - foe->y) < 11 && me->canShoot && !me->dead && !foe->dead;
}

// The round left with Escape 700 passes in, a step down and up the main page, and Escape back into it.
inline bool escapeAndResume(Uint8* k) {
    k[SDLK_ESCAPE] = 0;
    if (gameBezi && ++roundPasses == 700) return k[SDLK_ESCAPE] = 1, k[SDLK_RETURN] = 0, true;
    if (gameBezi || roundPasses < 700 || rounds > 0) return false;
    ++onMenu;
    if (onMenu == 30 || onMenu == 60) k[onMenu == 30 ? SDLK_DOWN : SDLK_UP] = 1;
    if (onMenu > 90 && mCanMove && canEsc) k[SDLK_ESCAPE] = 1;
    return true;
}

// takeInputs for an unattended run: this machine's inputs, with the bot's keys written into SDL's array.
inline bool inputs(bool timed) {
    now += passes++ % 3 ? 17 : 16;
    if (closeAsked) {
        SDL_Event quit;
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    }
    bool got = localInputs(timed);
    const int all[] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RCTRL, SDLK_w, SDLK_s, SDLK_a, SDLK_d, SDLK_q};
    for (int key : all) keys[key] = 0;
    if (!timed) {  // a winner screen: Return after a while
        keys[SDLK_RETURN] = ++waits > 120;
        rounds += keys[SDLK_RETURN];
        return got;
    }
    if (variant == ESCAPE && escapeAndResume(keys)) return got;
    if (gameBezi) drive(Hrac1, Hrac2, RED, keys);
#ifndef KORVADO_SP
    if (gameBezi) drive(Hrac2, Hrac1, BLUE, keys);
#endif
    if (gameBezi && variant == TWINS) keys[RED.fire] = keys[BLUE.fire] = ready(Hrac1, Hrac2) && ready(Hrac2, Hrac1);
    if (menuBezi && !gameBezi) driveMenu(keys);
    return got;
}

// Ready for a run of game type `type` on the bot's clock, with the game's generator seeded.
inline void start(int type, unsigned seed, Variant how = PLAIN) {
    mode = type;
    variant = how;
    roundPasses = onMenu = 0;
    now = 1000;
    passes = waits = onMain = rounds = 0;
    tapped = closeAsked = backing[0] = backing[1] = false;
    tickSource = clock;
    pacing = false;
    gameSrand(seed);
    takeInputs = inputs;
}

}  // namespace demobot

#endif
