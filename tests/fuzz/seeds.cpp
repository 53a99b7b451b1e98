// seeds.cpp: writes the fuzz targets' corpus (fuzz_seeds SOURCE_DIR OUT_DIR): whole, valid inputs of each kind
// made by the game's own encoders and the shipped demos cut short, so that the fuzzer starts past the checksums.
#include "fuzz.h"
#include "demo/demo.h"
#include "net/packet.h"

#include <string>
#include <sys/stat.h>

namespace {

std::string out;

void write(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    mkdir(out.c_str(), 0755), mkdir((out + "/" + target).c_str(), 0755);
    std::string path = out + "/" + target + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    FUZZ_CHECK(f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && fclose(f) == 0);
}

std::vector<uint8_t> after(uint8_t first, const std::vector<uint8_t>& rest) {
    std::vector<uint8_t> b{first};
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

void lobbyDatagrams() {
    LobbyMsg m;
    m.id = 0x0123456789ABCDEFull, m.token = 0xFEDCBA9876543210ull, m.code = CODE_COUNT - 1;
    m.cands = {{CAND_LAN, {0xC0A80102, 27415}}, {CAND_MAPPED, {0x05050501, 1024}}};
    m.seen = {0x05050501, 27415}, m.busy = 1, m.reason = REFUSE_NO_RELAY, m.joiner = 1, m.index = 5;
    for (int k = LOBBY_HOST; k <= LOBBY_PUNCH; k++) {
        m.kind = LobbyKind(k);
        write("lobbywire", "kind-" + std::to_string(k), after(0, encodeLobby(m)));
    }
    std::string typed = " +kx7 m2q";
    write("lobbywire", "typed-code", after(2, std::vector<uint8_t>(typed.begin(), typed.end())));
}

std::vector<Message> messages() {
    std::vector<Message> all(10);
    all[0].kind = MSG_HELLO, all[0].version = "2.2";
    all[1].kind = MSG_REFUSE, all[1].version = "10.15-beta";
    all[2].kind = MSG_PROBE, all[2].seq = 7, all[2].stamp = 123456;
    all[3].kind = MSG_ECHO, all[3].seq = 7, all[3].stamp = 123456;
    all[4].kind = MSG_START, all[4].seed = 99, all[4].delay = 2, all[4].budget = 13;
    all[5].kind = MSG_INPUT, all[5].ack = 300, all[5].first = 290, all[5].advantage = -2;
    all[5].inputs = {0, 0, IN_LEFT, IN_LEFT | IN_FIRE, IN_LEFT, 0, IN_RETURN};
    all[6].kind = MSG_HASH, all[6].pass = 1000, all[6].hash = 0xDEADBEEF;
    all[7].kind = MSG_DESYNC, all[7].pass = 1000, all[7].hash = 1, all[7].dump = "pass 1000\nred x 120\n";
    all[8].kind = MSG_LOOK, all[8].version = "2.2";
    all[9].kind = MSG_HERE, all[9].version = "2.2", all[9].name = "duel-ranch";
    return all;
}

void gameDatagrams() {
    for (const Message& m : messages()) {
        write("packet", "kind-" + std::to_string(m.kind), after(0, encodeMessage(m)));
        if (m.kind == MSG_LOOK || m.kind == MSG_HERE) write("lan", "kind-" + std::to_string(m.kind), after(0, encodeMessage(m)));
    }
}

// A script's datagram built from a kind and its flags (fuzz.h), candidates after.
void built(std::vector<uint8_t>& s, int who, int wait, LobbyKind kind, uint8_t flags, std::vector<uint8_t> cands = {}) {
    s.push_back(fuzzOp(who, HOW_BUILT, wait));
    s.push_back(uint8_t(kind - 1));
    s.push_back(flags);
    s.insert(s.end(), cands.begin(), cands.end());
}

void raw(std::vector<uint8_t>& s, int who, int wait, uint8_t len) {
    s.push_back(fuzzOp(who, HOW_RAW, wait));
    s.push_back(len);
    for (int i = 0; i < len; i++) s.push_back(uint8_t(i * 7));
}

const uint8_t TOKEN = 8, CODE = 16, ONE = 1 << 5, TWO = 2 << 5;
const uint8_t LAN_HOME = 4 << 2, PUBLIC_2 = 2 << 2 | 2, LAN_3 = 3 << 2;  // fuzzAddress 4 (LAN), 2 (public), 3 (LAN)

// A host registers, a joiner proves his address and meets him, the host punches, the joiner asks for the relay,
// and their datagrams go through it.
void lobbyScripts() {
    std::vector<uint8_t> s;
    built(s, 0, 0, LOBBY_HOST, ONE, {LAN_HOME});
    built(s, 3, 1, LOBBY_JOIN, 1 | CODE);
    built(s, 3, 1, LOBBY_JOIN, 1 | CODE | TOKEN);
    built(s, 0, 1, LOBBY_READY, TOKEN);
    built(s, 3, 1, LOBBY_RELAY, TOKEN);
    raw(s, 0, 2, 40), raw(s, 3, 2, 40), raw(s, 0, 7, 40);
    write("lobby", "meeting-and-relay", s);
    s.clear();
    for (int who = 0; who < 8; who++) built(s, who, 0, LOBBY_HOST, uint8_t(who & 3));
    built(s, 0, 6, LOBBY_HOST, 0), built(s, 7, 7, LOBBY_JOIN, CODE);
    write("lobby", "hosts-and-refusals", s);
    s.clear();  // a host's code lapses; his refresh names it and he has it back, and a joiner meets him with it
    built(s, 1, 0, LOBBY_HOST, 1, {LAN_HOME});
    built(s, 1, 7, LOBBY_HOST, 1 | CODE, {LAN_HOME});
    built(s, 5, 1, LOBBY_JOIN, 1 | CODE);
    write("lobby", "code-given-back", s);
}

void gameScripts() {
    std::vector<uint8_t> s{1};  // the host: his code, a meeting, a punch and the answer to his own
    built(s, 0, 0, LOBBY_CODE, 3);
    built(s, 0, 0, LOBBY_PEER, TWO, {LAN_3, PUBLIC_2});
    built(s, 3, 0, LOBBY_PUNCH, TOKEN | 4);
    built(s, 2, 0, LOBBY_PUNCH, TOKEN | 4 | 2 | ONE);
    built(s, 0, 0, LOBBY_REFUSE, CODE | 2);
    write("gametap", "host", s);
    s = {0};  // a joiner: the cookie, the host's addresses, punches, the relay
    built(s, 0, 0, LOBBY_WAIT, 3);
    built(s, 0, 0, LOBBY_PEER, TWO, {LAN_3, PUBLIC_2});
    built(s, 3, 0, LOBBY_PUNCH, TOKEN);
    built(s, 2, 0, LOBBY_PUNCH, TOKEN | 2 | ONE);
    built(s, 0, 0, LOBBY_RELAYING, TOKEN);
    write("gametap", "joiner", s);
    s = {0};
    built(s, 0, 0, LOBBY_REFUSE, CODE | 2);
    write("gametap", "joiner-refused", s);
}

std::vector<uint8_t> readAll(const std::string& path) {
    std::vector<uint8_t> b;
    FILE* f = fopen(path.c_str(), "rb");
    FUZZ_CHECK(f);
    for (int c; (c = fgetc(f)) != EOF;) b.push_back(uint8_t(c));
    fclose(f);
    return b;
}

// A demo cut after its first `blocks` blocks (a header of 24 bytes, then blocks of 8 bytes and their payload).
std::vector<uint8_t> cut(std::vector<uint8_t> b, int blocks) {
    size_t at = 24;
    for (int i = 0; i < blocks && at + 4 <= b.size(); i++) at += 8 + (b[at + 2] | b[at + 3] << 8);
    b.resize(std::min(at, b.size()));
    return b;
}

void demos(const std::string& source) {
    for (std::string name : {"demos/mp-0.kvd", "demos/sp-1.kvd", "tests/golden/net-session.kvd", "tests/golden/mp-escape.kvd"}) {
        std::string base = name.substr(name.rfind('/') + 1);
        write("demo", base, after(1, cut(readAll(source + "/" + name), 2)));
    }
    Demo d;
    d.edition = EDITION_MP, d.version = DEMO_GAME_VERSION, d.seed = 5;
    DemoPass p;
    p.timed = true, p.red.dt = 13, d.passes.push_back(p);
    p.red.dt = 700, p.red.bits = IN_LEFT | IN_FIRE, p.extra = DEMO_K, d.passes.push_back(p);
    p.timed = false, p.red.dt = 0, p.extra = DEMO_RESET | DEMO_CLOSE, p.seed = 77, d.passes.push_back(p);
    write("demo", "made", after(1, encodeDemo(d)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return fprintf(stderr, "usage: fuzz_seeds SOURCE_DIR OUT_DIR\n"), 2;
    out = argv[2];
    lobbyDatagrams(), gameDatagrams(), lobbyScripts(), gameScripts(), demos(argv[1]);
    return 0;
}
