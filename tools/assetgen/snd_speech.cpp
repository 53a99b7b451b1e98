// snd_speech.cpp: drives espeak-ng synchronously and collects what it says into a wave.
#include "snd_speech.h"

#include <espeak-ng/speak_lib.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static bool started = false;
static Wave* heard = nullptr;  // where the callback puts the voice while speak() runs

static int collect(short* pcm, int count, espeak_EVENT*) {
    if (pcm && heard)
        for (int i = 0; i < count; i++) heard->push_back(pcm[i] / 32768.0f);
    return 0;  // keep speaking
}

static void startSpeech() {
    if (started) return;
    int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate != kSpeechRate) {
        fprintf(stderr, "assetgen: espeak-ng did not start (rate %d)\n", rate);
        exit(1);
    }
    espeak_SetSynthCallback(collect);
    started = true;
}

Wave speak(const Voice& v, const char* text) {
    startSpeech();
    if (espeak_SetVoiceByName(v.name) != EE_OK) {
        fprintf(stderr, "assetgen: espeak-ng has no voice %s\n", v.name);
        exit(1);
    }
    espeak_SetParameter(espeakRATE, v.wpm, 0);
    espeak_SetParameter(espeakPITCH, v.pitch, 0);
    espeak_SetParameter(espeakRANGE, v.range, 0);
    espeak_SetParameter(espeakVOLUME, 100, 0);
    Wave w;
    heard = &w;
    espeak_Synth(text, strlen(text) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | espeakPHONEMES, nullptr, nullptr);
    espeak_Synchronize();
    heard = nullptr;
    return w;
}

void speechDone() {
    if (started) espeak_Terminate();
    started = false;
}
