// demo.cpp (fuzz): a demo file as --playdemo and --timedemo read it (loadDemo, from a file). What it takes is a
// demo this program plays, its passes within what the game expects, and written again it reads the same.
#include "fuzz.h"
#include "demo/demo.h"

#include <sys/mman.h>
#include <unistd.h>

#include <string>

namespace {

int file = -1;
std::string path;

bool samePass(const DemoPass& a, const DemoPass& b) {
    return a.red == b.red && a.blue == b.blue && a.extra == b.extra && a.timed == b.timed &&
           (!(a.extra & DEMO_RESET) || a.seed == b.seed);
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
    if (file < 0) {  // a file in memory, which the reader opens by its name
        file = memfd_create("demo", 0);
        FUZZ_CHECK(file >= 0);
        path = "/proc/self/fd/" + std::to_string(file);
    }
    FUZZ_CHECK(ftruncate(file, 0) == 0 && pwrite(file, data, n, 0) == ssize_t(n));
    Demo d, again;
    std::string why;
    if (!loadDemo(path, d)) return 0;
    FUZZ_CHECK(editionPlays(d.edition) && d.version == DEMO_GAME_VERSION);
    checkPasses(d, n);
    FUZZ_CHECK(decodeDemo(encodeDemo(d), again, why));
    FUZZ_CHECK(again.seed == d.seed && again.edition == d.edition && again.passes.size() == d.passes.size());
    for (size_t i = 0; i < d.passes.size(); i++) FUZZ_CHECK(samePass(d.passes[i], again.passes[i]));
    return 0;
}
