// snd_dsp.h: small sound tools shared by the effects and the music: buffers, noise, filters, echo, WAV files.
#ifndef KORVADO_SND_DSP_H
#define KORVADO_SND_DSP_H

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<float> Wave;  // mono samples, full scale is -1..1

const double kPi = 3.14159265358979323846;

// A tiny seeded noise source, so every run makes the same bytes.
struct Noise {
    uint32_t s;
    explicit Noise(uint32_t seed) : s(seed ? seed : 1) {}
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    float white() { return (next() >> 8) * (2.0f / 16777216.0f) - 1.0f; }  // -1..1
};

// A two-pole resonant filter (RBJ biquad) run over a whole wave.
enum FilterKind { LOWPASS, HIGHPASS, BANDPASS };
void biquad(Wave& w, FilterKind kind, double hz, double q, int rate);
// A biquad whose centre moves from hz0 to hz1 (exponentially) over the wave.
void sweptBiquad(Wave& w, FilterKind kind, double hz0, double hz1, double q, int rate);

float peakOf(const Wave& w);
void scaleTo(Wave& w, float peak);  // scales the wave so that its largest sample is peak
void fadeEdges(Wave& w, int rate, double inMs, double outMs);
// Adds delayed copies: a slapback off the shop fronts across the street.
void addEcho(Wave& w, int rate, double delayMs, float gain, int repeats);
// A short room of comb and all-pass filters; wet is the share of the reverberated sound.
void addReverb(Wave& w, int rate, double roomMs, float decay, float wet);
// Reads the wave faster (ratio > 1) or slower; ratio may change along the wave (one value per output sample
// is too many, so it is given at n points spread evenly).
Wave resampleCurve(const Wave& w, const std::vector<double>& ratios);
Wave resample(const Wave& w, double ratio);
// Soft saturation that keeps loud peaks round instead of clipped.
void softClip(Wave& w, float drive);
void mixInto(Wave& dst, const Wave& src, size_t at, float gain);

// Writes 16-bit PCM WAV, mono; exits with a message if the file cannot be written.
void writeWav(const std::string& path, const Wave& w, int rate);

#endif
