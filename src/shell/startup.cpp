// startup.cpp: the life of the program: start-up and the assets, the game's frames, shutdown.
#include "demo/demo.h"
#include "draw/draw.h"
#include "shell/shell.h"
#include "input/pad.h"
#include "shell/settings.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#if defined(KORVADO_SP)
static const char CAPTION[] = "KORVADO (SP) v2.2 full - TOLVERANT STUDIO - www.tolverant.example";
#elif defined(KORVADO_NET)
static const char CAPTION[] = "KORVADO (NET) v2.2 full - TOLVERANT STUDIO - www.tolverant.example";
#else
static const char CAPTION[] = "KORVADO (MP) v2.2 full - TOLVERANT STUDIO - www.tolverant.example";
#endif

static uint32_t seed;  // the calendar time at start-up

uint32_t startSeed() { return seed; }

void missingAsset(const char* path, const char* reason) {
    fprintf(stderr, "korvado: cannot load %s: %s\n", path, reason);
    SDL_Quit();
    exit(1);
}

// The window's icon, the launcher's cowboy hat; SDL takes it only before the video mode is set. SDL makes
// the icon's mask from the picture's transparency.
static SDL_Surface* icon;

static void setWindowIcon() {
    icon = loadPicture("../images/icon.png");
    SDL_WM_SetIcon(icon, nullptr);
}

static Uint32 videoFlags(bool full) { return SDL_HWSURFACE | SDL_DOUBLEBUF | (full ? SDL_FULLSCREEN : 0); }

bool fullScreenShown() { return screen && (screen->flags & SDL_FULLSCREEN); }

// The display surface is made anew: the drawing forgets what it laid on the old one.
bool setFullScreen(bool on) {
    if (!screen || fullScreenShown() == on) return screen != nullptr;
    SDL_Surface* now = SDL_SetVideoMode(SCREEN_W, SCREEN_H, 32, videoFlags(on));
    if (!now) {
        fprintf(stderr, "korvado: cannot %s the full screen: %s\n", on ? "open" : "leave", SDL_GetError());
        screen = SDL_SetVideoMode(SCREEN_W, SCREEN_H, 32, videoFlags(!on));
        if (!screen) missingAsset("the display", SDL_GetError());
        forgetScreen();
        return false;
    }
    screen = now;
    forgetScreen();
    return true;
}

// Opens the window or the full screen (asked on the command line, or kept); returns the exit status, or -1 when the display is up.
static int openDisplay() {
    setUpPacing();
    padsPrepare();
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        fprintf(stderr, "korvado: cannot start SDL: %s\n", SDL_GetError());
        return 1;
    }
    padsOpen();
    setWindowIcon();
    screen = SDL_SetVideoMode(SCREEN_W, SCREEN_H, 32, videoFlags(fullScreen || playerSettings().fullScreen));
    if (!screen) {
        fprintf(stderr, "korvado: cannot open the display: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    return -1;
}

int startUp(int argc, char* argv[]) {
    seed = uint32_t(time(nullptr));
    int status = readCommandLine(argc, argv);  // answered before SDL starts, display or not
    if (status >= 0) return status;
    status = demoPrepare();  // a demo to play is read before the window opens
    if (status >= 0) return status;
    if (syncDepth) return demoSyncTest();
    loadPlayerSettings();
    findAssets();
    status = openDisplay();
    if (status >= 0) return status;
    showLoading();
    loadSounds();
    SDL_ShowCursor(0);
    loadPictures();
    prepareSettingsPage();
#ifdef KORVADO_NET
    prepareSessions();
#endif
    SDL_WM_SetCaption(CAPTION, "kvd.ico");
    return -1;
}

void shutDown() {
    closeSounds();
    SDL_FreeSurface(screen);
    screen = nullptr;
    SDL_FreeSurface(icon);
    icon = nullptr;
    padsClose();
    SDL_Quit();
}

#ifdef KORVADO_NET
// korvado_net's screens, a frame at a time; a pass not yet due is waited for here, between two frames.
static int runSessions() {
    int status = beginSessions();
    if (status >= 0) return status;
    while (netFrame())
        if (uint32_t wait = netWaitMs()) SDL_Delay(wait);
    return endSessions();
}
#endif

// The intro, then the game: the menu and its rounds (korvado_net: the sessions), or the demo the command
// line named.
int SDL_main(int argc, char* argv[]) {
    int status = startUp(argc, argv);
    if (status >= 0) return status;
    status = demoRun();
    if (status < 0) {
        theGame() = introState(seed);
#ifdef KORVADO_NET
        while (theGame().screen != SCR_PLAY && gameFrame()) {
        }
        status = theGame().done ? 0 : runSessions();
#else
        while (gameFrame()) {
        }
        status = 0;
#endif
    }
    demoFinish();
    shutDown();
    return status;
}
