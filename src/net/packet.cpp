// packet.cpp: the datagram format: a mark, the kind, the fields, a CRC-32 of it all; runs of equal inputs.
#include "packet.h"

#include <zlib.h>

#include <algorithm>

static const uint8_t MARK = 0x4B;  // 'K'

namespace {

struct Writer {
    std::vector<uint8_t> b;
    void u8(uint8_t v) { b.push_back(v); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i)));
    }
    void var(uint32_t v) {  // 7 bits a byte, low first
        do {
            b.push_back(uint8_t((v & 0x7F) | (v > 0x7F ? 0x80 : 0)));
            v >>= 7;
        } while (v);
    }
};

struct Reader {
    const uint8_t* p;
    size_t n, at = 0;
    bool ok = true;
    uint8_t u8() {
        if (at >= n) return ok = false, 0;
        return p[at++];
    }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++) v |= uint32_t(u8()) << (8 * i);
        return v;
    }
    uint32_t var() {
        uint32_t v = 0;
        for (int i = 0; i < 5; i++) {
            uint8_t c = u8();
            if (i == 4 && c > 0x0F) return ok = false, 0;  // nothing beyond 32 bits
            v |= uint32_t(c & 0x7F) << (7 * i);
            if (!(c & 0x80)) return i > 0 && c == 0 ? (ok = false, 0) : v;  // the shortest form only
        }
        return ok = false, 0;
    }
};

uint32_t crcOf(const uint8_t* d, size_t n) { return uint32_t(crc32(crc32(0L, Z_NULL, 0), d, uInt(n))); }

void writeVersion(Writer& w, const std::string& v) {
    w.u8(uint8_t(v.size()));
    for (char c : v) w.u8(uint8_t(c));
}

bool readVersion(Reader& r, std::string& v) {
    uint8_t len = r.u8();
    if (len == 0 || len > 15) return false;
    v.clear();
    for (int i = 0; i < len; i++) {
        uint8_t c = r.u8();
        if (c < 0x21 || c > 0x7E) return false;  // printable, no spaces
        v.push_back(char(c));
    }
    return r.ok;
}

// Inputs go as runs of equal bits: a player's keys change seldom.
void writeInputs(Writer& w, const Message& m) {
    w.var(m.ack);
    w.var(m.first);
    w.u8(uint8_t(m.advantage));
    w.u8(uint8_t(m.inputs.size()));
    std::vector<std::pair<int, uint8_t>> runs;
    for (uint8_t bits : m.inputs) {
        if (!runs.empty() && runs.back().second == bits && runs.back().first < 255) runs.back().first++;
        else runs.push_back({1, bits});
    }
    w.u8(uint8_t(runs.size()));
    for (auto& run : runs) w.u8(uint8_t(run.first)), w.u8(run.second);
}

// The runs cover exactly the message's passes, every value is a player's bits, and two runs side by side differ
// (as the writer makes them: one message, one way to write it).
bool readInputs(Reader& r, Message& m) {
    m.ack = r.var();
    m.first = r.var();
    m.advantage = int8_t(r.u8());
    int count = r.u8(), runs = r.u8();
    if (!r.ok || m.ack >= MAX_PASS || m.first >= MAX_PASS || count < 1 || count > MAX_RECORDS) return false;
    if (runs < 1 || runs > MAX_RUNS) return false;
    m.inputs.clear();
    for (int i = 0; i < runs; i++) {
        int len = r.u8();
        uint8_t bits = r.u8();
        if (!r.ok || len < 1 || bits > 0x7F || m.inputs.size() + len > size_t(count)) return false;
        if (!m.inputs.empty() && m.inputs.back() == bits) return false;
        m.inputs.insert(m.inputs.end(), size_t(len), bits);
    }
    return m.inputs.size() == size_t(count) && m.first + m.inputs.size() < MAX_PASS;
}

void writeDump(Writer& w, const std::string& dump) {
    w.var(uint32_t(dump.size()));
    for (char c : dump) w.u8(uint8_t(c));
}

bool readDump(Reader& r, std::string& dump) {
    uint32_t n = r.var();
    if (!r.ok || n > MAX_DUMP) return false;
    dump.clear();
    for (uint32_t i = 0; i < n; i++) {
        uint8_t c = r.u8();
        if (c != '\n' && (c < 0x20 || c > 0x7E)) return false;  // printable lines only
        dump.push_back(char(c));
    }
    return r.ok;
}

// A machine's name: printable characters, spaces too.
void writeName(Writer& w, const std::string& name) {
    w.u8(uint8_t(std::min(name.size(), MAX_NAME)));
    for (size_t i = 0; i < name.size() && i < MAX_NAME; i++) w.u8(uint8_t(name[i]));
}

bool readName(Reader& r, std::string& name) {
    uint8_t len = r.u8();
    if (len > MAX_NAME) return false;
    name.clear();
    for (int i = 0; i < len; i++) {
        uint8_t c = r.u8();
        if (c < 0x20 || c > 0x7E) return false;
        name.push_back(char(c));
    }
    return r.ok;
}

// A LOOK's zeros, up to LOOK_SIZE with the checksum.
void writeRoom(Writer& w) {
    while (w.b.size() + 4 < LOOK_SIZE) w.u8(0);
}

bool readRoom(Reader& r) {
    while (r.ok && r.at < r.n)
        if (r.u8() != 0) return false;
    return r.ok && r.n + 4 == LOOK_SIZE;
}

bool readBody(Reader& r, Message& m) {
    switch (m.kind) {
    case MSG_HELLO:
        m.protocol = r.u8();
        return readVersion(r, m.version);
    case MSG_LOOK:
        m.protocol = r.u8();
        return readVersion(r, m.version) && readRoom(r);
    case MSG_HERE:
        m.protocol = r.u8();
        return readVersion(r, m.version) && readName(r, m.name);
    case MSG_REFUSE:
        return readVersion(r, m.version);
    case MSG_PROBE:
    case MSG_ECHO:
        m.seq = r.u8();
        m.stamp = r.u32();
        return r.ok;
    case MSG_START:
        m.seed = r.u32();
        m.delay = r.u8();
        m.budget = r.u8();
        return r.ok && m.delay <= 60 && m.budget >= 1 && m.budget <= 100;
    case MSG_INPUT:
        return readInputs(r, m);
    case MSG_HASH:
        m.pass = r.var();
        m.hash = r.u32();
        return r.ok && m.pass < MAX_PASS;
    case MSG_DESYNC:
        m.pass = r.var();
        m.hash = r.u32();
        return readDump(r, m.dump) && m.pass < MAX_PASS;
    }
    return false;
}

}  // namespace

std::vector<uint8_t> encodeMessage(const Message& m) {
    Writer w;
    w.u8(MARK);
    w.u8(m.kind);
    switch (m.kind) {
    case MSG_HELLO: w.u8(m.protocol), writeVersion(w, m.version); break;
    case MSG_LOOK: w.u8(m.protocol), writeVersion(w, m.version), writeRoom(w); break;
    case MSG_HERE: w.u8(m.protocol), writeVersion(w, m.version), writeName(w, m.name); break;
    case MSG_REFUSE: writeVersion(w, m.version); break;
    case MSG_PROBE:
    case MSG_ECHO: w.u8(m.seq), w.u32(m.stamp); break;
    case MSG_START: w.u32(m.seed), w.u8(m.delay), w.u8(m.budget); break;
    case MSG_INPUT: writeInputs(w, m); break;
    case MSG_HASH: w.var(m.pass), w.u32(m.hash); break;
    case MSG_DESYNC: w.var(m.pass), w.u32(m.hash), writeDump(w, m.dump); break;
    }
    w.u32(crcOf(w.b.data(), w.b.size()));
    return w.b;
}

bool decodeMessage(const uint8_t* data, size_t n, Message& out) {
    if (!data || n < 6 || data[0] != MARK) return false;
    uint32_t sum = 0;
    for (int i = 0; i < 4; i++) sum |= uint32_t(data[n - 4 + i]) << (8 * i);
    if (sum != crcOf(data, n - 4)) return false;
    Reader r{data, n - 4};
    r.u8();
    out.kind = MsgKind(r.u8());
    return readBody(r, out) && r.ok && r.at == r.n;
}
