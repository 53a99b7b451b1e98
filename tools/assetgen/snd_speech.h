// snd_speech.h: the cowboys' voices: short phrases spoken by espeak-ng, before they are shaped into cries.
#ifndef KORVADO_SND_SPEECH_H
#define KORVADO_SND_SPEECH_H

#include "snd_dsp.h"

const int kSpeechRate = 22050;  // espeak-ng speaks at this rate

struct Voice {
    const char* name;  // espeak-ng voice, e.g. "en-us+m3"
    int wpm;           // speaking speed, words a minute
    int pitch;         // 0..100, 50 is a normal voice
    int range;         // 0..100, how far the pitch moves
};

// Speaks text (plain words, or espeak phonemes inside [[ ]]) and returns the voice at kSpeechRate.
// Exits with a message if espeak-ng cannot start. Call from one thread only.
Wave speak(const Voice& v, const char* text);
// Releases espeak-ng; speak() starts it again if needed.
void speechDone();

#endif
