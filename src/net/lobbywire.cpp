// lobbywire.cpp: the lobby's datagrams: a mark, the version, the kind, the fields, zeros up to a fixed size and a
// CRC-32 of it all; and invite codes as players type them.
#include "lobbywire.h"

#include <zlib.h>

#include <cstring>

static const uint8_t MARK = 0x4C;  // 'L'
static const char DIGITS[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";

namespace {

struct Out {
    std::vector<uint8_t> b;
    void put(uint64_t v, int bytes) {
        for (int i = 0; i < bytes; i++) b.push_back(uint8_t(v >> (8 * i)));
    }
};

struct In {
    const uint8_t* p;
    size_t n, at = 0;
    bool ok = true;
    uint64_t get(int bytes) {
        uint64_t v = 0;
        for (int i = 0; i < bytes; i++) {
            if (at >= n) return ok = false, 0;
            v |= uint64_t(p[at++]) << (8 * i);
        }
        return v;
    }
};

uint32_t crcOf(const uint8_t* d, size_t n) { return uint32_t(crc32(crc32(0L, Z_NULL, 0), d, uInt(n))); }

void putCandidates(Out& o, const std::vector<Candidate>& cands) {
    o.put(cands.size(), 1);
    for (const Candidate& c : cands) o.put(c.kind, 1), o.put(c.at.ip, 4), o.put(c.at.port, 2);
}

bool getCandidates(In& in, std::vector<Candidate>& cands) {
    size_t count = in.get(1);
    if (count > size_t(MAX_CANDIDATES)) return false;
    cands.assign(count, Candidate{});
    for (Candidate& c : cands) {
        uint8_t kind = uint8_t(in.get(1));
        c.at.ip = uint32_t(in.get(4));
        c.at.port = uint16_t(in.get(2));
        if (kind < CAND_LAN || kind > CAND_MAPPED || !c.at.ip || !c.at.port) return false;
        c.kind = CandidateKind(kind);
    }
    return in.ok;
}

void putBody(Out& o, const LobbyMsg& m) {
    switch (m.kind) {
    case LOBBY_HOST:
        o.put(m.id, 8), o.put(m.busy, 1), putCandidates(o, m.cands), o.put(m.known, 1), o.put(m.code, 4);
        break;
    case LOBBY_CODE: o.put(m.id, 8), o.put(m.code, 4), o.put(m.seen.ip, 4), o.put(m.seen.port, 2), o.put(m.web, 2);
        o.put(m.udp, 2);
        break;
    case LOBBY_JOIN: o.put(m.code, 4), o.put(m.id, 8), o.put(m.token, 8), putCandidates(o, m.cands); break;
    case LOBBY_WAIT: o.put(m.id, 8), o.put(m.token, 8); break;
    case LOBBY_REFUSE: o.put(m.code, 4), o.put(m.reason, 1); break;
    case LOBBY_PEER: o.put(m.token, 8), o.put(m.web, 2), o.put(m.udp, 2), o.put(m.page, 1), putCandidates(o, m.cands); break;
    case LOBBY_READY:
    case LOBBY_RELAY:
    case LOBBY_RELAYING: o.put(m.token, 8); break;
    case LOBBY_PUNCH: o.put(m.token, 8), o.put(m.joiner, 1), o.put(m.answer, 1), o.put(m.index, 1); break;
    }
}

bool getBody(In& in, LobbyMsg& m) {
    switch (m.kind) {
    case LOBBY_HOST:
        m.id = in.get(8), m.busy = uint8_t(in.get(1));
        if (m.busy > 1 || !getCandidates(in, m.cands)) return false;
        m.known = uint8_t(in.get(1)), m.code = uint32_t(in.get(4));
        return m.known <= 1 && m.code < CODE_COUNT && (m.known || !m.code);
    case LOBBY_CODE:
        m.id = in.get(8), m.code = uint32_t(in.get(4)), m.seen.ip = uint32_t(in.get(4)), m.seen.port = uint16_t(in.get(2));
        m.web = uint16_t(in.get(2)), m.udp = uint16_t(in.get(2));
        return m.code < CODE_COUNT;
    case LOBBY_JOIN:
        m.code = uint32_t(in.get(4)), m.id = in.get(8), m.token = in.get(8);
        return m.code < CODE_COUNT && getCandidates(in, m.cands);
    case LOBBY_WAIT: m.id = in.get(8), m.token = in.get(8); return true;
    case LOBBY_REFUSE:
        m.code = uint32_t(in.get(4)), m.reason = uint8_t(in.get(1));
        return m.code < CODE_COUNT && m.reason >= REFUSE_NO_CODE && m.reason <= REFUSE_NO_RELAY;
    case LOBBY_PEER:
        m.token = in.get(8), m.web = uint16_t(in.get(2)), m.udp = uint16_t(in.get(2)), m.page = uint8_t(in.get(1));
        return m.page <= 2 && getCandidates(in, m.cands);
    case LOBBY_READY:
    case LOBBY_RELAY:
    case LOBBY_RELAYING: m.token = in.get(8); return true;
    case LOBBY_PUNCH:
        m.token = in.get(8), m.joiner = uint8_t(in.get(1)), m.answer = uint8_t(in.get(1)), m.index = uint8_t(in.get(1));
        return m.joiner <= 1 && m.answer <= 1 && m.index < MAX_CANDIDATES;
    }
    return false;
}

}  // namespace

std::string endpointText(const Endpoint& e) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) s += std::to_string((e.ip >> shift) & 0xFF) + (shift ? "." : "");
    return s + ":" + std::to_string(e.port);
}

std::vector<uint8_t> encodeLobby(const LobbyMsg& m) {
    Out o;
    o.put(MARK, 1), o.put(LOBBY_PROTOCOL, 1), o.put(m.kind, 1);
    putBody(o, m);
    o.b.resize(LOBBY_DATAGRAM - 4, 0);
    o.put(crcOf(o.b.data(), o.b.size()), 4);
    return o.b;
}

bool decodeLobby(const uint8_t* data, size_t n, LobbyMsg& out) {
    if (!data || n != LOBBY_DATAGRAM || data[0] != MARK || data[1] != LOBBY_PROTOCOL) return false;
    In sum{data + n - 4, 4};
    if (uint32_t(sum.get(4)) != crcOf(data, n - 4)) return false;
    In in{data, n - 4, 2};
    out = LobbyMsg{};
    out.kind = LobbyKind(in.get(1));
    if (!getBody(in, out) || !in.ok) return false;
    for (size_t i = in.at; i < in.n; i++)
        if (data[i]) return false;
    return true;
}

std::string codeText(uint32_t code, bool spaced) {
    std::string s = "+";
    for (int i = 5; i >= 0; i--) {
        s += DIGITS[(code >> (5 * i)) & 31];
        if (spaced && i == 3) s += ' ';
    }
    return s;
}

bool parseCode(const std::string& typed, uint32_t& code) {
    size_t at = typed.find_first_not_of(' ');
    if (at == std::string::npos || typed[at] != '+') return false;
    uint32_t v = 0;
    int digits = 0;
    for (size_t i = at + 1; i < typed.size(); i++) {
        char c = typed[i];
        if (c == ' ') continue;
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        if (c == 'O') c = '0';
        if (c == 'I' || c == 'L') c = '1';
        const char* d = c ? std::strchr(DIGITS, c) : nullptr;
        if (!d || ++digits > 6) return false;
        v = v << 5 | uint32_t(d - DIGITS);
    }
    if (digits != 6) return false;
    code = v;
    return true;
}

uint32_t tokenFold(uint64_t token) {
    uint32_t f = uint32_t(token) ^ uint32_t(token >> 32);
    return f ? f : 1;
}
