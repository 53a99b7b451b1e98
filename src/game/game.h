// game.h: the game state, the input record a pass takes and the ticker that plays one pass of the rules.
#ifndef KORVADO_GAME_H
#define KORVADO_GAME_H

#include <cstdint>
#include <random>
#include <string>

const int SCREEN_W = 800, SCREEN_H = 600;  // the screen the street fills; it bounds the walking
const int COWBOY_W = 80, COWBOY_H = 130;    // a cowboy's picture
const int BOTTLE_W = 30, BOTTLE_H = 55;     // a bottle's picture
const int BOTTLE_FRAMES = 5;                // the pictures of its glint

// The game's keys, one list for every source of input: bit k of a record's key bits is key k.
enum GameKey {
    K_UP, K_DOWN, K_LEFT, K_RIGHT, K_RCTRL,  // red: walk and fire
    K_W, K_S, K_A, K_D, K_Q,                 // blue: walk (up, down, left, right) and fire
    K_RETURN, K_ESCAPE, K_K,                 // the menu and the screens; K ends korvado_mp from a round
    GAME_KEYS
};
inline uint16_t keyBit(int k) { return uint16_t(1u << k); }

// One pass's input record, built from exactly one source (this machine's keyboard and pads, a demo, the
// network, a test): the keys held, the frame time and the window's close button.
struct TicCmd {
    uint16_t held = 0;   // GameKey bits down now
    uint16_t fresh = 0;  // of them, those pressed anew though already held (a pad's press over the keyboard's);
                         // a demo marks them all, as it holds the keys as the game saw them
    uint16_t dt = 0;     // ms since the last pass of the frame loop (a key wait's passes have none)
    bool close = false;  // the window's close button was pressed
    bool reset = false;  // the game starts again from its start values, seeded with `seed` (a new session)
    uint32_t seed = 0;
};

// A rectangle of the screen, as SDL clips one when it draws a picture there.
struct Box {
    int16_t x = 0, y = 0;
    uint16_t w = 0, h = 0;
};

// The game's random draws, from a generator of its own: a demo or two machines' games draw alike from the
// same seed. The draws since seeding tell where it stands.
struct GameRng {
    std::mt19937 mt;
    uint32_t seed = 0;
    uint64_t draws = 0;
    void reseed(uint32_t s) { mt.seed(s), seed = s, draws = 0; }
    int next() { return draws++, int(mt() >> 1); }
};

// A cowboy. The round, the menu and the computer opponent write his fields directly.
struct Player {
    void wRight();
    void wLeft();
    void wDown();
    void wUp();
    void setDelta(float d) { delta = d; }
    void anim(GameRng& rng);  // the walk and death pictures, the reload, and getting up again
    void place();             // where his picture lands on the screen, clipped by it: his box for pickups
    char getSmer() const { return smer; }
    void die();
    void shoot();

    int whiskeyCount = 0;    // bottles (game type 0) or lives (types 1 and 2)
    bool dead = false;       // the death animation runs
    bool canShoot = true;    // the gun is loaded
    bool shooting = false;   // the shooting pose shows
    float x = 100, y = 100;  // the picture's top-left corner
    char smer = 'r';         // facing: 'r' or 'l'
    char motion = 's';       // this frame's walk: 'r', 'l', 'd', 'u' or 's' (standing)
    Box rect;                // where his picture landed last
    int frame = 0;           // walk frame 0-1, death frame 0-3
    float animTime = 0;      // ms since the last animation step
    float delta = 0;         // this frame's time in ms
    float deadTime = 0;      // ms spent dead
    float speed = 0.2f;      // pixels per ms
    float reloadTime = 0;    // ms since the shot, while the gun is empty
};
int poseSlot(const Player& p);  // the picture of his pose, 0-19

// The whiskey bottle.
struct Whiskey {
    void chance(float delta);             // one of its chances to be drawn in a round frame
    bool kolid(Box r, GameRng& rng);      // a cowboy whose box is r picks it up; it goes elsewhere, hidden

    int x = 0, y = 0;       // the picture's top-left corner
    bool drawn = false;     // already drawn in this frame
    bool hidden = false;    // picked up (or the round just started), waiting to show again
    Box rect;               // where it was drawn last: the pickup box
    int frame = 0;          // the glint's picture, 0-4
    float timer = 0;        // hidden time while hidden, else time since the glint's last step
};

// Which screen the game is on; the studio picture, the title and the winner screens wait for a key, and
// their passes have no frame time.
enum Screen : uint8_t { SCR_STUDIO, SCR_TITLE, SCR_PLAY, SCR_WINNER };
// What a pass showed last, for the drawer.
enum View : uint8_t { VIEW_STUDIO, VIEW_TITLE, VIEW_MENU, VIEW_ROUND };

// What the last pass drew, as it stood when it was drawn: the menu's page, the round's depth order, the
// bottle's turn in it and the counts.
struct Shown {
    uint8_t view = VIEW_STUDIO;
    int8_t page = 0, item = 0;   // VIEW_MENU: pozicemenu and volbamenu
    bool redFront = true;        // VIEW_ROUND: red nearer the bottom of the screen
    int8_t bottleAt = -1;        // ... the bottle drawn behind both (0), between (1), in front (2), or not (-1)
    int8_t redCount = 0, blueCount = 0;
};

// Everything a pass reads or writes that decides what comes next. A plain value: saving it is a copy.
struct GameState {
    uint8_t screen = SCR_STUDIO;
    bool done = false;         // the game is over: leave
    bool menuBezi = true;      // the menu runs in this pass
    bool gameBezi = false;     // the round runs in this pass
    bool gameOver = true;      // no round the menu could resume
    bool canEsc = false;       // the menu may act on Escape
    bool canGEsc = false;      // the round may act on Escape
    bool mCanMove = true;      // the menu's key guard is open
    bool doCount = false;      // the 3-2-1 countdown runs
    bool p2justdied = false;   // the blue cowboy was hit earlier in this round frame
    int gameMode = 0;          // game type of the current or last round: 0, 1 or 2
    int wLimit = 0;            // bottles that win game type 0
    int volbamenu = 0;         // highlighted item of the menu page
    int pozicemenu = 0;        // menu page: 0 main, 1 game types, 2 credits, 3 instructions
    int r = 0;                 // the last draw (0-9) that chose the cry on a hit
    float delta = 0;           // ms between the starts of the last two passes of the frame loop
    float mPause = 0;          // ms the menu has waited since it last acted on a key
    float cPause = 0;          // ms since the countdown began
    float reflex = 0;          // the computer's trigger clock: ms with red in blue's sights since the last shot
    float wReflex = 0;         // the computer's vertical-follow clock: ms since red last dodged in his sights
    Player Hrac1, Hrac2;       // red (player 1) and blue (player 2, the computer in korvado_sp)
    Whiskey whiskey;
    GameRng rng;
    uint16_t keys = 0;         // the keys as the game sees them: down from a press until let go or taken
    uint16_t heldBefore = 0;   // the keys the last record held
    uint8_t winners[2] = {};   // the winner screens of the round's last pass (1 red, 2 blue), in turn
    uint8_t winnerCount = 0, winnerAt = 0;
    Shown shown;
};

// What a pass did for the senses; the ticker itself never draws, waits or plays.
enum Sound : uint8_t { SND_FIRE, SND_OUCH, SND_YAAHOOO, SND_YEEHAAA, SND_YIPEE, SND_LAUGH, SOUNDS };
struct SoundEvent {
    uint8_t sound;
    uint8_t cowboy;  // whose it is: 1 red, 2 blue
};
struct TickEvents {
    SoundEvent sounds[8];
    int soundCount = 0;
    bool startMusic = false;  // the title starts the music
    bool pause = false;       // the game holds for 100 ms (Escape between the round and the menu)
    uint16_t seen = 0;        // the keys as the game saw them when the pass began
    void play(uint8_t s, uint8_t cowboy) {
        if (soundCount < 8) sounds[soundCount++] = SoundEvent{s, cowboy};
    }
};

GameState startState(uint32_t seed);  // the start values, the menu's main page showing, seeded
GameState introState(uint32_t seed);  // the same, on the studio picture
bool passTimed(const GameState& s);   // the next pass is one of the frame loop, with a frame time
TickEvents tick(GameState& s, const TicCmd& in);  // one pass of the rules
uint32_t stateHash(const GameState& s);   // every field, hashed
// The hash the game printed before its state was one value, over the same fields: a demo's final state hash.
uint32_t legacyHash(const GameState& s);
std::string stateText(const GameState& s);  // every field, a "name value" line each
// The names of the fields in which two states differ, by comma; empty when they agree.
std::string stateDifferences(const GameState& a, const GameState& b);
bool onMainPage(const GameState& s);  // the menu's main page shows, and nothing else runs
int lastWinner(const GameState& s);   // by the counts the last round left: 1 red, 2 blue, 3 both, 0 neither

#endif
