// statehash.cpp: one number for every value the game's next pass depends on: the lockstep's check, a demo's result.
#include "game.h"

// The keys the round and the menu read, in the order the lockstep shares them.
static const int HASHED_KEYS[12] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RCTRL, SDLK_w,
                                    SDLK_s,  SDLK_a,    SDLK_d,    SDLK_q,     SDLK_RETURN, SDLK_ESCAPE};

namespace {

void mixHash(uint32_t& h, const void* p, size_t n) {
    const unsigned char* b = (const unsigned char*)p;
    for (size_t i = 0; i < n; i++) h = (h ^ b[i]) * 16777619u;  // FNV-1a
}

template <typename T>
void mix(uint32_t& h, const T& v) {
    mixHash(h, &v, sizeof v);
}

// A rectangle as SDL 1.2 keeps one, in 16 bits: the same hash where an SDL's rectangle has wider fields.
void mixRect(uint32_t& h, const SDL_Rect& r) {
    mix(h, Sint16(r.x)), mix(h, Sint16(r.y)), mix(h, Uint16(r.w)), mix(h, Uint16(r.h));
}

void mixPlayer(uint32_t& h, const Player* p) {
    mix(h, p->whiskeyCount), mix(h, p->dead), mix(h, p->canShoot), mix(h, p->shooting);
    mix(h, p->x), mix(h, p->y), mix(h, p->smer), mix(h, p->motion), mix(h, p->frame);
    mix(h, p->animTime), mix(h, p->delta), mix(h, p->deadTime), mix(h, p->speed), mix(h, p->reloadTime);
    mixRect(h, p->rect);
}

}  // namespace

uint32_t stateHash() {
    uint32_t h = 2166136261u;
    bool flags[] = {done, menuBezi, gameBezi, gameOver, canEsc, canGEsc, mCanMove, doCount, p2justdied};
    mixHash(h, flags, sizeof flags);
    int numbers[] = {gameMode, wLimit, volbamenu, pozicemenu, r};
    mixHash(h, numbers, sizeof numbers);
    float times[] = {delta, mPause, cPause};
    mixHash(h, times, sizeof times);
    mixPlayer(h, Hrac1);
    mixPlayer(h, Hrac2);
    mix(h, whiskey.x), mix(h, whiskey.y), mix(h, whiskey.drawn), mix(h, whiskey.hidden), mix(h, whiskey.frame);
    mix(h, whiskey.timer), mixRect(h, whiskey.rect);
    for (int k : HASHED_KEYS) mix(h, keys[k]);
    return h;
}
