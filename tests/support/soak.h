// soak.h: the soak run shared by both editions' soak programs: hundreds of thousands of passes of random held
// keys and frame times through the rules, a frame drawn now and then, every invariant of the game state
// checked after each pass. Included by tests/unit_mp_soak.cpp and tests/unit_sp_soak.cpp only.
#ifndef KORVADO_TEST_SOAK_H
#define KORVADO_TEST_SOAK_H

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>

#include "draw/draw.h"
#include "game/game.h"
#include "harness.h"

namespace soak {

struct Stats {
    long frames, roundFrames, menuFrames, drawn;
    long rounds[3];          // rounds started by the menu, by game type
    long redWins, blueWins;  // winner screens
    long doubleWins;         // passes with two winner screens
    long escapes, resumes;   // round to menu with Escape, and back
    long kEnds, menuExits;   // `done` set by K in the round, or by the menu's exit item
    long pickups, respawns;
    long longFrames;         // frames of 5 s
    double seconds;
};

struct Run {
    bool twoPlayer;
    unsigned seed;
    std::mt19937 rng;
    GameState s;
    uint16_t held;  // the keys the person holds
    Stats st;
    float prevX[2], prevY[2], prevDeadTime[2];
    int bottleX, bottleY;
    int plan[2];  // each player's plan in the round
};

// ---- the person at the keyboard ----

// One key: the chance per pass of pressing it and of letting it go, in the round and in the menu (where
// the player taps rather than holds).
struct KeyOdds {
    int key;
    double press, release, menuPress, menuRelease;
};
const KeyOdds RED_KEYS[] = {{K_RCTRL, 0.05, 0.10, 0.05, 0.10}, {K_RIGHT, 0.03, 0.05, 0.03, 0.05},
                            {K_LEFT, 0.03, 0.05, 0.03, 0.05},  {K_DOWN, 0.03, 0.05, 0.03, 0.4},
                            {K_UP, 0.03, 0.05, 0.03, 0.4},     {K_RETURN, 0.02, 0.5, 0.03, 0.4},
                            {K_ESCAPE, 0.0002, 0.5, 0.004, 0.4}};
// Blue's fire and walking keys, and K, which ends the two-player program.
const KeyOdds BLUE_KEYS[] = {{K_Q, 0.05, 0.10, 0.05, 0.10}, {K_D, 0.03, 0.05, 0.03, 0.05},
                             {K_A, 0.03, 0.05, 0.03, 0.05}, {K_S, 0.03, 0.05, 0.03, 0.05},
                             {K_W, 0.03, 0.05, 0.03, 0.05}, {K_K, 0.0002, 0.9, 0.0002, 0.9}};

inline bool chance(Run& run, double p) { return std::uniform_real_distribution<double>(0, 1)(run.rng) < p; }
inline void hold(Run& run, int key, bool down) {
    run.held = down ? uint16_t(run.held | keyBit(key)) : uint16_t(run.held & ~keyBit(key));
}

inline void pressKeys(Run& run) {
    bool inMenu = run.s.menuBezi;
    auto play = [&](const KeyOdds& k) {
        bool was = run.held & keyBit(k.key);
        hold(run, k.key, was ? !chance(run, inMenu ? k.menuRelease : k.release)
                             : chance(run, inMenu ? k.menuPress : k.press));
    };
    for (const KeyOdds& k : RED_KEYS) play(k);
    if (run.twoPlayer)
        for (const KeyOdds& k : BLUE_KEYS) play(k);
}

// ---- the players' plans in the round: wander on the random keys, go for the bottle, or duel ----

struct Pad {
    int right, left, down, up, fire;
};
const Pad RED_PAD = {K_RIGHT, K_LEFT, K_DOWN, K_UP, K_RCTRL};
const Pad BLUE_PAD = {K_D, K_A, K_S, K_W, K_Q};
enum Plan { WANDER, BOTTLE, DUEL };

// Holds the one walking key that brings the cowboy towards (tx, ty), vertically first.
inline void steer(Run& run, const Pad& pad, const Player& p, float tx, float ty) {
    for (int k : {pad.right, pad.left, pad.down, pad.up}) hold(run, k, false);
    if (p.y > ty + 4) hold(run, pad.up, true);
    else if (p.y < ty - 4) hold(run, pad.down, true);
    else if (p.x < tx - 4) hold(run, pad.right, true);
    else if (p.x > tx + 4) hold(run, pad.left, true);
}

// Level with him, far enough apart, turned towards him, and the trigger held.
inline void duel(Run& run, const Pad& pad, const Player& me, const Player& him) {
    bool hisRight = him.x > me.x;
    float tx = me.x;
    if (std::fabs(him.x - me.x) < 80) tx = hisRight ? me.x - 100 : me.x + 100;
    steer(run, pad, me, tx, him.y);
    bool level = std::fabs(me.y - him.y) < 10;
    bool facing = me.smer == (hisRight ? 'r' : 'l');
    if (level && !facing) hold(run, hisRight ? pad.right : pad.left, true);
    hold(run, pad.fire, level && facing);
}

// Duels are what end rounds, so they come up most often. Now and then a player changes his mind; the
// computer plays blue in the single-player edition. Feet at the bottle's foot is where a pickup happens.
const int PLANS[4] = {WANDER, BOTTLE, DUEL, DUEL};

inline void playPlans(Run& run) {
    const Player* me[2] = {&run.s.Hrac1, &run.s.Hrac2};
    const Pad* pads[2] = {&RED_PAD, &BLUE_PAD};
    const Whiskey& w = run.s.whiskey;
    for (int i = 0; i < (run.twoPlayer ? 2 : 1); i++) {
        if (chance(run, 0.01)) run.plan[i] = PLANS[run.rng() % 4];
        if (run.plan[i] == BOTTLE) steer(run, *pads[i], *me[i], float(w.x - 20), float(w.y - 72));
        if (run.plan[i] == BOTTLE) hold(run, pads[i]->fire, false);
        if (run.plan[i] == DUEL) duel(run, *pads[i], *me[i], *me[1 - i]);
    }
}

// Mostly ordinary frames, some empty ones, some slow ones and some of five seconds.
inline uint16_t frameTime(Run& run) {
    static const uint16_t TYPICAL[] = {10, 16, 17, 17, 20, 33};
    int pick = int(run.rng() % 100);
    if (pick < 10) return 0;
    if (pick < 20) return 1;
    if (pick < 60) return TYPICAL[run.rng() % 6];
    if (pick < 90) return uint16_t(2 + run.rng() % 59);
    if (pick < 97) return uint16_t(60 + run.rng() % 941);
    run.st.longFrames++;
    return 5000;
}

// The record of a pass. A winner screen is answered with a fresh press of Return within two passes.
inline TicCmd nextRecord(Run& run) {
    pressKeys(run);
    TicCmd c;
    if (run.s.gameBezi) playPlans(run);
    if (run.s.screen == SCR_WINNER) hold(run, K_RETURN, !(run.held & keyBit(K_RETURN)));
    c.held = run.held;
    c.dt = passTimed(run.s) ? frameTime(run) : 0;
    return c;
}

// ---- invariants ----

inline bool onGrid(float v, int first, int step) {
    int i = int(v);
    return float(i) == v && i >= first && i <= first + 99 * step && (i - first) % step == 0;
}

// Walking clamps the picture to x 0..720 and y 60..470; a respawn puts it on its grid (x 57 + 7k,
// y 54 + 4m), which reaches past the right and top clamps. From there he may walk back towards the
// street (left, or down) without being clamped until he walks the other way. The right and bottom clamps
// test the picture's far edge, a sum in single precision: a step may end a rounding past 720 or 470.
inline std::string checkCowboy(const char* who, const Player& p, float px, float py) {
    char msg[256];
    const float X_MAX = 720.001f, Y_MAX = 470.001f;
    bool xOk = p.x >= 0 && p.x <= 750 && (p.x <= X_MAX || onGrid(p.x, 57, 7) || (px > X_MAX && p.x <= px));
    bool yOk = p.y >= 54 && p.y <= Y_MAX && (p.y >= 60 || onGrid(p.y, 54, 4) || (py < 60 && p.y >= py));
    bool countOk = p.whiskeyCount >= 0 && p.whiskeyCount <= 10;
    bool poseOk = p.frame >= 0 && p.frame <= 3 && (p.smer == 'l' || p.smer == 'r') &&
                  std::strchr("srlud", p.motion) != nullptr && p.motion != 0;
    if (xOk && yOk && countOk && poseOk) return "";
    snprintf(msg, sizeof msg, "%s cowboy at (%.3f, %.3f) (was %.3f, %.3f), count %d, frame %d, smer %d, motion %d",
             who, p.x, p.y, px, py, p.whiskeyCount, p.frame, p.smer, p.motion);
    return msg;
}

// A count above the game type's own limit: 5 bottles, 5 lives (6 after a pickup in a pass that left
// the round, with a winner or with Escape, before the round's clamp), 10 lives.
inline std::string checkCounts(const GameState& s) {
    static const int MOST[3] = {5, 6, 10};
    if (s.gameMode < 0 || s.gameMode > 2) return "game type " + std::to_string(s.gameMode);
    if (s.Hrac1.whiskeyCount <= MOST[s.gameMode] && s.Hrac2.whiskeyCount <= MOST[s.gameMode]) return "";
    return "counts " + std::to_string(s.Hrac1.whiskeyCount) + " and " + std::to_string(s.Hrac2.whiskeyCount) +
           " in game type " + std::to_string(s.gameMode);
}

inline std::string checkBottle(const Whiskey& w) {
    bool grid = onGrid(float(w.x), 57, 7) && onGrid(float(w.y), 154, 4);
    bool parked = w.x == 900 && w.y == 700;
    bool start = w.x == 360 && w.y == 300;
    if ((grid || parked || start) && w.frame >= 0 && w.frame <= 4) return "";
    return "bottle at (" + std::to_string(w.x) + ", " + std::to_string(w.y) + ") frame " + std::to_string(w.frame);
}

// The round or the menu runs in a pass of the frame loop, never both and never neither; a winner screen
// shows one of the winners its round found, with the round over.
inline std::string checkScreens(const GameState& s) {
    if (s.screen == SCR_WINNER && (s.gameBezi || s.winnerAt >= s.winnerCount)) return "a winner screen out of turn";
    if (s.screen == SCR_PLAY && s.menuBezi == s.gameBezi)
        return std::string("menuBezi and gameBezi both ") + (s.menuBezi ? "set" : "clear");
    if (s.screen != SCR_PLAY && s.screen != SCR_WINNER) return "screen " + std::to_string(s.screen);
    if (s.pozicemenu < 0 || s.pozicemenu > 3) return "menu page " + std::to_string(s.pozicemenu);
    return "";
}

// Everything that must hold after any pass; "" when it all does.
inline std::string checkAll(Run& run) {
    const GameState& s = run.s;
    std::string e = checkScreens(s);
    if (e.empty()) e = checkCowboy("red", s.Hrac1, run.prevX[0], run.prevY[0]);
    if (e.empty()) e = checkCowboy("blue", s.Hrac2, run.prevX[1], run.prevY[1]);
    if (e.empty()) e = checkCounts(s);
    if (e.empty()) e = checkBottle(s.whiskey);
    return e;
}

// ---- one pass and its bookkeeping ----

struct Before {
    bool inRound, onTypesPage;
};

// What the pass did, for the figures printed at the end.
inline void tally(Run& run, const Before& b) {
    Stats& st = run.st;
    const GameState& s = run.s;
    bool started = b.onTypesPage && s.gameBezi;
    if (started) st.rounds[s.gameMode]++;
    if (b.inRound && !s.gameBezi) {
        for (int i = 0; i < s.winnerCount; i++) (s.winners[i] == 1 ? st.redWins : st.blueWins)++;
        st.doubleWins += s.winnerCount == 2;
        st.escapes += s.winnerCount == 0 && s.menuBezi && !s.gameOver;
    }
    if (!b.inRound && !started && s.gameBezi) st.resumes++;
    if (b.inRound && (s.whiskey.x != run.bottleX || s.whiskey.y != run.bottleY)) st.pickups++;
    const Player* both[2] = {&s.Hrac1, &s.Hrac2};
    for (int i = 0; i < 2; i++) st.respawns += both[i]->deadTime < run.prevDeadTime[i];
}

inline void remember(Run& run) {
    const Player* both[2] = {&run.s.Hrac1, &run.s.Hrac2};
    for (int i = 0; i < 2; i++) {
        run.prevX[i] = both[i]->x;
        run.prevY[i] = both[i]->y;
        run.prevDeadTime[i] = both[i]->deadTime;
    }
    run.bottleX = run.s.whiskey.x;
    run.bottleY = run.s.whiskey.y;
}

// One pass of the rules on the person's record; every 64th pass and every winner screen drawn. K in the
// two-player round and the menu's exit item end the game; the soak goes on.
inline void pass(Run& run) {
    GameState& s = run.s;
    TicCmd c = nextRecord(run);
    Before b = {s.gameBezi, s.menuBezi && !s.gameBezi && s.pozicemenu == 1};
    tick(s, c);
    if (run.st.frames % 64 == 0 || s.screen == SCR_WINNER) drawFrame(s), run.st.drawn++;
    run.st.frames++;
    (b.inRound ? run.st.roundFrames : run.st.menuFrames)++;
    tally(run, b);
    if (s.done) (b.inRound ? run.st.kEnds : run.st.menuExits)++, s.done = false;
}

// ---- the whole run ----

inline unsigned chooseSeed() {
    const char* env = std::getenv("KORVADO_SOAK_SEED");
    if (env && *env) return unsigned(std::strtoul(env, nullptr, 0));
    return unsigned(std::random_device()()) ^ unsigned(time(nullptr));
}

inline long chooseFrames() {
    const char* env = std::getenv("KORVADO_SOAK_FRAMES");
    long n = env && *env ? std::atol(env) : 0;
    return n > 0 ? n : 200000;
}

inline void report(const Run& run, const char* edition) {
    const Stats& s = run.st;
    std::printf("[soak %s] seed %u (KORVADO_SOAK_SEED=%u replays it): %ld passes (%ld round, %ld menu, %ld drawn) "
                "in %.1f s\n", edition, run.seed, run.seed, s.frames, s.roundFrames, s.menuFrames, s.drawn, s.seconds);
    std::printf("[soak %s] rounds by type %ld/%ld/%ld, winner screens red %ld blue %ld, both in one pass %ld, "
                "Escape out %ld, back in %ld\n", edition, s.rounds[0], s.rounds[1], s.rounds[2], s.redWins,
                s.blueWins, s.doubleWins, s.escapes, s.resumes);
    std::printf("[soak %s] bottle pickups %ld, respawns %ld, 5 s frames %ld, K ends %ld, menu exits %ld\n",
                edition, s.pickups, s.respawns, s.longFrames, s.kEnds, s.menuExits);
    std::fflush(stdout);
}

// The first failing pass, or "" when all of them kept every invariant.
inline std::string play(Run& run, long frames) {
    auto t0 = std::chrono::steady_clock::now();
    std::string failure;
    remember(run);
    for (long f = 0; f < frames && failure.empty(); f++) {
        pass(run);
        std::string e = checkAll(run);
        if (!e.empty()) failure = "pass " + std::to_string(f) + ": " + e;
        remember(run);
    }
    run.st.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return failure;
}

// A soak that no longer reached every kind of round, its ends and the hand-overs would prove little.
inline void expectCoverage(const Stats& s) {
    if (s.frames < 200000) return;  // a short replay of a seed
    for (int type = 0; type < 3; type++) EXPECT_GT(s.rounds[type], 0) << "no round of game type " << type;
    EXPECT_GT(s.redWins, 0);
    EXPECT_GT(s.blueWins, 0);
    EXPECT_GT(s.escapes, 0);
    EXPECT_GT(s.resumes, 0);
    EXPECT_GT(s.pickups, 0);
    EXPECT_GT(s.respawns, 0);
    EXPECT_GT(s.menuExits, 0);
}

// Boots the edition for the drawing, plays the soak from the menu's main page, checks, reports.
inline void soakTest(bool twoPlayer, const char* edition) {
    Run run{};
    run.twoPlayer = twoPlayer;
    run.seed = chooseSeed();
    run.rng.seed(run.seed);
    run.s = startState(run.seed);  // the game's own draws: cries, respawns, bottle places
    long frames = chooseFrames();
    std::printf("[soak %s] seed %u, %ld passes\n", edition, run.seed, frames);
    bootGame();
    std::string failure = play(run, frames);
    report(run, edition);
    EXPECT_EQ(failure, "") << "seed " << run.seed;
    expectCoverage(run.st);
    endGame();
}

}  // namespace soak

#endif
