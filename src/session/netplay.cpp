// netplay.cpp: a korvado_net session frame by frame. Each frame this side's input is sampled for the pass
// `delay` ahead and sent with every input the other has not acknowledged; the rival's inputs come as they
// come, and the rollback plays the present at once on a guess of the ones still missing, correcting the
// passes a wrong guess played. Passes keep a schedule 13 ms apart; the side that plays ahead of the other
// stretches its passes by a millisecond or two until they are level.
#include "session/netplay.h"
#include "demo/demo.h"
#include "session/netscript.h"
#include "session/passsounds.h"
#include "session/rollback.h"
#include "shell/shell.h"
#include "input/input.h"
#include "net/link.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <sys/time.h>
#include <ctime>

namespace {

const uint32_t MAX_SENT = 48;            // input records in one datagram
const uint32_t HASH_EVERY = 64;          // confirmed passes between two hash checks (under a second)
const uint32_t HASH_SLOTS = 16;          // hash checks kept on each side
const Uint32 GONE_AFTER_MS = 2500;       // silence that counts as the other player gone
const uint32_t ADVANTAGE_SAMPLES = 32;   // the advantage is the middle of the latest this many messages
const Uint32 LINGER_MS = 1000;           // the most a side stays after the game's end, for the other
const Uint32 WAIT_SIGN_MS = 500;         // a present held up longer than this shows the sign
// A page's frames come at the display's refresh, later on a busy machine: its passes are made up while they are
// at most this late (a few frames), where the desktop, woken when a pass is due, allows a pass's budget.
const uint32_t PAGE_CATCH_UP_MS = 100;

struct HashSlot {
    uint32_t pass = UINT32_MAX;
    uint32_t hash = 0;
};

Rollback roll;
bool hosting;
uint32_t delayPasses, peerHolds;   // ... and the passes of this side's inputs the other holds
HashSlot myHashes[HASH_SLOTS], peerHashes[HASH_SLOTS];
GameState hashedStates[HASH_SLOTS];  // the states this side hashed, for a desync's dump
Uint32 scheduled, lastHeard, heldUpSince;
uint32_t stretchOwed, advantageCount;
int8_t advantages[ADVANTAGE_SAMPLES], rivalAdvantage;
bool peerLeft, closed, heldUp, dumpSent, dumpHeard;
bool screenWait;  // the present waited for a screen to change on both sides' own inputs
uint32_t sessionSeed, shownTo, realTo, keyChanges;
uint8_t lastBits;
SessionEnd ending;
FILE* trace;
uint32_t skewPass = UINT32_MAX;              // test seam: this side's input for the pass goes out other than played
uint32_t holdBack;                          // test seam: input datagrams leave this many sends late
std::deque<std::vector<uint8_t>> heldBack;  // ... and those still here when the session ends are lost

unsigned long long frameCpu;  // this thread's CPU time when the frame began

unsigned long long cpuMicroseconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (unsigned long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

unsigned long long microseconds() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    return (unsigned long long)tv.tv_sec * 1000000 + tv.tv_usec;
}

void send(const Message& m, bool reliable) {
    std::vector<uint8_t> d = encodeMessage(m);
    if (holdBack && !reliable) {
        heldBack.push_back(d);
        if (heldBack.size() <= holdBack) return;
        d = heldBack.front();
        heldBack.pop_front();
    }
    linkSend(d.data(), d.size(), reliable);
}

int8_t middleAdvantage() {
    if (advantageCount < ADVANTAGE_SAMPLES) return SLACK_UNKNOWN;
    int8_t a[ADVANTAGE_SAMPLES];
    std::copy(advantages, advantages + ADVANTAGE_SAMPLES, a);
    std::nth_element(a, a + ADVANTAGE_SAMPLES / 2, a + ADVANTAGE_SAMPLES);
    return a[ADVANTAGE_SAMPLES / 2];  // the middle one: a late datagram or two do not move it
}

void sendInputs() {
    Message m;
    m.kind = MSG_INPUT;
    m.ack = roll.rivalHeld();
    m.advantage = middleAdvantage();
    uint32_t last = roll.localDue();  // this side's inputs are held up to here
    m.first = std::min(peerHolds, last - 1);
    for (uint32_t p = m.first; p < last && m.inputs.size() < MAX_SENT; p++)
        m.inputs.push_back(uint8_t(roll.localBits(p) ^ (p == skewPass ? IN_RETURN : 0)));
    send(m, false);
}

// ---- the end of a session ----

// Both sides' states of a pass whose hashes differ go to the trace; the other hears this side's once.
void sendDump(uint32_t pass, uint32_t hash, const GameState& s) {
    if (dumpSent) return;
    dumpSent = true;
    Message m;
    m.kind = MSG_DESYNC;
    m.pass = pass, m.hash = hash;
    m.dump = stateText(s).substr(0, MAX_DUMP);
    send(m, true);
    if (trace) fprintf(trace, "desync %u ours %08x\n%s", pass, hash, m.dump.c_str());
}

void endSession(SessionEnd why) {
    if (ending != SESSION_RUNNING) return;
    ending = why;
    if (trace) fprintf(trace, "end %s\n", why == SESSION_GONE ? "gone" : "lost-sync");
}

// The other's hash of a pass against this side's, once both are known.
void compareHashes(uint32_t pass) {
    uint32_t at = pass / HASH_EVERY % HASH_SLOTS;
    const HashSlot &own = myHashes[at], &other = peerHashes[at];
    if (own.pass != pass || other.pass != pass || own.hash == other.hash) return;
    sendDump(pass, own.hash, hashedStates[at]);
    endSession(SESSION_LOST_SYNC);
}

// The other found the two games apart first: this side's state of that pass goes to him too, as hashed, or as
// this side last played it when it has not hashed it yet.
void heardDesync(const Message& m) {
    if (trace) fprintf(trace, "desync %u theirs %08x\n%s", m.pass, m.hash, m.dump.c_str());
    dumpHeard = true;
    uint32_t at = m.pass / HASH_EVERY % HASH_SLOTS;
    const GameState* played = roll.saved(m.pass);
    if (myHashes[at].pass == m.pass) sendDump(m.pass, myHashes[at].hash, hashedStates[at]);
    else if (played) sendDump(m.pass, stateHash(*played), *played);
    endSession(SESSION_LOST_SYNC);
}

// ---- the other's messages ----

// How far this side plays ahead of the other, in ms, from his newest input: his present then, a half round
// trip ago.
void noteAdvantage(const Message& m) {
    uint32_t newest = m.first + uint32_t(m.inputs.size()) - 1;
    if (newest < delayPasses) return;
    long theirs = long(newest - delayPasses) * long(PASS_MS) + long(linkRoundTripMs() / 2);
    long ahead = long(roll.present()) * long(PASS_MS) - theirs;
    advantages[advantageCount++ % ADVANTAGE_SAMPLES] = int8_t(std::max(-127L, std::min(127L, ahead)));
    if (m.advantage != SLACK_UNKNOWN) rivalAdvantage = m.advantage;
}

void storeInputs(const Message& m) {
    if (m.ack > peerHolds && m.ack <= roll.localDue()) peerHolds = m.ack;
    for (size_t i = 0; i < m.inputs.size(); i++) roll.remote(m.first + uint32_t(i), m.inputs[i]);
    noteAdvantage(m);
}

void receive(const Message& m) {
    if (m.kind == MSG_INPUT) storeInputs(m);
    if (m.kind == MSG_DESYNC) heardDesync(m);
    if (m.kind != MSG_HASH) return;
    peerHashes[m.pass / HASH_EVERY % HASH_SLOTS] = HashSlot{m.pass, m.hash};
    compareHashes(m.pass);
}

// One event of the link: the other's message taken in, his goodbye noted.
void take(const LinkEvent& e) {
    Message m;
    if (e.kind == LINK_GONE) peerLeft = true;
    if (e.kind == LINK_RECEIVED && decodeMessage(e.data.data(), e.data.size(), m)) receive(m);
}

// Takes in everything that arrived, without waiting.
void drainLink() {
    for (LinkEvent e = linkService(0); e.kind != LINK_NOTHING; e = linkService(0)) {
        take(e);
        if (e.kind == LINK_GONE) return;
        lastHeard = SDL_GetTicks();
    }
}

// ---- the frame ----

// Whether the frame's pass is due: its time is set once after the previous pass, a ms or two late while this
// side plays ahead of the other; until then the frame returns, and netplayWaitMs says for how long.
Uint32 passAt;
bool passAtSet;

bool keepSchedule() {
    if (!passAtSet) {
        int8_t own = middleAdvantage();
        if (roll.present() % ADVANTAGE_SAMPLES == 0 && own != SLACK_UNKNOWN && rivalAdvantage != SLACK_UNKNOWN)
            stretchOwed = uint32_t(std::max(0, (own - rivalAdvantage) / 2));
        uint32_t stretch = stretchFor(int(stretchOwed));
        stretchOwed -= stretch;
        passAt = passDue(scheduled, SDL_GetTicks(), frameBudgetMs, stretch, onPage() ? PAGE_CATCH_UP_MS : 0), passAtSet = true;
    }
    if (int32_t(passAt - SDL_GetTicks()) > 0) return false;
    scheduled = passAt, passAtSet = false;
    startPass();
    frameCpu = cpuMicroseconds();
    return true;
}

// This side's input for the pass `delay` ahead: the keyboard's and pads' bits, or the test script's.
void sample(const GameState& s, uint16_t held) {
    while (roll.wantsLocal()) {
        uint8_t bits = scriptActive() ? scriptBits(s, true, !passTimed(s)) : keyboardBits(held);
        if (bits != lastBits) keyChanges++;
        if (trace && bits != lastBits)
            fprintf(trace, "sample %u %02x %llu\n", roll.localDue(), bits, microseconds());
        lastBits = bits;
        roll.local(bits);
    }
}

// The game's sounds through the shell.
struct Speakers : SoundOut {
    int play(uint8_t sound) override { return playSoundOn(sound); }
    void fade(int channel, uint8_t sound) override { fadeSound(channel, sound); }
};

// The passes the rollback runs: their sounds, the trace's lines, the hash checks and the recording.
struct Session : RollbackListener {
    PassSounds sounds;
    Speakers speakers;
    void ran(uint32_t pass, const TickEvents& ev, bool again, bool real) override;
    void confirmed(uint32_t pass, const GameState& before, const GameState& after, const TicCmd& cmd, uint16_t seen,
                   bool timed) override;
    void hashCheck(uint32_t pass, const GameState& before, uint32_t hash);
} session;

void Session::ran(uint32_t pass, const TickEvents& ev, bool again, bool real) {
    sounds.heard(pass, ev, speakers);
    if (!trace) return;
    if (pass >= shownTo)
        fprintf(trace, "show %u %llu%s\n", pass, microseconds(), screenWait ? " screen" : ""), shownTo = pass + 1;
    if (real && pass >= realTo) fprintf(trace, "real %u %llu\n", pass, microseconds()), realTo = pass + 1;
    (void)again;
}

void Session::hashCheck(uint32_t pass, const GameState& before, uint32_t hash) {
    uint32_t at = pass / HASH_EVERY % HASH_SLOTS;
    myHashes[at] = HashSlot{pass, hash};
    hashedStates[at] = before;
    Message m;
    m.kind = MSG_HASH;
    m.pass = pass;
    m.hash = hash;
    send(m, true);
    compareHashes(pass);
}

void Session::confirmed(uint32_t pass, const GameState& before, const GameState& after, const TicCmd& cmd,
                        uint16_t seen, bool timed) {
    uint32_t hash = stateHash(before);
    if (pass % HASH_EVERY == 0) hashCheck(pass, before, hash);
    TicCmd recorded = cmd;
    recorded.reset = pass == 0, recorded.seed = sessionSeed;  // the recording starts the game afresh
    demoRecordPass(recorded, seen, timed);
    if (!trace) return;
    fprintf(trace, "pass %u %08x %llu\n", pass, hash, microseconds());
    if (after.screen == SCR_WINNER && before.screen != SCR_WINNER) {
        int w = lastWinner(after);
        fprintf(trace, "winner type %d red %d blue %d\n", after.gameMode, w & 1, w >> 1);
    }
}

// The present held up: the sign once it has waited over half a second; the rival's goodbye ends the
// session once his inputs have run out.
void noteHeldUp(Rollback::Step step) {
    Uint32 now = SDL_GetTicks();
    bool ran = step == Rollback::RAN;
    if (ran || !heldUp) heldUpSince = now;
    heldUp = !ran;
    screenWait = step == Rollback::WAIT_SCREEN;
    if (peerLeft && !ran && roll.present() >= roll.rivalHeld()) endSession(SESSION_GONE);
    if (now - lastHeard > GONE_AFTER_MS) endSession(SESSION_GONE);
}

}  // namespace

uint32_t passDue(uint32_t last, uint32_t now, uint32_t budget, uint32_t stretch, uint32_t catchUp) {
    uint32_t due = last + budget + stretch;
    return int32_t(now - due) > int32_t(catchUp ? catchUp : budget) ? now : due;
}

uint32_t stretchFor(int aheadMs) { return aheadMs < 2 ? 0 : aheadMs > 26 ? 2 : 1; }

uint32_t delayFor(uint32_t rttMs) { return rttMs < 30 ? 0 : rttMs < 120 ? 1 : 2; }

uint8_t keyboardBits(uint16_t k) {
    auto any = [k](int a, int b) { return (k & (keyBit(a) | keyBit(b))) != 0; };
    uint8_t b = 0;
    if (any(K_UP, K_W)) b |= IN_UP;
    if (any(K_DOWN, K_S)) b |= IN_DOWN;
    if (any(K_LEFT, K_A)) b |= IN_LEFT;
    if (any(K_RIGHT, K_D)) b |= IN_RIGHT;
    if (any(K_RCTRL, K_Q)) b |= IN_FIRE;
    if (k & keyBit(K_RETURN)) b |= IN_RETURN;
    if (k & keyBit(K_ESCAPE)) b |= IN_ESCAPE;
    return b;
}

void netplayBegin(GameState& s, bool host, uint32_t delay, uint32_t seed) {
    hosting = host;
    delayPasses = delay;
    sessionSeed = seed;
    s = startState(seed);
    roll.begin(host, delay, s);
    for (uint32_t i = 0; i < HASH_SLOTS; i++) myHashes[i] = peerHashes[i] = HashSlot{};
    peerHolds = delay;
    lastHeard = heldUpSince = SDL_GetTicks();
    scheduled = lastHeard - frameBudgetMs;  // pass 0 is due now
    passAtSet = false;
    stretchOwed = advantageCount = 0;
    rivalAdvantage = SLACK_UNKNOWN;
    peerLeft = closed = heldUp = dumpSent = dumpHeard = false;
    shownTo = realTo = 0;
    lastBits = 0xFF;
    ending = SESSION_RUNNING;
    session = Session();
    const char* skew = getenv("KORVADO_NET_SKEW");
    skewPass = skew && *skew ? uint32_t(strtoul(skew, nullptr, 10)) : UINT32_MAX;
    trace = netTrace();
    if (trace) fprintf(trace, "start %s delay %u budget %u seed %08x\n", host ? "host" : "joiner", delay, frameBudgetMs, seed);
}

NetplayStep netplayFrame(GameState& s) {
    if (!keepSchedule()) return NETPLAY_NOT_DUE;
    LocalInput local = readLocalInput(s.gameBezi);
    takeScreenKeys(local);
    if (local.close) return closed = true, s.done = true, NETPLAY_OVER;
    drainLink();
    if (ending != SESSION_RUNNING) return NETPLAY_OVER;
    sample(s, local.held);
    sendInputs();
    unsigned long long start = microseconds();
    uint32_t rollbacks = roll.stats().rollbacks, before = roll.stats().passesAgain;
    noteHeldUp(roll.advance(s, session));
    if (trace && roll.stats().rollbacks != rollbacks)
        fprintf(trace, "rollback %u %llu\n", roll.stats().passesAgain - before, microseconds() - start);
    return ending == SESSION_RUNNING && !s.done ? NETPLAY_RAN : NETPLAY_OVER;
}

// A page without frames (a tab in the background): what came is taken in and this side's inputs go out again,
// at most every 250 ms, so that the other hears it is still there and waits with his sign; no pass runs.
void netplayKeepAlive() {
    static Uint32 last;
    if (SDL_GetTicks() - last < 250) return;
    last = SDL_GetTicks();
    drainLink();
    if (ending == SESSION_RUNNING) sendInputs();
}

uint32_t netplayWaitMs() {
    int32_t left = passAtSet ? int32_t(passAt - SDL_GetTicks()) : 0;
    return left > 0 ? uint32_t(left) : 0;
}

void netplayFrameDone() {
    if (trace) fprintf(trace, "frame %llu\n", cpuMicroseconds() - frameCpu);
}

bool netplayClosed() { return closed; }
bool netplayWaiting() { return heldUp && SDL_GetTicks() - heldUpSince > WAIT_SIGN_MS; }

// After the pass in which the game ended: until the other holds this side's inputs up to that pass (he
// may not have played it yet), they are sent again; bounded, and over once he has gone too.
static uint32_t lingerEnd;
static Uint32 lingerSince, resent;

void netplayLingerBegin() {
    holdBack = 0;
    heldBack.clear();
    lingerEnd = roll.present();
    if (trace) fprintf(trace, "end game %u %llu\n", lingerEnd, microseconds());
    lingerSince = SDL_GetTicks(), resent = lingerSince - frameBudgetMs;
}

bool netplayLingerStep() {
    for (LinkEvent e = linkService(0); e.kind != LINK_NOTHING && !peerLeft; e = linkService(0)) take(e);
    if (peerHolds < lingerEnd && !peerLeft && SDL_GetTicks() - lingerSince < LINGER_MS) {
        if (SDL_GetTicks() - resent >= frameBudgetMs) sendInputs(), resent = SDL_GetTicks();
        return true;
    }
    if (trace)
        fprintf(trace, "linger %s %u ms\n", peerHolds >= lingerEnd ? "caught-up" : peerLeft ? "left" : "timeout",
                SDL_GetTicks() - lingerSince);
    return false;
}

// A lost sync: both states to both traces, a second at most.
static Uint32 finishSince;

void netplayFinishBegin() { finishSince = SDL_GetTicks(); }

bool netplayFinishStep() {
    for (LinkEvent e = linkService(0); e.kind != LINK_NOTHING && !peerLeft; e = linkService(0)) take(e);
    if (ending == SESSION_LOST_SYNC && (!dumpHeard || !linkDelivered()) && !peerLeft &&
        SDL_GetTicks() - finishSince < 1000)
        return true;
    if (trace) {
        const RollbackStats& st = roll.stats();
        fprintf(trace, "rollbacks %u passes %u deepest %u present %u\n", st.rollbacks, st.passesAgain, st.deepest,
                roll.present());
    }
    trace = nullptr;
    holdBack = 0;
    heldBack.clear();
    return false;
}

void netplayHoldInputs(uint32_t sends) { holdBack = sends; }

FILE* netTrace() {
    static FILE* file;
    static bool opened;
    if (opened) return file;
    opened = true;
    const char* path = getenv("KORVADO_NET_TRACE");
    file = path && *path ? fopen(path, "a") : nullptr;
    if (file) setvbuf(file, nullptr, _IOLBF, 0);  // whole lines, so that a killed program leaves them
    return file;
}

unsigned long long netMicroseconds() { return microseconds(); }

SessionEnd netplayEnd() { return ending; }
uint32_t netplayPresent() { return roll.present(); }
uint32_t netplayKeyChanges() { return keyChanges; }
uint32_t netplayDelay() { return delayPasses; }
bool netplayHosting() { return hosting; }
