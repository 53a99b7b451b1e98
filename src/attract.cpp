// attract.cpp: the menu's attract mode: a shipped demo once the main page has been left alone, then the menu as it was.
#include "demo.h"
#include "game.h"

#include <random>

// Every global a demo touches, as the menu left it.
struct Saved {
    bool done, menuBezi, gameBezi, gameOver, canEsc, canGEsc, mCanMove, doCount, p2justdied;
    int gameMode, wLimit, volbamenu, pozicemenu, r;
    float delta, deltaNew, deltaOld, mPause, cPause, reflex, wReflex;
    Uint8* keys;
    SDL_Event event;
    Player red, blue;
    Whiskey whiskey;
    std::mt19937 draws;
    Uint32 frameBudgetMs;
    bool pacing;
};

static Uint32 lastActive;   // when the main page last saw a key, or was not showing
static Uint32 lastMenu;     // when the menu last ran
static int nextType;        // the game type whose demo plays next

static Saved saved() {
    Saved s{done,     menuBezi, gameBezi, gameOver, canEsc,   canGEsc, mCanMove, doCount, p2justdied,
              gameMode, wLimit,   volbamenu, pozicemenu, r,     delta,   deltaNew, deltaOld, mPause,
              cPause,   0,        0,        keys,     event,    *Hrac1,  *Hrac2,   whiskey, gameDraws,
              frameBudgetMs, pacing};
#ifdef KORVADO_SP
    s.reflex = reflex, s.wReflex = wReflex;
#endif
    return s;
}

static void restore(const Saved& s) {
    done = s.done, menuBezi = s.menuBezi, gameBezi = s.gameBezi, gameOver = s.gameOver, canEsc = s.canEsc;
    canGEsc = s.canGEsc, mCanMove = s.mCanMove, doCount = s.doCount, p2justdied = s.p2justdied;
    gameMode = s.gameMode, wLimit = s.wLimit, volbamenu = s.volbamenu, pozicemenu = s.pozicemenu, r = s.r;
    delta = s.delta, deltaNew = s.deltaNew, deltaOld = s.deltaOld, mPause = s.mPause, cPause = s.cPause;
    keys = s.keys, event = s.event, *Hrac1 = s.red, *Hrac2 = s.blue, whiskey = s.whiskey, gameDraws = s.draws;
    frameBudgetMs = s.frameBudgetMs, pacing = s.pacing;
#ifdef KORVADO_SP
    reflex = s.reflex, wReflex = s.wReflex;
#endif
}

std::string attractDemoPath(int gameType) {
    const char* edition = editionCode() == EDITION_SP ? "sp" : "mp";
    return assetPath(("../demos/" + std::string(edition) + "-" + std::to_string(gameType) + ".kvd").c_str());
}

// A key the game reads is held, or one was just pressed.
static bool touched() {
    static const int WATCHED[] = {SDLK_UP,   SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RCTRL, SDLK_RETURN, SDLK_ESCAPE,
                                  SDLK_w,    SDLK_s,    SDLK_a,    SDLK_d,     SDLK_q,     SDLK_k};
    for (int k : WATCHED)
        if (keys[k]) return true;
    return event.type == SDL_KEYDOWN || event.type == SDL_JOYBUTTONDOWN;
}

void attractWatch() {
    Uint32 now = tickSource();
    bool away = now - lastMenu > 500;  // the menu was not running: a round, a winner screen
    lastMenu = now;
    if (takeInputs != localInputs || pozicemenu != 0 || away || touched()) lastActive = now;
    if (float(now - lastActive) > ATTRACT_AFTER_MS) playAttract();
}

// Keys held when the demo was stopped are let go, so that the press that stopped it does nothing more.
static void releaseKeys() {
    Uint8* k = SDL_GetKeyState(nullptr);
    for (int i = 0; i < SDLK_LAST; i++) k[i] = 0;
}

void playAttract() {
    Demo d;
    lastActive = lastMenu = tickSource();
    std::string path = attractDemoPath(nextType);
    nextType = (nextType + 1) % 3;
    if (!loadDemo(path, d)) return;
    Saved s = saved();
    playDemo(d, pacing, true);
    bool close = playerClosed();
    restore(s);
    for (int c = 0; c < 32; c++) FSOUND_StopSound(c);  // the demo's last laugh or shot
    releaseKeys();
    if (close) done = true;
    lastActive = lastMenu = tickSource();
}
