// soak.h: the soak run shared by both editions' soak programs: hundreds of thousands of frames of random
// held keys and frame times through the real round and menu, every invariant of the game checked after each.
// Included by tests/unit_mp_soak.cpp and tests/unit_sp_soak.cpp only.
#ifndef KORVADO_TEST_SOAK_H
#define KORVADO_TEST_SOAK_H

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "game.h"
#include "harness.h"

namespace soak {

typedef std::chrono::steady_clock Clock;

// ---- the person at the keyboard ----

// One key: the chance per frame of pressing it and of letting it go, in the round and in the menu (where
// the player taps rather than holds). Return and Escape are written once when pressed, as SDL does on a
// key-down, since the screens consume them by writing 0.
struct HeldKey {
    SDLKey sym;
    double press, release;          // in the round
    double menuPress, menuRelease;  // in the menu
    bool once;
    bool down;
};

struct Stats {
    long frames, roundFrames, menuFrames;
    long rounds[3];         // rounds started by the menu, by game type
    long redWins, blueWins; // winner screens
    long doubleWins;        // frames with two winner screens
    long answered;          // second winner screens answered by the watchdog
    long stalls;            // frames blocked for seconds: always a fault
    long escapes, resumes;  // round to menu with Escape, and back
    long kEnds, menuExits;  // `done` set by K in the round, or by the menu's exit item
    long pickups, respawns;
    long longFrames;        // frames of 5 s
    double seconds;
};

// Shared with the watchdog thread: whether the round is running in this pass and since when.
struct Watch {
    std::mutex lock;
    bool inRound;
    Clock::time_point since;
    bool stop;
    long answered, stalls;
};

struct Run {
    bool twoPlayer;
    unsigned seed;
    std::mt19937 rng;
    std::vector<HeldKey> held;
    Stats st;
    Watch watch;
    float prevX[2], prevY[2], prevDeadTime[2];
    int bottleX, bottleY;
    int plan[2];  // each player's plan in the round
};

inline std::vector<HeldKey> keyboard(bool twoPlayer) {
    std::vector<HeldKey> k = {
        {SDLK_RCTRL, 0.05, 0.10, 0.05, 0.10, false, false},  {SDLK_RIGHT, 0.03, 0.05, 0.03, 0.05, false, false},
        {SDLK_LEFT, 0.03, 0.05, 0.03, 0.05, false, false},   {SDLK_DOWN, 0.03, 0.05, 0.03, 0.4, false, false},
        {SDLK_UP, 0.03, 0.05, 0.03, 0.4, false, false},      {SDLK_RETURN, 0.02, 0.5, 0.03, 0.4, true, false},
        {SDLK_ESCAPE, 0.0002, 0.5, 0.004, 0.4, true, false},
    };
    if (twoPlayer) {  // blue's fire and walking keys, and K, which ends the two-player program
        std::vector<HeldKey> blue = {
            {SDLK_q, 0.05, 0.10, 0.05, 0.10, false, false}, {SDLK_d, 0.03, 0.05, 0.03, 0.05, false, false},
            {SDLK_a, 0.03, 0.05, 0.03, 0.05, false, false}, {SDLK_s, 0.03, 0.05, 0.03, 0.05, false, false},
            {SDLK_w, 0.03, 0.05, 0.03, 0.05, false, false}, {SDLK_k, 0.0002, 0.9, 0.0002, 0.9, false, false},
        };
        k.insert(k.end(), blue.begin(), blue.end());
    }
    return k;
}

inline bool chance(Run& run, double p) { return std::uniform_real_distribution<double>(0, 1)(run.rng) < p; }

// Presses and releases for this frame, written into SDL's own key array.
inline void pressKeys(Run& run) {
    bool inMenu = menuBezi;
    for (HeldKey& k : run.held) {
        bool was = k.down;
        if (inMenu) k.down = was ? !chance(run, k.menuRelease) : chance(run, k.menuPress);
        else k.down = was ? !chance(run, k.release) : chance(run, k.press);
        if (k.once && k.down == was) continue;
        keys[k.sym] = k.down ? 1 : 0;
    }
}

inline bool isDown(const Run& run, SDLKey sym) {
    for (const HeldKey& k : run.held)
        if (k.sym == sym) return k.down;
    return false;
}

// ---- the players' plans in the round: wander on the random keys, go for the bottle, or duel ----

struct Pad {
    SDLKey right, left, down, up, fire;
};
const Pad RED_PAD = {SDLK_RIGHT, SDLK_LEFT, SDLK_DOWN, SDLK_UP, SDLK_RCTRL};
const Pad BLUE_PAD = {SDLK_d, SDLK_a, SDLK_s, SDLK_w, SDLK_q};
enum Plan { WANDER, BOTTLE, DUEL };

// Holds the one walking key that brings the cowboy towards (tx, ty), vertically first.
inline void steer(const Pad& pad, const Player* p, float tx, float ty) {
    keys[pad.right] = keys[pad.left] = keys[pad.down] = keys[pad.up] = 0;
    if (p->y > ty + 4) keys[pad.up] = 1;
    else if (p->y < ty - 4) keys[pad.down] = 1;
    else if (p->x < tx - 4) keys[pad.right] = 1;
    else if (p->x > tx + 4) keys[pad.left] = 1;
}

// Feet at the bottle's foot and the picture over it: where a pickup happens.
inline void goForBottle(const Pad& pad, const Player* me) {
    steer(pad, me, float(whiskey.x - 20), float(whiskey.y - 72));
    keys[pad.fire] = 0;
}

// Level with him, far enough apart, turned towards him, and the trigger held.
inline void duel(const Pad& pad, const Player* me, const Player* him) {
    bool hisRight = him->x > me->x;
    float tx = me->x;
    if (std::fabs(him->x - me->x) < 80) tx = hisRight ? me->x - 100 : me->x + 100;
    steer(pad, me, tx, him->y);
    bool level = std::fabs(me->y - him->y) < 10;
    bool facing = me->smer == (hisRight ? 'r' : 'l');
    if (level && !facing) keys[hisRight ? pad.right : pad.left] = 1;
    keys[pad.fire] = level && facing;
}

// Duels are what end rounds, so they come up most often.
const int PLANS[4] = {WANDER, BOTTLE, DUEL, DUEL};

// Now and then a player changes his mind; the computer plays blue in the single-player edition.
inline void playPlans(Run& run) {
    Player* me[2] = {Hrac1, Hrac2};
    const Pad* pads[2] = {&RED_PAD, &BLUE_PAD};
    for (int i = 0; i < (run.twoPlayer ? 2 : 1); i++) {
        if (chance(run, 0.01)) run.plan[i] = PLANS[run.rng() % 4];
        if (run.plan[i] == BOTTLE) goForBottle(*pads[i], me[i]);
        if (run.plan[i] == DUEL) duel(*pads[i], me[i], me[1 - i]);
    }
}

// Mostly ordinary frames, some empty ones, some slow ones and some of five seconds.
inline float frameTime(Run& run) {
    static const float TYPICAL[] = {10, 16, 16.667f, 17, 20, 33.333f};
    int pick = int(run.rng() % 100);
    if (pick < 10) return 0;
    if (pick < 20) return 1;
    if (pick < 60) return TYPICAL[run.rng() % 6];
    if (pick < 90) return std::uniform_real_distribution<float>(2, 60)(run.rng);
    if (pick < 97) return std::uniform_real_distribution<float>(60, 1000)(run.rng);
    run.st.longFrames++;
    return 5000;
}

// ---- the watchdog: answers a winner screen that waits inside a round frame ----

// Two winner screens in one frame: the first clears Return, so the second waits for a new press.
// Once a winner screen has been shown (gameOver) and the frame has waited 50 ms, press Return.
// Returns true when the soak is over.
inline bool watchOnce(Watch& w) {
    std::lock_guard<std::mutex> hold(w.lock);
    if (w.stop) return true;
    if (!w.inRound || keys[SDLK_RETURN]) return false;
    auto waited = Clock::now() - w.since;
    bool over = __atomic_load_n(&gameOver, __ATOMIC_SEQ_CST);
    if (over && waited > std::chrono::milliseconds(50)) {
        __atomic_store_n(&keys[SDLK_RETURN], 1, __ATOMIC_SEQ_CST);
        w.answered++;
    } else if (waited > std::chrono::seconds(3)) {  // a round frame that hangs: let it go, and fail
        __atomic_store_n(&keys[SDLK_RETURN], 1, __ATOMIC_SEQ_CST);
        w.stalls++;
    }
    return false;
}

inline void watchdog(Watch* w) {
    do std::this_thread::sleep_for(std::chrono::milliseconds(5));
    while (!watchOnce(*w));
}

// The round's part of the pass, with Return held (it does nothing in the round, and it answers the
// first winner screen at once) unless Escape is, which answers it as well and would otherwise take
// that Return to the menu. Whatever the watchdog pressed after the last winner screen is let go, as
// gameOverAn itself lets go of Return.
inline void roundPart(Run& run) {
    keys[SDLK_RETURN] = keys[SDLK_ESCAPE] ? isDown(run, SDLK_RETURN) : 1;
    {
        std::lock_guard<std::mutex> hold(run.watch.lock);
        run.watch.inRound = true;
        run.watch.since = Clock::now();
    }
    game();
    std::lock_guard<std::mutex> hold(run.watch.lock);
    run.watch.inRound = false;
    if (gameOver) keys[SDLK_RETURN] = 0;
}

// ---- invariants ----

inline bool onGrid(float v, int first, int step) {
    int i = int(v);
    return float(i) == v && i >= first && i <= first + 99 * step && (i - first) % step == 0;
}

// Walking clamps the picture to x 0..720 and y 60..470; a respawn puts it on its grid (x 57 + 7k,
// y 54 + 4m), which reaches past the right and top clamps. From there he may walk back towards the
// street (left, or down) without being clamped until he walks the other way.
inline std::string checkCowboy(const char* who, const Player* p, float px, float py) {
    char msg[256];
    bool xOk = p->x >= 0 && p->x <= 750 && (p->x <= 720 || onGrid(p->x, 57, 7) || (px > 720 && p->x <= px));
    bool yOk = p->y >= 54 && p->y <= 470 && (p->y >= 60 || onGrid(p->y, 54, 4) || (py < 60 && p->y >= py));
    bool countOk = p->whiskeyCount >= 0 && p->whiskeyCount <= 10;
    bool poseOk = p->frame >= 0 && p->frame <= 3 && (p->smer == 'l' || p->smer == 'r') &&
                  std::strchr("srlud", p->motion) != nullptr && p->motion != 0;
    if (xOk && yOk && countOk && poseOk) return "";
    snprintf(msg, sizeof msg, "%s cowboy at (%.3f, %.3f) (was %.3f, %.3f), count %d, frame %d, smer %d, motion %d",
             who, p->x, p->y, px, py, p->whiskeyCount, p->frame, p->smer, p->motion);
    return msg;
}

// A count above the game type's own limit: 5 bottles, 5 lives (6 after a pickup in a frame that left
// the round, with a winner or with Escape, before the round's clamp), 10 lives.
inline std::string checkCounts() {
    static const int MOST[3] = {5, 6, 10};
    if (gameMode < 0 || gameMode > 2) return "game type " + std::to_string(gameMode);
    if (Hrac1->whiskeyCount <= MOST[gameMode] && Hrac2->whiskeyCount <= MOST[gameMode]) return "";
    return "counts " + std::to_string(Hrac1->whiskeyCount) + " and " + std::to_string(Hrac2->whiskeyCount) +
           " in game type " + std::to_string(gameMode);
}

inline std::string checkBottle() {
    bool grid = onGrid(float(whiskey.x), 57, 7) && onGrid(float(whiskey.y), 154, 4);
    bool parked = whiskey.x == 900 && whiskey.y == 700;
    bool start = whiskey.x == 360 && whiskey.y == 300;
    if ((grid || parked || start) && whiskey.frame >= 0 && whiskey.frame <= 4) return "";
    return "bottle at (" + std::to_string(whiskey.x) + ", " + std::to_string(whiskey.y) + ") frame " +
           std::to_string(whiskey.frame);
}

inline std::string checkScreens() {
    if (menuBezi == gameBezi) return std::string("menuBezi and gameBezi both ") + (menuBezi ? "set" : "clear");
    if (pozicemenu < 0 || pozicemenu > 3) return "menu page " + std::to_string(pozicemenu);
    return "";
}

// Everything that must hold after any frame; "" when it all does.
inline std::string checkAll(Run& run) {
    std::string e = checkScreens();
    if (e.empty()) e = checkCowboy("red", Hrac1, run.prevX[0], run.prevY[0]);
    if (e.empty()) e = checkCowboy("blue", Hrac2, run.prevX[1], run.prevY[1]);
    if (e.empty()) e = checkCounts();
    if (e.empty()) e = checkBottle();
    return e;
}

// ---- one pass and its bookkeeping ----

struct Before {
    bool inRound, onTypesPage;
};

// What the pass did, for the figures printed at the end.
inline void tally(Run& run, const Before& b) {
    Stats& s = run.st;
    bool started = b.onTypesPage && gameBezi;
    if (started) s.rounds[gameMode]++;
    if (b.inRound && gameOver) {
        bool redWon = gameMode == 0 ? Hrac1->whiskeyCount >= wLimit : Hrac2->whiskeyCount <= 0;
        bool blueWon = gameMode == 0 ? Hrac2->whiskeyCount >= wLimit : Hrac1->whiskeyCount <= 0;
        s.redWins += redWon;
        s.blueWins += blueWon;
        s.doubleWins += redWon && blueWon;
    }
    if (b.inRound && menuBezi && !gameOver) s.escapes++;
    if (!b.inRound && !started && gameBezi) s.resumes++;
    if (b.inRound && !started && (whiskey.x != run.bottleX || whiskey.y != run.bottleY)) s.pickups++;
    Player* both[2] = {Hrac1, Hrac2};
    for (int i = 0; i < 2; i++) s.respawns += both[i]->deadTime < run.prevDeadTime[i];
}

// K in the two-player round and the menu's exit item end the program; the soak goes on.
inline void keepGoing(Run& run, const Before& b) {
    if (!done) return;
    if (b.inRound) run.st.kEnds++;
    else run.st.menuExits++;
    done = false;
}

inline void remember(Run& run) {
    Player* both[2] = {Hrac1, Hrac2};
    for (int i = 0; i < 2; i++) {
        run.prevX[i] = both[i]->x;
        run.prevY[i] = both[i]->y;
        run.prevDeadTime[i] = both[i]->deadTime;
    }
    run.bottleX = whiskey.x;
    run.bottleY = whiskey.y;
}

// One pass of the frame loop with our own frame time: one event, the keyboard, the round, the menu, the flip.
inline void pass(Run& run) {
    delta = frameTime(run);
    SDL_PollEvent(&event);
    keys = SDL_GetKeyState(nullptr);
    pressKeys(run);
    Before b = {gameBezi, menuBezi && pozicemenu == 1};
    if (gameBezi) playPlans(run);
    if (gameBezi) roundPart(run);
    else if (!isDown(run, SDLK_RETURN)) keys[SDLK_RETURN] = 0;  // the Return held in the round is let go
    if (menuBezi) menu();
    SDL_Flip(screen);
    run.st.frames++;
    (b.inRound ? run.st.roundFrames : run.st.menuFrames)++;
    tally(run, b);
    keepGoing(run, b);
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
    std::printf("[soak %s] seed %u (KORVADO_SOAK_SEED=%u replays it): %ld frames (%ld round, %ld menu) in %.1f s\n",
                edition, run.seed, run.seed, s.frames, s.roundFrames, s.menuFrames, s.seconds);
    std::printf("[soak %s] rounds by type %ld/%ld/%ld, winner screens red %ld blue %ld, both in one frame %ld "
                "(watchdog answered %ld), Escape out %ld, back in %ld\n",
                edition, s.rounds[0], s.rounds[1], s.rounds[2], s.redWins, s.blueWins, s.doubleWins, s.answered,
                s.escapes, s.resumes);
    std::printf("[soak %s] bottle pickups %ld, respawns %ld, 5 s frames %ld, K ends %ld, menu exits %ld\n",
                edition, s.pickups, s.respawns, s.longFrames, s.kEnds, s.menuExits);
    std::fflush(stdout);
}

// Copying the four full-screen pictures costs four fifths of a frame's time and decides nothing:
// walking, pickups and hits go by the screen's size and the actors' own pictures. The soak draws
// one-pixel stand-ins instead, so that its 200,000 frames stay cheap under the sanitizers.
inline void lightBackgrounds() {
    SDL_Surface** big[4] = {&bgr, &mbgr, &credits, &instruc};
    for (SDL_Surface** pic : big) {
        SDL_Surface* dot = SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 32, 0xff0000, 0xff00, 0xff, 0);
        SDL_FreeSurface(*pic);
        *pic = SDL_DisplayFormat(dot);
        SDL_FreeSurface(dot);
    }
}

// The first failing frame, or "" when all of them kept every invariant.
inline std::string play(Run& run, long frames) {
    std::thread dog(watchdog, &run.watch);
    auto t0 = Clock::now();
    std::string failure;
    remember(run);
    for (long f = 0; f < frames && failure.empty(); f++) {
        pass(run);
        std::string e = checkAll(run);
        if (!e.empty()) failure = "frame " + std::to_string(f) + ": " + e;
        remember(run);
    }
    run.st.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    {
        std::lock_guard<std::mutex> hold(run.watch.lock);
        run.watch.stop = true;
    }
    dog.join();
    run.st.answered = run.watch.answered;
    run.st.stalls = run.watch.stalls;
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

// Boots the edition, plays the soak from the menu as start-up leaves it, checks, reports.
inline void soakTest(bool twoPlayer, const char* edition) {
    Run run{};
    run.twoPlayer = twoPlayer;
    run.seed = chooseSeed();
    run.rng.seed(run.seed);
    run.held = keyboard(twoPlayer);
    long frames = chooseFrames();
    std::printf("[soak %s] seed %u, %ld frames\n", edition, run.seed, frames);
    bootGame();
    std::memset(keys, 0, SDLK_LAST);
    if (!std::getenv("KORVADO_SOAK_FULL_PICTURES")) lightBackgrounds();
    srand(run.seed);  // the game's own draws: cries, respawns, bottle places
    std::string failure = play(run, frames);
    report(run, edition);
    EXPECT_EQ(failure, "") << "seed " << run.seed;
    EXPECT_EQ(run.st.stalls, 0) << "a round frame blocked for seconds; seed " << run.seed;
    expectCoverage(run.st);
    endGame();
}

}  // namespace soak

#endif
