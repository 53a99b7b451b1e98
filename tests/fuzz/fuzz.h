// fuzz.h: what the fuzz targets share: reading the fuzzer's bytes, sealing a datagram with its checksum (so the
// fuzzer works past it), lobby messages built from a few bytes, and the lobby targets' scripts of datagrams.
#ifndef KORVADO_FUZZ_H
#define KORVADO_FUZZ_H

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>
#include "net/lobbywire.h"

// A check that must hold whatever the input: a report and an abort, which libFuzzer keeps as a crash. The report
// goes to stderr as it was at start-up: libFuzzer's -close_fd_mask silences the readers' own messages there.
inline const int FUZZ_REPORT_FD = dup(2);
#define FUZZ_CHECK(cond)                                                                               \
    do {                                                                                               \
        if (!(cond)) dprintf(FUZZ_REPORT_FD, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__), abort(); \
    } while (0)

// For a target whose state lives from one input to the next (LLVMFuzzerInitialize): libFuzzer takes every input
// that leaves more blocks than it found for a possible leak and scans the whole heap for it, which made the lobby's
// target five times slower. Leaks are still reported when the run ends.
#define FUZZ_STATE_CARRIED_OVER                                                          \
    extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {                        \
        static std::vector<char*> args((*argv), (*argv) + *argc);                          \
        static char noLeakCheck[] = "-detect_leaks=0";                                    \
        args.insert(args.begin() + 1, noLeakCheck);                                       \
        args.push_back(nullptr);                                                          \
        *argc += 1, *argv = args.data();                                                  \
        return 0;                                                                         \
    }

struct FuzzBytes {
    const uint8_t* p;
    size_t n, at = 0;
    bool more() const { return at < n; }
    uint8_t byte() { return at < n ? p[at++] : 0; }
    std::vector<uint8_t> take(size_t len) {
        size_t k = std::min(len, n - at);
        std::vector<uint8_t> v(p + at, p + at + k);
        at += k;
        return v;
    }
};

inline uint32_t fuzzCrc(const uint8_t* d, size_t n) { return uint32_t(crc32(crc32(0L, Z_NULL, 0), d, uInt(n))); }
inline void fuzzPut32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; i++) at[i] = uint8_t(v >> (8 * i));
}
// A lobby datagram of its one size, its last four bytes the CRC-32 of the rest.
inline std::vector<uint8_t> sealLobby(std::vector<uint8_t> d) {
    d.resize(LOBBY_DATAGRAM);
    fuzzPut32(&d[LOBBY_DATAGRAM - 4], fuzzCrc(d.data(), LOBBY_DATAGRAM - 4));
    return d;
}

// The addresses of the scripts: senders (who) and the candidates the built messages name.
inline Endpoint fuzzAddress(int i) {
    static const Endpoint table[8] = {{0x05050501, 27415}, {0x05050501, 40000}, {0x05050502, 27415},
                                      {0x06060606, 27415}, {0xC0A80102, 27415}, {0x0A000002, 27415},
                                      {0x08080808, 53},    {0x64400001, 5000}};
    return table[i & 7];
}

// A script is a list of datagrams, each opened by a byte: the sender (low 3 bits), how the datagram is made
// (bits 3-4) and the time waited before it (the top 3 bits, an index into FUZZ_WAITS).
enum FuzzHow { HOW_RAW = 0, HOW_SEALED = 1, HOW_BUILT = 2 };  // 3 builds too
// At most this many datagrams an input: the lobby's tables carry over, and a player's protocol takes fewer.
const int FUZZ_SCRIPT = 12;
const uint32_t FUZZ_WAITS[8] = {0, 1, 20, 100, 1000, 5000, 15000, 40000};
inline uint8_t fuzzOp(int who, int how, int wait) { return uint8_t(who | how << 3 | wait << 5); }

// What a built message takes from what its sender was told before.
struct FuzzMemory {
    uint64_t token = 0, cookie = 0, id = 0;  // id: the game's own, as it wrote it to the lobby
    uint32_t code = 0;
};

// HOW_BUILT: kind (1 byte), flags (1 byte: the id in bits 0-1, 3 the remembered one; busy in bit 2; the
// remembered token or cookie in bit 3, else a made-up one; the remembered code in bit 4 (a HOST's refresh then
// names it as his, as after the lobby's restart, else names none); the count of candidates in bits 5-7), then a byte a candidate (its kind, and fuzzAddress of bits 2-4 with bits 5-7 added to the port).
// A PUNCH has no candidates: its answer bit is bit 1, its joiner bit bit 2 and its index bits 5-7; a PEER with bit 2
// says the rival is a page (the lobby's web port named, no candidates).
inline LobbyMsg buildLobby(FuzzBytes& in, const FuzzMemory& mem) {
    LobbyMsg m;
    m.kind = LobbyKind(in.byte() % 10 + 1);
    uint8_t f = in.byte();
    m.id = (f & 3) == 3 && mem.id ? mem.id : 0x1000 + (f & 3);
    m.busy = m.joiner = (f >> 2) & 1;
    m.answer = (f >> 1) & 1;
    m.index = f >> 5;
    m.token = (f & 8) ? (m.kind == LOBBY_JOIN ? mem.cookie : mem.token) : 0x5EED0000u + f;
    m.code = (f & 16) ? mem.code : uint32_t(f) << 20;
    if (m.kind == LOBBY_HOST) m.known = (f >> 4) & 1, m.code = m.known ? mem.code : 0;
    m.reason = uint8_t(f % 4 + 1);
    if (m.kind == LOBBY_PEER) m.page = (f >> 2) & 1, m.web = m.page ? 8080 : 0;  // a page for a rival: no addresses
    for (int i = 0; !m.page && m.kind != LOBBY_PUNCH && i < f >> 5; i++) {
        uint8_t c = in.byte();
        Endpoint at = fuzzAddress(c >> 2);
        m.cands.push_back(Candidate{CandidateKind(c % 3 + 1), Endpoint{at.ip, uint16_t(at.port + (c >> 5))}});
    }
    return m;
}

// The next datagram of a script as its bytes.
inline std::vector<uint8_t> scriptDatagram(FuzzBytes& in, int how, const FuzzMemory& mem) {
    if (how == HOW_RAW) return in.take(in.byte());
    if (how == HOW_SEALED) return sealLobby(in.take(in.byte() % (LOBBY_DATAGRAM - 3)));
    return encodeLobby(buildLobby(in, mem));
}

// What a datagram to a sender teaches him: his cookie, a session's token, an invite code.
inline void remember(const LobbyMsg& m, FuzzMemory& mem) {
    if (m.kind == LOBBY_WAIT) mem.cookie = m.token;
    if (m.kind == LOBBY_PEER || m.kind == LOBBY_RELAYING || m.kind == LOBBY_PUNCH) mem.token = m.token;
    if (m.kind == LOBBY_CODE) mem.code = m.code;
}

#endif
