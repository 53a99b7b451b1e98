// stun.cpp (fuzz): a datagram at the lobby's UDP port as its STUN side reads it. The first six bytes are the
// sender's address and port. Whatever comes, the lobby answers only a binding request, with one answer of a fixed
// size that carries the request's transaction id and tells the sender his own address.
#include "fuzz.h"
#include "lobby/stun.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
    if (n < 6) return 0;
    Endpoint from;
    from.ip = uint32_t(data[0]) << 24 | uint32_t(data[1]) << 16 | uint32_t(data[2]) << 8 | data[3];
    from.port = uint16_t(data[4] << 8 | data[5]);
    const uint8_t* req = data + 6;
    size_t len = n - 6;
    std::vector<uint8_t> answer;
    if (!stunBindingAnswer(req, len, from, answer)) return 0;
    FUZZ_CHECK(len >= STUN_HEADER && answer.size() == STUN_ANSWER);
    FUZZ_CHECK(answer[0] == 0x01 && answer[1] == 0x01);  // a binding success
    FUZZ_CHECK(std::equal(req + 4, req + STUN_HEADER, answer.begin() + 4));  // the cookie and transaction id
    uint16_t port = uint16_t((answer[26] << 8 | answer[27]) ^ 0x2112);
    uint32_t ip = (uint32_t(answer[28]) << 24 | uint32_t(answer[29]) << 16 | uint32_t(answer[30]) << 8 | answer[31]) ^
                  0x2112A442u;
    FUZZ_CHECK(port == from.port && ip == from.ip);
    return 0;
}
