// snd_instruments.h: the band of the saloon tune: each instrument synthesized as one tracker sample.
#ifndef KORVADO_SND_INSTRUMENTS_H
#define KORVADO_SND_INSTRUMENTS_H

#include "snd_it.h"

ItSample guitarSample();     // a plucked nylon string (Karplus-Strong), rings out
ItSample bassSample();       // a plucked upright bass
ItSample whistleSample();    // a whistled tone with vibrato, looped while held
ItSample harmonicaSample();  // a reed tone with the beating of a tremolo harmonica, looped while held
ItSample kickSample();       // a low drum
ItSample snareSample();      // a brushed snare
ItSample shakerSample();     // a shaker
ItSample hoofSample();       // a coconut-shell clop: the horse's hoof

#endif
