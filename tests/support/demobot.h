// demobot.h: a player at the keyboard for recording duels unattended: it starts a round of a given game type
// from the menu, plays red (and blue in the two-player edition), answers the winner screen and closes the
// window. Used by the demo tests and by demogen, which records the duels kept in the source tree.
#ifndef KORVADO_TEST_DEMOBOT_H
#define KORVADO_TEST_DEMOBOT_H

#include <algorithm>
#include <cmath>

#include "game/game.h"
#include "shell/shell.h"

namespace demobot {

// A player's keys, and how near level with the other he is content to be (blue less fussy, so that the two
// do not step past each other for ever).
struct Pad {
    int up, down, left, right, fire;
    float level;
};
const Pad RED = {K_UP, K_DOWN, K_LEFT, K_RIGHT, K_RCTRL, 3};
const Pad BLUE = {K_W, K_S, K_A, K_D, K_Q, 9};

inline int mode;           // the game type to play
// How the duel is played: plainly; leaving the round with Escape once for a while and resuming it; or as
// twins, who fire only in the same pass, so that both fall together (red's shot, then blue's last one).
enum Variant { PLAIN, ESCAPE, TWINS };
inline Variant variant;
inline long roundPasses, onMenu;
inline Uint32 now;         // the bot's clock: 60 passes a second
inline long passes, waits, onMain, rounds;
inline bool tapped, closeAsked;
inline uint16_t k;         // the keys it holds down for the game, as the game left them after the last pass

inline Uint32 clock() { return now; }
inline void set(int key, bool down) { k = down ? uint16_t(k | keyBit(key)) : uint16_t(k & ~keyBit(key)); }
inline bool down(int key) { return k & keyBit(key); }

inline bool backing[2];  // each cowboy stepping back from the other, until well apart

// Faces the other cowboy from a distance and fires; too near, it steps well away first.
inline void duel(const Player& me, bool blue, const Pad& p, float dx) {
    bool right = dx > 0;
    bool& back = backing[blue];
    back = std::fabs(dx) < 80 || (back && std::fabs(dx) < 200 && me.x > 0 && me.x < 720);
    if (back) set(right ? p.left : p.right, true);
    else if (me.smer != (right ? 'r' : 'l')) set(right ? p.right : p.left, true);
    else if (me.canShoot) set(p.fire, true);
}

// To the bottle while it shows (in type 1 only when low on lives), else level with the other cowboy.
inline void drive(const GameState& s, bool blue, const Pad& p) {
    const Player &me = blue ? s.Hrac2 : s.Hrac1, &foe = blue ? s.Hrac1 : s.Hrac2;
    const Whiskey& w = s.whiskey;
    bool bottle = s.gameMode != 2 && !w.hidden && (s.gameMode == 0 || me.whiskeyCount < 3);
    if (me.dead || (!bottle && foe.dead)) return;
    float dy = (bottle ? std::min(w.y - 78, 470) : foe.y) - me.y;  // feet on the bottle's foot
    float dx = (bottle ? std::max(w.x - 20, 0) : foe.x) - me.x;
    float near = bottle ? 3 : p.level;
    if (dy > near) set(p.down, true);
    else if (dy < -near) set(p.up, true);
    else if (!bottle) duel(me, blue, p, dx);
    else if (std::fabs(dx) > 3) set(dx > 0 ? p.right : p.left, true);
}

// A key pressed for one pass whenever the menu's guard is open, let go in between.
inline void tap(const GameState& s, int key) {
    tapped = !tapped && s.mCanMove;
    set(key, tapped);
}

// Main page: new game; the game types: down to the type, then Return. After a round: the window closes.
inline void driveMenu(const GameState& s) {
    if (rounds > 0) {
        closeAsked = ++onMain > 60;
        return;
    }
    if (s.pozicemenu == 0 && ++onMain > 40) tap(s, K_RETURN);
    if (s.pozicemenu == 1) tap(s, s.volbamenu < mode ? K_DOWN : K_RETURN);
}

// Red in blue's line of fire or the other way round: facing him, more than 50 pixels off and level.
inline bool ready(const Player& me, const Player& foe) {
    float dx = foe.x - me.x;
    bool facing = me.smer == (dx > 0 ? 'r' : 'l');
    return facing && std::fabs(dx) > 50 && std::fabs(me.y - foe.y) < 11 && me.canShoot && !me.dead && !foe.dead;
}

// The round left with Escape 700 passes in, a step down and up the main page, and Escape back into it.
inline bool escapeAndResume(const GameState& s) {
    set(K_ESCAPE, false);
    if (s.gameBezi && ++roundPasses == 700) return set(K_ESCAPE, true), set(K_RETURN, false), true;
    if (s.gameBezi || roundPasses < 700 || rounds > 0) return false;
    ++onMenu;
    if (onMenu == 30 || onMenu == 60) set(onMenu == 30 ? K_DOWN : K_UP, true);
    if (onMenu > 90 && s.mCanMove && s.canEsc) set(K_ESCAPE, true);
    return true;
}

// The bot's keys for a pass of a round or the menu.
inline void play(const GameState& s) {
    if (variant == ESCAPE && escapeAndResume(s)) return;
    if (s.gameBezi) drive(s, false, RED);
#ifndef KORVADO_SP
    if (s.gameBezi) drive(s, true, BLUE);
#endif
    if (s.gameBezi && variant == TWINS) {
        bool both = ready(s.Hrac1, s.Hrac2) && ready(s.Hrac2, s.Hrac1);
        set(RED.fire, both), set(BLUE.fire, both);
    }
    if (s.menuBezi && !s.gameBezi) driveMenu(s);
}

// The input source of an unattended run: the keys the game still sees down, changed by the bot, all of them
// marked as pressed so that the game sees them as they are; the frame time on the bot's clock.
inline bool inputs(const GameState& s, bool timed, TicCmd& cmd) {
    now += passes++ % 3 ? 17 : 16;
    cmd = TicCmd();
    cmd.close = closeAsked;
    if (timed) cmd.dt = frameTime();
    k = s.keys;
    for (int key = K_UP; key <= K_Q; key++) set(key, false);
    if (!timed) {  // a winner screen: Return after a while
        set(K_RETURN, ++waits > 120);
        rounds += down(K_RETURN);
    } else {
        play(s);
    }
    cmd.held = cmd.fresh = k;
    return true;
}

// Ready for a run of game type `type` on the bot's clock: the state to play, its generator seeded.
inline GameState start(int type, unsigned seed, Variant how = PLAIN) {
    mode = type;
    variant = how;
    roundPasses = onMenu = 0;
    now = 1000;
    passes = waits = onMain = rounds = 0;
    tapped = closeAsked = backing[0] = backing[1] = false;
    tickSource = clock;
    pacing = false;
    return startState(seed);
}

}  // namespace demobot

#endif
