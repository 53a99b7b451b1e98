// unit_mp_demo.cpp: recorded duels: golden duels replayed to their hash and winner, the shipped demos to a
// winner, a recording played back to the same state, the reader under damaged files, the menu's attract mode.
// The golden duels and the shipped demos were recorded by demogen (tests/demogen.cpp); when the game's
// behaviour changes on purpose, record them again and change the expected values here with it.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "demo/demo.h"
#include "demobot.h"
#include "draw/draw.h"
#include "game/ticker.h"
#include "harness.h"

namespace {

std::vector<uint8_t> readBytes(const std::string& path) {
    std::vector<uint8_t> b;
    FILE* f = fopen(path.c_str(), "rb");
    for (int c; f && (c = fgetc(f)) != EOF;) b.push_back(uint8_t(c));
    if (f) fclose(f);
    return b;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& b) {
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(b.data(), 1, b.size(), f);
    fclose(f);
}

std::string golden(const char* name) { return std::string(KORVADO_SOURCE_DIR) + "/tests/golden/" + name; }

// Where each block of a demo file ends (the header first).
std::vector<size_t> blockEnds(const std::vector<uint8_t>& b) {
    std::vector<size_t> ends = {24};
    while (ends.back() + 4 <= b.size()) ends.push_back(ends.back() + 8 + (b[ends.back() + 2] | b[ends.back() + 3] << 8));
    return ends;
}

}  // namespace

TEST(Demo, GoldenDuelsPlayToTheirHashAndWinner) {
    struct Golden {
        const char* file;
        uint32_t hash;
        int winner;
    } duels[] = {{"mp-1.kvd", 0xef717867, 2}, {"mp-2.kvd", 0x27bc68f6, 2}};
    bootGame();
    for (const Golden& g : duels) {
        int winner = -1;
        EXPECT_EQ(playDemoFile(golden(g.file), &winner), g.hash) << g.file;
        EXPECT_EQ(winner, g.winner) << g.file;
    }
    endGame();
}

// A shipped demo played twice: the street put back only where pictures were drawn over it, then laid down
// whole every pass; the screens agree, every 8th pass and at the end.
TEST(Demo, PuttingBackOnlyWhatWasDrawnOverLeavesTheSameScreen) {
    Demo d;
    ASSERT_TRUE(loadDemo(attractDemoPath(0), d));
    bootGame();
    std::vector<uint64_t> sums[2];
    for (int whole = 0; whole < 2; whole++) {
        GameState s = startState(d.seed);
        playerBegin(d, false, false);
        for (int pass = 0;; pass++) {
            if (whole) noteDrawn(screen, nullptr);
            bool on = runFrame(s, playerInputs);
            if (pass % 8 && on) continue;
            uint64_t h = 1469598103934665603ull;
            for (int y = 0; y < screen->h; y++)
                for (int x = 0; x < screen->w; x++) h = (h ^ ((Uint32*)((Uint8*)screen->pixels + y * screen->pitch))[x]) * 1099511628211ull;
            sums[whole].push_back(h);
            if (!on) break;
        }
        playerEnd();
    }
    EXPECT_GT(sums[0].size(), 100u);
    EXPECT_TRUE(sums[0] == sums[1]);
    endGame();
}

TEST(Demo, EachShippedDemoStillPlaysToAWinner) {
    bootGame();
    for (int type = 0; type < 3; type++) {
        int winner = -1;
        GameState end;
        playDemoFile(attractDemoPath(type), &winner, &end);
        EXPECT_EQ(end.gameMode, type);
        EXPECT_TRUE(winner == 1 || winner == 2) << attractDemoPath(type);
    }
    endGame();
}

// A duel with its winner screen and the menu around it, recorded as it is played, then played back; and a
// recording cut off between two blocks (a killed run) still plays its beginning.
TEST(Demo, RecordingThenPlayingBackGivesTheSameState) {
    std::string path = buildPath("recorded.kvd");
    bootGame();
    demoMode = DEMO_RECORD, demoPath = path;
    ASSERT_EQ(demoPrepare(), -1);
    GameState s = demobot::start(2, 31);
    demoStartRecording(s);
    while (runFrame(s, demobot::inputs)) {
    }
    demoFinish();
    uint32_t recorded = demoFinalHash(s);
    ASSERT_EQ(demobot::rounds, 1);
    tickSource = SDL_GetTicks;
    int winner = 0;
    EXPECT_EQ(playDemoFile(path, &winner), recorded);
    EXPECT_NE(winner, 0);
    endGame();

    std::vector<uint8_t> b = readBytes(path);
    std::vector<size_t> ends = blockEnds(b);
    ASSERT_GT(ends.size(), 3u);
    Demo whole, cut;
    std::string why;
    ASSERT_TRUE(decodeDemo(b, whole, why));
    EXPECT_LT(b.size(), whole.passes.size() * 2) << "about a byte a pass";
    b.resize(ends[2]);
    EXPECT_TRUE(decodeDemo(b, cut, why)) << why;
    EXPECT_EQ(cut.passes.size(), 128u);
    b.resize(ends[2] - 1);
    EXPECT_FALSE(decodeDemo(b, cut, why));
    remove(path.c_str());
}

// Flipped bytes anywhere, files cut inside a block: every one refused with a reason.
TEST(Demo, TheReaderRefusesEveryDamagedFile) {
    std::vector<uint8_t> good = readBytes(golden("mp-2.kvd"));
    std::vector<size_t> ends = blockEnds(good);
    ASSERT_EQ(ends.back(), good.size());
    std::mt19937 rng(2026);
    for (int i = 0; i < 10000; i++) {
        std::vector<uint8_t> bad = good;
        if (i % 4 == 3) {
            size_t at = rng() % good.size();
            if (std::find(ends.begin(), ends.end(), at) != ends.end()) at++;
            bad.resize(at);
        } else {
            for (int n = 0; n <= i % 3; n++) bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
        }
        Demo d;
        std::string why;
        ASSERT_FALSE(decodeDemo(bad, d, why)) << "damage " << i << " was taken";
        ASSERT_FALSE(why.empty());
    }
}

// Another version and another edition: one line naming the file, and both versions.
TEST(Demo, AnotherVersionOrEditionIsNamedOnStderr) {
    Demo d;
    std::string why;
    ASSERT_TRUE(decodeDemo(readBytes(golden("mp-1.kvd")), d, why));
    std::string path = buildPath("other.kvd");
    struct Case {
        const char* version;
        uint8_t edition;
        bool plays;
        const char* says;
    } cases[] = {{"2.1", EDITION_MP, false, "recorded by KORVADO 2.1, this is KORVADO 2.2"},
                 {"2.2", EDITION_SP, false, "recorded by korvado_sp"},
                 {"2.2", EDITION_NET, true, ""}};
    for (const Case& c : cases) {
        d.version = c.version, d.edition = c.edition;
        writeBytes(path, encodeDemo(d));
        Demo back;
        testing::internal::CaptureStderr();
        EXPECT_EQ(loadDemo(path, back), c.plays) << c.says;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.empty(), c.plays) << err;
        if (!c.plays) {
            EXPECT_NE(err.find(path + ": " + c.says), std::string::npos) << err;
        }
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), c.plays ? 0 : 1) << err;
    }
    remove(path.c_str());
}

namespace {

Uint32 fakeNow;
int demoTicks;

// The clock the passes read; while a demo plays in attract mode, a key is pressed at its 300th reading.
Uint32 fakeClock() {
    if (attractRunning() && ++demoTicks == 300) {
        SDL_Event e = {};
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = SDLK_SPACE;
        SDL_PushEvent(&e);
    }
    return fakeNow;
}

// The same inputs, but not the player at the keys as attract mode knows him: no attract mode.
bool plainInputs(const GameState& s, bool timed, TicCmd& cmd) { return localInputs(s, timed, cmd); }

// Frames of the interactive game, `ms` apart on the clock, with `held` down on the keyboard.
void passes(int n, std::initializer_list<SDLKey> held, Uint32 ms = 16) {
    Uint8* k = SDL_GetKeyState(nullptr);
    for (int i = 0; i < n; i++) {
        for (SDLKey key : held) k[key] = 1;
        fakeNow += ms;
        gameFrame();
        for (SDLKey key : held) k[key] = 0;
    }
}

// A round left with Escape, 32 s on the main page (and the demo, if one starts, until the key stops it),
// the round resumed and played on: the final state.
uint32_t leaveWaitAndResume(InputSource source) {
    tickSource = fakeClock, fakeNow = 1000, demoTicks = 0;
    frameTime();  // the clock's last reading, for the first pass's frame time
    pacing = false;
    playerSource = source;
    GameState& g = theGame();
    g = startState(9);
    newGame(g, 1);
    passes(300, {SDLK_LEFT, SDLK_s, SDLK_q});
    passes(1, {SDLK_ESCAPE});
    passes(320, {}, 100);
    for (int i = 0; i < 5000 && attractRunning(); i++) passes(1, {}, 100);
    passes(2, {}, 100);
    passes(1, {SDLK_ESCAPE});
    passes(400, {SDLK_RCTRL, SDLK_UP, SDLK_d});
    EXPECT_TRUE(g.gameBezi);
    playerSource = localInputs, tickSource = SDL_GetTicks;
    return stateHash(g);
}

}  // namespace

TEST(Demo, AttractModeGivesTheMenuAndTheLeftRoundBackAsTheyWere) {
    bootGame();
    uint32_t plain = leaveWaitAndResume(plainInputs);
    EXPECT_EQ(demoTicks, 0);
    uint32_t attract = leaveWaitAndResume(localInputs);
    EXPECT_GE(demoTicks, 300) << "the demo should have started, and stopped at the key";
    EXPECT_FALSE(attractRunning());
    EXPECT_EQ(attract, plain);
    endGame();
}
