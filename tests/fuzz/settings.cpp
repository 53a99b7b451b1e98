// settings.cpp (fuzz): the player's settings file, as the game reads it at start. Whatever it holds, what was read
// is written back as text that reads again to the same settings, unknown lines and all, and nothing read is
// outside what the game can use.
#include "fuzz.h"
#include "shell/settings.h"

#include <string>

static bool same(const Settings& a, const Settings& b) {
    for (int c = 0; c < COWBOYS; c++)
        for (int k = 0; k < ACTIONS; k++)
            for (int j = 0; j < KEYS_EACH; j++)
                if (a.keys[c][k][j] != b.keys[c][k][j]) return false;
    return a.music == b.music && a.sounds == b.sounds && a.fullScreen == b.fullScreen && a.unknown == b.unknown;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
    std::string text(reinterpret_cast<const char*>(data), n);
    std::vector<int> damaged, again;
    Settings base = defaultSettings(false);
    Settings read = parseSettings(text, base, damaged);
    FUZZ_CHECK(read.music >= 0 && read.music <= LOUDEST && read.sounds >= 0 && read.sounds <= LOUDEST);
    for (int line : damaged) FUZZ_CHECK(line >= 1 && size_t(line) <= n + 1);
    Settings back = parseSettings(settingsText(read), base, again);
    FUZZ_CHECK(again.empty());  // what the game writes it reads whole
    FUZZ_CHECK(same(read, back));
    return 0;
}
