// lockstep.cpp: the frame loop's inputs in lockstep. Each pass a player's input is scheduled `delay` passes
// ahead and sent with every input the other has not acknowledged yet; a pass runs once both players' inputs
// for it are here. The host's input also carries his frame time, so both machines share one clock. Passes
// keep a schedule a frame budget apart, and the side that runs ahead of the other lets a few run long.
#include "session/lockstep.h"
#include "session/netscript.h"
#include "shell/shell.h"
#include "input/input.h"
#include "net/link.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <sys/time.h>

namespace {

const uint32_t RING = 512;          // passes of inputs and hashes kept on each side
const uint32_t MAX_SENT = 48;       // input records in one datagram
const uint32_t HASH_EVERY = 64;     // passes between two hash checks (under a second)
const Uint32 GONE_AFTER_MS = 2500;  // silence that counts as the other player gone
const uint32_t SLACK_PASSES = 32;   // passes over which the slack is taken (its middle value)
const int MAX_STRETCH_MS = 16;      // the most a side falls back between two hash checks
const Uint32 LINGER_MS = 1000;      // the most a side stays after the game's end, for the other to catch up

struct Slot {
    uint32_t pass = UINT32_MAX;
    InputRecord rec;
};
struct HashSlot {
    uint32_t pass = UINT32_MAX;
    uint32_t hash = 0;
    int8_t slack = SLACK_UNKNOWN;
};

bool hosting;
uint32_t delayPasses, cur;
uint32_t theirsHeld;  // passes of the other's inputs held from 0 without a gap
uint32_t peerHolds;   // passes of this side's inputs the other holds, by his last word
Slot mine[RING], theirs[RING];
HashSlot myHashes[RING], peerHashes[RING / HASH_EVERY];
uint32_t hostClock, lastTimedClock;
Uint32 scheduled;       // when the current pass was due
uint32_t stretchOwed;   // ms this side's passes are still to run long, to let the other catch up
unsigned long long arrived[RING];  // when the other's input for a pass came, in microseconds
int8_t slacks[SLACK_PASSES];       // how early the other's inputs came, in ms, for the latest passes
uint32_t slackCount;
bool pacedBefore;
Uint32 lastHeard;
bool peerLeft;         // the other has closed the link: play on while his inputs last
uint8_t lastBits;
SessionEnd ending;
bool wasWaiting;
FILE* trace;
uint32_t holdBack;                         // test seam: input datagrams leave this many sends late
std::deque<std::vector<uint8_t>> heldBack;  // ... and those still here when the session ends are lost

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

void sendInputs() {
    Message m;
    m.kind = MSG_INPUT;
    m.ack = theirsHeld;
    uint32_t last = cur + delayPasses;  // the newest input sampled
    m.first = peerHolds <= last ? peerHolds : last;
    for (uint32_t p = m.first; p <= last && m.inputs.size() < MAX_SENT; p++) m.inputs.push_back(mine[p % RING].rec);
    send(m, false);
}

void endSession(SessionEnd why) {
    if (ending != SESSION_RUNNING) return;
    ending = why;
    if (trace) fprintf(trace, "end %s\n", why == SESSION_GONE ? "gone" : "lost-sync");
}

// The other's hash of a pass against this side's, once both are known.
void compareHashes(uint32_t pass) {
    const HashSlot& own = myHashes[pass % RING];
    const HashSlot& other = peerHashes[pass / HASH_EVERY % (RING / HASH_EVERY)];
    if (own.pass != pass || other.pass != pass) return;
    if (own.hash != other.hash) endSession(SESSION_LOST_SYNC);
    stretchOwed = uint32_t(stretchFor(own.slack, other.slack));
}

// How early the other's input for this pass came (negative: how long this side waited for it).
void noteSlack(unsigned long long neededAt) {
    if (cur < delayPasses) return;  // those inputs were nobody's
    long long early = ((long long)neededAt - (long long)arrived[cur % RING]) / 1000;
    slacks[slackCount++ % SLACK_PASSES] = int8_t(std::max(-127LL, std::min(127LL, early)));
}

int8_t recentSlack() {
    if (slackCount < SLACK_PASSES) return SLACK_UNKNOWN;
    int8_t s[SLACK_PASSES];
    std::copy(slacks, slacks + SLACK_PASSES, s);
    std::nth_element(s, s + SLACK_PASSES / 2, s + SLACK_PASSES);
    return s[SLACK_PASSES / 2];  // the middle one: a lost datagram or two do not move it
}

void storeInputs(const Message& m) {
    if (m.ack > peerHolds && m.ack <= cur + delayPasses + 1) peerHolds = m.ack;
    for (size_t i = 0; i < m.inputs.size(); i++) {
        uint32_t p = m.first + uint32_t(i);
        if (p < theirsHeld || p >= cur + RING / 2) continue;  // known already, or too far ahead to keep
        if (theirs[p % RING].pass != p) arrived[p % RING] = microseconds();
        theirs[p % RING] = Slot{p, m.inputs[i]};
    }
    while (theirs[theirsHeld % RING].pass == theirsHeld) theirsHeld++;
}

// One event of the link: the other's message taken in, his goodbye noted.
void take(const LinkEvent& e) {
    Message m;
    if (e.kind == LINK_GONE) peerLeft = true;
    if (e.kind == LINK_RECEIVED && decodeMessage(e.data.data(), e.data.size(), m)) lockstepReceive(m);
}

// Services the link until the other's input for this pass is here, resending ours once a frame budget;
// true when the window's close button cut the wait short.
bool awaitPass() {
    Uint32 resent = SDL_GetTicks();
    unsigned long long neededAt = microseconds();
    while (ending == SESSION_RUNNING && theirsHeld <= cur) {
        LinkEvent e = linkService(1);
        Uint32 now = SDL_GetTicks();
        take(e);
        if (peerLeft || now - lastHeard > GONE_AFTER_MS) endSession(SESSION_GONE);
        if (e.kind == LINK_RECEIVED) lastHeard = now;
        if (now - resent >= frameBudgetMs) sendInputs(), resent = now;
        SDL_Event quit;
        if (SDL_PeepEvents(&quit, 1, SDL_PEEKEVENT, SDL_QUITMASK) > 0) return true;
    }
    if (theirsHeld > cur) noteSlack(neededAt);
    return false;
}

// Holds the pass until it is due, a ms late every second pass while this side owes the other some. The
// step is the host's frame time.
uint32_t keepSchedule() {
    bool stretch = stretchOwed && cur % 2 == 0;
    stretchOwed -= stretch;
    Uint32 now = SDL_GetTicks();
    Uint32 due = passDue(scheduled, now, frameBudgetMs, stretch);
    if (int32_t(due - now) > 0) SDL_Delay(due - now);
    uint32_t step = due - scheduled;
    scheduled = due;
    startPass();
    return step;
}

// Takes in everything that arrived, without waiting. A goodbye is noted, not acted on: the other may have
// left at the game's end, after this side had every input it needs to get there (awaitPass ends the
// session when one is missing).
void drainLink() {
    for (;;) {
        LinkEvent e = linkService(0);
        if (e.kind == LINK_NOTHING) return;
        take(e);
        if (e.kind == LINK_GONE) return;
        lastHeard = SDL_GetTicks();
    }
}

// This side's input for the pass `delay` ahead: its bits and, on the host, the frame time `dt`.
void sample(const GameState& s, uint16_t held, bool keyWaiting, uint32_t dt) {
    InputRecord rec;
    rec.bits = scriptActive() ? scriptBits(s, true, keyWaiting) : keyboardBits(held);
    rec.dt = hosting ? uint16_t(dt > 0xFFFF ? 0xFFFF : dt) : 0;
    uint32_t p = cur + delayPasses;
    mine[p % RING] = Slot{p, rec};
    if (trace && rec.bits != lastBits) fprintf(trace, "sample %u %02x %llu\n", p, rec.bits, microseconds());
    lastBits = rec.bits;
}

// The pass's keys, both players' as the game reads them, and the host's clock, which both sides share:
// a pass of the frame loop's frame time is the time since the last one.
void applyInputs(const GameState& s, bool timed, TicCmd& cmd) {
    const InputRecord& mineNow = mine[cur % RING].rec;
    const InputRecord& theirsNow = theirs[cur % RING].rec;
    cmd.held = combineKeys(hosting ? mineNow.bits : theirsNow.bits, hosting ? theirsNow.bits : mineNow.bits,
                           !timed, s.gameBezi);
    hostClock += (hosting ? mineNow : theirsNow).dt;
    if (!timed) return;
    cmd.dt = uint16_t(hostClock - lastTimedClock);
    lastTimedClock = hostClock;
}

void noteHash(const GameState& s, bool keyWaiting) {
    uint32_t h = stateHash(s);
    myHashes[cur % RING] = HashSlot{cur, h, SLACK_UNKNOWN};
    if (cur % HASH_EVERY == 0) {
        Message m;
        m.kind = MSG_HASH;
        m.pass = cur;
        m.hash = h;
        m.slack = myHashes[cur % RING].slack = recentSlack();
        send(m, true);
        compareHashes(cur);
    }
    if (!trace) return;
    fprintf(trace, "pass %u %08x %llu\n", cur, h, microseconds());
    if (keyWaiting && !wasWaiting) {  // a winner screen has come up
        int w = lastWinner(s);
        fprintf(trace, "winner type %d red %d blue %d\n", s.gameMode, w & 1, w >> 1);
    }
}

}  // namespace

uint32_t passDue(uint32_t last, uint32_t now, uint32_t budget, uint32_t stretch) {
    uint32_t due = last + budget + stretch;
    return int32_t(now - due) > int32_t(budget) ? now : due;
}

int stretchFor(int8_t ownSlack, int8_t otherSlack) {
    if (ownSlack == SLACK_UNKNOWN || otherSlack == SLACK_UNKNOWN) return 0;
    int ahead = (otherSlack - ownSlack) / 2;  // inputs late to me and early to him: I play ahead of him
    return ahead >= 2 ? std::min(ahead, MAX_STRETCH_MS) : 0;
}

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

uint16_t combineKeys(uint8_t host, uint8_t joiner, bool keyWaiting, bool inRound) {
    const uint8_t walkFire[5] = {IN_UP, IN_DOWN, IN_LEFT, IN_RIGHT, IN_FIRE};
    uint16_t k = 0;
    for (int i = 0; i < 5; i++) {
        if (host & walkFire[i]) k |= keyBit(K_UP + i);      // red: arrows and Right Ctrl
        if (joiner & walkFire[i]) k |= keyBit(K_W + i);     // blue: W S A D and Q
    }
    if ((host & IN_RETURN) || (keyWaiting && (joiner & IN_RETURN))) k |= keyBit(K_RETURN);
    if ((host & IN_ESCAPE) || ((keyWaiting || inRound) && (joiner & IN_ESCAPE))) k |= keyBit(K_ESCAPE);
    return k;
}

void lockstepBegin(bool host, uint32_t delay) {
    hosting = host;
    delayPasses = delay;
    cur = 0;
    ending = SESSION_RUNNING;
    for (uint32_t i = 0; i < RING; i++) mine[i] = theirs[i] = Slot{}, myHashes[i] = HashSlot{};
    for (HashSlot& s : peerHashes) s = HashSlot{};
    InputRecord still;  // the passes before the first input arrives: nobody presses anything
    still.dt = uint16_t(frameBudgetMs);
    for (uint32_t p = 0; p < delay; p++) mine[p] = theirs[p] = Slot{p, still};
    theirsHeld = peerHolds = delay;
    hostClock = lastTimedClock = 0;
    lastHeard = SDL_GetTicks();
    peerLeft = false;
    scheduled = lastHeard - frameBudgetMs;  // pass 0 is due now
    stretchOwed = slackCount = 0;
    pacedBefore = pacing;
    pacing = false;  // the schedule paces the session's passes
    lastBits = 0xFF;
    wasWaiting = false;
    trace = netTrace();
    if (trace) fprintf(trace, "start %s delay %u budget %u\n", host ? "host" : "joiner", delay, frameBudgetMs);
}

bool lockstepInputs(const GameState& s, bool timed, TicCmd& cmd) {
    uint32_t dt = keepSchedule();
    LocalInput local = readLocalInput(s.gameBezi);
    if (ending != SESSION_RUNNING) return false;
    drainLink();
    sample(s, local.held, !timed, dt);
    sendInputs();
    bool closing = awaitPass();
    if (ending != SESSION_RUNNING) return false;
    cmd = TicCmd();
    cmd.close = local.close || closing;
    if (closing) {  // the window closes at once: a last pass without the other, in which nothing else changes
        cmd.held = s.heldBefore, cmd.dt = uint16_t(s.delta);
        return true;
    }
    noteHash(s, !timed);
    applyInputs(s, timed, cmd);
    wasWaiting = !timed;
    cur++;
    return true;
}

void lockstepReceive(const Message& m) {
    if (m.kind == MSG_INPUT) storeInputs(m);
    if (m.kind != MSG_HASH) return;
    peerHashes[m.pass / HASH_EVERY % (RING / HASH_EVERY)] = HashSlot{m.pass, m.hash, m.slack};
    compareHashes(m.pass);
}

// After the pass in which the game ended: until the other holds this side's inputs up to that pass (he
// may not have played it yet), they are sent again; bounded, and over once he has gone too.
void lockstepLinger() {
    holdBack = 0;
    heldBack.clear();
    if (trace) fprintf(trace, "end game %u %llu\n", cur, microseconds());
    Uint32 start = SDL_GetTicks(), resent = start - frameBudgetMs;
    while (peerHolds < cur && !peerLeft && SDL_GetTicks() - start < LINGER_MS) {
        if (SDL_GetTicks() - resent >= frameBudgetMs) sendInputs(), resent = SDL_GetTicks();
        take(linkService(1));
    }
    if (trace) fprintf(trace, "linger %s %u ms\n", peerHolds >= cur ? "caught-up" : peerLeft ? "left" : "timeout",
                       SDL_GetTicks() - start);
}

void lockstepHoldInputs(uint32_t sends) { holdBack = sends; }

void lockstepFinish() {
    trace = nullptr;
    pacing = pacedBefore;
    holdBack = 0;
    heldBack.clear();
}

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

SessionEnd lockstepEnd() { return ending; }
uint32_t lockstepPass() { return cur; }
uint32_t lockstepDelay() { return delayPasses; }
bool lockstepHosting() { return hosting; }
