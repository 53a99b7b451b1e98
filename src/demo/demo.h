// demo.h: recorded duels: the file format, recording a run, playing one back (paced, timed or in attract mode).
#ifndef KORVADO_DEMO_H
#define KORVADO_DEMO_H

#include <cstdint>
#include <string>
#include <vector>
#include "game/game.h"
#include "net/packet.h"

const int DEMO_FORMAT = 1;              // the file format's own version, beside the game's
const char DEMO_GAME_VERSION[] = "2.2";  // the game's version written into every demo
enum DemoEdition : uint8_t { EDITION_SP = 1, EDITION_MP = 2, EDITION_NET = 3 };
// What a pass takes beside the two players' input records.
enum : uint8_t { DEMO_K = 1, DEMO_CLOSE = 2, DEMO_RESET = 4 };

// One pass of the frame loop (timed) or of a key wait, as the game took it: red's bits and the frame time in
// red's record, blue's bits in blue's, and the K key, a close request, or a fresh start with a new seed.
struct DemoPass {
    InputRecord red, blue;
    uint8_t extra = 0;
    bool timed = false;
    uint32_t seed = 0;  // with DEMO_RESET: the game starts again from its start values with this seed
};

struct Demo {
    uint8_t edition = 0;
    std::string version;
    uint32_t seed = 0;
    std::vector<DemoPass> passes;
};

// ---- the file format ----
// A whole demo file as bytes: the header, then blocks of passes, each with its checksum.
std::vector<uint8_t> encodeDemo(const Demo& d);
// Passes [from, to) as one block of the file, its checksum chained on from `chain` (the header's at first).
std::vector<uint8_t> encodeBlock(const std::vector<DemoPass>& passes, size_t from, size_t to, uint32_t& chain);
// Reads a demo from bytes; false with `why` (what is wrong, in a few words) for anything but a whole header
// followed by whole, undamaged blocks. A run killed between two blocks leaves a demo that reads.
bool decodeDemo(const std::vector<uint8_t>& bytes, Demo& out, std::string& why);
// Reads a demo file this program can play; false with one line on stderr naming the file and what is wrong.
bool loadDemo(const std::string& path, Demo& out);

// ---- recording, playing, timing (command line) ----
enum DemoMode { DEMO_NONE, DEMO_RECORD, DEMO_PLAY, DEMO_TIME };
extern int demoMode;          // what --record, --playdemo or --timedemo asked for
extern std::string demoPath;  // the file they named
// Opens the file to record into or reads the demo to play; -1 to go on, else the exit status.
int demoPrepare();
// Plays or times the demo named on the command line; -1 when none is to be played (then the game runs).
int demoRun();
void demoStartRecording(const GameState& s);  // records the passes of `s` from now on, when --record asked
// A pass of `s` as the frame loop ran it: recorded when `s` is the game being recorded.
void demoNotePass(const GameState& s, const TicCmd& cmd, const TickEvents& ev, bool timed);
// A pass as the game ran it, recorded when a recording runs (korvado_net's confirmed passes).
void demoRecordPass(const TicCmd& cmd, uint16_t seen, bool timed);
void demoFinish();                             // writes what is left of a recording
DemoPass demoPassOf(const TicCmd& cmd, uint16_t seen, bool timed);  // a pass as a demo holds it
TicCmd demoCmd(const DemoPass& p);  // a demo's pass as a record: the keys as the game saw them

// ---- the sync test (synctest.cpp) ----
extern int syncDepth;      // --synctest N: the depth of the passes run again; 0 without
extern long syncPasses;    // ... with random records: how many passes
extern uint32_t syncSeed;  // ... and the seed of the records and of the game
extern bool syncSession;   // ... through the rollback of korvado_net's sessions
// Runs the demo's passes (or, without one, syncPasses random records), each then run again from the state
// syncDepth passes back; 1 with the pass and the fields that differ on stderr at the first mismatch, else 0.
int syncTest(const Demo* d);
int demoSyncTest();  // the sync test the command line asked for, on its demo or random records
uint8_t editionCode();               // this program's edition
bool editionPlays(uint8_t edition);  // whether this program plays a demo of that edition

// ---- playing in process ----
// Starts playing `d` from its start as an input source, for a state started from the demo's seed. Paced at
// the recorded speed when `paced`; with `attract`, a real key or pad button ends it.
void playerBegin(const Demo& d, bool paced, bool attract);
// The next pass of the demo; once it is over (played out, stopped or no longer played alike), one record
// that closes the window, then none.
bool playerInputs(const GameState& s, bool timed, TicCmd& cmd);
void playerEnd();               // after the demo: pacing as it was
// Plays `d` through the frame loop on `s` from its start values to its end (or until it is stopped), as
// playerBegin; 1 when the game no longer plays it the same, else 0.
int playDemo(const Demo& d, bool paced, GameState& s);
bool playerClosed();            // the window's close button was pressed during the demo
bool playerDesynced();          // the game asked for a pass of the other kind than the demo holds
uint32_t playerPass();          // passes played
void demoTrace(const GameState& s, const char* what);
// What --timedemo prints of the state a demo leaves: its hash with every key let go, as it has always been.
uint32_t demoFinalHash(GameState s);  // a line of the per-pass trace, when one is asked for

#endif
