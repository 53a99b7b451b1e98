// snd_it.h: an Impulse Tracker module in memory and its writer (sample mode, 16-bit signed samples).
#ifndef KORVADO_SND_IT_H
#define KORVADO_SND_IT_H

#include <cstdint>
#include <string>
#include <vector>

struct ItSample {
    std::string name;            // up to 25 characters
    std::vector<int16_t> data;   // mono, signed
    uint32_t c5speed;            // playback rate of note C-5 (middle C)
    uint32_t loopBegin = 0;      // loop in samples, end exclusive; no loop when loopEnd is 0
    uint32_t loopEnd = 0;
    int volume = 64;             // default volume 0..64
    int pan = 32;                // default pan 0 (left) .. 64 (right)
};

// One cell of a pattern. Fields left at -1 are not written.
struct ItCell {
    int note = -1;     // 0..119, C-5 = 60 (as MIDI), 255 note off
    int sample = -1;   // 1..99
    int volume = -1;   // 0..64
    int command = -1;  // 1 = A ... 26 = Z
    int param = 0;
};

struct ItPattern {
    int rows;
    int channels;
    std::vector<ItCell> cells;  // rows * channels, row by row
    ItPattern(int r, int c) : rows(r), channels(c), cells(r * c) {}
    ItCell& at(int row, int ch) { return cells[row * channels + ch]; }
};

struct ItModule {
    std::string name;         // up to 25 characters
    int speed = 6;            // ticks a row
    int tempo = 125;          // beats a minute of the tracker's clock: a tick lasts 2.5 / tempo seconds
    int globalVolume = 128;   // 0..128
    int mixVolume = 48;       // 0..128
    int channels = 4;
    std::vector<ItSample> samples;
    std::vector<ItPattern> patterns;
    std::vector<int> orders;  // pattern numbers; the writer adds the end mark 255
};

// The module as the bytes of an .it file.
std::vector<uint8_t> itBytes(const ItModule& m);
// How long the order list plays once, in seconds, while no cell changes speed or tempo.
double itSeconds(const ItModule& m);

#endif
