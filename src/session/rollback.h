// rollback.h: a session's passes with rollback: this side's input plays at once, the rival's is predicted as
// his last, and when his real one differs, the game is taken back to that pass and played again to the present.
#ifndef KORVADO_ROLLBACK_H
#define KORVADO_ROLLBACK_H

#include <cstdint>
#include "game/game.h"

const uint32_t ROLL_RING = 64;     // passes of inputs and saved states kept
const uint32_t MAX_PREDICT = 20;   // passes the present may run past the rival's last known input: 260 ms
const uint32_t PASS_MS = 13;       // every pass of a session is this much game time, on both machines

// What the session does with the passes the rollback runs.
struct RollbackListener {
    // A pass was run: for the first time, or again after a correction (`again`); `real` when with the rival's
    // own input rather than a guess.
    virtual void ran(uint32_t pass, const TickEvents& ev, bool again, bool real) = 0;
    // A pass is final: both players' inputs are known and it was run with them. `before` is the state it
    // started from and `after` the one it left, `seen` the keys as the game saw them in it.
    virtual void confirmed(uint32_t pass, const GameState& before, const GameState& after, const TicCmd& cmd,
                           uint16_t seen, bool timed) = 0;
    virtual ~RollbackListener() {}
};

struct RollbackStats {
    uint32_t rollbacks = 0;          // corrections made
    uint32_t passesAgain = 0;        // passes run again for them
    uint32_t deepest = 0;            // the most passes one correction ran again
    uint32_t byDepth[MAX_PREDICT + 3] = {};  // corrections by depth
};

class Rollback {
public:
    // A session from `start` at pass 0; the host plays red. Both players hold nothing in the passes before
    // the first input, `delay` passes after this side's key.
    void begin(bool hosting, uint32_t delay, const GameState& start);
    uint32_t localDue() const { return mineHeld; }  // the pass this side's next input is for
    bool wantsLocal() const { return mineHeld <= cur + delay; }
    void local(uint8_t bits);                    // this side's bits (IN_ bits) for localDue()
    uint8_t localBits(uint32_t pass) const { return mine[pass % ROLL_RING]; }
    // The rival's bits for a pass; one known already or too far ahead is ignored. Notes a wrong prediction.
    void remote(uint32_t pass, uint8_t bits);
    uint32_t rivalHeld() const { return theirsHeld; }  // the rival's inputs held from pass 0 without a gap
    // Corrects the passes run on a wrong prediction, then runs the present pass if it can, or says why it
    // waits: the rival's inputs too far behind, or a screen that would change on a guess.
    enum Step { RAN, WAIT_INPUTS, WAIT_SCREEN };
    Step advance(GameState& s, RollbackListener& l);
    void correct(GameState& s, RollbackListener& l);  // the first part of advance: the passes run again
    uint32_t present() const { return cur; }  // the pass to run next
    uint32_t confirmedTo() const { return done; }  // passes before this are final
    const RollbackStats& stats() const { return counts; }
    // The state a pass started from, as last played, while it is kept (it may rest on guesses); null when not.
    const GameState* saved(uint32_t pass) const;
    // The sync test's seam: the passes since `depth` back count as run on a wrong guess.
    void forceCorrection(uint32_t depth);

private:
    uint8_t rivalBits(uint32_t pass) const;
    TicCmd record(uint32_t pass, const GameState& s, uint8_t rival) const;
    bool runPass(GameState& s, RollbackListener& l, bool again, bool* screen = nullptr);
    void confirm(const GameState& s, RollbackListener& l);

    bool hosting = true;
    uint32_t delay = 0, cur = 0, done = 0, mineHeld = 0, theirsHeld = 0, wrongFrom = UINT32_MAX;
    uint8_t mine[ROLL_RING] = {}, theirs[ROLL_RING] = {}, used[ROLL_RING] = {};
    uint32_t theirPass[ROLL_RING] = {};  // the pass each of `theirs` holds, or UINT32_MAX
    GameState before[ROLL_RING];         // the state each pass started from
    TicCmd cmds[ROLL_RING];              // ... the record it last ran with
    uint16_t seen[ROLL_RING] = {};       // ... and the keys as the game saw them then
    bool timed[ROLL_RING] = {};
    RollbackStats counts;
};

// Both players' bits as the game's keys: red's from the host, blue's from the joiner; the menu follows the
// host; the joiner's Escape counts in a round and on a winner screen, his Return on a winner screen.
uint16_t combineKeys(uint8_t host, uint8_t joiner, bool keyWaiting, bool inRound);
// Whether a pass from `a` to `b` changed the screen: a round, a winner screen or the menu began or ended, or
// the game did. Such a pass is never run on a guess.
bool screenChanged(const GameState& a, const GameState& b);

#endif
