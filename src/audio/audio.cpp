// audio.cpp: (being written) the sound adapter.
#include "audio.h"
signed char FSOUND_Init(int, int, unsigned int) { return 0; }
FMUSIC_MODULE* FMUSIC_LoadSong(const char*) { return nullptr; }
FSOUND_SAMPLE* FSOUND_Sample_Load(int, const char*, unsigned int, int, int) { return nullptr; }
signed char FMUSIC_PlaySong(FMUSIC_MODULE*) { return 0; }
int FSOUND_PlaySound(int, FSOUND_SAMPLE*) { return -1; }
signed char FSOUND_StopSound(int) { return 0; }
void FSOUND_Close() {}
