// stun.cpp: binding requests and their answers, as RFC 8489 lays them out; a plain function over bytes.
#include "lobby/stun.h"

namespace {

const uint32_t MAGIC = 0x2112A442;
const uint16_t BINDING_REQUEST = 0x0001, BINDING_SUCCESS = 0x0101, XOR_MAPPED_ADDRESS = 0x0020;

uint32_t be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t be32(const uint8_t* p) { return be16(p) << 16 | be16(p + 2); }

void put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(uint8_t(x >> 8));
    v.push_back(uint8_t(x));
}

void put32(std::vector<uint8_t>& v, uint32_t x) {
    put16(v, x >> 16);
    put16(v, x & 0xFFFF);
}

// The attributes after the header: each a type, a length and its value padded to four bytes, ending exactly.
bool wellFormedAttributes(const uint8_t* p, size_t n) {
    size_t at = 0;
    while (at < n) {
        if (n - at < 4) return false;
        size_t len = (be16(p + at + 2) + 3) & ~size_t(3);
        if (n - at - 4 < len) return false;
        at += 4 + len;
    }
    return true;
}

}  // namespace

bool stunBindingAnswer(const uint8_t* req, size_t n, const Endpoint& from, std::vector<uint8_t>& answer) {
    if (n < STUN_HEADER || n > 548 || be16(req) != BINDING_REQUEST || be32(req + 4) != MAGIC) return false;
    size_t length = be16(req + 2);
    if (length != n - STUN_HEADER || length % 4 || !wellFormedAttributes(req + STUN_HEADER, length)) return false;
    answer.clear();
    put16(answer, BINDING_SUCCESS);
    put16(answer, 12);
    put32(answer, MAGIC);
    answer.insert(answer.end(), req + 8, req + STUN_HEADER);  // the transaction id
    put16(answer, XOR_MAPPED_ADDRESS);
    put16(answer, 8);
    put16(answer, 0x0001);  // IPv4
    put16(answer, from.port ^ (MAGIC >> 16));
    put32(answer, from.ip ^ MAGIC);
    return true;
}
