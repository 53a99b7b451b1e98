// rollback.cpp: the session's passes with rollback: saved states, predictions, corrections, confirmations.
#include "session/rollback.h"
#include "net/packet.h"

#include <algorithm>

uint16_t combineKeys(uint8_t host, uint8_t joiner, bool keyWaiting, bool inRound) {
    const uint8_t walkFire[5] = {IN_UP, IN_DOWN, IN_LEFT, IN_RIGHT, IN_FIRE};
    uint16_t k = 0;
    for (int i = 0; i < 5; i++) {
        if (host & walkFire[i]) k |= keyBit(K_UP + i);   // red: arrows and Right Ctrl
        if (joiner & walkFire[i]) k |= keyBit(K_W + i);  // blue: W S A D and Q
    }
    if ((host & IN_RETURN) || (keyWaiting && (joiner & IN_RETURN))) k |= keyBit(K_RETURN);
    if ((host & IN_ESCAPE) || ((keyWaiting || inRound) && (joiner & IN_ESCAPE))) k |= keyBit(K_ESCAPE);
    return k;
}

bool screenChanged(const GameState& a, const GameState& b) {
    return a.screen != b.screen || a.gameBezi != b.gameBezi || a.menuBezi != b.menuBezi || a.done != b.done ||
           (b.screen == SCR_WINNER && a.winnerAt != b.winnerAt);
}

void Rollback::begin(bool host, uint32_t inputDelay, const GameState& start) {
    hosting = host;
    delay = inputDelay;
    cur = done = 0;
    wrongFrom = UINT32_MAX;
    for (uint32_t i = 0; i < ROLL_RING; i++) mine[i] = theirs[i] = used[i] = 0, theirPass[i] = UINT32_MAX;
    for (uint32_t p = 0; p < delay; p++) theirPass[p] = p;  // nobody presses anything before his first input
    mineHeld = theirsHeld = delay;
    before[0] = start;
    counts = RollbackStats();
}

void Rollback::local(uint8_t bits) {
    mine[mineHeld % ROLL_RING] = bits;
    mineHeld++;
}

void Rollback::remote(uint32_t pass, uint8_t bits) {
    if (pass < done || pass >= done + ROLL_RING - 1 || theirPass[pass % ROLL_RING] == pass) return;
    theirPass[pass % ROLL_RING] = pass;
    theirs[pass % ROLL_RING] = bits;
    if (pass < cur && used[pass % ROLL_RING] != bits && pass < wrongFrom) wrongFrom = pass;
    while (theirPass[theirsHeld % ROLL_RING] == theirsHeld) theirsHeld++;
}

// The rival's bits for a pass: his own when they are here, else his last known ones.
uint8_t Rollback::rivalBits(uint32_t pass) const {
    if (theirPass[pass % ROLL_RING] == pass) return theirs[pass % ROLL_RING];
    return theirsHeld > 0 ? theirs[(theirsHeld - 1) % ROLL_RING] : 0;
}

// Both players' keys for a pass of `s`; a pass of the frame loop lasts PASS_MS.
TicCmd Rollback::record(uint32_t pass, const GameState& s, uint8_t rival) const {
    uint8_t own = mine[pass % ROLL_RING];
    TicCmd c;
    c.held = combineKeys(hosting ? own : rival, hosting ? rival : own, !passTimed(s), s.gameBezi);
    c.dt = passTimed(s) ? uint16_t(PASS_MS) : 0;
    return c;
}

// Runs the pass `cur` of `s`. A guessed pass that would change the screen is taken back, and false returned;
// so is a pass after the game's end.
bool Rollback::runPass(GameState& s, RollbackListener& l, bool again, bool* screen) {
    if (s.done) return false;  // the game is over: no pass comes after its last
    uint32_t p = cur, at = p % ROLL_RING;
    uint8_t rival = rivalBits(p);
    bool known = theirPass[at] == p;
    before[at] = s;
    cmds[at] = record(p, s, rival);
    timed[at] = passTimed(s);
    TickEvents ev = tick(s, cmds[at]);
    if (!known && screenChanged(before[at], s)) {
        s = before[at];
        if (screen) *screen = true;
        return false;
    }
    used[at] = rival;
    seen[at] = ev.seen;
    cur++;
    l.ran(p, ev, again, known);
    return true;
}

// Every pass run with both players' own inputs, up to the present, is final.
void Rollback::confirm(const GameState& s, RollbackListener& l) {
    for (; done < cur && done < theirsHeld; done++) {
        uint32_t at = done % ROLL_RING;
        const GameState& after = done + 1 < cur ? before[(done + 1) % ROLL_RING] : s;
        l.confirmed(done, before[at], after, cmds[at], seen[at], timed[at]);
    }
}

void Rollback::correct(GameState& s, RollbackListener& l) {
    if (wrongFrom >= cur) return;
    uint32_t end = cur, depth = cur - wrongFrom;
    s = before[wrongFrom % ROLL_RING];
    cur = wrongFrom;
    wrongFrom = UINT32_MAX;
    while (cur < end && runPass(s, l, true)) {
    }
    counts.rollbacks++, counts.passesAgain += depth;
    counts.byDepth[depth < MAX_PREDICT + 2 ? depth : MAX_PREDICT + 2]++;
    if (depth > counts.deepest) counts.deepest = depth;
}

Rollback::Step Rollback::advance(GameState& s, RollbackListener& l) {
    correct(s, l);
    bool screen = false;
    bool ran = mineHeld > cur && cur < theirsHeld + MAX_PREDICT && runPass(s, l, false, &screen);
    confirm(s, l);
    return ran ? RAN : screen ? WAIT_SCREEN : WAIT_INPUTS;
}

const GameState* Rollback::saved(uint32_t pass) const {
    return pass < cur && pass + ROLL_RING > cur && pass >= done - std::min(done, ROLL_RING - MAX_PREDICT - 2)
               ? &before[pass % ROLL_RING]
               : nullptr;
}

void Rollback::forceCorrection(uint32_t depth) {
    if (depth > cur - done) depth = cur - done;
    if (depth && cur - depth < wrongFrom) wrongFrom = cur - depth;
}
