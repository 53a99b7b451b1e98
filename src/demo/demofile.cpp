// demofile.cpp: the demo file: a checksummed header, then blocks of passes, each block checksummed on its own.
#include "demo/demo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <zlib.h>

// Header: mark (8), format (1), edition (1), game version (6, zero padded), seed (4), CRC-32 of the rest (4).
// Block: passes (2), payload bytes (2), payload, CRC-32 of those three chained from the block before (4).
// A pass: a head byte (0x80 new key bytes follow, 0x40 a pass of the frame loop, the low six bits the frame
// time in ms, 63 when two bytes of it follow), then when told red's bits, blue's bits, the extra bits, and
// with DEMO_RESET the seed (4).
static const char MARK[8] = {'K', 'O', 'R', 'V', 'D', 'E', 'M', 'O'};
static const size_t HEADER = 24;
static const int BLOCK_PASSES = 64;
static const uint8_t HEAD_KEYS = 0x80, HEAD_TIMED = 0x40, HEAD_LONG = 63;
static const uint8_t PLAYER_BITS = IN_UP | IN_DOWN | IN_LEFT | IN_RIGHT | IN_FIRE;

static void put16(std::vector<uint8_t>& b, uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
static void put32(std::vector<uint8_t>& b, uint32_t v) { put16(b, v & 0xFFFF), put16(b, v >> 16); }
static uint32_t get16(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8; }
static uint32_t get32(const uint8_t* p) { return get16(p) | get16(p + 2) << 16; }
static uint32_t crc(uint32_t from, const uint8_t* p, size_t n) { return uint32_t(crc32(from, p, uInt(n))); }

static void encodeHeader(const Demo& d, std::vector<uint8_t>& b) {
    for (char c : MARK) b.push_back(uint8_t(c));
    b.push_back(DEMO_FORMAT);
    b.push_back(d.edition);
    for (size_t i = 0; i < 6; i++) b.push_back(i < d.version.size() ? uint8_t(d.version[i]) : 0);
    put32(b, d.seed);
    put32(b, crc(0, b.data(), 20));
}

// One pass after `prev` (whose key bytes it repeats unless they changed).
static void encodePass(const DemoPass& p, const DemoPass& prev, std::vector<uint8_t>& b) {
    bool changed = p.red.bits != prev.red.bits || p.blue.bits != prev.blue.bits || p.extra != prev.extra ||
                   (p.extra & DEMO_RESET);
    uint32_t dt = p.timed ? p.red.dt : 0;
    b.push_back(uint8_t((changed ? HEAD_KEYS : 0) | (p.timed ? HEAD_TIMED : 0) | (dt < HEAD_LONG ? dt : HEAD_LONG)));
    if (dt >= HEAD_LONG) put16(b, dt);
    if (!changed) return;
    b.push_back(p.red.bits), b.push_back(p.blue.bits), b.push_back(p.extra);
    if (p.extra & DEMO_RESET) put32(b, p.seed);
}

// Passes [from, to) as one block, its checksum chained from `chain`.
std::vector<uint8_t> encodeBlock(const std::vector<DemoPass>& passes, size_t from, size_t to, uint32_t& chain) {
    std::vector<uint8_t> payload, b;
    DemoPass none;
    for (size_t i = from; i < to; i++) encodePass(passes[i], i > from ? passes[i - 1] : none, payload);
    put16(b, uint32_t(to - from));
    put16(b, uint32_t(payload.size()));
    b.insert(b.end(), payload.begin(), payload.end());
    chain = crc(chain, b.data(), b.size());
    put32(b, chain);
    return b;
}

std::vector<uint8_t> encodeDemo(const Demo& d) {
    std::vector<uint8_t> b;
    encodeHeader(d, b);
    uint32_t chain = get32(&b[20]);
    for (size_t at = 0; at < d.passes.size(); at += BLOCK_PASSES) {
        std::vector<uint8_t> block = encodeBlock(d.passes, at, std::min(d.passes.size(), at + BLOCK_PASSES), chain);
        b.insert(b.end(), block.begin(), block.end());
    }
    return b;
}

static bool refuse(std::string& why, const std::string& what) {
    why = what;
    return false;
}

static bool decodeHeader(const std::vector<uint8_t>& b, Demo& d, std::string& why) {
    if (b.empty()) return refuse(why, "the file is empty");
    if (b.size() < HEADER) return refuse(why, "the file is truncated (no whole header)");
    if (memcmp(b.data(), MARK, 8) != 0) return refuse(why, "not a KORVADO demo");
    if (get32(&b[20]) != crc(0, b.data(), 20)) return refuse(why, "the header is damaged (checksum)");
    if (b[8] != DEMO_FORMAT)
        return refuse(why, "demo format " + std::to_string(b[8]) + ", this program reads format " +
                               std::to_string(DEMO_FORMAT));
    d.edition = b[9];
    d.version.assign((const char*)&b[10], strnlen((const char*)&b[10], 6));
    d.seed = get32(&b[16]);
    return true;
}

// Reads one pass at `p` (not past `end`) after `prev`; false when it does not make sense.
static bool decodePass(const uint8_t*& p, const uint8_t* end, const DemoPass& prev, DemoPass& out) {
    uint8_t head = *p++;
    out = prev;
    out.extra &= uint8_t(~DEMO_RESET);
    out.timed = head & HEAD_TIMED;
    out.red.dt = head & HEAD_LONG;
    if (out.red.dt == HEAD_LONG) {
        if (end - p < 2) return false;
        out.red.dt = uint16_t(get16(p)), p += 2;
        if (out.red.dt < HEAD_LONG) return false;
    }
    if (!out.timed && out.red.dt) return false;
    if (!(head & HEAD_KEYS)) return true;
    if (end - p < 3) return false;
    out.red.bits = p[0], out.blue.bits = p[1], out.extra = p[2], p += 3;
    if ((out.red.bits & 0x80) || (out.blue.bits & ~PLAYER_BITS) || out.extra > 7) return false;
    if (!(out.extra & DEMO_RESET)) return true;
    if (end - p < 4) return false;
    out.seed = get32(p), p += 4;
    return true;
}

// One block at `at`: whole, its checksum right, and its payload exactly its passes.
static bool decodeBlock(const std::vector<uint8_t>& b, size_t& at, uint32_t& chain, Demo& d, std::string& why) {
    if (b.size() - at < 4) return refuse(why, "the file is truncated (a block cut short)");
    uint32_t n = get16(&b[at]), len = get16(&b[at + 2]);
    if (b.size() - at < 8 + size_t(len)) return refuse(why, "the file is truncated (a block cut short)");
    if (get32(&b[at + 4 + len]) != crc(chain, &b[at], 4 + len)) return refuse(why, "the file is damaged (checksum)");
    chain = get32(&b[at + 4 + len]);
    const uint8_t* p = &b[at + 4];
    const uint8_t* end = p + len;
    DemoPass prev;
    for (uint32_t i = 0; i < n; i++) {
        if (p >= end || !decodePass(p, end, prev, prev)) return refuse(why, "the file is damaged (a pass)");
        d.passes.push_back(prev);
    }
    if (n == 0 || p != end) return refuse(why, "the file is damaged (a block)");
    at += 8 + len;
    return true;
}

bool decodeDemo(const std::vector<uint8_t>& b, Demo& d, std::string& why) {
    d = Demo();
    if (!decodeHeader(b, d, why)) return false;
    uint32_t chain = get32(&b[20]);
    for (size_t at = HEADER; at < b.size();)
        if (!decodeBlock(b, at, chain, d, why)) return false;
    return true;
}

static bool readFile(const std::string& path, std::vector<uint8_t>& b, std::string& why) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return refuse(why, strerror(errno));
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) b.insert(b.end(), chunk, chunk + n);
    bool bad = ferror(f);
    fclose(f);
    return bad ? refuse(why, "cannot read it") : true;
}

static const char* editionName(uint8_t e) {
    return e == EDITION_SP ? "korvado_sp" : e == EDITION_MP ? "korvado_mp" : e == EDITION_NET ? "korvado_net" : "?";
}

// The demo's game version and edition against this program's.
static bool playable(const Demo& d, std::string& why) {
    if (d.version != DEMO_GAME_VERSION)
        return refuse(why, "recorded by KORVADO " + d.version + ", this is KORVADO " + DEMO_GAME_VERSION);
    if (!editionPlays(d.edition))
        return refuse(why, std::string("recorded by ") + editionName(d.edition) + ", which " +
                               editionName(editionCode()) + " does not play");
    return true;
}

bool loadDemo(const std::string& path, Demo& d) {
    std::vector<uint8_t> bytes;
    std::string why;
    if (readFile(path, bytes, why) && decodeDemo(bytes, d, why) && playable(d, why)) return true;
    fprintf(stderr, "korvado: demo %s: %s\n", path.c_str(), why.c_str());
    return false;
}

uint8_t editionCode() {
#if defined(KORVADO_SP)
    return EDITION_SP;
#elif defined(KORVADO_NET)
    return EDITION_NET;
#else
    return EDITION_MP;
#endif
}

// Each program plays its own; the two-player program also plays the network's, whose rules are its own.
bool editionPlays(uint8_t e) { return e == editionCode() || (editionCode() == EDITION_MP && e == EDITION_NET); }
