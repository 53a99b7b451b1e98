// unit_net_protocol.cpp: korvado_net's datagrams and key rules: what is encoded decodes to the same message,
// random and damaged datagrams are never taken; the host leads the menu, each player drives his own cowboy.
#include <gtest/gtest.h>
#include "game/ticker.h"
#include "harness.h"
#include "session/lockstep.h"
#include "net/packet.h"
#include "net/portmap.h"

#include <cstdlib>
#include <random>
#include <sys/wait.h>

namespace {

Message inputs(uint32_t ack, uint32_t first, std::vector<InputRecord> recs) {
    Message m;
    m.kind = MSG_INPUT;
    m.ack = ack;
    m.first = first;
    m.inputs = recs;
    return m;
}

// One message of each kind, with values near the edges of their fields.
std::vector<Message> samples() {
    std::vector<Message> all;
    Message m;
    m.kind = MSG_HELLO, m.version = "2.2", all.push_back(m);
    m.kind = MSG_REFUSE, m.version = "10.15-beta", all.push_back(m);
    m.kind = MSG_LOOK, m.protocol = 0, m.version = "2.2", all.push_back(m);
    m.kind = MSG_HERE, m.protocol = 255, m.version = "~!", all.push_back(m);
    m.kind = MSG_PROBE, m.seq = 255, m.stamp = 0xFFFFFFFFu, all.push_back(m);
    m.kind = MSG_START, m.seed = 0x80000001u, m.delay = 60, m.budget = 13, all.push_back(m);
    m.kind = MSG_HASH, m.pass = MAX_PASS - 1, m.hash = 0xDEADBEEF, m.slack = -7, all.push_back(m);
    std::vector<InputRecord> recs(MAX_RECORDS);
    for (int i = 0; i < MAX_RECORDS; i++) recs[i] = InputRecord{uint8_t(i % 3 ? 0x7F : 0), uint16_t(i * 517)};
    all.push_back(inputs(MAX_PASS - 1, MAX_PASS - 1 - MAX_RECORDS, recs));
    all.push_back(inputs(0, 0, {InputRecord{IN_FIRE | IN_UP, 13}}));
    return all;
}

bool same(const Message& a, const Message& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
    case MSG_HELLO:
    case MSG_LOOK:
    case MSG_HERE: return a.protocol == b.protocol && a.version == b.version;
    case MSG_REFUSE: return a.version == b.version;
    case MSG_PROBE:
    case MSG_ECHO: return a.seq == b.seq && a.stamp == b.stamp;
    case MSG_START: return a.seed == b.seed && a.delay == b.delay && a.budget == b.budget;
    case MSG_INPUT: return a.ack == b.ack && a.first == b.first && a.inputs == b.inputs;
    case MSG_HASH: return a.pass == b.pass && a.hash == b.hash && a.slack == b.slack;
    }
    return false;
}

}  // namespace

TEST(NetDatagrams, EveryKindComesBackAsItWasSent) {
    for (const Message& m : samples()) {
        std::vector<uint8_t> d = encodeMessage(m);
        Message back;
        ASSERT_TRUE(decodeMessage(d.data(), d.size(), back)) << "kind " << int(m.kind);
        EXPECT_TRUE(same(m, back)) << "kind " << int(m.kind);
    }
    // inputs that seldom change travel in a few bytes: 48 passes of one held key
    std::vector<uint8_t> d = encodeMessage(inputs(1000, 990, std::vector<InputRecord>(48, InputRecord{IN_LEFT, 13})));
    EXPECT_LE(d.size(), 20u);
}

// 100,000 random, cut short or damaged datagrams: none crashes the decoder, none is taken.
TEST(NetDatagrams, RandomCutAndDamagedDatagramsAreNeverTaken) {
    std::mt19937 rng(20261207);
    std::vector<std::vector<uint8_t>> good;
    for (const Message& m : samples()) good.push_back(encodeMessage(m));
    int taken = 0;
    for (int i = 0; i < 100000; i++) {
        std::vector<uint8_t> d;
        const std::vector<uint8_t>& g = good[rng() % good.size()];
        if (i % 3 == 0) {  // random bytes, some with the right mark and kind
            d.resize(rng() % 80);
            for (uint8_t& b : d) b = uint8_t(rng());
            if (d.size() > 2 && i % 2) d[0] = 0x4B, d[1] = uint8_t(1 + rng() % 9);
        } else if (i % 3 == 1) {  // a good one cut short
            d.assign(g.begin(), g.begin() + long(rng() % g.size()));
        } else {  // a good one with a byte changed
            d = g;
            d[rng() % d.size()] ^= uint8_t(1 + rng() % 255);
        }
        Message m;
        taken += decodeMessage(d.data(), d.size(), m);
    }
    EXPECT_EQ(taken, 0);
    Message m;
    EXPECT_FALSE(decodeMessage(nullptr, 0, m));
}

TEST(NetKeys, EachPlayerDrivesHisCowboyAndTheHostLeadsTheMenu) {
    EXPECT_EQ(combineKeys(IN_UP | IN_FIRE, IN_LEFT | IN_FIRE, false, true), bits({K_UP, K_RCTRL, K_A, K_Q}));
    const uint8_t both = IN_RETURN | IN_ESCAPE;
    EXPECT_EQ(combineKeys(0, both, false, false), 0) << "the menu: the joiner's keys do nothing there";
    EXPECT_EQ(combineKeys(0, both, false, true), keyBit(K_ESCAPE)) << "a round: his Escape leaves it";
    EXPECT_EQ(combineKeys(0, both, true, false), bits({K_RETURN, K_ESCAPE})) << "a winner screen: either ends it";
    EXPECT_EQ(combineKeys(both, 0, false, false), bits({K_RETURN, K_ESCAPE})) << "the host's work everywhere";
}

// Passes keep their schedule: on time a budget apart, a late one made up by the next ones unless it is more
// than a budget late, even across the wrap of the ms clock.
TEST(NetPace, LatePassesAreMadeUpOnlyWhileLessThanABudgetLate) {
    EXPECT_EQ(passDue(1000, 1005, 13, 0), 1013u);
    EXPECT_EQ(passDue(1000, 1005, 13, 1), 1014u);
    EXPECT_EQ(passDue(1000, 1026, 13, 0), 1013u);  // 13 late: the next pass runs at once, on the old schedule
    EXPECT_EQ(passDue(1000, 1027, 13, 0), 1027u);  // later: the schedule starts again
    EXPECT_EQ(passDue(0xFFFFFFF0u, 5, 13, 0), 0xFFFFFFFDu);
}

// Of two sides, the one whose inputs come later than the other's plays ahead and only it falls back, by half
// the difference, not more than 16 ms at a time; small differences and unknown slack leave both alone.
TEST(NetPace, OnlyTheSideAheadFallsBack) {
    EXPECT_EQ(stretchFor(2, 12), 5);
    EXPECT_EQ(stretchFor(12, 2), 0);
    EXPECT_EQ(stretchFor(-20, 40), 16);
    EXPECT_EQ(stretchFor(9, 12), 0);
    EXPECT_EQ(stretchFor(SLACK_UNKNOWN, 40), 0);
    EXPECT_EQ(stretchFor(0, SLACK_UNKNOWN), 0);
}

// A session starts from exactly the state start-up leaves, whatever the last session left behind.
TEST(NetSession, AResetGivesTheSameStateAsStartUp) {
    GameState fresh = startState(5), s = startState(9);
    newGame(s, 1);
    step(s, {K_RCTRL, K_Q});
    s.Hrac1.x = 333, s.whiskey.timer = 77, s.mPause = 12, s.pozicemenu = 2;
    TicCmd reset;
    reset.reset = true, reset.seed = 5, reset.dt = 16;
    tick(s, reset);
    reset.reset = false;
    tick(fresh, reset);
    EXPECT_EQ(stateHash(s), stateHash(fresh));
}

TEST(NetCommandLine, HostAndJoinAnswerAsTheOtherProgramsDo) {
    auto run = [](const std::string& args) {
        std::string cmd = "cd " + buildPath("bin") + " && SDL_VIDEODRIVER=no_such_driver ./korvado_net " + args +
                          " >/dev/null 2>&1";
        int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    for (const char* wrong : {"", "host 0", "host 65536", "host port", "join :27415", "join a:b",
                              "host 27415 fullscreen more", "fullscreen", "serve", "join --no-port-mapping",
                              "host fullscreen --no-port-mapping", "host --no-mapping"})
        EXPECT_EQ(run(wrong), 2) << "korvado_net " << wrong;
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(run("--version"), 0);
    // right arguments reach SDL, which finds no display here: the display's error, not the usage's
    for (const char* right : {"host", "host 4000 fullscreen", "join 10.0.0.1", "join example.org:4000 fullscreen",
                              "join", "join fullscreen", "host --no-port-mapping", "host 4000 --no-port-mapping fullscreen"})
        EXPECT_EQ(run(right), 1) << "korvado_net " << right;
}

// A router counts as mapped only when its own address is one the internet reaches: one behind another NAT
// (private, carrier-grade shared, link-local) or with a reserved address is not.
TEST(NetRouter, OnlyAPublicAddressCountsAsMapped) {
    for (const char* pub : {"5.5.5.1", "1.1.1.1", "100.63.255.255", "100.128.0.0", "172.15.0.1", "172.32.0.1",
                            "192.167.1.1", "198.20.0.1", "223.255.255.254"})
        EXPECT_TRUE(portmapIsPublic(pub)) << pub;
    for (const char* not_pub : {"0.0.0.0", "10.1.2.3", "100.64.0.1", "100.127.255.255", "127.0.0.1", "169.254.9.9",
                                "172.16.0.1", "172.31.255.255", "192.0.0.8", "192.0.2.1", "192.168.1.1", "198.18.0.1",
                                "198.19.255.255", "198.51.100.7", "203.0.113.9", "224.0.0.1", "255.255.255.255",
                                "", "5.5.5", "5.5.5.1.1", "host"})
        EXPECT_FALSE(portmapIsPublic(not_pub)) << not_pub;
}
