// passsounds.cpp: a session's sounds, pass by pass, through the corrections of the rollback.
#include "session/passsounds.h"

#include <algorithm>

// The three cries are one kind: which of them a hit draws depends on the generator.
static uint8_t kindOf(uint8_t sound) {
    return sound == SND_YAAHOOO || sound == SND_YEEHAAA ? uint8_t(SND_OUCH) : sound;
}

void PassSounds::heard(uint32_t pass, const TickEvents& ev, SoundOut& out) {
    Pass& b = book[pass % SOUND_RING];
    newest = std::max(newest, pass);
    if (b.pass != pass) {
        b.pass = pass, b.n = 0;
        for (int i = 0; i < ev.soundCount; i++) b.play(ev.sounds[i], out);
        return;
    }
    bool kept[8] = {};
    Pass now;
    now.pass = pass;
    for (int i = 0; i < ev.soundCount; i++) {
        const SoundEvent& e = ev.sounds[i];
        int j = 0;
        while (j < b.n && (kept[j] || kindOf(b.list[j].sound) != kindOf(e.sound) || b.list[j].cowboy != e.cowboy)) j++;
        if (j < b.n) kept[j] = true, now.list[now.n++] = b.list[j];
        else if (newest - pass <= NEW_SOUND_PASSES) now.play(e, out);
    }
    for (int j = 0; j < b.n; j++)
        if (!kept[j]) out.fade(b.list[j].channel, b.list[j].sound);
    b = now;
}
