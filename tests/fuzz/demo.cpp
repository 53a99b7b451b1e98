// demo.cpp (fuzz): a demo file as --playdemo and --timedemo read it (loadDemo, from a file). What it takes is a
// demo this program plays, its passes within what the game expects, and written again it reads the same. The
// first byte: bit 0 seals the header and every whole block of the file (the rest) with their checksums.
#include "fuzz.h"
#include "demo/demo.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace {

int file = -1;
std::string path;

bool samePass(const DemoPass& a, const DemoPass& b) {
    return a.red == b.red && a.blue == b.blue && a.extra == b.extra && a.timed == b.timed &&
           (!(a.extra & DEMO_RESET) || a.seed == b.seed);
}

// The header's checksum (of its first 20 bytes, at 20) and each block's (chained, after its payload).
void seal(std::vector<uint8_t>& b) {
    if (b.size() < 24) return;
    fuzzPut32(&b[20], fuzzCrc(b.data(), 20));
    uint32_t chain = fuzzCrc(b.data(), 20);
    for (size_t at = 24; at + 8 <= b.size();) {
        size_t len = b[at + 2] | b[at + 3] << 8;
        if (at + 8 + len > b.size()) return;
        chain = uint32_t(crc32(chain, &b[at], uInt(4 + len)));
        fuzzPut32(&b[at + 4 + len], chain);
        at += 8 + len;
    }
}

void checkPasses(const Demo& d, size_t bytes) {
    FUZZ_CHECK(d.passes.size() <= bytes);  // a byte a pass at least
    for (const DemoPass& p : d.passes) {
        FUZZ_CHECK(p.red.bits <= 0x7F && p.blue.bits <= (IN_UP | IN_DOWN | IN_LEFT | IN_RIGHT | IN_FIRE));
        FUZZ_CHECK(p.extra <= (DEMO_K | DEMO_CLOSE | DEMO_RESET) && (p.timed || p.red.dt == 0));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
    if (file < 0) {  // a file in memory (/dev/shm), which the reader opens by its name
        path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/korvado-fuzz-demo-" +
               std::to_string(getpid());
        file = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        FUZZ_CHECK(file >= 0);
        atexit([] { unlink(path.c_str()); });
    }
    if (n == 0) return 0;
    std::vector<uint8_t> b(data + 1, data + n);
    if (data[0] & 1) seal(b);
    FUZZ_CHECK(pwrite(file, b.data(), b.size(), 0) == ssize_t(b.size()) && ftruncate(file, off_t(b.size())) == 0);
    Demo d, again;
    std::string why;
    if (!loadDemo(path, d)) return 0;
    FUZZ_CHECK(editionPlays(d.edition) && d.version == DEMO_GAME_VERSION);
    checkPasses(d, b.size());
    FUZZ_CHECK(decodeDemo(encodeDemo(d), again, why));
    FUZZ_CHECK(again.seed == d.seed && again.edition == d.edition && again.passes.size() == d.passes.size());
    for (size_t i = 0; i < d.passes.size(); i++) FUZZ_CHECK(samePass(d.passes[i], again.passes[i]));
    return 0;
}
