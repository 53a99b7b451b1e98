// synctest.cpp: the sync test: every pass is run, then the passes of the last N are run again from the state
// N passes back with the same records, and both must end in the same state. What rollback stands on.
#include "demo/demo.h"
#include "session/rollback.h"
#include "shell/shell.h"
#include "net/packet.h"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

int syncDepth;         // --synctest N: the depth of the passes run again; 0 without
long syncPasses;       // ... with random records: how many passes
uint32_t syncSeed;     // ... and the seed of the records and of the game
bool syncSession;      // ... through the rollback of korvado_net's sessions

namespace {

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
                stateDifferences(s, again).c_str());
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

int sessionSyncTest();

int syncTest(const Demo* d) {
    if (syncSession) return sessionSyncTest();
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

// ---- through the session's rollback ----

namespace {

struct Quiet : RollbackListener {
    void ran(uint32_t, const TickEvents&, bool, bool) override {}
    void confirmed(uint32_t, const GameState&, const GameState&, const TicCmd&, uint16_t, bool) override {}
};

// A player's bits at random, changing often: in a round he walks and fires (Escape seldom), and half the time
// walks towards the other's line, so that shots hit; elsewhere he goes through the menu and the winner screens.
uint8_t randomBits(std::mt19937& rng, uint8_t bits, const GameState& s, bool red) {
    bool inRound = s.gameBezi;
    const Player &me = red ? s.Hrac1 : s.Hrac2, &other = red ? s.Hrac2 : s.Hrac1;
    if (inRound && rng() % 2) {
        bits &= uint8_t(~(IN_UP | IN_DOWN));
        if (me.y > other.y + 6) bits |= IN_UP;
        if (me.y < other.y - 6) bits |= IN_DOWN;
    }
    static const uint8_t KEYS[7] = {IN_UP, IN_DOWN, IN_LEFT, IN_RIGHT, IN_FIRE, IN_RETURN, IN_ESCAPE};
    int k = int(rng() % 7);
    bool menuKey = k == 0 || k == 1 || k == 5;
    if (rng() % 4 == 0 && (inRound ? k < 5 || rng() % 500 == 0 : menuKey || rng() % 50 == 0)) bits ^= KEYS[k];
    if (rng() % 2) bits &= uint8_t(~(IN_RETURN | IN_ESCAPE));  // tapped, not held
    return bits;
}

}  // namespace

namespace {

// A session's passes through the rollback with random players, the rival's inputs `depth` frames late.
struct SessionCheck {
    SessionCheck(Rollback& r, uint32_t d) : roll(r), depth(d) {}
    Rollback& roll;
    uint32_t depth;
    std::mt19937 rng{syncSeed};
    GameState s;
    uint8_t own = 0, rival = 0, rivals[ROLL_RING] = {};
    long since = 0;  // the frame the game began in
    uint32_t games = 0, rounds = 0, winners = 0;
    Quiet quiet;

    void restart(long frame) {
        s = startState(rng()), roll.begin(true, 0, s);
        own = rival = 0, since = frame, games++;
    }

    // One frame: this side's input, the rival's of `depth` frames ago, the passes; then every pass not yet
    // final run again from its saved state. False when the present did not come back as it was.
    bool frame(long f) {
        while (roll.wantsLocal()) own = randomBits(rng, own, s, true), roll.local(own);
        uint32_t now = uint32_t(f - since);  // the rival plays a pass a frame
        rivals[now % ROLL_RING] = rival = randomBits(rng, rival, s, false);
        if (now >= depth) roll.remote(now - depth, rivals[(now - depth) % ROLL_RING]);
        bool wasRound = s.gameBezi, wasWinner = s.screen == SCR_WINNER;
        roll.advance(s, quiet);
        rounds += !wasRound && s.gameBezi, winners += !wasWinner && s.screen == SCR_WINNER;
        GameState was = s;
        roll.forceCorrection(depth);
        roll.correct(s, quiet);
        if (stateHash(s) == stateHash(was)) return true;
        fprintf(stderr, "korvado: synctest: session pass %u run again from %u passes back differs in: %s\n",
                roll.present(), depth, stateDifferences(was, s).c_str());
        return false;
    }
};

}  // namespace

// A session's passes through the rollback, the rival's inputs syncDepth passes late, and every pass all the
// passes not yet final run again from their saved states: the present must come back as it was.
int sessionSyncTest() {
    static Rollback roll;  // its saved states are large for a stack
    SessionCheck check(roll, std::min<uint32_t>(uint32_t(syncDepth), MAX_PREDICT));
    check.restart(0);
    for (long f = 0; f < syncPasses; f++) {
        if (!check.frame(f)) return 1;
        if (check.s.done) check.restart(f + 1);
    }
    printf("synctest: %ld session passes (%u games, %u rounds started or resumed, %u winner screens), the rival's "
           "inputs %u passes late, every pass run again from %u passes back: the same state every pass\n",
           syncPasses, check.games, check.rounds, check.winners, check.depth, check.depth);
    return 0;
}
