// sounds.cpp: the game's music and its six sound effects, loaded once and played for the passes' events.
#include "shell/shell.h"
#include "audio/audio.h"
#include "platform/platform.h"
#include "shell/settings.h"

#include <cstdio>
#include <string>

static FMUSIC_MODULE* music;                 // the background music module
static FSOUND_SAMPLE* samples[SOUNDS];       // by Sound: gunshot, the three cries, the bottle, the laugh
static const char* const SAMPLE_FILES[SOUNDS] = {"../sfx/gfire.wav", "../sfx/ouch.wav", "../sfx/yaahooo.wav",
                                                 "../sfx/yeehaaa.wav", "../sfx/yipee.wav", "../sfx/evil_laugh.wav"};
static int schannel;  // the sound channel that shutdown stops

static FSOUND_SAMPLE* loadSample(const char* path) {
    std::string file = assetPath(path);
    FSOUND_SAMPLE* s = FSOUND_Sample_Load(FSOUND_FREE, file.c_str(), FSOUND_STEREO, 0, 0);
    if (!s) missingAsset(file.c_str(), SDL_GetError());
    return s;
}

void loadSounds() {
    if (!FSOUND_Init(44100, 32, FSOUND_NONBLOCKING_FOCUS)) {
        fprintf(stderr, "korvado: no sound device (%s); playing without sound\n", SDL_GetError());
        return;
    }
    std::string file = assetPath(musicFile());
    music = FMUSIC_LoadSong(file.c_str());
    if (!music) missingAsset(file.c_str(), SDL_GetError());
    for (int i = 0; i < SOUNDS; i++) samples[i] = loadSample(SAMPLE_FILES[i]);
    setLoudness(playerSettings().music, playerSettings().sounds);
}

void startMusic() {
    FMUSIC_PlaySong(music);
    setLoudness(playerSettings().music, playerSettings().sounds);  // SDL's mixer sets it anew for each song
}

void setLoudness(int musicLevel, int soundsLevel) {
    FMUSIC_SetMasterVolume(music, musicLevel * 256 / LOUDEST);
    FSOUND_SetSFXMasterVolume(soundsLevel * 255 / LOUDEST);
}

void playSound(uint8_t sound) { playSoundOn(sound); }

int playSoundOn(uint8_t sound) { return sound < SOUNDS ? FSOUND_PlaySound(FSOUND_FREE, samples[sound]) : -1; }

void fadeSound(int channel, uint8_t sound) {
    if (sound < SOUNDS) FSOUND_FadeOut(channel, samples[sound], 60);
}

void stopSounds() {
    for (int c = 0; c < 32; c++) FSOUND_StopSound(c);
}

void closeSounds() {
    FSOUND_StopSound(schannel);
    FSOUND_Close();
    music = nullptr;
    for (FSOUND_SAMPLE*& s : samples) s = nullptr;
}
