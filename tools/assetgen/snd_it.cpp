// snd_it.cpp: writes an Impulse Tracker module the way both libmikmod and libopenmpt read it.
#include "snd_it.h"

#include <cstring>

static const int kHeaderSize = 0xC0;
static const int kSampleHeaderSize = 0x50;
static const int kTrackerVersion = 0x0214;  // signed samples need 0x200 or more; filters begin at 0x216

static void put8(std::vector<uint8_t>& b, int v) { b.push_back((uint8_t)v); }
static void put16(std::vector<uint8_t>& b, int v) {
    put8(b, v & 255);
    put8(b, (v >> 8) & 255);
}
static void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
static void poke32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}
// A fixed-size text field, zero padded; the last byte always stays zero.
static void putText(std::vector<uint8_t>& b, const std::string& s, size_t size) {
    for (size_t i = 0; i < size; i++) put8(b, i + 1 < size && i < s.size() ? s[i] : 0);
}

static void putHeader(std::vector<uint8_t>& b, const ItModule& m) {
    b.insert(b.end(), {'I', 'M', 'P', 'M'});
    putText(b, m.name.substr(0, 25), 26);  // libmikmod reads a 26th byte as a voice limit
    put8(b, 4);                            // row highlight: a beat is 4 rows,
    put8(b, 16);                           // a bar 16
    put16(b, (int)m.orders.size() + 1);
    put16(b, 0);                           // no instruments: samples are played directly
    put16(b, (int)m.samples.size());
    put16(b, (int)m.patterns.size());
    put16(b, kTrackerVersion);
    put16(b, kTrackerVersion);
    put16(b, 1 | 8);                       // stereo, linear slides
    put16(b, 0);                           // no song message
    put8(b, m.globalVolume);
    put8(b, m.mixVolume);
    put8(b, m.speed);
    put8(b, m.tempo);
    put8(b, 128);                          // full stereo separation
    put8(b, 0);
    put16(b, 0);
    put32(b, 0);
    put32(b, 0);
    for (int c = 0; c < 64; c++) put8(b, c < m.channels ? 32 : 32 + 128);  // unused channels are off
    for (int c = 0; c < 64; c++) put8(b, 64);
}

static void putSampleHeader(std::vector<uint8_t>& b, const ItSample& s, uint32_t dataAt) {
    b.insert(b.end(), {'I', 'M', 'P', 'S'});
    putText(b, "", 12);
    put8(b, 0);
    put8(b, 64);                                  // sample global volume
    put8(b, 1 | 2 | (s.loopEnd > 0 ? 16 : 0));    // has data, 16-bit, looped
    put8(b, s.volume);
    putText(b, s.name.substr(0, 25), 26);
    put8(b, 1);                                   // signed data
    put8(b, 0x80 | s.pan);                        // default pan, used
    put32(b, (uint32_t)s.data.size());
    put32(b, s.loopBegin);
    put32(b, s.loopEnd);
    put32(b, s.c5speed);
    put32(b, 0);
    put32(b, 0);
    put32(b, dataAt);
    put32(b, 0);                                  // no auto-vibrato
}

// Packs one pattern. Every channel's first cell in the pattern, and in fact every cell, carries its own mask
// byte and all its values: some players keep packing memory from the previous pattern.
static void putPattern(std::vector<uint8_t>& b, const ItPattern& p) {
    std::vector<uint8_t> packed;
    for (int r = 0; r < p.rows; r++) {
        for (int c = 0; c < p.channels; c++) {
            const ItCell& e = p.cells[r * p.channels + c];
            int mask = (e.note >= 0 ? 1 : 0) | (e.sample > 0 ? 2 : 0) | (e.volume >= 0 ? 4 : 0) |
                       (e.command > 0 ? 8 : 0);
            if (!mask) continue;
            put8(packed, 0x80 | (c + 1));
            put8(packed, mask);
            if (mask & 1) put8(packed, e.note);
            if (mask & 2) put8(packed, e.sample);
            if (mask & 4) put8(packed, e.volume);
            if (mask & 8) {
                put8(packed, e.command);
                put8(packed, e.param);
            }
        }
        put8(packed, 0);
    }
    put16(b, (int)packed.size());
    put16(b, p.rows);
    put32(b, 0);
    b.insert(b.end(), packed.begin(), packed.end());
}

std::vector<uint8_t> itBytes(const ItModule& m) {
    std::vector<uint8_t> b;
    putHeader(b, m);
    for (int o : m.orders) put8(b, o);
    put8(b, 255);
    size_t sampleTable = b.size();
    b.resize(b.size() + 4 * (m.samples.size() + m.patterns.size()), 0);
    size_t patternTable = sampleTable + 4 * m.samples.size();
    size_t headersAt = b.size();
    b.resize(headersAt + kSampleHeaderSize * m.samples.size(), 0);  // filled once the data places are known
    for (size_t i = 0; i < m.patterns.size(); i++) {
        poke32(b, patternTable + 4 * i, (uint32_t)b.size());
        putPattern(b, m.patterns[i]);
    }
    for (size_t i = 0; i < m.samples.size(); i++) {
        std::vector<uint8_t> h;
        putSampleHeader(h, m.samples[i], (uint32_t)b.size());
        memcpy(&b[headersAt + kSampleHeaderSize * i], h.data(), h.size());
        poke32(b, sampleTable + 4 * i, (uint32_t)(headersAt + kSampleHeaderSize * i));
        for (int16_t v : m.samples[i].data) put16(b, (uint16_t)v);
    }
    return b;
}

double itSeconds(const ItModule& m) {
    long rows = 0;
    for (int o : m.orders) rows += m.patterns[o].rows;
    return rows * m.speed * 2.5 / m.tempo;
}
