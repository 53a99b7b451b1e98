// snd_dsp.cpp: filters, echo, reverb, resampling and the WAV writer behind the game's sounds.
#include "snd_dsp.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

static void designBiquad(Biquad& f, FilterKind kind, double hz, double q, int rate) {
    double w0 = 2 * kPi * hz / rate, c = cos(w0), alpha = sin(w0) / (2 * q);
    double a0 = 1 + alpha;
    if (kind == LOWPASS) {
        f.b0 = (1 - c) / 2; f.b1 = 1 - c; f.b2 = (1 - c) / 2;
    } else if (kind == HIGHPASS) {
        f.b0 = (1 + c) / 2; f.b1 = -(1 + c); f.b2 = (1 + c) / 2;
    } else {
        f.b0 = alpha; f.b1 = 0; f.b2 = -alpha;
    }
    f.b0 /= a0; f.b1 /= a0; f.b2 /= a0;
    f.a1 = -2 * c / a0;
    f.a2 = (1 - alpha) / a0;
}

static float runBiquad(Biquad& f, float x) {
    double y = f.b0 * x + f.b1 * f.x1 + f.b2 * f.x2 - f.a1 * f.y1 - f.a2 * f.y2;
    f.x2 = f.x1; f.x1 = x;
    f.y2 = f.y1; f.y1 = y;
    return (float)y;
}

void biquad(Wave& w, FilterKind kind, double hz, double q, int rate) {
    Biquad f;
    designBiquad(f, kind, hz, q, rate);
    for (float& s : w) s = runBiquad(f, s);
}

void sweptBiquad(Wave& w, FilterKind kind, double hz0, double hz1, double q, int rate) {
    Biquad f;
    size_t n = w.size();
    for (size_t i = 0; i < n; i++) {
        if (i % 32 == 0) {
            double t = n > 1 ? (double)i / (n - 1) : 0;
            Biquad g = f;  // keep the filter's memory, change its tuning
            designBiquad(g, kind, hz0 * pow(hz1 / hz0, t), q, rate);
            f = g;
        }
        w[i] = runBiquad(f, w[i]);
    }
}

float peakOf(const Wave& w) {
    float p = 0;
    for (float s : w) p = fmaxf(p, fabsf(s));
    return p;
}

void scaleTo(Wave& w, float peak) {
    float p = peakOf(w);
    if (p <= 0) return;
    for (float& s : w) s *= peak / p;
}

void fadeEdges(Wave& w, int rate, double inMs, double outMs) {
    size_t in = (size_t)(inMs * rate / 1000), out = (size_t)(outMs * rate / 1000), n = w.size();
    for (size_t i = 0; i < in && i < n; i++) w[i] *= (float)i / in;
    for (size_t i = 0; i < out && i < n; i++) w[n - 1 - i] *= (float)i / out;
}

void addEcho(Wave& w, int rate, double delayMs, float gain, int repeats) {
    size_t d = (size_t)(delayMs * rate / 1000);
    Wave dry = w;
    w.resize(w.size() + d * repeats, 0.0f);
    float g = gain;
    for (int r = 1; r <= repeats; r++, g *= gain) {
        Wave soft = dry;
        biquad(soft, LOWPASS, 3000.0 / r, 0.7, rate);  // each bounce comes back duller
        mixInto(w, soft, d * r, g);
    }
}

// One comb filter of the reverb: a delay line fed back through a gentle low-pass.
static void combInto(const Wave& in, Wave& out, size_t delay, float fb, float damp) {
    Wave line(delay, 0.0f);
    float lp = 0;
    for (size_t i = 0; i < in.size(); i++) {
        float y = line[i % delay];
        lp = y * (1 - damp) + lp * damp;
        line[i % delay] = in[i] + lp * fb;
        out[i] += y;
    }
}

static void allpass(Wave& w, size_t delay, float g) {
    Wave line(delay, 0.0f);
    for (size_t i = 0; i < w.size(); i++) {
        float b = line[i % delay];
        float y = -g * w[i] + b;
        line[i % delay] = w[i] + g * y;
        w[i] = y;
    }
}

void addReverb(Wave& w, int rate, double roomMs, float decay, float wet) {
    static const double spread[4] = {1.0, 1.137, 1.283, 1.411};
    Wave rev(w.size(), 0.0f);
    for (double k : spread) combInto(w, rev, (size_t)(roomMs * k * rate / 1000), decay, 0.3f);
    allpass(rev, (size_t)(0.005 * rate), 0.7f);
    allpass(rev, (size_t)(0.0017 * rate), 0.7f);
    for (size_t i = 0; i < w.size(); i++) w[i] = w[i] * (1 - wet) + rev[i] * wet * 0.35f;
}

static float cubicAt(const Wave& w, double pos) {
    long i = (long)pos;
    float t = (float)(pos - i);
    long n = (long)w.size();
    auto at = [&](long k) { return (k < 0 || k >= n) ? 0.0f : w[k]; };
    float p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
    return p1 + 0.5f * t * (p2 - p0 + t * (2 * p0 - 5 * p1 + 4 * p2 - p3 + t * (3 * (p1 - p2) + p3 - p0)));
}

Wave resampleCurve(const Wave& w, const std::vector<double>& ratios) {
    Wave out;
    if (w.empty() || ratios.empty()) return out;
    double len = (double)w.size(), pos = 0;
    size_t m = ratios.size();
    while (pos < len - 1) {
        out.push_back(cubicAt(w, pos));
        double f = pos / len * (m - 1);
        size_t k = (size_t)f;
        double r = k + 1 < m ? ratios[k] + (ratios[k + 1] - ratios[k]) * (f - k) : ratios[m - 1];
        pos += r;
    }
    return out;
}

Wave resample(const Wave& w, double ratio) { return resampleCurve(w, std::vector<double>{ratio}); }

void softClip(Wave& w, float drive) {
    float norm = tanhf(drive);
    for (float& s : w) s = tanhf(s * drive) / norm;
}

void mixInto(Wave& dst, const Wave& src, size_t at, float gain) {
    if (dst.size() < at + src.size()) dst.resize(at + src.size(), 0.0f);
    for (size_t i = 0; i < src.size(); i++) dst[at + i] += src[i] * gain;
}

static void put16(FILE* f, uint16_t v) {
    fputc(v & 255, f);
    fputc(v >> 8, f);
}

static void put32(FILE* f, uint32_t v) {
    put16(f, v & 0xFFFF);
    put16(f, v >> 16);
}

void writeWav(const std::string& path, const Wave& w, int rate) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
        exit(1);
    }
    uint32_t bytes = (uint32_t)w.size() * 2;
    fwrite("RIFF", 1, 4, f); put32(f, 36 + bytes); fwrite("WAVE", 1, 4, f);
    fwrite("fmt ", 1, 4, f); put32(f, 16); put16(f, 1); put16(f, 1);
    put32(f, rate); put32(f, rate * 2); put16(f, 2); put16(f, 16);
    fwrite("data", 1, 4, f); put32(f, bytes);
    for (float s : w) {
        long v = lrintf(s * 32767.0f);
        put16(f, (uint16_t)(int16_t)(v > 32767 ? 32767 : v < -32768 ? -32768 : v));
    }
    if (fclose(f) != 0) {
        fprintf(stderr, "assetgen: cannot finish %s\n", path.c_str());
        exit(1);
    }
}
