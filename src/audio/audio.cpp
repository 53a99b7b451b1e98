// audio.cpp: the sound adapter: WAV samples and the Impulse Tracker music through SDL_mixer.
#include "audio.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <vector>

struct FSOUND_SAMPLE {
    Mix_Chunk* chunk;
};

struct FMUSIC_MODULE {
    Mix_Music* mus;
};

static bool opened;                          // the mixer is open
static std::vector<FSOUND_SAMPLE*> samples;  // every sample loaded, freed at close
static std::vector<FMUSIC_MODULE*> modules;  // every module loaded, freed at close

signed char FSOUND_Init(int mixrate, int maxchannels, unsigned int flags) {
    (void)flags;  // SDL's mixer keeps playing when the window loses focus
    if (opened) return 1;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) return 0;
    if (Mix_OpenAudio(mixrate, AUDIO_S16SYS, 2, 1024) < 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    Mix_AllocateChannels(maxchannels);
    opened = true;
    return 1;
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* path) {
    if (!opened) return nullptr;
    Mix_Music* mus = Mix_LoadMUS(path);
    if (!mus) return nullptr;
    FMUSIC_MODULE* mod = new FMUSIC_MODULE{mus};
    modules.push_back(mod);
    return mod;
}

FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* path, unsigned int mode, int offset, int length) {
    (void)index, (void)mode, (void)offset, (void)length;  // always a new sample, whole file
    if (!opened) return nullptr;
    Mix_Chunk* chunk = Mix_LoadWAV(path);
    if (!chunk) return nullptr;
    FSOUND_SAMPLE* s = new FSOUND_SAMPLE{chunk};
    samples.push_back(s);
    return s;
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* mod) {
    if (!opened || !mod) return 0;
    return Mix_PlayMusic(mod->mus, -1) == 0;  // loops from the first order for the whole run
}

int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample) {
    if (!opened || !sample) return -1;
    return Mix_PlayChannel(channel, sample->chunk, 0);
}

signed char FSOUND_StopSound(int channel) {
    if (!opened || channel < 0 || channel >= Mix_AllocateChannels(-1)) return 0;
    Mix_HaltChannel(channel);
    return 1;
}

void FSOUND_FadeOut(int channel, FSOUND_SAMPLE* sample, int ms) {
    if (!opened || !sample || channel < 0 || channel >= Mix_AllocateChannels(-1)) return;
    if (Mix_Playing(channel) && Mix_GetChunk(channel) == sample->chunk) Mix_FadeOutChannel(channel, ms);
}

void FSOUND_SetSFXMasterVolume(int volume) {
    if (opened) Mix_Volume(-1, volume * MIX_MAX_VOLUME / 255);
}

signed char FMUSIC_SetMasterVolume(FMUSIC_MODULE* mod, int volume) {
    (void)mod;  // SDL's mixer plays one music at a time
    if (!opened) return 0;
    Mix_VolumeMusic(volume * MIX_MAX_VOLUME / 256);
    return 1;
}

void FSOUND_Close() {
    if (!opened) return;
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    for (FSOUND_SAMPLE* s : samples) {
        Mix_FreeChunk(s->chunk);
        delete s;
    }
    for (FMUSIC_MODULE* m : modules) {
        Mix_FreeMusic(m->mus);
        delete m;
    }
    samples.clear();
    modules.clear();
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    opened = false;
}
