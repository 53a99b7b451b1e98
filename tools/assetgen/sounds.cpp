// sounds.cpp: the six sound effects: the gunshot, three cries of a hit cowboy, the bottle cheer and the laugh.
#include "assetgen.h"
#include "snd_dsp.h"
#include "snd_speech.h"

#include <cmath>

const int kRate = 44100;  // every effect is written at the mixer's own rate, so nothing is converted at play time

// Speaks a phrase (espeak phonemes) and bends its pitch from `from` to `to` (1 = as spoken).
static Wave phrase(const Voice& v, const char* phonemes, double from, double to) {
    Wave w = speak(v, phonemes);
    size_t a = 0, b = w.size();
    while (a < b && fabsf(w[a]) < 0.01f) a++;  // trim espeak's quiet lead-in and tail
    while (b > a && fabsf(w[b - 1]) < 0.01f) b--;
    Wave t(w.begin() + a, w.begin() + b);
    fadeEdges(t, kSpeechRate, 4, 40);
    std::vector<double> curve;
    for (int i = 0; i <= 16; i++) curve.push_back(from + (to - from) * i / 16.0);
    return resampleCurve(t, curve);
}

// Puts syllables one after another, each starting gapMs after the previous one ends (negative overlaps).
static Wave join(const std::vector<Wave>& parts, double gapMs) {
    Wave w;
    long gap = (long)(gapMs * kSpeechRate / 1000);
    size_t at = 0;
    for (const Wave& p : parts) {
        Wave q = p;
        fadeEdges(q, kSpeechRate, 8, 25);
        mixInto(w, q, at, 1.0f);
        long next = (long)(at + q.size()) + gap;
        at = next < 0 ? 0 : (size_t)next;
    }
    return w;
}

// A living voice: the pitch wobbles by +-depth at hz and wanders a little at random, as no throat holds a
// note steady the way a speech synthesizer does.
static Wave liven(const Wave& w, double hz, double depth, double wander, uint32_t seed) {
    Noise n(seed);
    std::vector<double> curve;
    double secs = (double)w.size() / kSpeechRate, drift = 0;
    int points = (int)(secs * 80) + 2;  // a point every 12.5 ms
    for (int i = 0; i < points; i++) {
        drift = drift * 0.85 + n.white() * wander;
        curve.push_back(1 + depth * sin(2 * kPi * hz * secs * i / (points - 1)) + drift);
    }
    return resampleCurve(w, curve);
}

// Adds breath: noise in the voice's own loudness, so the cry sounds pushed out of the lungs.
static void breathe(Wave& w, float amount, uint32_t seed) {
    Noise n(seed);
    Wave air(w.size());
    float env = 0;
    for (size_t i = 0; i < w.size(); i++) {
        env += (fabsf(w[i]) - env) * 0.004f;
        air[i] = n.white() * env;
    }
    biquad(air, BANDPASS, 2500, 0.8, kSpeechRate);
    mixInto(w, air, 0, amount);
}

// From a dry voice to a finished effect: full rate, strain, a street echo, and a level.
static Wave finishCry(const Wave& voice, float drive, float echo, float peak) {
    Wave w = resample(voice, (double)kSpeechRate / kRate);
    biquad(w, HIGHPASS, 90, 0.7, kRate);
    biquad(w, LOWPASS, 9000, 0.7, kRate);  // twice: nothing of the resampling's mirror images stays
    biquad(w, LOWPASS, 9000, 0.7, kRate);
    scaleTo(w, 1.0f);
    softClip(w, drive);
    w.resize(w.size() + kRate / 3, 0.0f);
    addReverb(w, kRate, 23, 0.55f, 0.25f);
    addEcho(w, kRate, 140, echo, 2);
    fadeEdges(w, kRate, 3, 60);
    scaleTo(w, peak);
    return w;
}

// A loud bang in the open street: squeezed, thrown back by the shop fronts, and levelled.
static Wave streetRoom(Wave w) {
    softClip(w, 2.5f);
    addEcho(w, kRate, 170, 0.28f, 2);
    addReverb(w, kRate, 31, 0.7f, 0.3f);
    fadeEdges(w, kRate, 0, 120);
    scaleTo(w, 0.85f);
    return w;
}

// The gunshot: a sharp crack, a low thump of the charge, and a tail rolling off the shop fronts.
static Wave gunshot() {
    Noise n(0x6F1E);
    size_t len = (size_t)(kRate * 1.1);
    Wave crack(len), body(len), tail(len), thump(len);
    double phase = 0;
    for (size_t i = 0; i < len; i++) {
        double t = (double)i / kRate;
        crack[i] = n.white() * (float)exp(-t / 0.006);
        body[i] = n.white() * (float)exp(-t / 0.045);
        tail[i] = n.white() * (float)(exp(-t / 0.28) * (1 - exp(-t / 0.01)));
        phase += 2 * kPi * (45 + 110 * exp(-t / 0.03)) / kRate;  // the thump drops from 155 Hz to 45 Hz
        thump[i] = (float)(sin(phase) * exp(-t / 0.07));
    }
    biquad(crack, HIGHPASS, 1200, 0.7, kRate);
    biquad(body, LOWPASS, 2500, 0.8, kRate);
    sweptBiquad(tail, LOWPASS, 1800, 250, 0.9, kRate);
    mixInto(crack, body, 0, 0.9f);
    mixInto(crack, thump, 0, 1.1f);
    mixInto(crack, tail, 0, 0.35f);
    return streetRoom(crack);
}

// A hit cowboy's short yelp of pain.
static Wave ouch() {
    Voice v{"en-us+klatt3", 150, 100, 100};
    Wave w = liven(phrase(v, "[[';aU:tS]]!", 1.22, 1.08), 7, 0.015, 0.004, 21);
    breathe(w, 0.3f, 11);
    return finishCry(w, 1.6f, 0.22f, 0.8f);
}

// "Yaa-hooo!": a call and then the whoop, leaping up and held.
static Wave yaahooo() {
    Voice low{"en-us+klatt3", 150, 80, 100}, high{"en-us+klatt3", 140, 100, 100};
    Wave a = phrase(low, "[[j'A:]],", 1.08, 1.12);
    Wave b = phrase(high, "[[h'u::::]]!", 1.3, 1.22);
    Wave w = liven(join({a, b}, -25), 5.5, 0.018, 0.004, 22);
    breathe(w, 0.3f, 12);
    return finishCry(w, 1.5f, 0.3f, 0.8f);
}

// "Yee-haaa!": a high yee and a long falling haaa.
static Wave yeehaaa() {
    Voice v{"en-us+klatt3", 150, 100, 100};
    Wave w = liven(phrase(v, "[[j'i:: h'A::::]]!", 1.16, 1.1), 5.0, 0.018, 0.004, 23);
    breathe(w, 0.3f, 13);
    return finishCry(w, 1.5f, 0.3f, 0.8f);
}

// "Yippee!": a happy cheer rising at the end, when the bottle is picked up.
static Wave yipee() {
    Voice v{"en-us+klatt3", 160, 100, 100};
    Wave w = liven(phrase(v, "[[jIp'i::::]]!", 1.1, 1.4), 6.0, 0.015, 0.003, 24);
    breathe(w, 0.2f, 14);
    return finishCry(w, 1.3f, 0.25f, 0.8f);
}

// One "ha" of the laugh: cut short and falling away, so that the next one stands apart.
static Wave ha(const Voice& v, const char* phonemes, double pitch, double maxMs) {
    Wave w = phrase(v, phonemes, pitch, pitch * 0.92);
    size_t most = (size_t)(maxMs * kSpeechRate / 1000);
    if (w.size() > most) w.resize(most);
    for (size_t i = 0; i < w.size(); i++) w[i] *= (float)exp(-2.0 * i / w.size());
    fadeEdges(w, kSpeechRate, 5, 30);
    return w;
}

// The winner's laugh: a low "mwa" and a run of quick "ha"s that fall away, in a big room.
static Wave evilLaugh() {
    Voice slow{"en-us+klatt3", 150, 50, 40}, quick{"en-us+klatt3", 220, 50, 40};
    std::vector<Wave> parts;
    parts.push_back(ha(slow, "[[mw'A:]]", 1.0, 420));
    static const double pitch[6] = {1.06, 1.02, 0.98, 0.94, 0.9, 0.85};
    for (int i = 0; i < 5; i++) parts.push_back(ha(quick, "[[h'A:]]", pitch[i], 170));
    parts.push_back(ha(slow, "[[h'A::]]", pitch[5], 600));
    Wave w = liven(join(parts, 55), 4.0, 0.01, 0.005, 25);
    breathe(w, 0.35f, 15);
    Wave out = finishCry(w, 1.4f, 0.3f, 0.85f);
    out.resize(out.size() + kRate / 2, 0.0f);
    addReverb(out, kRate, 41, 0.6f, 0.25f);
    fadeEdges(out, kRate, 0, 300);
    scaleTo(out, 0.8f);
    return out;
}

void makeSounds(const std::string& root) {
    std::string dir = root + "/sfx/";
    ensureDir(dir);
    writeWav(dir + "gfire.wav", gunshot(), kRate);
    writeWav(dir + "ouch.wav", ouch(), kRate);
    writeWav(dir + "yaahooo.wav", yaahooo(), kRate);
    writeWav(dir + "yeehaaa.wav", yeehaaa(), kRate);
    writeWav(dir + "yipee.wav", yipee(), kRate);
    writeWav(dir + "evil_laugh.wav", evilLaugh(), kRate);
    speechDone();
}
