// statehash.cpp: one number for the game state: the network's check that two games agree, a demo's result.
#include "game/game.h"

#include <cstddef>

namespace {

// FNV-1a over bytes.
struct Hasher {
    uint32_t h = 2166136261u;
    void bytes(const void* p, size_t n) {
        const unsigned char* b = (const unsigned char*)p;
        for (size_t i = 0; i < n; i++) h = (h ^ b[i]) * 16777619u;
    }
    template <typename T>
    Hasher& operator<<(const T& v) {
        bytes(&v, sizeof v);
        return *this;
    }
    Hasher& operator<<(const Box& b) { return *this << b.x << b.y << b.w << b.h; }
};

void mixPlayer(Hasher& h, const Player& p) {
    h << p.whiskeyCount << p.dead << p.canShoot << p.shooting << p.x << p.y << p.smer << p.motion << p.frame;
    h << p.animTime << p.delta << p.deadTime << p.speed << p.reloadTime << p.rect;
}

void mixWhiskey(Hasher& h, const Whiskey& w) {
    h << w.x << w.y << w.drawn << w.hidden << w.frame << w.timer << w.rect;
}

// The flags, the numbers and the clocks of the menu and the round, as the hash has always taken them.
void mixScreens(Hasher& h, const GameState& s) {
    bool flags[] = {s.done, s.menuBezi, s.gameBezi, s.gameOver, s.canEsc, s.canGEsc, s.mCanMove, s.doCount,
                    s.p2justdied};
    h.bytes(flags, sizeof flags);
    int numbers[] = {s.gameMode, s.wLimit, s.volbamenu, s.pozicemenu, s.r};
    h.bytes(numbers, sizeof numbers);
    float times[] = {s.delta, s.mPause, s.cPause};
    h.bytes(times, sizeof times);
}

}  // namespace

// The keys in the order the hash has always taken them: the round's, then Return and Escape; K is left out.
uint32_t legacyHash(const GameState& s) {
    Hasher h;
    mixScreens(h, s);
    mixPlayer(h, s.Hrac1);
    mixPlayer(h, s.Hrac2);
    mixWhiskey(h, s.whiskey);
    for (int k = K_UP; k <= K_ESCAPE; k++) h << uint8_t(s.keys >> k & 1);
    return h.h;
}

uint32_t stateHash(const GameState& s) {
    Hasher h;
    h.h = legacyHash(s);
    const Shown& v = s.shown;
    h << s.screen << s.reflex << s.wReflex << s.rng.seed << s.rng.draws << s.keys << s.heldBefore;
    h << s.winners[0] << s.winners[1] << s.winnerCount << s.winnerAt;
    h << v.view << v.page << v.item << v.redFront << v.bottleAt << v.redCount << v.blueCount;
    return h.h;
}
