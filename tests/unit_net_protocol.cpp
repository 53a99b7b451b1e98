// unit_net_protocol.cpp: korvado_net's datagrams and key rules: what is encoded decodes to the same message,
// random and damaged datagrams are never taken; the host leads the menu, each player drives his own cowboy;
// the lobby's datagrams and invite codes.
#include <gtest/gtest.h>
#include "game.h"
#include "harness.h"
#include "lockstep.h"
#include "net/lobbywire.h"
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
    bool down[12];
    combineKeys(IN_UP | IN_FIRE, IN_LEFT | IN_FIRE, false, true, down);
    const int red[5] = {1, 0, 0, 0, 1}, blue[5] = {0, 0, 1, 0, 1};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(down[i], red[i] != 0) << "red's key " << SYNCED_KEYS[i];
        EXPECT_EQ(down[5 + i], blue[i] != 0) << "blue's key " << SYNCED_KEYS[5 + i];
    }
    const uint8_t both = IN_RETURN | IN_ESCAPE;
    combineKeys(0, both, false, false, down);  // the menu: the joiner's keys do nothing there
    EXPECT_FALSE(down[10] || down[11]);
    combineKeys(0, both, false, true, down);   // a round: his Escape leaves it, his Return does nothing
    EXPECT_FALSE(down[10]);
    EXPECT_TRUE(down[11]);
    combineKeys(0, both, true, false, down);   // a winner screen: either ends it
    EXPECT_TRUE(down[10] && down[11]);
    combineKeys(both, 0, false, false, down);  // the host's work everywhere
    EXPECT_TRUE(down[10] && down[11]);
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
    bootGame();
    uint32_t fresh = stateHash();
    newGame(1);
    Hrac1->x = 333, Hrac2->die(), whiskey.timer = 77, mPause = 12, pozicemenu = 2;
    ASSERT_NE(stateHash(), fresh);
    resetGameState();
    EXPECT_EQ(stateHash(), fresh);
    endGame();
}

TEST(NetCommandLine, HostAndJoinAnswerAsTheOtherProgramsDo) {
    auto run = [](const std::string& args, const std::string& env = "KORVADO_LOBBY=") {
        std::string cmd = "cd " + buildPath("bin") + " && env " + env + " SDL_VIDEODRIVER=no_such_driver ./korvado_net " +
                          args + " >/dev/null 2>&1";
        int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    for (const char* wrong : {"", "host 0", "host 65536", "host port", "join :27415", "join a:b",
                              "host 27415 fullscreen more", "fullscreen", "serve", "join --no-port-mapping",
                              "host fullscreen --no-port-mapping", "host --no-mapping", "join +KX7M2Q",
                              "join +KX7M2 --lobby l", "join +KX7M2QU --lobby l", "host --lobby", "host fullscreen --lobby l",
                              "join +KX7M2Q fullscreen --lobby l", "host --lobby l --no-port-mapping"})
        EXPECT_EQ(run(wrong), 2) << "korvado_net " << wrong;
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(run("--version"), 0);
    // right arguments reach SDL, which finds no display here: the display's error, not the usage's
    for (const char* right : {"host", "host 4000 fullscreen", "join 10.0.0.1", "join example.org:4000 fullscreen",
                              "join", "join fullscreen", "host --no-port-mapping", "host 4000 --no-port-mapping fullscreen",
                              "join +KX7M2Q --lobby l", "join +kx7 m2q --lobby l:9 fullscreen", "host --lobby l",
                              "host 4000 --no-port-mapping --lobby l fullscreen", "join 10.0.0.1 --lobby l"})
        EXPECT_EQ(run(right), 1) << "korvado_net " << right;
    EXPECT_EQ(run("join +KX7M2Q", "KORVADO_LOBBY=lobby.example"), 1);  // the lobby from the environment
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

// One lobby datagram of each kind, with values at the edges of their fields.
static std::vector<LobbyMsg> lobbySamples() {
    std::vector<LobbyMsg> all;
    std::vector<Candidate> six;
    for (int i = 0; i < MAX_CANDIDATES; i++)
        six.push_back(Candidate{CandidateKind(CAND_LAN + i % 3), Endpoint{0xFFFFFFFFu - uint32_t(i), uint16_t(65535 - i)}});
    LobbyMsg m;
    m.kind = LOBBY_HOST, m.id = ~0ull, m.busy = 1, m.cands = six, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_CODE, m.id = 1, m.code = CODE_COUNT - 1, m.seen = Endpoint{0x05050501, 27415}, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_JOIN, m.code = 0, m.id = 2, m.token = ~0ull, m.cands = six, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_WAIT, m.id = 3, m.token = 1ull << 63, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_REFUSE, m.code = 12345, m.reason = REFUSE_NO_RELAY, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_PEER, m.token = 0x0123456789ABCDEFull, m.cands = {six[1]}, all.push_back(m);
    for (LobbyKind k : {LOBBY_READY, LOBBY_RELAY, LOBBY_RELAYING}) m = LobbyMsg{}, m.kind = k, m.token = 99, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_PUNCH, m.token = 7, m.joiner = 1, m.answer = 1, m.index = MAX_CANDIDATES - 1, all.push_back(m);
    return all;
}

static bool sameLobby(const LobbyMsg& a, const LobbyMsg& b) {
    bool cands = a.cands.size() == b.cands.size();
    for (size_t i = 0; cands && i < a.cands.size(); i++) cands = a.cands[i].kind == b.cands[i].kind && a.cands[i].at == b.cands[i].at;
    return cands && a.kind == b.kind && a.id == b.id && a.token == b.token && a.code == b.code && a.busy == b.busy &&
           a.reason == b.reason && a.joiner == b.joiner && a.answer == b.answer && a.index == b.index && a.seen == b.seen;
}

// Every lobby datagram has one size (so no answer outweighs its request) and comes back as it was sent.
TEST(LobbyDatagrams, EveryKindComesBackAsItWasSentInOneSize) {
    for (const LobbyMsg& m : lobbySamples()) {
        std::vector<uint8_t> d = encodeLobby(m);
        EXPECT_EQ(d.size(), LOBBY_DATAGRAM) << "kind " << int(m.kind);
        LobbyMsg back;
        ASSERT_TRUE(decodeLobby(d.data(), d.size(), back)) << "kind " << int(m.kind);
        EXPECT_TRUE(sameLobby(m, back)) << "kind " << int(m.kind);
    }
}

// The lobby's datagrams and the game's share ENet's socket: neither is ever taken for the other, and random,
// cut or damaged ones are never taken at all.
TEST(LobbyDatagrams, DamagedAndGameDatagramsAreNeverTaken) {
    std::mt19937 rng(20261208);
    std::vector<std::vector<uint8_t>> good;
    for (const LobbyMsg& m : lobbySamples()) good.push_back(encodeLobby(m));
    int taken = 0;
    LobbyMsg m;
    Message g;
    for (const Message& game : samples()) {
        std::vector<uint8_t> d = encodeMessage(game);
        taken += decodeLobby(d.data(), d.size(), m);
    }
    for (const std::vector<uint8_t>& d : good) taken += decodeMessage(d.data(), d.size(), g);
    for (int i = 0; i < 60000; i++) {
        std::vector<uint8_t> d = good[rng() % good.size()];
        if (i % 3 == 0) for (uint8_t& b : d) b = uint8_t(rng());  // random, with the mark and version kept
        if (i % 3 == 0) d[0] = 0x4C, d[1] = LOBBY_PROTOCOL;
        if (i % 3 == 1) d.resize(rng() % d.size());
        if (i % 3 == 2) d[rng() % d.size()] ^= uint8_t(1 + rng() % 255);
        taken += decodeLobby(d.data(), d.size(), m);
    }
    EXPECT_EQ(taken, 0);
}

TEST(InviteCodes, ReadAsPeopleTypeThem) {
    uint32_t code = 0, other = 1;
    ASSERT_TRUE(parseCode("+KX7M2Q", code));
    EXPECT_EQ(codeText(code, true), "+KX7 M2Q");
    EXPECT_EQ(codeText(code, false), "+KX7M2Q");
    for (const char* same : {"+kx7 m2q", " + K X 7 M 2 Q ", "+Kx7m2q"}) EXPECT_TRUE(parseCode(same, other) && other == code) << same;
    ASSERT_TRUE(parseCode("+0OIL1a", code));  // O reads as 0, I and L as 1
    EXPECT_EQ(codeText(code, false), "+00111A");
    for (const char* wrong : {"", "+", "KX7M2Q", "+KX7M2", "+KX7M2QQ", "+KX7M2U", "+KX7-M2Q", "++KX7M2Q", "+KX7M2Q+"})
        EXPECT_FALSE(parseCode(wrong, code)) << wrong;
    for (uint32_t c : {0u, 1u, 31u, 32u, 0x2AAAAAAAu, CODE_COUNT - 1}) {
        ASSERT_TRUE(parseCode(codeText(c, true), code));
        EXPECT_EQ(code, c);
    }
    EXPECT_NE(tokenFold(0x1234567812345678ull), 0u);  // 0 is a plain join's connect data
}
