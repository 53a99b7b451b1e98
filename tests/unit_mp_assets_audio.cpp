// unit_mp_assets_audio.cpp: the generated sound effects and the music module load, play and sound as they should.
#include <gtest/gtest.h>
#include "harness.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

static Bytes readAll(const std::string& path) {
    Bytes b;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return b;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + n);
    fclose(f);
    return b;
}

static unsigned le16(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }
static uint32_t le32(const Bytes& b, size_t at) { return le16(b, at) | (uint32_t)le16(b, at + 2) << 16; }

// ---- WAV files ----

struct Wav {
    unsigned format = 0, channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> pcm;  // interleaved
    double seconds() const { return channels && rate ? (double)pcm.size() / channels / rate : 0; }
};

// Walks the RIFF chunks; an empty result means the file is not a WAV we can read.
static Wav parseWav(const Bytes& b) {
    Wav w;
    if (b.size() < 12 || memcmp(&b[0], "RIFF", 4) || memcmp(&b[8], "WAVE", 4)) return w;
    for (size_t at = 12; at + 8 <= b.size();) {
        uint32_t len = le32(b, at + 4);
        if (at + 8 + len > b.size()) break;
        if (!memcmp(&b[at], "fmt ", 4) && len >= 16) {
            w.format = le16(b, at + 8);
            w.channels = le16(b, at + 10);
            w.rate = le32(b, at + 12);
            w.bits = le16(b, at + 22);
        } else if (!memcmp(&b[at], "data", 4) && w.bits == 16) {
            for (size_t i = 0; i + 1 < len; i += 2) w.pcm.push_back((int16_t)le16(b, at + 8 + i));
        }
        at += 8 + len + (len & 1);
    }
    return w;
}

struct Level {
    double rmsDb, peak;  // peak as a share of full scale
    double clipped;      // share of samples at full scale
};

static Level levelOf(const int16_t* s, size_t n) {
    double sum = 0, peak = 0, clip = 0;
    for (size_t i = 0; i < n; i++) {
        sum += (double)s[i] * s[i];
        peak = fmax(peak, fabs((double)s[i]));
        if (s[i] >= 32767 || s[i] <= -32767) clip++;
    }
    double rms = n ? sqrt(sum / n) / 32768 : 0;
    return {rms > 0 ? 20 * log10(rms) : -200, peak / 32768, n ? clip / n : 0};
}

struct Effect {
    const char* file;
    double minSeconds, maxSeconds;
};

static const Effect kEffects[] = {
    {"sfx/gfire.wav", 0.3, 2.5},   {"sfx/ouch.wav", 0.25, 2.0},  {"sfx/yaahooo.wav", 0.5, 3.0},
    {"sfx/yeehaaa.wav", 0.5, 3.0}, {"sfx/yipee.wav", 0.4, 3.0}, {"sfx/evil_laugh.wav", 1.0, 6.0},
};

TEST(SoundEffects, AreShortLoud16BitPcmThatDoNotClip) {
    for (const Effect& e : kEffects) {
        SCOPED_TRACE(e.file);
        Wav w = parseWav(readAll(buildPath(e.file)));
        ASSERT_EQ(w.format, 1u) << "not PCM, or missing";
        EXPECT_EQ(w.bits, 16u);
        EXPECT_TRUE(w.rate == 44100 || w.rate == 22050) << w.rate;
        EXPECT_TRUE(w.channels == 1 || w.channels == 2) << w.channels;
        EXPECT_GE(w.seconds(), e.minSeconds);
        EXPECT_LE(w.seconds(), e.maxSeconds);
        Level l = levelOf(w.pcm.data(), w.pcm.size());
        EXPECT_GT(l.peak, 0.5) << "too quiet to be heard over the music";
        EXPECT_GT(l.rmsDb, -30.0);
        EXPECT_LT(l.clipped, 0.001) << "clips";
    }
}

TEST(SoundEffects, AreSixDifferentSounds) {
    std::vector<Bytes> seen;
    for (const Effect& e : kEffects) {
        Bytes b = readAll(buildPath(e.file));
        for (const Bytes& other : seen) EXPECT_NE(b, other) << e.file << " repeats another effect";
        seen.push_back(b);
    }
}

// The shot bangs at once and dies away; a cry swells and carries.
TEST(SoundEffects, TheGunshotStartsAtItsLoudest) {
    Wav w = parseWav(readAll(buildPath("sfx/gfire.wav")));
    ASSERT_GT(w.seconds(), 0.3);
    size_t ms = w.rate * w.channels / 1000;
    Level whole = levelOf(w.pcm.data(), w.pcm.size());
    Level attack = levelOf(w.pcm.data(), 100 * ms);
    Level tail = levelOf(w.pcm.data() + w.pcm.size() - 200 * ms, 200 * ms);
    EXPECT_EQ(attack.peak, whole.peak) << "the loudest moment comes after the bang";
    EXPECT_GT(attack.rmsDb, tail.rmsDb + 20) << "no bang, or a tail as loud as the bang";
}

class Mixer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
        ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024), 0) << Mix_GetError();
    }
    void TearDown() override {
        Mix_CloseAudio();
        SDL_Quit();
    }
};

TEST_F(Mixer, LoadsEachEffectWithSound) {
    for (const Effect& e : kEffects) {
        SCOPED_TRACE(e.file);
        Mix_Chunk* c = Mix_LoadWAV(buildPath(e.file).c_str());
        ASSERT_NE(c, nullptr) << Mix_GetError();
        Level l = levelOf((const int16_t*)c->abuf, c->alen / 2);
        double seconds = c->alen / 4.0 / 44100;  // the mixer holds it as 44.1 kHz 16-bit stereo
        EXPECT_GT(l.peak, 0.5);
        EXPECT_GT(l.rmsDb, -30.0);
        EXPECT_GE(seconds, e.minSeconds);
        EXPECT_LE(seconds, e.maxSeconds + 0.1);
        Mix_FreeChunk(c);
    }
}

// ---- The music module ----

struct ItSong {
    unsigned orders = 0, instruments = 0, samples = 0, patterns = 0, cwt = 0, cmwt = 0, speed = 0, tempo = 0;
    int channels = 0;
    std::vector<unsigned> orderList;
};

static ItSong readItHeader(const Bytes& b) {
    ItSong s;
    if (b.size() < 0xC0 || memcmp(&b[0], "IMPM", 4)) return s;
    s.orders = le16(b, 0x20);
    s.instruments = le16(b, 0x22);
    s.samples = le16(b, 0x24);
    s.patterns = le16(b, 0x26);
    s.cwt = le16(b, 0x28);
    s.cmwt = le16(b, 0x2A);
    s.speed = b[0x32];
    s.tempo = b[0x33];
    for (int c = 0; c < 64; c++)
        if (b[0x40 + c] < 128) s.channels++;
    for (unsigned i = 0; i < s.orders && 0xC0 + i < b.size(); i++) s.orderList.push_back(b[0xC0 + i]);
    return s;
}

static const std::string kModule = "music/wildwest.it";

TEST(MusicModule, HeaderIsOneThatBothPlayersAccept) {
    Bytes b = readAll(buildPath(kModule));
    ItSong s = readItHeader(b);
    ASSERT_GT(s.orders, 0u) << "no IMPM header";
    EXPECT_GE(s.channels, 4);
    ASSERT_EQ(s.orderList.size(), s.orders);
    EXPECT_EQ(s.orderList.back(), 255u) << "the order list must end with 255";
    EXPECT_GE(s.cwt, 0x200u) << "older versions make libmikmod read signed samples as unsigned";
    EXPECT_GE(s.cmwt, 0x200u);
    EXPECT_LT(s.cmwt, 0x216u) << "from 0x216 libmikmod expects filter settings";
    EXPECT_EQ(b[0x04 + 25], 0) << "libmikmod reads a 26th name byte as a voice limit";
    for (int c = 0; c < 64; c++) {
        int pan = b[0x40 + c] & 127;
        EXPECT_TRUE(pan <= 64 || pan == 100 || pan == 127) << "channel " << c << " pan " << pan;
    }
    EXPECT_GT(s.speed, 0u);
    EXPECT_GE(s.tempo, 32u);
}

TEST(MusicModule, SamplesAreSigned16BitWithTheirOwnPan) {
    Bytes b = readAll(buildPath(kModule));
    ItSong s = readItHeader(b);
    ASSERT_GE(s.samples, 4u) << "a guitar, a lead, a bass and a drum at the least";
    size_t table = 0xC0 + s.orders + 4 * s.instruments;
    for (unsigned i = 0; i < s.samples; i++) {
        SCOPED_TRACE("sample " + std::to_string(i + 1));
        uint32_t at = le32(b, table + 4 * i);
        ASSERT_LE(at + 0x50, b.size());
        EXPECT_EQ(memcmp(&b[at], "IMPS", 4), 0);
        uint8_t flags = b[at + 0x12];
        EXPECT_EQ(flags & 3, 3) << "has data, 16-bit";
        EXPECT_EQ(b[at + 0x2E] & 1, 1) << "signed";
        EXPECT_EQ(b[at + 0x2F] & 0x80, 0x80) << "a default pan, for libmikmod pans channels its own way";
        uint32_t length = le32(b, at + 0x30), loopBegin = le32(b, at + 0x34), loopEnd = le32(b, at + 0x38);
        uint32_t c5 = le32(b, at + 0x3C), data = le32(b, at + 0x48);
        EXPECT_GT(length, 0u);
        EXPECT_LE((uint64_t)data + 2ull * length, b.size());
        if (flags & 16) {
            ASSERT_LT(0u, loopBegin);  // every looped instrument has an attack before its loop
            EXPECT_LT(loopBegin, loopEnd);
            ASSERT_LE(loopEnd, length) << "loop points count samples, not bytes";
            // A held note jumps from the loop's end back to its start: the two must meet without a click.
            int before = (int16_t)le16(b, data + 2 * (loopBegin - 1));
            int last = (int16_t)le16(b, data + 2 * (loopEnd - 1));
            EXPECT_LT(abs(before - last), 1000) << "the loop clicks";
        }
        EXPECT_GT(c5, 0u);
        EXPECT_LE(c5, 0x7FFFFu);
    }
}

// Unpacks every pattern the order list plays and checks each cell against what libmikmod rejects;
// returns the seconds the order list lasts (rows x speed x 2.5 / tempo, no cell may change those).
static double walkPatterns(const Bytes& b, const ItSong& s) {
    size_t table = 0xC0 + s.orders + 4 * (s.instruments + s.samples);
    double seconds = 0;
    for (unsigned o : s.orderList) {
        if (o == 255) break;
        if (o == 254) continue;
        EXPECT_LT(o, s.patterns);
        if (o >= s.patterns) return 0;
        uint32_t at = le32(b, table + 4 * o);
        unsigned len = le16(b, at), rows = le16(b, at + 2);
        EXPECT_TRUE(rows >= 1 && rows <= 256) << rows;
        size_t p = at + 8, end = p + len;
        for (unsigned row = 0; row < rows && p < end;) {
            uint8_t what = b[p++];
            if (what == 0) { row++; continue; }
            int ch = (what - 1) & 63;
            EXPECT_TRUE(what & 0x80) << "pattern " << o << " channel " << ch << " leans on an earlier mask";
            uint8_t mask = (what & 0x80) ? b[p++] : 0;
            if (mask & 1) p++;
            if (mask & 2) {
                uint8_t smp = b[p++];
                EXPECT_TRUE(smp >= 1 && smp <= s.samples) << "sample " << (int)smp;
            }
            if (mask & 4) {
                uint8_t v = b[p++];
                EXPECT_FALSE((v >= 125 && v <= 127) || (v >= 213 && v <= 238) || v >= 240) << (int)v;
            }
            if (mask & 8) {
                uint8_t cmd = b[p++];
                p++;
                EXPECT_TRUE(cmd != 1 && cmd != 20) << "a speed or tempo change in pattern " << o;
            }
        }
        EXPECT_EQ(p, end) << "pattern " << o << " has more or fewer bytes than its length says";
        seconds += rows * s.speed * 2.5 / s.tempo;
    }
    return seconds;
}

TEST(MusicModule, PlaysAtLeastAMinuteBeforeItRepeats) {
    Bytes b = readAll(buildPath(kModule));
    ItSong s = readItHeader(b);
    ASSERT_GT(s.tempo, 0u);
    EXPECT_GE(walkPatterns(b, s), 60.0);
}

// What the mixer plays, captured after mixing, while the dummy driver runs in real time.
static std::vector<int16_t> heard;
static void listen(void*, Uint8* stream, int len) {
    const int16_t* s = (const int16_t*)stream;
    heard.insert(heard.end(), s, s + len / 2);
}

TEST_F(Mixer, PlaysTheModuleAudibly) {
    Mix_Music* music = Mix_LoadMUS(buildPath(kModule).c_str());
    ASSERT_NE(music, nullptr) << Mix_GetError();
    heard.clear();
    Mix_SetPostMix(listen, nullptr);
    ASSERT_EQ(Mix_PlayMusic(music, 0), 0) << Mix_GetError();
    SDL_Delay(1500);
    EXPECT_TRUE(Mix_PlayingMusic());
    Mix_HaltMusic();
    SDL_LockAudio();
    std::vector<int16_t> got = heard;
    SDL_UnlockAudio();
    Mix_SetPostMix(nullptr, nullptr);
    Mix_FreeMusic(music);
    ASSERT_GT(got.size(), 44100u) << "the mixer ran for less than half a second";
    Level l = levelOf(got.data(), got.size());
    EXPECT_GT(l.rmsDb, -40.0) << "silent";
    EXPECT_LT(l.peak, 0.9) << "the music should leave room for the effects";
}

// libopenmpt, a second and independent player, renders the whole module.
TEST(MusicModule, OpenMptRendersAMinuteWithoutSilentStretches) {
    if (system("command -v openmpt123 >/dev/null 2>&1") != 0) GTEST_SKIP() << "openmpt123 is not installed";
    char dir[] = "/tmp/korvado-it-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string copy = std::string(dir) + "/wildwest.it";
    Bytes b = readAll(buildPath(kModule));
    FILE* f = fopen(copy.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(b.data(), 1, b.size(), f);
    fclose(f);
    std::string cmd = "openmpt123 --quiet --render --samplerate 44100 --no-float --output-type wav --force " +
                      copy + " >/dev/null 2>&1";
    EXPECT_EQ(system(cmd.c_str()), 0);
    Wav w = parseWav(readAll(copy + ".wav"));
    remove((copy + ".wav").c_str());
    remove(copy.c_str());
    rmdir(dir);
    ASSERT_EQ(w.bits, 16u);
    EXPECT_GE(w.seconds(), 60.0);
    size_t window = 4 * w.rate * w.channels;  // every four seconds of the tune has something playing
    for (size_t at = 0; at + window <= w.pcm.size(); at += window) {
        Level l = levelOf(w.pcm.data() + at, window);
        EXPECT_GT(l.rmsDb, -40.0) << "silent near " << at / w.channels / w.rate << " s";
        EXPECT_LT(l.clipped, 0.0001) << "clips near " << at / w.channels / w.rate << " s";
    }
}

// A second run of the generator writes the same sounds and music, byte for byte.
TEST(AudioAssets, ComeOutTheSameOnEveryRun) {
    char dir[] = "/tmp/korvado-gen-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string cmd = std::string(KORVADO_ASSETGEN) + " " + dir + " >/dev/null";
    ASSERT_EQ(system(cmd.c_str()), 0);
    std::string again = std::string(dir) + "/";
    for (const Effect& e : kEffects) EXPECT_EQ(readAll(buildPath(e.file)), readAll(again + e.file)) << e.file;
    EXPECT_EQ(readAll(buildPath(kModule)), readAll(again + kModule));
    EXPECT_EQ(system(("rm -rf " + std::string(dir)).c_str()), 0);
}
