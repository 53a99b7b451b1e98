// packet.cpp (fuzz): a datagram of korvado_net's sessions as the other player's program reads it. The first byte
// chooses whether the rest is sealed with its checksum (bit 0) before it is read.
#include "fuzz.h"
#include "net/packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
    if (n == 0) return 0;
    std::vector<uint8_t> d(data + 1, data + n);
    if ((data[0] & 1) && d.size() >= 6) fuzzPut32(&d[d.size() - 4], fuzzCrc(d.data(), d.size() - 4));
    Message m;
    if (!decodeMessage(d.data(), d.size(), m)) return 0;
    if (m.kind == MSG_INPUT) FUZZ_CHECK(!m.inputs.empty() && m.inputs.size() <= size_t(MAX_RECORDS));
    FUZZ_CHECK(m.dump.size() <= MAX_DUMP && m.version.size() <= 15);
    FUZZ_CHECK(encodeMessage(m) == d);  // one message, one way to write it
    return 0;
}
