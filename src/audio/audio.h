// audio.h: the game's sound adapter: nine calls for samples and the music module, on SDL_mixer.
#ifndef KORVADO_AUDIO_H
#define KORVADO_AUDIO_H

struct FSOUND_SAMPLE;  // a loaded sound effect
struct FMUSIC_MODULE;  // a loaded music module

const int FSOUND_FREE = -1;             // "any free channel" / "any free sample index"
const unsigned int FSOUND_NONBLOCKING_FOCUS = 2;  // sound goes on when the window loses focus
const unsigned int FSOUND_STEREO = 64;  // sample load mode

// Opens the mixer. Nonzero on success; on failure every later load returns null.
signed char FSOUND_Init(int mixrate, int maxchannels, unsigned int flags);
// Loads the music module; null on failure.
FMUSIC_MODULE* FMUSIC_LoadSong(const char* path);
// Loads a WAV sample; null on failure.
FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* path, unsigned int mode, int offset, int length);
// Starts the module, looping; a null module plays nothing.
signed char FMUSIC_PlaySong(FMUSIC_MODULE* mod);
// Plays a sample once on a free channel over whatever plays; returns the channel or -1.
int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample);
// Stops one channel.
signed char FSOUND_StopSound(int channel);
// Fades one channel out over `ms`, if it still plays `sample` (a channel may have gone on to another).
void FSOUND_FadeOut(int channel, FSOUND_SAMPLE* sample, int ms);
// The loudness of every sample channel, 0 (silent) to 255 (as loaded).
void FSOUND_SetSFXMasterVolume(int volume);
// The music's loudness, 0 (silent) to 256 (as loaded); a null module sets it for whatever module plays.
signed char FMUSIC_SetMasterVolume(FMUSIC_MODULE* mod, int volume);
// Halts everything and frees every sample and module loaded.
void FSOUND_Close();

#endif
