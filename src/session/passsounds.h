// passsounds.h: the sounds of a session's passes, when corrections run passes again: each sound once, a new
// one only while it is fresh, and one a correction took away faded out.
#ifndef KORVADO_PASSSOUNDS_H
#define KORVADO_PASSSOUNDS_H

#include <cstdint>
#include "game/game.h"

const uint32_t SOUND_RING = 64;       // passes whose sounds are remembered
const uint32_t NEW_SOUND_PASSES = 8;  // a sound a correction brings plays if its pass is at most this old (100 ms)

struct SoundOut {  // where the sounds go
    virtual int play(uint8_t sound) = 0;              // the channel, or -1
    virtual void fade(int channel, uint8_t sound) = 0;
    virtual ~SoundOut() {}
};

class PassSounds {
public:
    // The sounds of a pass that ran: the first time, all of them. Run again, a sound of the same kind and
    // cowboy is the one already playing (a corrected pass may draw another cry: not a new sound); a new one
    // plays if its pass is recent, and one the correction took away fades out.
    void heard(uint32_t pass, const TickEvents& ev, SoundOut& out);

private:
    struct Played {
        uint8_t sound, cowboy;
        int channel;
    };
    struct Pass {
        uint32_t pass = UINT32_MAX;
        Played list[8];
        int n = 0;
        void play(const SoundEvent& e, SoundOut& out) {
            if (n < 8) list[n++] = Played{e.sound, e.cowboy, out.play(e.sound)};
        }
    };
    Pass book[SOUND_RING];
    uint32_t newest = 0;
};

#endif
