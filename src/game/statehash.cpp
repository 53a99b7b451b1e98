// statehash.cpp: one number for the game state: the network's check that two games agree, a demo's result.
#include "game/game.h"

#include <cstddef>
#include <cstdio>

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

namespace {

// Lines of "name value" for the text of a state.
struct Lines {
    std::string text;
    const char* owner = "";
    Lines& add(const char* name, double v) {
        char b[96];
        snprintf(b, sizeof b, "%s%s %.9g\n", owner, name, v);
        text += b;
        return *this;
    }
    Lines& box(const char* name, const Box& r) {
        char b[96];
        snprintf(b, sizeof b, "%s%s %d %d %d %d\n", owner, name, r.x, r.y, r.w, r.h);
        text += b;
        return *this;
    }
};

void playerLines(Lines& l, const Player& p, const char* owner) {
    l.owner = owner;
    l.add("whiskeyCount", p.whiskeyCount).add("dead", p.dead).add("canShoot", p.canShoot).add("shooting", p.shooting);
    l.add("x", p.x).add("y", p.y).add("smer", p.smer).add("motion", p.motion).box("rect", p.rect);
    l.add("frame", p.frame).add("animTime", p.animTime).add("delta", p.delta).add("deadTime", p.deadTime);
    l.add("speed", p.speed).add("reloadTime", p.reloadTime);
}

}  // namespace

std::string stateText(const GameState& s) {
    Lines l;
    l.add("screen", s.screen).add("done", s.done).add("menuBezi", s.menuBezi).add("gameBezi", s.gameBezi);
    l.add("gameOver", s.gameOver).add("canEsc", s.canEsc).add("canGEsc", s.canGEsc).add("mCanMove", s.mCanMove);
    l.add("doCount", s.doCount).add("p2justdied", s.p2justdied).add("gameMode", s.gameMode).add("wLimit", s.wLimit);
    l.add("volbamenu", s.volbamenu).add("pozicemenu", s.pozicemenu).add("r", s.r).add("delta", s.delta);
    l.add("mPause", s.mPause).add("cPause", s.cPause).add("reflex", s.reflex).add("wReflex", s.wReflex);
    l.add("rng.seed", s.rng.seed).add("rng.draws", double(s.rng.draws)).add("keys", s.keys);
    l.add("heldBefore", s.heldBefore).add("winners", s.winners[0] * 10 + s.winners[1]);
    l.add("winnerCount", s.winnerCount).add("winnerAt", s.winnerAt).add("shown.view", s.shown.view);
    l.add("shown.page", s.shown.page).add("shown.item", s.shown.item).add("shown.redFront", s.shown.redFront);
    l.add("shown.bottleAt", s.shown.bottleAt).add("shown.redCount", s.shown.redCount);
    l.add("shown.blueCount", s.shown.blueCount);
    playerLines(l, s.Hrac1, "Hrac1.");
    playerLines(l, s.Hrac2, "Hrac2.");
    const Whiskey& w = s.whiskey;
    l.owner = "whiskey.";
    l.add("x", w.x).add("y", w.y).add("drawn", w.drawn).add("hidden", w.hidden).box("rect", w.rect);
    l.add("frame", w.frame).add("timer", w.timer);
    return l.text;
}

std::string stateDifferences(const GameState& a, const GameState& b) {
    std::string ta = stateText(a), tb = stateText(b), out;
    for (size_t i = 0, j = 0; i < ta.size() && j < tb.size();) {
        size_t ei = ta.find('\n', i), ej = tb.find('\n', j);
        if (ta.compare(i, ei - i, tb, j, ej - j) != 0) out += (out.empty() ? "" : ", ") + ta.substr(i, ta.find(' ', i) - i);
        i = ei + 1, j = ej + 1;
    }
    if (out.empty() && stateHash(a) != stateHash(b)) out = "the generator's inner state";
    return out;
}
