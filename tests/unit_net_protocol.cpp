// unit_net_protocol.cpp: korvado_net's datagrams and key rules: what is encoded decodes to the same message,
// random and damaged datagrams are never taken; the host leads the menu, each player drives his own cowboy;
// the lobby's datagrams and invite codes; the rollback ends where known inputs do, and a corrected pass plays
// each sound once; the lobby server's tables keep within their caps, through a restart and a clock that jumps.
#include <gtest/gtest.h>
#include "game/ticker.h"
#include "harness.h"
#include "net/lobbywire.h"
#include "lobby/lobby.h"
#include "session/entry.h"
#include "session/netplay.h"
#include "session/passsounds.h"
#include "session/rollback.h"
#include "net/enetlink.h"
#include "net/msglink.h"
#include "net/packet.h"
#include "net/portmap.h"
#include "net/rtclink.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <sys/wait.h>
#include <zlib.h>

namespace {

Message inputs(uint32_t ack, uint32_t first, std::vector<uint8_t> bits, int8_t advantage = SLACK_UNKNOWN) {
    Message m;
    m.kind = MSG_INPUT;
    m.ack = ack;
    m.first = first;
    m.inputs = bits;
    m.advantage = advantage;
    return m;
}

// One message of each kind, with values near the edges of their fields.
std::vector<Message> samples() {
    std::vector<Message> all;
    Message m;
    m.kind = MSG_HELLO, m.version = "2.2", all.push_back(m);
    m.kind = MSG_REFUSE, m.version = "10.15-beta", all.push_back(m);
    m.kind = MSG_LOOK, m.protocol = 0, m.version = "2.2", all.push_back(m);
    m.kind = MSG_HERE, m.protocol = 255, m.version = "~!", m.name = std::string(MAX_NAME - 4, 'n') + " 1~", all.push_back(m);
    m.name = "", all.push_back(m);
    m.kind = MSG_PROBE, m.seq = 255, m.stamp = 0xFFFFFFFFu, all.push_back(m);
    m.kind = MSG_START, m.seed = 0x80000001u, m.delay = 60, m.budget = 13, all.push_back(m);
    m.delay = 0, all.push_back(m);
    m.kind = MSG_HASH, m.pass = MAX_PASS - 1, m.hash = 0xDEADBEEF, all.push_back(m);
    m.kind = MSG_DESYNC, m.pass = 64, m.hash = 7, m.dump = std::string(MAX_DUMP - 5, 'x') + "\nx 1\n", all.push_back(m);
    std::vector<uint8_t> bits(MAX_RECORDS);
    for (int i = 0; i < MAX_RECORDS; i++) bits[i] = uint8_t(i % 3 ? 0x7F : 0);
    all.push_back(inputs(MAX_PASS - 1, MAX_PASS - 1 - MAX_RECORDS, bits, -127));
    all.push_back(inputs(0, 0, {IN_FIRE | IN_UP}, 12));
    return all;
}

bool same(const Message& a, const Message& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
    case MSG_HELLO:
    case MSG_LOOK: return a.protocol == b.protocol && a.version == b.version;
    case MSG_HERE: return a.protocol == b.protocol && a.version == b.version && a.name == b.name;
    case MSG_REFUSE: return a.version == b.version;
    case MSG_PROBE:
    case MSG_ECHO: return a.seq == b.seq && a.stamp == b.stamp;
    case MSG_START: return a.seed == b.seed && a.delay == b.delay && a.budget == b.budget;
    case MSG_INPUT: return a.ack == b.ack && a.first == b.first && a.inputs == b.inputs && a.advantage == b.advantage;
    case MSG_HASH: return a.pass == b.pass && a.hash == b.hash;
    case MSG_DESYNC: return a.pass == b.pass && a.hash == b.hash && a.dump == b.dump;
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
    std::vector<uint8_t> d = encodeMessage(inputs(1000, 990, std::vector<uint8_t>(48, IN_LEFT)));
    EXPECT_LE(d.size(), 20u);
    Message m = inputs(5, 5, {IN_LEFT}), back;
    m.dump = "", m.kind = MSG_DESYNC;
    d = encodeMessage(m);
    d[d.size() - 6] = 0x01;  // a dump's line with a control character in it
    EXPECT_FALSE(decodeMessage(d.data(), d.size(), back));
}

// A host's answer to a LOOK carries his machine's name and is never larger than the LOOK, whatever the
// versions and the name; a LOOK not padded with zeros to its size is not one, nor a name too long.
TEST(NetDatagrams, TheLanAnswerNamesTheHostAndNeverOutgrowsItsProbe) {
    Message look, here, back;
    look.kind = MSG_LOOK, look.version = std::string(15, 'v');
    here.kind = MSG_HERE, here.version = look.version, here.name = std::string(200, 'h');
    std::vector<uint8_t> probe = encodeMessage(look), answer = encodeMessage(here);
    EXPECT_EQ(probe.size(), LOOK_SIZE);
    EXPECT_LE(answer.size(), probe.size());
    ASSERT_TRUE(decodeMessage(answer.data(), answer.size(), back));
    EXPECT_EQ(back.name, std::string(MAX_NAME, 'h'));
    look.version = "2.2", probe = encodeMessage(look);
    EXPECT_EQ(probe.size(), LOOK_SIZE);
    probe[10] = 1;  // a zero of the padding changed, the checksum made right again
    uint32_t sum = uint32_t(crc32(crc32(0L, Z_NULL, 0), probe.data(), uInt(probe.size() - 4)));
    for (int i = 0; i < 4; i++) probe[probe.size() - 4 + i] = uint8_t(sum >> (8 * i));
    EXPECT_FALSE(decodeMessage(probe.data(), probe.size(), back));
    here.kind = MSG_HELLO, probe = encodeMessage(here);  // a HELLO's bytes under LOOK's kind: too short
    probe[1] = MSG_LOOK;
    EXPECT_FALSE(decodeMessage(probe.data(), probe.size(), back));
}

static std::vector<uint8_t> sealed(std::vector<uint8_t> d) {
    uint32_t sum = uint32_t(crc32(0, d.data(), uInt(d.size())));
    for (int i = 0; i < 4; i++) d.push_back(uint8_t(sum >> (8 * i)));
    return d;
}

// One message, one way to write it (both were taken, found by fuzzing): a number's fifth byte with bits past 32,
// and two runs of the same keys side by side.
TEST(NetDatagrams, AMessageIsTakenOnlyAsItsWriterWritesIt) {
    Message m;
    std::vector<std::vector<uint8_t>> ways = {
        sealed({0x4B, MSG_HASH, 0x01, 1, 2, 3, 4}), sealed({0x4B, MSG_HASH, 0x81, 0x80, 0x80, 0x80, 0x10, 1, 2, 3, 4}),
        sealed({0x4B, MSG_INPUT, 0, 0, 0, 2, 1, 2, IN_LEFT}), sealed({0x4B, MSG_INPUT, 0, 0, 0, 2, 2, 1, IN_LEFT, 1, IN_LEFT})};
    for (size_t i = 0; i < ways.size(); i++)
        EXPECT_EQ(decodeMessage(ways[i].data(), ways[i].size(), m), i % 2 == 0) << "way " << i;
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
            if (d.size() > 2 && i % 2) d[0] = 0x4B, d[1] = uint8_t(1 + rng() % 10);
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
    EXPECT_EQ(passDue(1000, 1060, 13, 0, 100), 1013u);  // a page's frame 47 late: its passes are made up
    EXPECT_EQ(passDue(1000, 1114, 13, 0, 100), 1114u);  // ... while at most 100 late
}

// The side ahead of the other stretches its passes by 1 ms, 2 when far ahead, never more; a side within 2 ms
// of the other, or behind it, not at all. The delay: none on a local network, one or two passes further away.
TEST(NetPace, OnlyTheSideAheadSlowsAndNeverByAJump) {
    EXPECT_EQ(stretchFor(-40), 0u);
    EXPECT_EQ(stretchFor(1), 0u);
    EXPECT_EQ(stretchFor(2), 1u);
    EXPECT_EQ(stretchFor(26), 1u);
    EXPECT_EQ(stretchFor(27), 2u);
    EXPECT_EQ(stretchFor(127), 2u);
    EXPECT_EQ(delayFor(1), 0u);
    EXPECT_EQ(delayFor(100), 1u);
    EXPECT_EQ(delayFor(200), 2u);
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
    auto run = [](const std::string& args, const std::string& env = "KORVADO_LOBBY=") {
        std::string cmd = "cd " + buildPath("bin") + " && env " + env + " SDL_VIDEODRIVER=no_such_driver ./korvado_net " +
                          args + " >/dev/null 2>&1";
        int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    for (const char* wrong : {"host 0", "host 65536", "host port", "join :27415", "join a:b",
                              "host 27415 fullscreen more", "serve", "join --no-port-mapping",
                              "host fullscreen --no-port-mapping", "host --no-mapping", "host --delay 9",
                              "host --delay", "join 10.0.0.1 --delay 1", "join +KX7M2Q",
                              "join +KX7M2 --lobby l", "join +KX7M2QU --lobby l", "host --lobby", "host fullscreen --lobby l",
                              "join +KX7M2Q fullscreen --lobby l", "host --lobby l --no-port-mapping", "host --lobby l --delay 1",
                              "--delay 1", "--lobby", "join +KX7M2Q --no-lobby", "--no-lobby --lobby l", "page"})
        EXPECT_EQ(run(wrong), 2) << "korvado_net " << wrong;
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(run("--version"), 0);
    // right arguments reach SDL, which finds no display here: the display's error, not the usage's
    for (const char* right : {"host", "host 4000 fullscreen", "join 10.0.0.1", "join example.org:4000 fullscreen",
                              "join", "join fullscreen", "host --no-port-mapping", "host 4000 --no-port-mapping fullscreen",
                              "host --delay 0", "host 4000 --no-port-mapping --delay 8 fullscreen",
                              "join +KX7M2Q --lobby l", "join +kx7 m2q --lobby l:9 fullscreen", "host --lobby l",
                              "host 4000 --no-port-mapping --delay 2 --lobby l fullscreen", "join 10.0.0.1 --lobby l",
                              "", "fullscreen", "--lobby l", "--no-lobby fullscreen", "host --no-lobby"})
        EXPECT_EQ(run(right), 1) << "korvado_net " << right;
    EXPECT_EQ(run("join +KX7M2Q", "KORVADO_LOBBY=lobby.example"), 1);  // the lobby from the environment
    EXPECT_EQ(run("join +KX7M2Q --no-lobby", "KORVADO_LOBBY=lobby.example"), 2);  // ... switched off
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
    m.kind = LOBBY_HOST, m.id = ~0ull, m.busy = 1, m.cands = six, m.known = 1, m.code = CODE_COUNT - 1, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_CODE, m.id = 1, m.code = CODE_COUNT - 1, m.seen = Endpoint{0x05050501, 27415}, m.web = 65535, m.udp = 1, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_JOIN, m.code = 0, m.id = 2, m.token = ~0ull, m.cands = six, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_WAIT, m.id = 3, m.token = 1ull << 63, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_REFUSE, m.code = 12345, m.reason = REFUSE_NO_RELAY, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_PEER, m.token = 0x0123456789ABCDEFull, m.cands = {six[1]}, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_PEER, m.token = 1, m.web = 8080, m.udp = 65535, m.page = 1, all.push_back(m);
    for (LobbyKind k : {LOBBY_READY, LOBBY_RELAY, LOBBY_RELAYING}) m = LobbyMsg{}, m.kind = k, m.token = 99, all.push_back(m);
    m = LobbyMsg{}, m.kind = LOBBY_PUNCH, m.token = 7, m.joiner = 1, m.answer = 1, m.index = MAX_CANDIDATES - 1, all.push_back(m);
    return all;
}

static bool sameLobby(const LobbyMsg& a, const LobbyMsg& b) {
    bool cands = a.cands.size() == b.cands.size();
    for (size_t i = 0; cands && i < a.cands.size(); i++) cands = a.cands[i].kind == b.cands[i].kind && a.cands[i].at == b.cands[i].at;
    return cands && a.kind == b.kind && a.id == b.id && a.token == b.token && a.code == b.code && a.busy == b.busy &&
           a.reason == b.reason && a.joiner == b.joiner && a.answer == b.answer && a.index == b.index && a.seen == b.seen &&
           a.known == b.known && a.web == b.web && a.udp == b.udp && a.page == b.page;
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

// ---- rollback ----

namespace {

struct Quiet : RollbackListener {
    std::map<uint32_t, uint32_t> after;  // the hash of the state each confirmed pass left
    void ran(uint32_t, const TickEvents&, bool, bool) override {}
    void confirmed(uint32_t pass, const GameState&, const GameState& a, const TicCmd&, uint16_t, bool) override {
        after[pass] = stateHash(a);
    }
};

// A player's bits changing every few passes: in a round he walks and fires, now and then he leaves it with
// Escape; elsewhere he taps his way into a round of some type (and past a winner screen).
uint8_t nextBits(std::mt19937& rng, uint8_t bits, const GameState& s) {
    static const uint8_t KEYS[5] = {IN_UP, IN_DOWN, IN_LEFT, IN_RIGHT, IN_FIRE};
    if (!s.gameBezi && rng() % 30) return 0;
    if (!s.gameBezi && s.pozicemenu == 0) return s.volbamenu ? IN_UP : IN_RETURN;
    if (!s.gameBezi) return s.pozicemenu == 1 ? (rng() % 3 ? IN_RETURN : IN_DOWN) : IN_ESCAPE;
    if (rng() % 3 == 0) bits ^= KEYS[rng() % 5];
    return uint8_t(bits & ~(IN_RETURN | IN_ESCAPE)) | (rng() % 3000 == 0 ? IN_ESCAPE : 0);
}

struct Flying {
    long arrives;
    bool toHost;
    uint32_t pass;
    uint8_t bits;
};

}  // namespace

// Each side's inputs reach the other 0 to 30 frames late and out of order: both sides confirm the passes the
// same inputs give when played with both known, and the guesses went wrong at every depth.
TEST(Rollback, LateInputsEndWhereKnownInputsDo) {
    static Rollback host, joiner;
    Quiet hq, jq;
    std::mt19937 rng(2026);
    GameState hs = startState(9), js = hs, plain = hs;
    host.begin(true, 1, hs), joiner.begin(false, 1, js);
    std::vector<uint8_t> hostBits(1, 0), joinerBits(1, 0);  // the delay's pass holds nothing
    std::vector<Flying> air;
    for (long frame = 0; frame < 20000; frame++) {
        for (Rollback* r : {&host, &joiner}) {
            std::vector<uint8_t>& mine = r == &host ? hostBits : joinerBits;
            while (r->wantsLocal()) {
                mine.push_back(nextBits(rng, mine.back(), r == &host ? hs : js));
                r->local(mine.back());
                air.push_back(Flying{frame + long(rng() % 31), r != &host, uint32_t(mine.size() - 1), mine.back()});
            }
        }
        for (size_t i = 0; i < air.size();)
            if (air[i].arrives <= frame) (air[i].toHost ? host : joiner).remote(air[i].pass, air[i].bits), air[i] = air.back(), air.pop_back();
            else i++;
        host.advance(hs, hq), joiner.advance(js, jq);
        if (hs.done || js.done) break;
    }
    uint32_t confirmed = std::min(host.confirmedTo(), joiner.confirmedTo()), roundPasses = 0;
    for (uint32_t p = 0; p < confirmed; p++) {
        roundPasses += plain.gameBezi;
        TicCmd c;
        c.held = combineKeys(hostBits[p], joinerBits[p], !passTimed(plain), plain.gameBezi);
        c.dt = passTimed(plain) ? uint16_t(PASS_MS) : 0;
        tick(plain, c);
        ASSERT_EQ(hq.after[p], stateHash(plain)) << "the host at pass " << p;
        ASSERT_EQ(jq.after[p], stateHash(plain)) << "the joiner at pass " << p;
    }
    EXPECT_GT(roundPasses, 1000u) << "of " << confirmed << " passes";
    for (uint32_t depth = 1; depth <= MAX_PREDICT; depth++)
        EXPECT_GT(host.stats().byDepth[depth] + joiner.stats().byDepth[depth], 0u) << "no correction of depth " << depth;
}

// A corrected pass: a sound of the same kind for the same cowboy is the one already playing (another cry too),
// one the correction took away fades, and a new one plays only while its pass is recent.
TEST(Rollback, ACorrectedPassPlaysEachSoundOnce) {
    struct Ears : SoundOut {
        std::vector<int> played, faded;
        int play(uint8_t sound) override { return played.push_back(sound), int(played.size()) - 1; }
        void fade(int channel, uint8_t) override { faded.push_back(channel); }
    } ears;
    PassSounds book;
    TickEvents shot, shotAndCry, otherCry, bottle;
    shot.play(SND_FIRE, 1);
    shotAndCry.play(SND_FIRE, 1), shotAndCry.play(SND_OUCH, 2);
    otherCry.play(SND_FIRE, 1), otherCry.play(SND_YEEHAAA, 2);
    bottle.play(SND_YIPEE, 2);
    book.heard(10, shotAndCry, ears);
    book.heard(10, otherCry, ears);
    EXPECT_EQ(ears.played, (std::vector<int>{SND_FIRE, SND_OUCH})) << "the same shot and a cry, once";
    book.heard(10, shot, ears);
    EXPECT_EQ(ears.faded, std::vector<int>{1}) << "the cry the correction took away fades";
    book.heard(11, TickEvents(), ears);
    book.heard(19, TickEvents(), ears);
    book.heard(11, bottle, ears);
    EXPECT_EQ(ears.played.back(), SND_YIPEE) << "a new sound 8 passes old plays";
    book.heard(20, TickEvents(), ears);
    book.heard(10, shotAndCry, ears);
    EXPECT_EQ(ears.played.size(), 3u) << "a new sound 10 passes old does not";
}

// The entry line of "Join a duel": a code in the code's alphabet, any case, '+' and spaces left out, O I L as
// 0 1 1, other letters ignored, six at most; an address of digits, dots and a colon; Backspace; the pad's moves.
TEST(NetEntry, TheLineTakesACodeOrAnAddressAsAPlayerTypesIt) {
    EntryLine e;
    for (char c : std::string("+kx7 m2qZ9")) entryType(e, uint16_t(c));
    EXPECT_EQ(e.text, "KX7M2Q") << "six at most";
    EXPECT_EQ(entryShown(e), "+KX7 M2Q");
    uint32_t code = 0, typed = 0;
    std::string address;
    uint16_t port = 0;
    ASSERT_EQ(entryRead(e.text, code, address, port), ENTRY_CODE);
    ASSERT_TRUE(parseCode("+KX7M2Q", typed));
    EXPECT_EQ(code, typed);
    e = EntryLine();
    for (char c : std::string("oIlUu!a")) entryType(e, uint16_t(c));
    EXPECT_EQ(e.text, "011A") << "O I L read as 0 1 1, U and the rest ignored";
    EXPECT_EQ(entryShown(e), "+011 A__");
    EXPECT_EQ(entryRead(e.text, code, address, port), ENTRY_INCOMPLETE);
    entryBackspace(e), entryBackspace(e);
    EXPECT_EQ(e.text, "01");
    for (char c : std::string("0.0.1:4x000")) entryType(e, uint16_t(c));
    EXPECT_EQ(e.text, "010.0.1:4000") << "a dot makes an address, a letter has no place in one";
    EXPECT_EQ(entryRead(e.text, code, address, port), ENTRY_INCOMPLETE) << "three parts only";
    e.text = "10.0.0.1", e.cursor = e.text.size();
    ASSERT_EQ(entryRead(e.text, code, address, port), ENTRY_ADDRESS);
    EXPECT_EQ(address, "10.0.0.1");
    EXPECT_EQ(port, 27415);
    entryType(e, ':'), entryType(e, ':');
    EXPECT_EQ(entryRead(e.text, code, address, port), ENTRY_INCOMPLETE) << "a colon without its port";
    for (char c : std::string("655360")) entryType(e, uint16_t(c));
    EXPECT_EQ(e.text, "10.0.0.1:655360");
    EXPECT_EQ(entryRead(e.text, code, address, port), ENTRY_INCOMPLETE) << "no such port";
    entryBackspace(e);
    EXPECT_EQ(entryRead(e.text, code, address, port), ENTRY_INCOMPLETE);
    e.text = "10.0.0.1:4000";
    ASSERT_EQ(entryRead(e.text, code, address, port), ENTRY_ADDRESS);
    EXPECT_EQ(port, 4000);
    EXPECT_FALSE(entryFits("1234567")) << "seven digits are neither a code nor an address";
    // the pad: Up adds a 0 and counts on, Down goes back round the cycle, Left and Right move
    e = EntryLine();
    entryPadChange(e, 1), entryPadChange(e, 1);
    EXPECT_EQ(e.text, "1");
    entryPadChange(e, -1), entryPadChange(e, -1);
    EXPECT_EQ(e.text, "Z") << "round from 0 back to the last letter: a dot or colon first has no place";
    entryPadMove(e, 1), entryPadChange(e, 1);
    EXPECT_EQ(e.text, "Z0");
    entryPadMove(e, -1), entryPadChange(e, -1);
    EXPECT_EQ(e.text, "Y0") << "the character under the pad's place";
    entryPadMove(e, -1), entryPadMove(e, -1);
    EXPECT_EQ(e.cursor, 0u);
    entryBackspace(e);
    EXPECT_EQ(e.text, "Y0") << "nothing before the first character";
}

// ---- the lobby's tables, in process ----

// What one datagram from `from` brings back from the lobby, decoded (the first answer of `kind`, else kind 0).
static LobbyMsg ask(Lobby& lobby, const Endpoint& from, const LobbyMsg& m, uint64_t now, LobbyKind kind) {
    std::vector<uint8_t> d = encodeLobby(m);
    std::vector<Outgoing> out;
    lobby.receive(from, d.data(), d.size(), now, out);
    LobbyMsg got;
    got.kind = LobbyKind(0);
    for (const Outgoing& o : out)
        if (decodeLobby(o.data.data(), o.data.size(), got) && got.kind == kind) return got;
    got.kind = LobbyKind(0);
    return got;
}

static LobbyMsg hostMsg(uint64_t id, bool known = false, uint32_t code = 0) {
    LobbyMsg m;
    m.kind = LOBBY_HOST, m.id = id, m.known = known, m.code = code;
    return m;
}

// A joiner who proves his address and meets the host of `code`: the PEER the host hears (kind 0: none).
static LobbyMsg meeting(Lobby& lobby, const Endpoint& joiner, uint64_t id, uint32_t code, uint64_t now) {
    LobbyMsg j;
    j.kind = LOBBY_JOIN, j.code = code, j.id = id;
    LobbyMsg wait = ask(lobby, joiner, j, now, LOBBY_WAIT);
    j.token = wait.token;
    LobbyMsg peer = ask(lobby, joiner, j, now, LOBBY_PEER);
    if (wait.kind != LOBBY_WAIT) peer.kind = LobbyKind(0);
    return peer;
}

static bool meet(Lobby& lobby, const Endpoint& joiner, uint64_t id, uint32_t code, uint64_t now) {
    return meeting(lobby, joiner, id, code, now).kind == LOBBY_PEER;
}

// A lobby restarted (a new one at the same address) gives a host back the code his refresh names, unless
// somebody holds it already; a host it knows keeps his own whatever his refresh says.
TEST(LobbyTables, ARestartedLobbyGivesAHostHisCodeBack) {
    Lobby before{LobbyLimits{}}, after{LobbyLimits{}};
    Endpoint host{0x05050501, 27415}, other{0x05050502, 27415};
    uint32_t code = ask(before, host, hostMsg(1), 1000, LOBBY_CODE).code;
    EXPECT_EQ(ask(after, host, hostMsg(1, true, code), 5000, LOBBY_CODE).code, code);
    EXPECT_TRUE(meet(after, Endpoint{0x06060601, 40000}, 77, code, 5100)) << "a joiner with the old code meets him";
    EXPECT_FALSE(meet(after, Endpoint{0x06060602, 40000}, 78, code, 5100)) << "in the same instant: he is busy";
    EXPECT_NE(ask(after, other, hostMsg(2, true, code), 5200, LOBBY_CODE).code, code) << "held: another code";
    EXPECT_EQ(ask(after, host, hostMsg(1, true, code ^ 1), 5300, LOBBY_CODE).code, code) << "known: his own";
    Lobby third{LobbyLimits{}};
    LobbyMsg fresh = ask(third, host, hostMsg(3), 100, LOBBY_CODE);
    EXPECT_EQ(fresh.kind, LOBBY_CODE) << "a host without a code gets one";
}

// Hosts, meetings and relays come and go from many addresses for five minutes of the lobby's time: no table
// passes its cap, and those who are refused are refused for the reason the caps give.
TEST(LobbyTables, UnderChurnEveryTableStaysWithinItsCap) {
    LobbyLimits lim;
    lim.maxHosts = 40, lim.maxSessions = 10, lim.hostsPerAddress = 4;
    Lobby lobby(lim);
    std::mt19937_64 rng(36);
    std::vector<uint32_t> codes;
    size_t refusedHosts = 0, met = 0;
    for (uint64_t now = 1000; now < 300000; now += 50) {
        Endpoint from{0x0A000000u + uint32_t(rng() % 30), uint16_t(1000 + rng() % 4)};
        LobbyMsg got = ask(lobby, from, hostMsg(rng() % 200, rng() % 2, uint32_t(rng() % 64)), now, LOBBY_CODE);
        if (got.kind == LOBBY_CODE) codes.push_back(got.code);
        else refusedHosts++;
        if (!codes.empty() && rng() % 3 == 0)
            met += meet(lobby, Endpoint{0x0B000000u + uint32_t(rng() % 1000), 5000}, rng(), codes[rng() % codes.size()], now);
        std::vector<std::string> ended;
        if (now % 500 == 0) lobby.expire(now, ended);
        ASSERT_LE(lobby.hosts(), lim.maxHosts);
        ASSERT_LE(lobby.sessions(), lim.maxSessions);
        ASSERT_LE(lobby.tableSizes(), 4 * lim.maxHosts + lim.maxSessions);
    }
    EXPECT_GT(refusedHosts, 0u) << "the caps were reached";
    EXPECT_GT(met, 20u) << "and meetings went on";
}

// Expiry follows the clock it is given: a host is kept 35 s after his last refresh, a jump forward forgets
// everybody at once, a jump back forgets nobody, and after either the tables work as before.
TEST(LobbyTables, ExpiryIsRightWhenTheClockJumps) {
    Lobby lobby{LobbyLimits{}};
    std::vector<std::string> ended;
    Endpoint a{0x05050501, 1}, b{0x05050502, 1};
    ask(lobby, a, hostMsg(1), 1000, LOBBY_CODE);
    ask(lobby, b, hostMsg(2), 29000, LOBBY_CODE);
    ask(lobby, a, hostMsg(1), 30000, LOBBY_CODE);  // a refresh
    lobby.expire(60000, ended);
    EXPECT_EQ(lobby.hosts(), 2u) << "both heard within 35 s";
    lobby.expire(56000, ended);  // back
    EXPECT_EQ(lobby.hosts(), 2u);
    lobby.expire(64500, ended);
    EXPECT_EQ(lobby.hosts(), 1u) << "b's 35 s are over, a's not";
    lobby.expire(10000, ended);  // far back
    uint32_t code = ask(lobby, b, hostMsg(3), 10000, LOBBY_CODE).code;
    EXPECT_TRUE(meet(lobby, Endpoint{0x06060601, 2}, 9, code, 10001)) << "a host registered in the past is met";
    lobby.expire(9000000000ull, ended);  // three months ahead
    EXPECT_EQ(lobby.hosts(), 0u);
    EXPECT_EQ(lobby.sessions(), 0u);
    EXPECT_EQ(ask(lobby, a, hostMsg(1), 9000000001ull, LOBBY_CODE).kind, LOBBY_CODE);
    lobby.expire(9000034000ull, ended);
    EXPECT_EQ(lobby.hosts(), 1u);
    lobby.expire(9000035001ull, ended);
    EXPECT_EQ(lobby.hosts(), 0u);
}

// What the lobby sends for one datagram from `from`, to whom.
static std::vector<Outgoing> sent(Lobby& lobby, const Endpoint& from, const std::vector<uint8_t>& d, uint64_t now) {
    std::vector<Outgoing> out;
    lobby.receive(from, d.data(), d.size(), now, out);
    return out;
}

static LobbyMsg withToken(LobbyKind kind, uint64_t token) {
    LobbyMsg m;
    m.kind = kind, m.token = token;
    return m;
}

static std::vector<uint8_t> tokenMsg(LobbyKind kind, uint64_t token) { return encodeLobby(withToken(kind, token)); }

// A desktop whose rival is a page meets him on the lobby's WebSocket: a WebSocket with the session's token takes
// over the desktop's UDP end (READY from a host, RELAY from a joiner), only before the relay is on, never from
// another WebSocket nor from another UDP address; the lobby tells both of its ports.
TEST(LobbyTables, AWebSocketWithTheTokenTakesOverADesktopsEnd) {
    LobbyLimits lim;
    lim.webPort = 8080, lim.udpPort = 27416;
    Lobby lobby(lim);
    Endpoint desk{0x05050501, 27415}, page{7, 1}, ws{8, 1}, other{9, 1}, stranger{0x05050509, 27415};
    LobbyMsg code = ask(lobby, desk, hostMsg(1), 1000, LOBBY_CODE);
    EXPECT_EQ(code.udp, 27416);
    LobbyMsg peer = meeting(lobby, page, 2, code.code, 1000);
    ASSERT_EQ(peer.kind, LOBBY_PEER);
    EXPECT_TRUE(peer.page && peer.web == 8080 && peer.udp == 27416);
    EXPECT_TRUE(sent(lobby, ws, tokenMsg(LOBBY_READY, peer.token + 1), 1100).empty()) << "a wrong token";
    EXPECT_TRUE(sent(lobby, stranger, tokenMsg(LOBBY_READY, peer.token), 1100).empty()) << "not a WebSocket";
    std::vector<Outgoing> out = sent(lobby, ws, tokenMsg(LOBBY_READY, peer.token), 1200);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(out[0].to == page) << "the page hears that its host is ready";
    LobbyMsg again;
    EXPECT_TRUE(decodeLobby(out[0].data.data(), out[0].data.size(), again) && again.page == 2) << "a desktop there";
    EXPECT_TRUE(sent(lobby, other, tokenMsg(LOBBY_READY, peer.token), 1300).empty()) << "one WebSocket from another";
    EXPECT_EQ(sent(lobby, page, tokenMsg(LOBBY_RELAY, peer.token), 1400).size(), 1u);
    std::vector<uint8_t> frame(40, 2);
    out = sent(lobby, page, frame, 1500);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(out[0].to == ws) << "the page's frames go to the desktop's WebSocket";
    EXPECT_TRUE(sent(lobby, desk, frame, 1500).empty()) << "its UDP end is no longer the relay's";

    // A desktop joiner with a page host's code.
    Endpoint pageHost{10, 1}, joiner{0x06060601, 40000}, joinerWs{11, 1};
    code = ask(lobby, pageHost, hostMsg(3), 2000, LOBBY_CODE);
    peer = meeting(lobby, joiner, 4, code.code, 2000);
    ASSERT_EQ(peer.kind, LOBBY_PEER);
    EXPECT_FALSE(peer.page) << "the page host hears of a desktop";
    EXPECT_TRUE(sent(lobby, joinerWs, tokenMsg(LOBBY_RELAY, peer.token), 2050).empty()) << "not before the host is ready";
    ASSERT_EQ(sent(lobby, pageHost, tokenMsg(LOBBY_READY, peer.token), 2100).size(), 1u);
    EXPECT_EQ(ask(lobby, joinerWs, withToken(LOBBY_RELAY, peer.token), 2200, LOBBY_RELAYING).token, peer.token);
    EXPECT_EQ(ask(lobby, other, withToken(LOBBY_RELAY, peer.token), 2300, LOBBY_RELAYING).kind, LobbyKind(0))
        << "nobody takes over a relay that is on";
    out = sent(lobby, pageHost, frame, 2400);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(out[0].to == joinerWs);
    std::vector<std::string> ended;
    lobby.expire(60000, ended);
    EXPECT_EQ(ended.size(), 2u);
    EXPECT_EQ(lobby.sessions(), 0u);
    EXPECT_EQ(lobby.tableSizes(), 0u) << "nothing left of either meeting";
}

namespace {

// A transport that keeps what the session sends and hands it the events it is given.
struct TestTransport : LinkTransport {
    std::vector<std::vector<uint8_t>> sent;
    std::vector<LinkEvent> coming;
    bool acknowledged = false, stopped = false;
    LinkEvent service(uint32_t) override {
        if (coming.empty()) return LinkEvent{};
        LinkEvent e = coming.front();
        coming.erase(coming.begin());
        return e;
    }
    void send(const uint8_t* data, size_t n, bool) override { sent.emplace_back(data, data + n); }
    uint32_t roundTripMs() override { return 40; }
    bool delivered() override { return acknowledged; }
    void drop() override {}
    void stop() override { stopped = true; }
    LinkStats stats() override { return LinkStats{}; }
};

}  // namespace

TEST(NetLink, TheSessionTalksToTheTransportInUseAndHangingUpGivesENetBack) {
    TestTransport t;
    linkUse(&t);
    Message m = inputs(7, 9, {1, 2, 3});
    std::vector<uint8_t> d = encodeMessage(m);
    linkSend(d.data(), d.size(), false);
    ASSERT_EQ(t.sent.size(), 1u);
    EXPECT_EQ(t.sent[0], d);
    LinkEvent gone;
    gone.kind = LINK_GONE, gone.reason = LINK_BUSY;
    t.coming = {gone};
    EXPECT_EQ(linkService(0).reason, uint32_t(LINK_BUSY));
    EXPECT_EQ(linkService(0).kind, LINK_NOTHING);
    EXPECT_FALSE(linkDelivered()) << "delivered is the transport's word";
    EXPECT_EQ(linkRoundTripMs(), 40u);
    linkStop();
    EXPECT_TRUE(t.stopped) << "a session's transport is closed when the player hangs up";
    EXPECT_EQ(&linkTransport(), &enetTransport()) << "the next session starts on ENet";
    linkSend(d.data(), d.size(), true);
    EXPECT_EQ(t.sent.size(), 1u);
    EXPECT_TRUE(linkDelivered()) << "ENet without a player holds nothing to deliver";
}

// ---- the page's WebRTC link, on a browser that says what the case tells it to ----

namespace {
struct FakeBrowser {
    double now = 0, acked = 0, silent = 0;
    std::deque<std::vector<uint8_t>> events;           // rtc.js's events: the type, then the bytes
    std::vector<std::string> remote;                    // what it was given of the other side
    std::vector<std::vector<uint8_t>> sent[2], relay;   // the channels' messages, the signals out
    std::string said;
    bool closed = false;
} browser;
TestTransport relay;  // the lobby's relay, the session's link until the move

void rtcStart(bool host) {
    browser = FakeBrowser();
    relay = TestTransport();
    auto out = [](const uint8_t* d, size_t n) { browser.relay.emplace_back(d, d + n); };
    rtcBegin(host, "stun:5.5.5.100:27416", out, relay);
}
}  // namespace

extern "C" {
double rtc_js_now() { return browser.now; }
void rtc_js_begin(int, const char*) {}
void rtc_js_remote(int kind, const char* text) { browser.remote.push_back(std::to_string(kind) + text); }
int rtc_js_next(uint8_t* buf, int cap) {
    if (browser.events.empty()) return 0;
    int n = std::min(cap, int(browser.events.front().size()));
    std::copy_n(browser.events.front().begin(), n, buf);
    browser.events.pop_front();
    return n;
}
int rtc_js_send(int chan, const uint8_t* d, int n) { return browser.sent[chan].emplace_back(d, d + n), 1; }
double rtc_js_stat(int what) { return what == 1 ? browser.acked : what == 2 ? browser.silent : 0; }
void rtc_js_said(const char* way) { browser.said = way; }
void rtc_js_close(int) { browser.closed = true; }
}

TEST(RtcLink, TheHostChoosesWithin3sAndAJoinerWhoseWordIsLostAsksOrGivesUp) {
    rtcStart(true);
    std::string sdp(2500, 'v');
    browser.events.push_back(std::vector<uint8_t>(1, 1));
    browser.events.back().insert(browser.events.back().end(), sdp.begin(), sdp.end());
    browser.now = 2999;
    EXPECT_EQ(rtcState(), RTC_TRYING);
    std::vector<std::vector<uint8_t>> pieces = browser.relay;  // the offer: in pieces within the relay's 1 kB
    ASSERT_EQ(pieces.size(), 3u);
    for (auto& p : pieces) EXPECT_TRUE(p[0] == 0x80 && p.size() <= 1024);
    browser.now = 3000;
    EXPECT_EQ(rtcState(), RTC_FAILED);
    EXPECT_TRUE(browser.closed && browser.said == "lobby");
    EXPECT_EQ(browser.relay.back(), (std::vector<uint8_t>{0x82, 1}));
    const uint8_t ask[] = {0x83}, linkFrame[] = {0x05, 0};
    browser.relay.clear();
    EXPECT_TRUE(rtcTakeSignal(ask, 1));
    EXPECT_EQ(browser.relay, (std::vector<std::vector<uint8_t>>{{0x82, 1}}));  // asked again: the same word
    EXPECT_FALSE(rtcTakeSignal(linkFrame, 2));

    rtcEnd();
    for (auto& p : pieces) EXPECT_TRUE(rtcTakeSignal(p.data(), p.size()));  // come before rtcBegin: kept
    rtcStart(false);
    EXPECT_EQ(browser.remote, (std::vector<std::string>{"1" + sdp}));
    for (browser.now = 0; browser.now < 4500; browser.now += 100) EXPECT_EQ(rtcState(), RTC_TRYING);
    EXPECT_EQ(std::count(browser.relay.begin(), browser.relay.end(), std::vector<uint8_t>{0x83}), 2);
    const uint8_t lobby[] = {0x82, 1};
    rtcTakeSignal(lobby, 2);
    EXPECT_EQ(rtcState(), RTC_FAILED);

    rtcStart(false);  // an offer, never a word: the lobby after 10 s
    for (auto& p : pieces) rtcTakeSignal(p.data(), p.size());
    for (browser.now = 0; browser.now < 10000; browser.now += 100) EXPECT_EQ(rtcState(), RTC_TRYING);
    EXPECT_EQ(rtcState(), RTC_FAILED);
    rtcStart(false);  // no offer: no channel can open, the lobby after 6 s
    for (browser.now = 0; browser.now < 6000; browser.now += 100) EXPECT_EQ(rtcState(), RTC_TRYING);
    EXPECT_EQ(rtcState(), RTC_FAILED);
    rtcEnd();
}

TEST(RtcLink, TheSessionStartsOnTheRelayAndAfterTheMoveEndsOnlyByTheChannelsWord) {
    for (int end = 0; end < 3; end++) {
        rtcStart(true);
        LinkTransport& t = rtcTransport();
        LinkEvent connected, relayGone;
        connected.kind = LINK_CONNECTED, relayGone.kind = LINK_GONE;
        relay.coming = {connected};
        EXPECT_EQ(t.service(0).kind, LINK_CONNECTED) << "the relay's, before any choice";
        const uint8_t m[] = {7, 8};
        t.send(m, 2, false);
        EXPECT_EQ(relay.sent.size(), 1u);
        EXPECT_EQ(t.roundTripMs(), 40u);
        browser.events.push_back({4});
        t.service(0);
        ASSERT_EQ(rtcState(), RTC_OPEN);
        EXPECT_TRUE(browser.said == "direct" && browser.relay.back() == (std::vector<uint8_t>{0x82, 0}));
        EXPECT_EQ(browser.sent[1].back(), (std::vector<uint8_t>{5}));  // the word over the channel too
        relay.acknowledged = true;
        t.send(m, 2, true), t.send(m, 2, false);
        EXPECT_EQ(browser.sent[1].back(), (std::vector<uint8_t>{0, 7, 8}));
        EXPECT_EQ(browser.sent[0].back(), (std::vector<uint8_t>{0, 7, 8}));
        EXPECT_EQ(relay.sent.size(), 1u) << "nothing more by the relay after the move";
        EXPECT_FALSE(t.delivered());
        browser.acked = 1;
        EXPECT_TRUE(t.delivered());
        relay.coming = {relayGone};
        EXPECT_EQ(t.service(0).kind, LINK_NOTHING) << "the relay's end ends no session that plays direct";
        browser.events.push_back({3, 0, 0, 9});
        std::vector<std::vector<uint8_t>> ends = {{3, 1, 4, 0, 0, 0, LINK_BUSY}, {5}, {}};
        if (end < 2) browser.events.push_back(ends[end]);
        else browser.silent = 8000;
        LinkEvent e = t.service(0);
        EXPECT_TRUE(e.kind == LINK_RECEIVED && e.data == std::vector<uint8_t>{9});
        e = t.service(0);
        EXPECT_EQ(e.kind, LINK_GONE);
        EXPECT_EQ(e.reason, end == 0 ? uint32_t(LINK_BUSY) : uint32_t(LINK_BYE));
        EXPECT_EQ(t.service(0).kind, LINK_NOTHING);
        t.stop();
    }
}

TEST(RtcLink, ReliableMessagesAcrossTheMoveComeOnceInOrderAndUnreliableOnesNeverTwice) {
    rtcStart(true);
    LinkTransport& t = rtcTransport();
    std::vector<uint8_t> sent;  // the reliable ones by number, as they left by either way
    for (uint8_t i = 0; i < 30; i++) {
        if (i == 10) browser.events.push_back({4});  // the channels open: the move, the relay still unacknowledged
        if (i == 20) relay.acknowledged = true;      // the relay delivered what it carried
        t.send(&i, 1, i % 2 == 0), t.service(0);
        if (!relay.acknowledged) {
            EXPECT_LE(browser.sent[1].size(), 1u) << "the channel waits till the relay delivered";
        }
    }
    for (const auto& m : relay.sent) sent.push_back(m[0]);
    for (const auto& m : browser.sent[1])
        if (m[0] == 0) sent.push_back(m[1]);
    std::vector<uint8_t> reliable, unreliable;
    for (uint8_t i = 0; i < 30; i++) (i % 2 ? unreliable : reliable).push_back(i);
    std::vector<uint8_t> unreliableSent;
    for (uint8_t i : sent)
        if (i % 2) unreliableSent.push_back(i);
    for (const auto& m : browser.sent[0]) unreliableSent.push_back(m[1]);
    sent.erase(std::remove_if(sent.begin(), sent.end(), [](uint8_t i) { return i % 2; }), sent.end());
    EXPECT_EQ(sent, reliable) << "the waiting ones went on the channel once the relay had delivered, in order";
    EXPECT_EQ(unreliableSent, unreliable) << "each once, by one way";
    EXPECT_TRUE(std::all_of(browser.sent[0].begin(), browser.sent[0].end(), [](const std::vector<uint8_t>& m) {
        return m[1] > 10;
    })) << "the inputs on the channel from the move";

    LinkEvent byRelay;  // the receiving side: what is still on the relay comes before the channel's
    byRelay.kind = LINK_RECEIVED, byRelay.data = {1};
    relay.coming = {byRelay};
    browser.events.push_back({3, 1, 0, 2});
    EXPECT_EQ(t.service(0).data, std::vector<uint8_t>{1});
    EXPECT_EQ(t.service(0).data, std::vector<uint8_t>{2});
    t.stop();
}

namespace {

// Two message links joined by a channel that drops some frames and doubles others, a frame a step of 10 ms.
struct Pair {
    std::mt19937 draws{34};
    double dropped = 0.25, doubled = 0.1;
    bool dead = false;
    std::deque<std::vector<uint8_t>> toA, toB;
    size_t largest = 0;
    uint64_t now = 1000;
    MessageLink a{[this](const uint8_t* d, size_t n) { return carry(toB, d, n); }};
    MessageLink b{[this](const uint8_t* d, size_t n) { return carry(toA, d, n); }};
    std::vector<LinkEvent> atA, atB;

    bool carry(std::deque<std::vector<uint8_t>>& q, const uint8_t* d, size_t n) {
        largest = std::max(largest, n);
        double r = std::uniform_real_distribution<double>(0, 1)(draws);
        if (dead || r < dropped) return true;
        for (int i = r < dropped + doubled ? 2 : 1; i > 0; i--) q.emplace_back(d, d + n);
        return true;
    }
    void step() {
        now += 10;
        for (; !toA.empty(); toA.pop_front()) a.take(toA.front().data(), toA.front().size(), now);
        for (; !toB.empty(); toB.pop_front()) b.take(toB.front().data(), toB.front().size(), now);
        a.tick(now), b.tick(now);
        for (LinkEvent e; a.next(e);) atA.push_back(e);
        for (LinkEvent e; b.next(e);) atB.push_back(e);
    }
    void connect() {
        a.begin(now), b.begin(now);
        for (int i = 0; i < 200 && !(a.connected() && b.connected()); i++) step();
    }
};

std::vector<uint8_t> numbered(uint32_t i, size_t n) {
    std::vector<uint8_t> m(n, uint8_t(i * 7));
    memcpy(m.data(), &i, 4);
    return m;
}

}  // namespace

TEST(MessageLink, OverALossyChannelReliableMessagesComeOnceInOrderAndUnreliableNeverTwice) {
    Pair p;
    p.connect();
    ASSERT_TRUE(p.a.connected() && p.b.connected());
    uint8_t theirs = 0x80;
    EXPECT_FALSE(p.b.take(&theirs, 1, p.now)) << "a frame of another's kind is left to its owner";
    for (uint32_t i = 0; i < 300; i++) {
        std::vector<uint8_t> m = numbered(i, i % 50 == 0 ? 3000 : 8 + i % 40);  // some in pieces
        p.a.send(m.data(), m.size(), i % 3 == 0, p.now);
        if (i % 3 == 0) {
            EXPECT_FALSE(p.a.delivered());
        }
        p.step();
    }
    for (int i = 0; i < 3000 && !p.a.delivered(); i++) p.step();
    EXPECT_TRUE(p.a.delivered());
    for (int i = 0; i < 500; i++) p.step();  // pings meanwhile: a round trip
    EXPECT_LE(p.largest, MSGLINK_FRAME);
    uint32_t reliable = 0, lastUnreliable = 0, unreliable = 0;
    for (const LinkEvent& e : p.atB) {
        if (e.kind != LINK_RECEIVED) continue;
        uint32_t i;
        memcpy(&i, e.data.data(), 4);
        EXPECT_EQ(e.data, numbered(i, i % 50 == 0 ? 3000 : 8 + i % 40));
        if (i % 3 == 0) {
            EXPECT_EQ(i, reliable) << "reliable ones in order, each once";
            reliable += 3;
        } else {
            EXPECT_TRUE(unreliable == 0 || i > lastUnreliable) << "unreliable ones never twice";
            lastUnreliable = i, unreliable++;
        }
    }
    EXPECT_EQ(reliable, 300u);
    EXPECT_GT(unreliable, 100u);
    EXPECT_LT(unreliable, 200u) << "a quarter of the frames were lost";
    EXPECT_GT(p.a.roundTripMs(), 0u);
}

TEST(MessageLink, AGoodbyeSaysItsReasonAndSilenceEndsTheLink) {
    Pair p;
    p.connect();
    p.a.bye(LINK_BUSY, p.now);
    for (int i = 0; i < 5; i++) p.step();
    ASSERT_FALSE(p.atB.empty());
    EXPECT_EQ(p.atB.back().kind, LINK_GONE);
    EXPECT_EQ(p.atB.back().reason, uint32_t(LINK_BUSY));

    Pair q;
    q.dropped = 0.5;
    q.connect();
    q.dead = true;
    for (int i = 0; i < 750; i++) q.step();
    EXPECT_EQ(q.atA.back().kind, LINK_CONNECTED) << "a silence under 8 s is no end";
    for (int i = 0; i < 100; i++) q.step();
    EXPECT_EQ(q.atA.back().kind, LINK_GONE);
    EXPECT_EQ(q.atB.back().kind, LINK_GONE);

    MessageLink alone([](const uint8_t*, size_t) { return true; });
    alone.begin(0);
    alone.tick(8000);
    LinkEvent e;
    ASSERT_TRUE(alone.next(e));
    EXPECT_EQ(e.kind, LINK_GONE) << "a hello nobody answers";
}
