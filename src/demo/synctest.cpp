// synctest.cpp: the sync test: every pass is run, then the passes of the last N are run again from the state
// N passes back with the same records, and both must end in the same state. What rollback stands on.
#include "demo/demo.h"
#include "shell/shell.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

int syncDepth;         // --synctest N: the depth of the passes run again; 0 without
long syncPasses;       // ... with random records: how many passes
uint32_t syncSeed;     // ... and the seed of the records and of the game

namespace {

// The fields of the state by name, for telling which of two states differ.
struct Field {
    const char* owner;
    const char* name;
    const void* at;
    size_t size;
};

struct Fields {
    std::vector<Field> all;
    const char* owner = "";
    template <typename T>
    Fields& add(const char* name, const T& v) {
        all.push_back(Field{owner, name, &v, sizeof v});
        return *this;
    }
};

void playerFields(Fields& f, const Player& p, const char* owner) {
    f.owner = owner;
    f.add("whiskeyCount", p.whiskeyCount).add("dead", p.dead).add("canShoot", p.canShoot).add("shooting", p.shooting);
    f.add("x", p.x).add("y", p.y).add("smer", p.smer).add("motion", p.motion).add("rect", p.rect);
    f.add("frame", p.frame).add("animTime", p.animTime).add("delta", p.delta).add("deadTime", p.deadTime);
    f.add("speed", p.speed).add("reloadTime", p.reloadTime);
}

Fields fields(const GameState& s) {
    Fields f;
    f.add("screen", s.screen).add("done", s.done).add("menuBezi", s.menuBezi).add("gameBezi", s.gameBezi);
    f.add("gameOver", s.gameOver).add("canEsc", s.canEsc).add("canGEsc", s.canGEsc).add("mCanMove", s.mCanMove);
    f.add("doCount", s.doCount).add("p2justdied", s.p2justdied).add("gameMode", s.gameMode).add("wLimit", s.wLimit);
    f.add("volbamenu", s.volbamenu).add("pozicemenu", s.pozicemenu).add("r", s.r).add("delta", s.delta);
    f.add("mPause", s.mPause).add("cPause", s.cPause).add("reflex", s.reflex).add("wReflex", s.wReflex);
    f.add("rng.seed", s.rng.seed).add("rng.draws", s.rng.draws).add("keys", s.keys).add("heldBefore", s.heldBefore);
    f.add("winners", s.winners).add("winnerCount", s.winnerCount).add("winnerAt", s.winnerAt);
    f.add("shown.view", s.shown.view).add("shown.page", s.shown.page).add("shown.item", s.shown.item);
    f.add("shown.redFront", s.shown.redFront).add("shown.bottleAt", s.shown.bottleAt);
    f.add("shown.redCount", s.shown.redCount).add("shown.blueCount", s.shown.blueCount);
    playerFields(f, s.Hrac1, "Hrac1.");
    playerFields(f, s.Hrac2, "Hrac2.");
    const Whiskey& w = s.whiskey;
    f.owner = "whiskey.";
    f.add("x", w.x).add("y", w.y).add("drawn", w.drawn).add("hidden", w.hidden).add("rect", w.rect);
    f.add("frame", w.frame).add("timer", w.timer);
    return f;
}

std::string differences(const GameState& a, const GameState& b) {
    std::vector<Field> fa = fields(a).all, fb = fields(b).all;
    std::string out;
    for (size_t i = 0; i < fa.size(); i++)
        if (memcmp(fa[i].at, fb[i].at, fa[i].size) != 0)
            out += std::string(out.empty() ? "" : ", ") + fa[i].owner + fa[i].name;
    if (stateHash(a) != stateHash(b) && out.empty()) out = "(the generator)";
    return out;
}

// Records at random: keys held for a while and let go (the triggers often, Escape seldom, K very seldom),
// frame times of a few ms and now and then of seconds, and once in a long while the window's close button;
// a game that has ended starts again with a new seed.
struct RandomRecords {
    std::mt19937 rng;
    uint16_t held = 0;
    // Half the passes of a round, each cowboy walks towards the bottle, or the other's line, so that bottles
    // are taken and shots hit.
    void seek(const GameState& s, const Player& me, const Player& other, const int* keys) {
        const Whiskey& w = s.whiskey;
        bool bottle = s.gameMode != 2 && !w.hidden && rng() % 2;
        float dy = (bottle ? float(w.y - 78) : other.y) - me.y, dx = float(w.x - 20) - me.x;
        for (int i = 0; i < 4; i++) held &= uint16_t(~keyBit(keys[i]));
        if (dy < -6 || dy > 6) held |= keyBit(keys[dy < 0 ? 0 : 1]);
        else if (bottle && (dx < -6 || dx > 6)) held |= keyBit(keys[dx < 0 ? 2 : 3]);
    }
    TicCmd next(const GameState& s) {
        static const uint32_t PRESS[GAME_KEYS] = {40, 40, 40, 40, 100, 40, 40, 40, 40, 100, 40, 1, 0};
        TicCmd c;
        for (int k = 0; k < GAME_KEYS; k++) {
            bool down = held & keyBit(k);
            uint32_t chance = down ? 150000 : k == K_K ? 5 : k == K_ESCAPE && s.gameBezi ? 20 : PRESS[k] * 1000;
            if (rng() % 1000000 < chance) held ^= keyBit(k);
        }
        static const int RED[4] = {K_UP, K_DOWN, K_LEFT, K_RIGHT}, BLUE[4] = {K_W, K_S, K_A, K_D};
        if (s.gameBezi && rng() % 2) seek(s, s.Hrac1, s.Hrac2, RED);
        if (s.gameBezi && rng() % 2) seek(s, s.Hrac2, s.Hrac1, BLUE);
        c.held = held;
        c.fresh = rng() % 50 == 0 ? held : 0;
        c.dt = uint16_t(rng() % 200 == 0 ? rng() % 5000 : 1 + rng() % 33);
        c.close = rng() % 100000 == 0;
        if (s.done) c.reset = true, c.seed = rng(), held = 0;
        return c;
    }
};

struct Checker {
    int depth;
    std::vector<GameState> ring;  // the state before each of the last depth passes
    std::vector<TicCmd> cmds;     // ... and their records
    long pass = 0;

    // Runs the pass, then the last `depth` passes again from the state before them: false on a mismatch.
    bool step(GameState& s, const TicCmd& c) {
        size_t at = size_t(pass % depth);
        ring[at] = s, cmds[at] = c;
        tick(s, c);
        pass++;
        if (pass < depth) return true;
        GameState again = ring[size_t(pass % depth)];
        for (long p = pass - depth; p < pass; p++) tick(again, cmds[size_t(p % depth)]);
        if (stateHash(again) == stateHash(s)) return true;
        fprintf(stderr, "korvado: synctest: pass %ld run again from %d passes back differs in: %s\n", pass - 1, depth,
                differences(s, again).c_str());
        return false;
    }
};

}  // namespace

// The passes of a demo as the frame loop would take them: a pass of the other kind ends it.
static bool demoRecord(const Demo& d, size_t at, const GameState& s, TicCmd& c) {
    if (at >= d.passes.size() || d.passes[at].timed != passTimed(s)) return false;
    c = demoCmd(d.passes[at]);
    return true;
}

int syncTest(const Demo* d) {
    Checker check{syncDepth, std::vector<GameState>(size_t(syncDepth)), std::vector<TicCmd>(size_t(syncDepth))};
    GameState s = d ? startState(d->seed) : introState(syncSeed);
    RandomRecords random{std::mt19937(syncSeed)};
    long total = d ? long(d->passes.size()) : syncPasses, rounds = 0, winners = 0, games = 1;
    for (long p = 0; p < total; p++) {
        TicCmd c;
        if (d && !demoRecord(*d, size_t(p), s, c)) break;
        if (!d) c = random.next(s);
        bool wasRound = s.gameBezi, wasWinner = s.screen == SCR_WINNER;
        if (!check.step(s, c)) return 1;
        rounds += !wasRound && s.gameBezi, winners += !wasWinner && s.screen == SCR_WINNER, games += c.reset;
        if (d && s.done) break;
    }
    printf("synctest: %ld passes (%ld games, %ld rounds started or resumed, %ld winner screens), each run again "
           "from %d passes back: the same state every pass, final hash %08x\n",
           check.pass, games, rounds, winners, syncDepth, stateHash(s));
    return 0;
}
