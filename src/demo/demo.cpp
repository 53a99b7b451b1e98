// demo.cpp: recording a run as it is played, playing a recording back in its place, and timing one.
#include "demo/demo.h"
#include "shell/shell.h"
#include "input/pad.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

int demoMode;
std::string demoPath;

// A demo holds each player's bits bit by bit (IN_UP first): red's the arrows, Right Ctrl, Return and Escape,
// blue's W S A D and Q.
static const int RED_KEYS[7] = {K_UP, K_DOWN, K_LEFT, K_RIGHT, K_RCTRL, K_RETURN, K_ESCAPE};
static const int BLUE_KEYS[5] = {K_W, K_S, K_A, K_D, K_Q};

static uint8_t bitsOf(uint16_t keys, const int* order, int n) {
    uint8_t b = 0;
    for (int i = 0; i < n; i++)
        if (keys & keyBit(order[i])) b |= uint8_t(1 << i);
    return b;
}

static uint16_t keysOf(uint8_t bits, const int* order, int n) {
    uint16_t k = 0;
    for (int i = 0; i < n; i++)
        if (bits >> i & 1) k |= keyBit(order[i]);
    return k;
}

// ---- recording ----

static FILE* recFile;
static const GameState* recState;  // the game whose passes are recorded
static std::vector<DemoPass> recBlock;
static uint32_t recChain;

static void writeBlock() {
    if (!recFile || recBlock.empty()) return;
    std::vector<uint8_t> b = encodeBlock(recBlock, 0, recBlock.size(), recChain);
    fwrite(b.data(), 1, b.size(), recFile);
    fflush(recFile);  // a killed run keeps every block written
    recBlock.clear();
}

// What the pass took: the keys as the game saw them, the frame time, a close request, a fresh start.
DemoPass demoPassOf(const TicCmd& cmd, uint16_t seen, bool timed) {
    DemoPass p;
    p.timed = timed;
    p.red.bits = bitsOf(seen, RED_KEYS, 7);
    p.blue.bits = bitsOf(seen, BLUE_KEYS, 5);
    p.red.dt = timed ? cmd.dt : 0;
    p.extra = uint8_t((seen & keyBit(K_K) ? DEMO_K : 0) | (cmd.close ? DEMO_CLOSE : 0) | (cmd.reset ? DEMO_RESET : 0));
    p.seed = cmd.reset ? cmd.seed : 0;
    return p;
}

TicCmd demoCmd(const DemoPass& p) {
    TicCmd cmd;
    cmd.held = cmd.fresh = uint16_t(keysOf(p.red.bits, RED_KEYS, 7) | keysOf(p.blue.bits, BLUE_KEYS, 5) |
                                     (p.extra & DEMO_K ? keyBit(K_K) : 0));
    cmd.dt = p.timed ? p.red.dt : 0;
    cmd.close = (p.extra & DEMO_CLOSE) != 0;
    cmd.reset = (p.extra & DEMO_RESET) != 0;  // a new session of the network game
    cmd.seed = p.seed;
    return cmd;
}

void demoNotePass(const GameState& s, const TicCmd& cmd, const TickEvents& ev, bool timed) {
    if (&s == recState) demoRecordPass(cmd, ev.seen, timed);
}

void demoRecordPass(const TicCmd& cmd, uint16_t seen, bool timed) {
    if (!recFile || !recState) return;
    recBlock.push_back(demoPassOf(cmd, seen, timed));
    if (recBlock.size() >= 64) writeBlock();
}

void demoStartRecording(const GameState& s) {
    if (demoMode != DEMO_RECORD || !recFile) return;
    Demo head;
    head.edition = editionCode();
    head.version = DEMO_GAME_VERSION;
    head.seed = s.rng.seed;
    std::vector<uint8_t> b = encodeDemo(head);
    recChain = uint32_t(b[20] | b[21] << 8 | b[22] << 16 | uint32_t(b[23]) << 24);
    fwrite(b.data(), 1, b.size(), recFile);
    fflush(recFile);
    recState = &s;
}

void demoFinish() {
    writeBlock();
    if (recFile) fclose(recFile);
    recFile = nullptr;
    recState = nullptr;
}

// ---- playing ----

static const Demo* playing;
static size_t playAt;
static bool playPaced, inAttract, closed, desync, over, pacedBefore;
static Uint32 due, timedDue;  // when the pass may start, and when the last pass of the frame loop did

// The test seam's per-pass trace (KORVADO_PASS_TRACE names the file): the state each pass of a demo starts
// from, and the state it ends in, one line each, for comparing two builds of the game pass by pass.
static FILE* passTrace() {
    static FILE* file;
    static bool opened;
    if (opened) return file;
    opened = true;
    const char* path = getenv("KORVADO_PASS_TRACE");
    file = path && *path ? fopen(path, "w") : nullptr;
    return file;
}

void demoTrace(const GameState& s, const char* what) {
    FILE* f = passTrace();
    if (f)
        fprintf(f, "%s %zu %08x %llu %g %g\n", what, playAt, legacyHash(s), (unsigned long long)s.rng.draws,
                s.reflex, s.wReflex);
}

void playerBegin(const Demo& d, bool paced, bool attract) {
    playing = &d;
    playAt = 0;
    playPaced = paced, inAttract = attract;
    closed = desync = over = false;
    pacedBefore = pacing;
    pacing = false;  // the recorded frame times pace the passes
    due = timedDue = tickSource();
}

// The real window's events: its close button ends the demo, as does Escape, or in attract mode any key or
// pad button.
static bool interrupted() {
    SDL_Event e;
    bool stop = false;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT) closed = stop = true;
        if (e.type == SDL_KEYDOWN && (inAttract || e.key.keysym.sym == SDLK_ESCAPE)) stop = true;
    }
    return stop || (inAttract && padsPressed());
}

// Waits until the pass is due at the recorded pace: a pass of the frame loop its frame time after the last
// one, a pass of a key wait a frame budget after the pass before. The first pass starts at once.
static void paceTo(const DemoPass& p) {
    if (!playPaced) return;
    if (p.timed) due = timedDue = playAt == 1 ? timedDue : timedDue + p.red.dt;
    else due += frameBudgetMs;
    int32_t wait = int32_t(due - tickSource());
    if (wait > 0) SDL_Delay(Uint32(std::min(wait, 1000)));
}

// The demo is over (played out, stopped, or no longer played alike): the game sees the window close, with
// nothing held, once.
static bool stopPlaying(const GameState& s, TicCmd& cmd) {
    if (over) return false;
    over = true;
    cmd.close = true;
    cmd.dt = uint16_t(s.delta);
    return true;
}

bool playerInputs(const GameState& s, bool timed, TicCmd& cmd) {
    cmd = TicCmd();
    if (!over) demoTrace(s, timed ? "timed" : "wait");
    if (over || interrupted() || playAt >= playing->passes.size()) return stopPlaying(s, cmd);
    const DemoPass& p = playing->passes[playAt];
    if (p.timed != timed) return desync = true, stopPlaying(s, cmd);
    playAt++;
    cmd = demoCmd(p);
    paceTo(p);
    return true;
}

void playerEnd() { pacing = pacedBefore; }

bool playerClosed() { return closed; }
bool playerDesynced() { return desync; }
uint32_t playerPass() { return uint32_t(playAt); }

uint32_t demoFinalHash(GameState s) {
    s.keys = 0;
    return legacyHash(s);
}

int playDemo(const Demo& d, bool paced, GameState& s) {
    s = startState(d.seed);
    playerBegin(d, paced, false);
    while (runFrame(s, playerInputs)) {
    }
    demoTrace(s, "end");
    playerEnd();
    return desync ? 1 : 0;
}

// ---- the command line's demo ----

static Demo named;  // the demo --playdemo or --timedemo named

int demoPrepare() {
    if (demoMode == DEMO_NONE) return -1;
    if (demoMode != DEMO_RECORD) return loadDemo(demoPath, named) ? -1 : 1;
    recFile = fopen(demoPath.c_str(), "wb");
    if (recFile) return -1;
    fprintf(stderr, "korvado: demo %s: %s\n", demoPath.c_str(), strerror(errno));
    return 1;
}

int demoSyncTest() { return syncTest(demoMode == DEMO_TIME ? &named : nullptr); }

int demoRun() {
    if (demoMode != DEMO_PLAY && demoMode != DEMO_TIME) return -1;
    startMusic();
    auto start = std::chrono::steady_clock::now();
    std::clock_t cpuStart = std::clock();
    GameState s;
    playDemo(named, pacing, s);
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;  // the program's, its sound thread's too
    if (desync)
        fprintf(stderr, "korvado: demo %s: the game no longer plays it the same (pass %u of %zu)\n", demoPath.c_str(),
                playerPass(), named.passes.size());
    if (demoMode == DEMO_TIME)
        printf("timedemo %s: %u passes in %.3f s, %.0f passes per second (%.0f per CPU second), final state hash %08x\n",
               demoPath.c_str(), playerPass(), secs, playerPass() / std::max(secs, 1e-9),
               playerPass() / std::max(cpu, 1e-9), demoFinalHash(s));
    return desync ? 1 : 0;
}
