// snd_instruments.cpp: synthesizes the saloon band's instruments as tracker samples.
#include "snd_instruments.h"
#include "snd_dsp.h"

#include <cmath>

static const int kRate = 44100;
static const double kMiddleC = 261.6256;

// Turns a wave recorded at pitch hz into a sample that plays middle C on note C-5.
static ItSample toSample(const char* name, Wave w, double hz, int pan) {
    scaleTo(w, 0.9f);
    ItSample s;
    s.name = name;
    s.c5speed = (uint32_t)lround(kRate * kMiddleC / hz);
    s.pan = pan;
    for (float v : w) s.data.push_back((int16_t)lrintf(v * 32767.0f));
    return s;
}

// Noise that repeats every `period` samples, band-limited, for breath inside a looped tone.
static Wave loopedBreath(size_t period, double hz, uint32_t seed) {
    Noise n(seed);
    Wave w(period * 2);
    for (size_t i = 0; i < period; i++) w[i] = w[i + period] = n.white();
    biquad(w, BANDPASS, hz, 0.9, kRate);  // the second lap has settled into the repeating shape
    return Wave(w.begin() + period, w.end());
}

ItSample guitarSample() {
    const int period = 200;  // with the averaging filter the string sounds at 44100 / 200.5 Hz
    Noise n(101);
    Wave w((size_t)(kRate * 1.6), 0.0f);
    float soft = 0;
    for (int i = 0; i < period; i++) w[i] = soft = soft * 0.5f + n.white() * 0.5f;  // a soft nylon pluck
    w[period] = 0.996f * w[0];
    for (size_t i = period + 1; i < w.size(); i++) w[i] = 0.996f * 0.5f * (w[i - period] + w[i - period - 1]);
    Wave body = w;
    biquad(body, BANDPASS, 105, 2.0, kRate);  // the hollow of the guitar
    mixInto(w, body, 0, 0.6f);
    biquad(w, HIGHPASS, 60, 0.7, kRate);
    fadeEdges(w, kRate, 1, 250);
    return toSample("Nylon guitar", w, kRate / (period + 0.5), 22);
}

ItSample bassSample() {
    const double hz = 55;  // recorded as A-1
    Noise n(102);
    Wave w((size_t)(kRate * 1.5), 0.0f);
    for (int k = 1; k <= 10; k++) {  // each harmonic dies away faster than the one below it
        double amp = pow(k, -1.2), fall = exp(-(0.7 + 0.9 * (k - 1)) / kRate);
        for (size_t i = 0; i < w.size(); i++, amp *= fall) w[i] += (float)(amp * sin(2 * kPi * hz * k * i / kRate));
    }
    for (size_t i = 0; i < w.size(); i++) w[i] *= (float)(1 - exp(-(double)i / kRate / 0.004));
    Wave thump(w.size());
    for (size_t i = 0; i < w.size(); i++) thump[i] = n.white() * (float)exp(-(double)i / kRate / 0.012);
    biquad(thump, LOWPASS, 700, 0.7, kRate);
    mixInto(w, thump, 0, 0.5f);
    fadeEdges(w, kRate, 0, 300);
    return toSample("Upright bass", w, hz, 32);
}

ItSample whistleSample() {
    const int period = 50, cycles = 166;     // 882 Hz; the vibrato repeats every 166 cycles (5.3 Hz)
    const size_t loop = period * cycles;     // so the loop holds whole cycles of both
    const double hz = (double)kRate / period, vibHz = (double)kRate / loop;
    Wave breath = loopedBreath(loop, 2200, 103);
    Wave w(loop * 3);
    for (size_t i = 0; i < w.size(); i++) {
        double t = (double)i / kRate, grow = fmin(1.0, t * kRate / loop);
        double scoop = -2 * kPi * 0.03 * hz * 0.02 * (1 - exp(-t / 0.02));  // slides up into the note
        double ph = 2 * kPi * hz * t + scoop + 2.2 * grow * sin(2 * kPi * vibHz * t);
        double amp = (1 - exp(-t / 0.025)) * (1 + 0.3 * exp(-t / 0.06));
        double tone = sin(ph) + 0.06 * sin(2 * ph) + 0.02 * sin(3 * ph);
        w[i] = (float)(amp * tone + breath[i % loop] * (0.25 + 1.5 * exp(-t / 0.04)));
    }
    ItSample s = toSample("Whistle", w, hz, 40);
    s.loopBegin = (uint32_t)(loop * 2);
    s.loopEnd = (uint32_t)(loop * 3);
    return s;
}

// A harmonica reed's harmonics: strong low ones and a nasal bump near 1.3 kHz, nothing above 8 kHz.
static std::vector<double> reedHarmonics(double hz) {
    std::vector<double> amps;
    for (int k = 1; k * hz < 8000; k++) {
        double f = k * hz;
        double shape = 1 + 2.0 * exp(-pow((f - 1300) / 500, 2)) + 0.8 * exp(-pow((f - 2600) / 700, 2));
        amps.push_back(pow(k, -0.8) * shape);
    }
    return amps;
}

static double reed(double phase, const std::vector<double>& amps) {
    double v = 0;
    for (size_t k = 0; k < amps.size(); k++) v += amps[k] * sin((k + 1) * phase);
    return v;
}

ItSample harmonicaSample() {
    const int period = 100, cycles = 88;  // 441 Hz; the second reed fits 89 cycles in the same loop
    const size_t loop = period * cycles;  // and beats against the first five times a second
    const double hz = (double)kRate / period, hz2 = hz * (cycles + 1) / cycles;
    Wave breath = loopedBreath(loop, 1600, 104);
    std::vector<double> reed1 = reedHarmonics(hz), reed2 = reedHarmonics(hz2);
    Wave w(loop * 3);
    for (size_t i = 0; i < w.size(); i++) {
        double t = (double)i / kRate;
        double bend = -2 * kPi * 0.04 * 0.03 * (1 - exp(-t / 0.03));  // a small draw bend at the start
        double amp = (1 - exp(-t / 0.02)) * (1 + 0.2 * exp(-t / 0.08));
        double v = reed(2 * kPi * hz * t + bend * hz, reed1) + 0.6 * reed(2 * kPi * hz2 * t + bend * hz2, reed2);
        w[i] = (float)(amp * v * 0.2 + breath[i % loop] * (0.1 + 0.8 * exp(-t / 0.05)));
    }
    ItSample s = toSample("Harmonica", w, hz, 44);
    s.loopBegin = (uint32_t)(loop * 2);
    s.loopEnd = (uint32_t)(loop * 3);
    return s;
}

ItSample kickSample() {
    Noise n(105);
    Wave w((size_t)(kRate * 0.4));
    double phase = 0;
    for (size_t i = 0; i < w.size(); i++) {
        double t = (double)i / kRate;
        phase += 2 * kPi * (50 + 90 * exp(-t / 0.04)) / kRate;
        w[i] = (float)(sin(phase) * exp(-t / 0.15) + n.white() * 0.3 * exp(-t / 0.003));
    }
    biquad(w, LOWPASS, 4000, 0.7, kRate);
    fadeEdges(w, kRate, 0, 50);
    return toSample("Drum", w, kMiddleC, 32);
}

ItSample snareSample() {
    Noise n(106);
    Wave hiss((size_t)(kRate * 0.3)), tone(hiss.size());
    for (size_t i = 0; i < hiss.size(); i++) {
        double t = (double)i / kRate;
        hiss[i] = n.white() * (float)((1 - exp(-t / 0.004)) * exp(-t / 0.07));
        tone[i] = (float)(sin(2 * kPi * 190 * t) * exp(-t / 0.04));
    }
    biquad(hiss, BANDPASS, 2800, 0.6, kRate);
    mixInto(hiss, tone, 0, 0.25f);
    fadeEdges(hiss, kRate, 0, 40);
    return toSample("Brush", hiss, kMiddleC, 30);
}

ItSample shakerSample() {
    Noise n(107);
    Wave w((size_t)(kRate * 0.12));
    for (size_t i = 0; i < w.size(); i++) {
        double t = (double)i / kRate;
        w[i] = n.white() * (float)((1 - exp(-t / 0.012)) * exp(-t / 0.03));
    }
    biquad(w, HIGHPASS, 5000, 0.7, kRate);
    fadeEdges(w, kRate, 0, 20);
    return toSample("Shaker", w, kMiddleC, 18);
}

ItSample hoofSample() {
    Noise n(108);
    Wave click((size_t)(kRate * 0.1), 0.0f);
    for (size_t i = 0; i < 90; i++) click[i] = n.white() * (1 - i / 90.0f);
    Wave lo = click, hi = click;
    biquad(lo, BANDPASS, 1100, 7, kRate);  // the two halves of a coconut shell knocked together
    biquad(hi, BANDPASS, 2300, 9, kRate);
    mixInto(lo, hi, 0, 0.6f);
    mixInto(lo, click, 0, 0.05f);
    fadeEdges(lo, kRate, 0, 30);
    return toSample("Hoof", lo, kMiddleC, 44);
}
