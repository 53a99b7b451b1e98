// stun.h: the lobby's answer to a STUN binding request (the address a request came from, as a page's WebRTC asks).
#ifndef KORVADO_LOBBY_STUN_H
#define KORVADO_LOBBY_STUN_H

#include <cstddef>
#include <cstdint>
#include <vector>
#include "net/lobbywire.h"

const size_t STUN_HEADER = 20;
const size_t STUN_ANSWER = 32;  // the header and one XOR-MAPPED-ADDRESS: 12 bytes more than the smallest request

// True for a well-formed binding request (its header, the magic cookie, attributes that fill its length exactly);
// `answer` then holds the success response telling `from`. Nothing else is ever answered.
bool stunBindingAnswer(const uint8_t* req, size_t n, const Endpoint& from, std::vector<uint8_t>& answer);

#endif
