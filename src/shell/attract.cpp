// attract.cpp: the menu's attract mode: a shipped demo on a game state of its own once the main page has been
// left alone, then the menu as it was.
#include "demo/demo.h"
#include "shell/shell.h"

static GameState shownGame;  // the demo's own game; the player's waits untouched meanwhile
static Demo demo;
static TicCmd standIn;       // the record of the player's pass the demo stands in for
static bool running;
static Uint32 lastActive;    // when the main page last saw a key, or was not showing
static int nextType;         // the game type whose demo plays next

std::string attractDemoPath(int gameType) {
    const char* edition = editionCode() == EDITION_SP ? "sp" : "mp";
    return assetPath(("../demos/" + std::string(edition) + "-" + std::to_string(gameType) + ".kvd").c_str());
}

// The clock restarts on any key or pad button pressed in this pass or held now, on anything but the main
// page, and while this machine's player is not at the keys.
bool attractDue(const GameState& s, bool local) {
    Uint32 now = tickSource();
    if (!local || !onMainPage(s) || touchedNow()) lastActive = now;
    return float(now - lastActive) > ATTRACT_AFTER_MS;
}

bool attractRunning() { return running; }

void attractWait() { lastActive = tickSource(); }

bool attractStart(const TicCmd& cmd) {
    lastActive = tickSource();
    std::string path = attractDemoPath(nextType);
    nextType = (nextType + 1) % 3;
    if (!loadDemo(path, demo)) return false;
    standIn = cmd;
    shownGame = startState(demo.seed);
    playerBegin(demo, pacing, true);
    running = true;
    return true;
}

// Once the demo is over, the player's pass it stood in for runs with nothing held, and a key still held
// acts only once let go and pressed again: the press that stopped the demo does nothing more.
void attractFrame(GameState& s) {
    if (runFrame(shownGame, playerInputs)) return;
    playerEnd();
    running = false;
    stopSounds();  // the demo's last laugh or shot
    TicCmd idle = standIn;
    idle.held = idle.fresh = 0;
    s.keys = 0;
    passFrame(s, idle, true);
    s.heldBefore = uint16_t(keyBit(GAME_KEYS) - 1);
    if (playerClosed()) s.done = true;
    lastActive = tickSource();
}
