// demo.cpp: recording a run as it is played, playing a recording back in its place, and timing one.
#include "demo.h"
#include "game.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <ctime>

int demoMode;
std::string demoPath;

// The keys of each player's bits, bit by bit (IN_UP first); red's also carry Return and Escape.
static const int RED_KEYS[7] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RCTRL, SDLK_RETURN, SDLK_ESCAPE};
static const int BLUE_KEYS[5] = {SDLK_w, SDLK_s, SDLK_a, SDLK_d, SDLK_q};

static uint8_t bitsOf(const int* syms, int n) {
    uint8_t b = 0;
    for (int i = 0; i < n; i++)
        if (keys[syms[i]]) b |= uint8_t(1 << i);
    return b;
}

// The computer's reaction clocks are the one state a new start does not reset.
static void resetOpponent() {
#ifdef KORVADO_SP
    reflex = wReflex = 0;
#endif
}

// ---- recording ----

static FILE* recFile;
static bool (*recInner)(bool);  // where the recorded passes take their inputs
static std::vector<DemoPass> recBlock;
static uint32_t recChain;
static bool resetPending;
static uint32_t resetSeed;

static void writeBlock() {
    if (!recFile || recBlock.empty()) return;
    std::vector<uint8_t> b = encodeBlock(recBlock, 0, recBlock.size(), recChain);
    fwrite(b.data(), 1, b.size(), recFile);
    fflush(recFile);  // a killed run keeps every block written
    recBlock.clear();
}

// What the pass just took: the keys as they stand, the frame time, a close request.
static DemoPass passTaken(bool timed, bool close) {
    DemoPass p;
    p.timed = timed;
    p.red.bits = bitsOf(RED_KEYS, 7);
    p.blue.bits = bitsOf(BLUE_KEYS, 5);
    p.red.dt = timed ? uint16_t(delta) : 0;
    p.extra = uint8_t((keys[SDLK_k] ? DEMO_K : 0) | (close ? DEMO_CLOSE : 0) | (resetPending ? DEMO_RESET : 0));
    p.seed = resetSeed;
    resetPending = false;
    return p;
}

static bool recordInputs(bool timed) {
    bool got = recInner(timed);
    if (timed && delta > 65535) delta = 65535;  // a frame time the record holds (waits of over a minute)
    recBlock.push_back(passTaken(timed, got && event.type == SDL_QUIT));
    if (recBlock.size() >= 64) writeBlock();
    return got;
}

void demoStartRecording() {
    if (demoMode != DEMO_RECORD || !recFile) return;
    resetGameState();
    gameSrand(gameSeed);
    resetOpponent();
    Demo head;
    head.edition = editionCode();
    head.version = DEMO_GAME_VERSION;
    head.seed = gameSeed;
    std::vector<uint8_t> b = encodeDemo(head);
    recChain = uint32_t(b[20] | b[21] << 8 | b[22] << 16 | uint32_t(b[23]) << 24);
    fwrite(b.data(), 1, b.size(), recFile);
    fflush(recFile);
    recInner = takeInputs;
    takeInputs = recordInputs;
}

void demoNoteReset(uint32_t seed) {
    resetPending = recFile != nullptr;
    resetSeed = seed;
}

bool (*swapInputs(bool (*source)(bool)))(bool) {
    bool (*&slot)(bool) = recFile && takeInputs == recordInputs ? recInner : takeInputs;
    bool (*before)(bool) = slot;
    slot = source;
    return before;
}

void demoFinish() {
    writeBlock();
    if (recFile) fclose(recFile);
    recFile = nullptr;
}

// ---- playing ----

static const Demo* playing;
static size_t playAt;
static bool playPaced, inAttract, closed, desync, pacedBefore;
static Uint8 demoKeys[SDLK_LAST];
static Uint32 clockMs;         // the recorded clock: the sum of the frame times played
static Uint32 due, timedDue;   // when the pass may start, and when the last pass of the frame loop did

void playerBegin(const Demo& d, bool paced, bool attract) {
    playing = &d;
    playAt = clockMs = 0;
    playPaced = paced, inAttract = attract;
    closed = desync = false;
    pacedBefore = pacing;
    pacing = false;  // the recorded frame times pace the passes
    resetGameState();
    gameSrand(d.seed);
    resetOpponent();
    memset(demoKeys, 0, sizeof demoKeys);
    keys = demoKeys;
    due = timedDue = tickSource();
}

// The demo ends: the passes' loops stop as on a close request, and nothing is held.
static bool stopPlaying() {
    memset(demoKeys, 0, sizeof demoKeys);
    keys = demoKeys;
    event.type = SDL_QUIT;
    done = true;
    return true;
}

// The real window's events: its close button ends the demo, as does Escape, or in attract mode any key or
// pad button.
static bool interrupted() {
    SDL_Event e;
    bool stop = false;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT) closed = stop = true;
        if (e.type == SDL_KEYDOWN && (inAttract || e.key.keysym.sym == SDLK_ESCAPE)) stop = true;
        if (e.type == SDL_JOYBUTTONDOWN && inAttract) stop = true;
    }
    return stop;
}

static void applyPass(const DemoPass& p) {
    for (int i = 0; i < 7; i++) demoKeys[RED_KEYS[i]] = (p.red.bits >> i) & 1;
    for (int i = 0; i < 5; i++) demoKeys[BLUE_KEYS[i]] = (p.blue.bits >> i) & 1;
    demoKeys[SDLK_k] = (p.extra & DEMO_K) != 0;
    keys = demoKeys;
    event.type = (p.extra & DEMO_CLOSE) ? SDL_QUIT : SDL_NOEVENT;
    if (!p.timed) return;
    delta = p.red.dt;
    clockMs += p.red.dt;
    deltaNew = deltaOld = float(clockMs);
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

static void tracePass(const char* what) {
    FILE* f = passTrace();
    if (!f) return;
    float clocks[2] = {0, 0};
#ifdef KORVADO_SP
    clocks[0] = reflex, clocks[1] = wReflex;
#endif
    fprintf(f, "%s %zu %08x %llu %g %g\n", what, playAt, stateHash(), (unsigned long long)gameDrawCount, clocks[0],
            clocks[1]);
}

bool playerInputs(bool timed) {
    startPass();
    tracePass(timed ? "timed" : "wait");
    if (interrupted() || playAt >= playing->passes.size()) return stopPlaying();
    const DemoPass& p = playing->passes[playAt];
    if (p.timed != timed) return desync = true, stopPlaying();
    playAt++;
    if (p.extra & DEMO_RESET) {  // a new session of the network game
        resetGameState();
        gameSrand(p.seed);
        resetOpponent();
    }
    applyPass(p);
    paceTo(p);
    return (p.extra & DEMO_CLOSE) != 0;
}

void playDemo(const Demo& d, bool paced, bool attract) {
    playerBegin(d, paced, attract);
    bool (*before)(bool) = takeInputs;
    takeInputs = playerInputs;
    while (!done) framePass();
    tracePass("end");
    takeInputs = before;
    playerEnd();
}

void playerEnd() {
    pacing = pacedBefore;
    keys = SDL_GetKeyState(nullptr);
    event.type = SDL_NOEVENT;
}

bool playerClosed() { return closed; }
bool playerDesynced() { return desync; }
uint32_t playerPass() { return uint32_t(playAt); }

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

int demoRun() {
    if (demoMode != DEMO_PLAY && demoMode != DEMO_TIME) return -1;
    FMUSIC_PlaySong(music);
    auto start = std::chrono::steady_clock::now();
    std::clock_t cpuStart = std::clock();
    playDemo(named, pacing, false);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;  // the program's, its sound thread's too
    if (desync)
        fprintf(stderr, "korvado: demo %s: the game no longer plays it the same (pass %u of %zu)\n", demoPath.c_str(),
                playerPass(), named.passes.size());
    if (demoMode == DEMO_TIME)
        printf("timedemo %s: %u passes in %.3f s, %.0f passes per second (%.0f per CPU second), final state hash %08x\n",
               demoPath.c_str(), playerPass(), s, playerPass() / std::max(s, 1e-9), playerPass() / std::max(cpu, 1e-9),
               stateHash());
    return desync ? 1 : 0;
}
