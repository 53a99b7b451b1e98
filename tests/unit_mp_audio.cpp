// unit_mp_audio.cpp: the sound adapter plays samples on free channels, ignores null handles, frees all at close.
#include <gtest/gtest.h>
#include "audio/audio.h"
#include "harness.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <cmath>
#include <vector>

static const char* GUNSHOT = "../sfx/gfire.wav";

class SoundAdapter : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0); }
    void TearDown() override {
        FSOUND_Close();
        SDL_Quit();
    }
};

TEST_F(SoundAdapter, OpensTheMixerAsTheGameAsks) {
    ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_NONBLOCKING_FOCUS), 0);
    int freq = 0, channels = 0;
    Uint16 format = 0;
    ASSERT_NE(Mix_QuerySpec(&freq, &format, &channels), 0);
    EXPECT_EQ(freq, 44100);
    EXPECT_EQ(Mix_AllocateChannels(-1), 32);
}

TEST_F(SoundAdapter, EachSamplePlaysOnTheNextFreeChannelOverWhatPlays) {
    ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_NONBLOCKING_FOCUS), 0);
    FSOUND_SAMPLE* shot = FSOUND_Sample_Load(FSOUND_FREE, GUNSHOT, FSOUND_STEREO, 0, 0);
    ASSERT_NE(shot, nullptr);
    int a = FSOUND_PlaySound(FSOUND_FREE, shot);
    int b = FSOUND_PlaySound(FSOUND_FREE, shot);
    int c = FSOUND_PlaySound(FSOUND_FREE, shot);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(c, 2);
    EXPECT_EQ(Mix_Playing(-1), 3);
    EXPECT_NE(FSOUND_StopSound(1), 0);
    EXPECT_EQ(Mix_Playing(1), 0);
    EXPECT_EQ(Mix_Playing(0), 1);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, shot), 1) << "a stopped channel is free again";
}

TEST_F(SoundAdapter, NullHandlesAndBadChannelsPlayNothing) {
    ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_NONBLOCKING_FOCUS), 0);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, nullptr), -1);
    EXPECT_EQ(FMUSIC_PlaySong(nullptr), 0);
    EXPECT_EQ(Mix_Playing(-1), 0);
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    EXPECT_EQ(FSOUND_StopSound(-5), 0);
    EXPECT_EQ(FSOUND_StopSound(32), 0);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, "../sfx/no_such.wav", FSOUND_STEREO, 0, 0), nullptr);
    EXPECT_EQ(FMUSIC_LoadSong("../music/no_such.it"), nullptr);
}

// The mixed output, as the loudness of each second: sums of squares of the stereo samples.
static std::vector<double> energyPerSecond;
static long long framesHeard;

static void listen(void*, Uint8* stream, int len) {
    const Sint16* s = (const Sint16*)stream;
    for (int i = 0; i + 1 < len / 2; i += 2, framesHeard++) {
        size_t second = size_t(framesHeard / 44100);
        if (second >= energyPerSecond.size()) energyPerSecond.resize(second + 1, 0.0);
        energyPerSecond[second] += double(s[i]) * s[i] + double(s[i + 1]) * s[i + 1];
    }
}

// The module lasts 72 s. SDL's disk driver with no delay mixes faster than real time, so the test hears
// 80 s of music in a few seconds and listens to what comes after the module's end.
TEST_F(SoundAdapter, TheMusicStartsAgainAfterTheModulesEnd) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_NONBLOCKING_FOCUS), 0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    FMUSIC_MODULE* song = FMUSIC_LoadSong("../music/wildwest.it");
    ASSERT_NE(song, nullptr);
    Mix_SetPostMix(listen, nullptr);
    EXPECT_NE(FMUSIC_PlaySong(song), 0);
    for (int waited = 0; waited < 60000; waited += 20) {
        SDL_LockAudio();
        long long heard = framesHeard;
        SDL_UnlockAudio();
        if (heard >= 80LL * 44100) break;
        SDL_Delay(20);
    }
    SDL_LockAudio();
    std::vector<double> energy = energyPerSecond;
    bool playing = Mix_PlayingMusic();
    SDL_UnlockAudio();
    Mix_SetPostMix(nullptr, nullptr);
    ASSERT_GE(energy.size(), 80u) << "the disk driver mixed less than 80 s within a minute";
    EXPECT_TRUE(playing) << "the music stopped at the module's end";
    for (size_t second = 73; second < 79; second++) {
        double rms = std::sqrt(energy[second] / (2.0 * 44100)) / 32768.0;
        EXPECT_GT(20 * std::log10(rms + 1e-12), -40.0) << "silence " << second << " s after the start";
    }
}

TEST_F(SoundAdapter, CloseFreesEverySampleAndModuleAndCanOpenAgain) {
    // Run under the leak checker: every load below must be freed by the close.
    for (int round = 0; round < 2; round++) {
        ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_NONBLOCKING_FOCUS), 0);
        FSOUND_SAMPLE* shot = FSOUND_Sample_Load(FSOUND_FREE, GUNSHOT, FSOUND_STEREO, 0, 0);
        FMUSIC_MODULE* song = FMUSIC_LoadSong("../music/wildwest.it");
        ASSERT_NE(shot, nullptr);
        ASSERT_NE(song, nullptr);
        FSOUND_PlaySound(FSOUND_FREE, shot);
        FMUSIC_PlaySong(song);
        FSOUND_Close();
        EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0) << "the mixer is closed";
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    }
}

TEST_F(SoundAdapter, WithoutADeviceEveryLoadIsNullAndNothingPlays) {
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    EXPECT_EQ(FSOUND_Init(44100, 32, FSOUND_NONBLOCKING_FOCUS), 0);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, GUNSHOT, FSOUND_STEREO, 0, 0), nullptr);
    EXPECT_EQ(FMUSIC_LoadSong("../music/wildwest.it"), nullptr);
    EXPECT_EQ(FSOUND_StopSound(0), 0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}
