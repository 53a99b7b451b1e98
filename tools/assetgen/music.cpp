// music.cpp: "wildwest.it", the saloon tune in A minor: guitar, bass, whistle, harmonica and a galloping horse.
#include "assetgen.h"
#include "snd_instruments.h"
#include "snd_it.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

// Sample numbers (1-based, as in the pattern cells) and channels.
enum { GUITAR = 1, BASS, WHISTLE, HARMONICA, KICK, SNARE, SHAKER, HOOF };
enum { CH_LEAD, CH_SECOND, CH_STRING1, CH_STRING2, CH_STRING3, CH_BASS, CH_DRUMS, CH_HOOF, CHANNELS };
const int kRows = 64;  // four bars of 4/4, a row is a sixteenth

// One four-bar part of the tune.
struct Section {
    const char* chords;  // eight chords, one a half bar
    const char* lead;    // melody: NOTE:ROWS tokens, "-" rests; empty for none
    int leadSample;
    int secondSample;    // plays the melody an octave lower; 0 for none
    int drums;           // 0 horse only, 1 adds drum and shaker, 2 adds the brush, 3 the ending
};

struct Chord {
    const char* name;
    int bass;       // root in the bass's register (MIDI numbers: C-5 of the tracker is 60)
    int fifth;
    int strings[3]; // guitar voicing, low to high
};

static const Chord kChords[] = {
    {"Am", 33, 40, {57, 60, 64}}, {"G", 31, 38, {55, 59, 62}}, {"F", 29, 36, {53, 57, 60}},
    {"E", 28, 35, {52, 56, 59}},  {"Dm", 38, 45, {57, 62, 65}}, {"C", 36, 43, {55, 60, 64}},
};

static const Chord& chordNamed(const std::string& name) {
    for (const Chord& c : kChords)
        if (name == c.name) return c;
    fprintf(stderr, "assetgen: the tune uses an unknown chord %s\n", name.c_str());
    exit(1);
}

// "G#5" -> 80: scientific pitch names, A4 = 440 Hz = 69.
static int noteNumber(const std::string& s) {
    static const char* names = "C D EF G A B";
    int n = (int)(strchr(names, s[0]) - names);
    size_t i = 1;
    if (s[i] == '#') n++, i++;
    return n + 12 * (atoi(s.c_str() + i) + 1);
}

static void play(ItPattern& p, int row, int ch, int note, int sample, int vol, int delay) {
    ItCell& c = p.at(row, ch);
    c.note = note;
    c.sample = sample;
    c.volume = vol;
    if (delay > 0) {
        c.command = 19;  // S: SDx holds the note back x ticks
        c.param = 0xD0 | delay;
    }
}

// A held note ends with a short release: half volume on its last row, silence on the rest.
static void silence(ItPattern& p, int row, int ch, int lastRow) {
    if (lastRow >= 0 && p.at(lastRow, ch).note < 0) p.at(lastRow, ch).volume = 20;
    if (row < kRows) p.at(row, ch).volume = 0;
}

static void placeMelody(ItPattern& p, int ch, const char* tune, int sample, int vol, int shift) {
    std::istringstream in(tune);
    std::string tok;
    int row = 0;
    while (in >> tok && row < kRows) {
        size_t colon = tok.find(':');
        int len = atoi(tok.c_str() + colon + 1);
        std::string name = tok.substr(0, colon);
        if (name == "-")
            silence(p, row, ch, row - 1);
        else
            play(p, row, ch, noteNumber(name) + shift, sample, vol, 0);
        row += len;
    }
}

// The guitar: a strum on every beat's "and" and on beats 2 and 4, strings sounding a tick apart.
static void strum(ItPattern& p, int row, const Chord& c, int vol, bool down) {
    for (int s = 0; s < 3; s++) play(p, row, CH_STRING1 + s, c.strings[s], GUITAR, vol, down ? s : 2 - s);
}

// Half a bar of the band: bass on the beat, guitar strums after it. In a bar's second half the bass plays
// the fifth, or the new root if the chord changed, and walks up a semitone into the next chord's root.
static void bandHalf(ItPattern& p, int r, const Chord& c, bool fresh, int nextRoot, int style) {
    bool second = r % 16 == 8;
    play(p, r, CH_BASS, fresh || !second ? c.bass : c.fifth, BASS, 60, 0);
    if (second && style >= 1) play(p, r + 6, CH_BASS, nextRoot - 1, BASS, 40, 0);
    if (style >= 1) strum(p, r, c, 26, true);
    strum(p, r + 4, c, 44, true);
    strum(p, r + 6, c, 30, false);
}

static void placeBand(ItPattern& p, const Section& s) {
    std::istringstream in(s.chords);
    std::vector<const Chord*> chords;
    for (std::string name; in >> name;) chords.push_back(&chordNamed(name));
    for (int half = 0; half < 8 && half < (int)chords.size(); half++) {
        const Chord& c = *chords[half];
        if (s.drums == 3 && half >= 6) {  // the last bar: one strum left to ring
            if (half == 6) strum(p, 48, c, 48, true);
            if (half == 6) play(p, 48, CH_BASS, c.bass, BASS, 60, 0);
            continue;
        }
        int next = half + 1 < (int)chords.size() ? chords[half + 1]->bass : chords[0]->bass;
        bandHalf(p, half * 8, c, half == 0 || chords[half - 1] != &c, next, s.drums);
    }
}

static void placeDrums(ItPattern& p, int style) {
    for (int r = 0; r < kRows; r++) {
        bool last = style == 3 && r >= 48;
        int beat = r % 4;
        if (last) {
            if (r == 48) play(p, r, CH_DRUMS, 60, KICK, 56, 0);
            continue;
        }
        if (beat != 1) play(p, r, CH_HOOF, 60, HOOF, beat == 0 ? 40 : 24 + 6 * (beat == 3), 0);
        if (style == 0 && r % 16 == 0) play(p, r, CH_DRUMS, 60, KICK, 48, 0);
        if (style == 0) continue;
        if (r % 8 == 0) play(p, r, CH_DRUMS, 60, KICK, 56, 0);
        else if (r % 8 == 4 && style == 2) play(p, r, CH_DRUMS, 60, SNARE, 36, 0);
        else if (beat == 2) play(p, r, CH_DRUMS, 60, SHAKER, 22, 0);
    }
}

static ItPattern makePattern(const Section& s) {
    ItPattern p(kRows, CHANNELS);
    if (s.lead[0]) placeMelody(p, CH_LEAD, s.lead, s.leadSample, s.leadSample == WHISTLE ? 46 : 50, 0);
    if (s.secondSample) placeMelody(p, CH_SECOND, s.lead, s.secondSample, 30, -12);
    placeBand(p, s);
    placeDrums(p, s.drums);
    return p;
}

// The tune, four bars at a time.
static const char* kTuneA1 =
    "E5:6 A5:2 A5:4 G5:2 E5:2  D5:6 G5:2 G5:4 F5:2 D5:2  C5:4 D5:2 E5:2 F5:4 E5:2 D5:2  E5:12 -:4";
static const char* kTuneA2 =
    "E5:6 A5:2 A5:4 C6:2 B5:2  B5:4 G5:4 D5:4 G5:2 F5:2  F5:4 E5:2 D5:2 C5:4 B4:2 C5:2  B4:4 G#4:4 A4:6 -:2";
static const char* kTuneB1 =
    "D5:2 F5:2 A5:6 G5:2 F5:4  E5:2 C5:2 A4:8 -:4  D5:2 F5:2 A5:4 C6:4 A5:4  G#5:8 B5:4 -:4";
static const char* kTuneB2 =
    "F5:4 E5:2 D5:2 A5:8  C5:4 B4:2 A4:2 E5:8  D5:2 C5:2 B4:4 G#4:4 B4:4  A4:12 -:4";
static const char* kTuneC =
    "G5:4 E5:4 C5:4 E5:4  D5:4 B4:4 G4:4 B4:2 D5:2  C5:4 A4:4 F5:6 E5:2  E5:14 -:2";
static const char* kTuneEnd = "E5:6 A5:2 A5:8  F5:6 D5:2 A4:8  B4:4 G#4:4 E4:8  A4:12 -:4";

static const char* kVerse = "Am Am G G F F E E";
static const char* kVerseEnd = "Am Am G G F F E Am";

static const Section kSong[] = {
    {"Am Am Am Am Dm Dm E E", "", 0, 0, 0},
    {kVerse, kTuneA1, WHISTLE, 0, 1},
    {kVerseEnd, kTuneA2, WHISTLE, 0, 1},
    {"Dm Dm Am Am Dm Dm E E", kTuneB1, HARMONICA, 0, 2},
    {"Dm Dm Am Am E E Am Am", kTuneB2, HARMONICA, 0, 2},
    {"C C G G F F E E", kTuneC, WHISTLE, HARMONICA, 2},
    {kVerse, kTuneA1, WHISTLE, HARMONICA, 2},
    {kVerseEnd, kTuneA2, WHISTLE, HARMONICA, 2},
    {"Am Am Dm Dm E E Am Am", kTuneEnd, HARMONICA, 0, 3},
};

static ItModule wildWest() {
    ItModule m;
    m.name = "Korvado - Dusty Street";
    m.speed = 6;
    m.tempo = 120;  // a row is 1/8 s: 64 rows take 8 s
    m.mixVolume = 36;  // leaves room for the shots and the cries
    m.channels = CHANNELS;
    m.samples = {guitarSample(), bassSample(),   whistleSample(), harmonicaSample(),
                 kickSample(),   snareSample(),  shakerSample(),  hoofSample()};
    for (const Section& s : kSong) {
        m.patterns.push_back(makePattern(s));
        m.orders.push_back((int)m.orders.size());
    }
    return m;
}

void makeMusic(const std::string& root) {
    ensureDir(root + "/music");
    std::vector<uint8_t> bytes = itBytes(wildWest());
    std::string path = root + "/music/wildwest.it";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
        fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
        exit(1);
    }
}
