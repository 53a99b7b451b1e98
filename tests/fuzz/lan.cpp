// lan.cpp (fuzz): a datagram at a waiting host's port, as his answer to a joiner's LOOK reads it, and at a
// joiner's socket, as his search for a host reads it. The first byte: bit 0 seals the rest with its checksum.
#include "fuzz.h"
#include "net/lan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
    if (n == 0) return 0;
    std::vector<uint8_t> d(data + 1, data + n);
    if ((data[0] & 1) && d.size() >= 6) fuzzPut32(&d[d.size() - 4], fuzzCrc(d.data(), d.size() - 4));
    std::vector<uint8_t> reply;
    std::string name = "duel-ranch.example-of-a-long-machine-name-as-hosts-have", heard;
    bool probe = lanAnswer(d.data(), d.size(), "2.2", name, reply);
    FUZZ_CHECK(reply.size() <= d.size());  // no answer larger than the probe
    FUZZ_CHECK(probe || reply.empty());
    if (!reply.empty()) FUZZ_CHECK(lanHost(reply.data(), reply.size(), heard) && name.compare(0, heard.size(), heard) == 0);
    FUZZ_CHECK(!(probe && lanHost(d.data(), d.size(), heard)));
    return 0;
}
