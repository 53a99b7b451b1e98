// bench.cpp: what the game costs: a round frame in mid-play, a pass of the rules alone, saving and restoring
// the game state, a menu frame and start-up, each beside the cost of copying one 800 x 600 x 32-bit frame
// with memcpy, measured in the same run. Every goal printed is checked: the status is 1 when one is missed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "draw/draw.h"
#include "game/ticker.h"
#include "shell/shell.h"

// ---- the game up and down, with every picture given back between runs ----

static void freePicture(SDL_Surface*& s) {
    SDL_FreeSurface(s);
    s = nullptr;
}

static void freePictures() {
    SDL_Surface** single[] = {&loading, &credits, &instruc, &mng,  &mnga,     &mop,      &mopa,   &mcr,
                              &mcra,    &mex,     &mexa,    &wh,   &wha,      &dop,      &dopa,   &su,
                              &sua,     &rpi,     &bpi,     &mbgr, &bgr,      &teamLogo, &gameLogo,
                              &rpwins,  &bpwins,  &n1,      &n2,   &n3,       &n0};
    for (SDL_Surface** s : single) freePicture(*s);
    for (SDL_Surface*& s : wc) freePicture(s);
    for (int i = 0; i < 20; i++) freePicture(imgbas[i]), freePicture(imgbas2[i]);
    for (SDL_Surface*& s : whiskeyPics) freePicture(s);
}

static bool boot(benchmark::State& state) {
    char prog[] = "korvado_bench";
    char* argv[] = {prog, nullptr};
    if (startUp(1, argv) == -1) return true;
    state.SkipWithError("start-up failed");
    return false;
}

static void stop() {
    freePictures();
    shutDown();
}

// ---- the yardstick: one whole frame copied ----

static void frameCopy(benchmark::State& state) {
    std::vector<Uint32> from(800 * 600, 0x00c08040), to(800 * 600);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(Uint32));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

// ---- a round frame in mid-play ----

// Red walks left along the top and blue right along the bottom, each turning at the street's ends;
// the bottle glints between them, out of their reach, and nobody shoots, so the round goes on.
static void walkBackAndForth(const GameState& s, TicCmd& c) {
    auto turn = [&c](int from, int to) { c.held = uint16_t((c.held & ~keyBit(from)) | keyBit(to)); };
    if (s.Hrac1.x <= 0) turn(K_LEFT, K_RIGHT);
    if (s.Hrac1.x >= 720) turn(K_RIGHT, K_LEFT);
    if (s.Hrac2.x <= 0) turn(K_A, K_D);
    if (s.Hrac2.x >= 720) turn(K_D, K_A);
}

// A round of game type 1 past its countdown, the bottle showing; `c` walks both cowboys.
static GameState midRound(TicCmd& c) {
    GameState s = startState(1);
    newGame(s, 1);
    s.doCount = false;
    c.held = keyBit(K_LEFT) | keyBit(K_D);
    c.dt = 16;
    for (int i = 0; i < 10; i++) tick(s, c);  // the bottle shows up
    return s;
}

static bool stillMidPlay(const GameState& s) {
    return s.gameBezi && !s.whiskey.hidden && s.Hrac1.motion != 's' && s.Hrac2.motion != 's';
}

// A pass of the rules and the frame drawn from it, as the frame loop runs them (without the display).
static void roundFrame(benchmark::State& state) {
    if (!boot(state)) return;
    TicCmd c;
    GameState s = midRound(c);
    for (auto _ : state) {
        walkBackAndForth(s, c);
        tick(s, c);
        drawFrame(s);
    }
    if (!stillMidPlay(s)) state.SkipWithError("the round did not stay in mid-play");
    stop();
}

// The rules alone: what a rollback's replay of a round pass costs.
static void roundTick(benchmark::State& state) {
    TicCmd c;
    GameState s = midRound(c);
    for (auto _ : state) {
        walkBackAndForth(s, c);
        benchmark::DoNotOptimize(tick(s, c));
    }
    if (!stillMidPlay(s)) state.SkipWithError("the round did not stay in mid-play");
}

// The game state saved and restored, a plain copy each way.
static void saveRestore(benchmark::State& state) {
    TicCmd c;
    GameState s = midRound(c), saved;
    for (auto _ : state) {
        saved = s;
        benchmark::ClobberMemory();
        s = saved;
        benchmark::ClobberMemory();
    }
}

// The street alone, as the round draws it first in every frame: where most of a round frame goes.
static void streetBlit(benchmark::State& state) {
    if (!boot(state)) return;
    for (auto _ : state) SDL_UpperBlit(bgr, NULL, screen, NULL);
    stop();
}

// ---- a menu frame: the main page, nothing pressed ----

static void menuFrame(benchmark::State& state) {
    if (!boot(state)) return;
    GameState s = startState(1);
    TicCmd c;
    c.dt = 16;
    for (auto _ : state) {
        tick(s, c);
        drawFrame(s);
    }
    if (!onMainPage(s)) state.SkipWithError("the menu left its main page");
    stop();
}

// ---- start-up: SDL, the display, the sound and every asset, up to the intro ----

static void startUpLoad(benchmark::State& state) {
    for (auto _ : state) {
        if (!boot(state)) return;
        state.PauseTiming();
        stop();
        state.ResumeTiming();
    }
}

// Five repetitions each on a machine that may be busy with other work; the medians are compared.
BENCHMARK(frameCopy)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(roundFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(roundTick)->Unit(benchmark::kNanosecond)->Repetitions(5);
BENCHMARK(saveRestore)->Unit(benchmark::kNanosecond)->Repetitions(5);
BENCHMARK(streetBlit)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(menuFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(startUpLoad)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(5);

// ---- the figures beside the frame copy ----

// The console report, plus the median CPU and wall time per iteration of each benchmark, in microseconds.
class Figures : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> cpu, wall;
    Figures() : ConsoleReporter(isatty(1) ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Aggregate || r.aggregate_name != "median" || r.error_occurred) continue;
            double toMicro = r.time_unit == benchmark::kMillisecond ? 1000.0 : r.time_unit == benchmark::kNanosecond ? 0.001 : 1.0;
            cpu[r.run_name.function_name] = r.GetAdjustedCPUTime() * toMicro;
            wall[r.run_name.function_name] = r.GetAdjustedRealTime() * toMicro;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double cpuOf(const char* name) const { return cpu.count(name) ? cpu.at(name) : 0; }
    double wallOf(const char* name) const { return wall.count(name) ? wall.at(name) : 0; }
};

// One line of the summary: the median CPU time (and wall time) beside the frame copy's.
static void line(const Figures& f, const char* name, const char* what, double scale, const char* unit,
                 const char* goal, bool met) {
    double us = f.cpuOf(name), copy = f.cpuOf("frameCopy");
    std::printf("%-30s %9.1f %s CPU %9.1f %s wall %8.2f x frame copy   %s%s\n", what, us / scale, unit,
                f.wallOf(name) / scale, unit, us / copy, goal,
                us == 0 ? ": not measured" : !*goal ? "" : met ? ": met" : ": MISSED");
}

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Figures f;
    benchmark::RunSpecifiedBenchmarks(&f);
    double copy = f.cpuOf("frameCopy");
    if (copy == 0) return 0;  // a filter left the yardstick out
    std::printf("\nmedians of 5 runs; one 800x600x32 frame copied with memcpy: %.1f us CPU\n", copy);
    bool met = true;
    auto goal = [&met](bool ok) { return met &= ok, ok; };
    line(f, "roundFrame", "round frame, mid-play", 1, "us", "goal at most 4 x", goal(f.cpuOf("roundFrame") <= 4 * copy));
    line(f, "streetBlit", "  of which the street's blit", 1, "us", "", true);
    double tickUs = f.cpuOf("roundTick");
    line(f, "roundTick", "round pass, rules alone", 1, "us", "goal 200,000 a CPU second",
         goal(tickUs > 0 && tickUs <= 5));
    line(f, "saveRestore", "game state saved and restored", 1, "us", "goal under 5 us",
         goal(f.cpuOf("saveRestore") > 0 && f.cpuOf("saveRestore") < 5));
    line(f, "menuFrame", "menu frame, main page", 1, "us", "", true);
    line(f, "startUpLoad", "start-up with every asset", 1000, "ms", "goal under 150 ms CPU",
         goal(f.cpuOf("startUpLoad") > 0 && f.cpuOf("startUpLoad") < 150000));
    std::printf("a round pass of the rules alone: %.0f ns CPU, %.0f passes a CPU second; the state saved and restored: "
                "%.0f ns CPU (the state is %zu bytes)\n",
                tickUs * 1000, tickUs > 0 ? 1e6 / tickUs : 0, f.cpuOf("saveRestore") * 1000, sizeof(GameState));
    return met ? 0 : 1;
}
