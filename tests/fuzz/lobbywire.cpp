// lobbywire.cpp (fuzz): the lobby's datagram as korvado_net and korvado_lobby read it, and an invite code as a
// player types it. The first byte chooses: bit 1 a typed code, else a datagram, sealed with its checksum when
// bit 0 is set.
#include "fuzz.h"

#include <string>

static void typedCode(const uint8_t* data, size_t n, bool spaced) {
    uint32_t code = 0, back = 0;
    if (!parseCode(std::string(reinterpret_cast<const char*>(data), n), code)) return;
    FUZZ_CHECK(code < CODE_COUNT);
    FUZZ_CHECK(parseCode(codeText(code, spaced), back) && back == code);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
    if (n == 0) return 0;
    uint8_t mode = data[0];
    if (mode & 2) return typedCode(data + 1, n - 1, mode & 4), 0;
    std::vector<uint8_t> d(data + 1, data + n);
    if (mode & 1) d = sealLobby(d);
    LobbyMsg m;
    if (!decodeLobby(d.data(), d.size(), m)) return 0;
    FUZZ_CHECK(m.cands.size() <= size_t(MAX_CANDIDATES));
    FUZZ_CHECK(encodeLobby(m) == d);  // one message, one way to write it
    return 0;
}
