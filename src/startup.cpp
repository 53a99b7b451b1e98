// startup.cpp: the life of the program: start-up and asset loading, the frame loop, shutdown.
#include "demo.h"
#include "game.h"
#include "input/pad.h"
#include "platform/platform.h"

#include <SDL_image.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#if defined(KORVADO_SP)
static const char CAPTION[] = "KORVADO (SP) v2.2 full - TOLVERANT STUDIO - www.tolverant.example";
static const char MENU_BACKGROUND[] = "../images/menu/bgrsp.png";
#elif defined(KORVADO_NET)
static const char CAPTION[] = "KORVADO (NET) v2.2 full - TOLVERANT STUDIO - www.tolverant.example";
static const char MENU_BACKGROUND[] = "../images/menu/bgr.png";
#else
static const char CAPTION[] = "KORVADO (MP) v2.2 full - TOLVERANT STUDIO - www.tolverant.example";
static const char MENU_BACKGROUND[] = "../images/menu/bgr.png";
#endif

static const char LOADING_PICTURE[] = "../images/menu/loading.png";

// A missing or broken asset would leave holes in every screen: say which one and stop.
static void missingAsset(const char* path, const char* reason) {
    fprintf(stderr, "korvado: cannot load %s: %s\n", path, reason);
    SDL_Quit();
    exit(1);
}

static SDL_Surface* loadPicture(const char* path) {
    std::string file = assetPath(path);
    SDL_Surface* s = IMG_Load(file.c_str());
    if (!s) missingAsset(file.c_str(), IMG_GetError());
    return s;
}

// Converts a picture to the display's format once, so every blit of it is a plain copy.
static void toDisplay(SDL_Surface*& s) {
    SDL_Surface* converted = SDL_DisplayFormat(s);
    if (!converted) return;  // keep the loader's surface: slower, looks the same
    SDL_FreeSurface(s);
    s = converted;
}

// Pure green is transparent in every keyed picture.
static void colourKey(SDL_Surface*& s) {
    toDisplay(s);
    SDL_SetColorKey(s, SDL_SRCCOLORKEY | SDL_RLEACCEL, SDL_MapRGB(s->format, 0, 255, 0));
}

static SDL_Surface* loadOpaque(const char* path) {
    SDL_Surface* s = loadPicture(path);
    toDisplay(s);
    return s;
}

SDL_Surface* loadAsset(const char* path, bool keyed) {
    SDL_Surface* s = loadPicture(path);
    if (keyed) colourKey(s);
    else toDisplay(s);
    return s;
}

// Start values of the game state (start-up steps 1 to 3).
static void initState() {
    startValues();
    gameSrand((unsigned)time(nullptr));
}

void startValues() {
    volbamenu = 0;
    done = false;
    menuBezi = true;
    gameBezi = false;
    gameOver = true;
    mCanMove = true;
    gameMode = 0;
    r = 0;
    p2justdied = false;
    pozicemenu = 0;
    hud1.x = 10, hud1.y = 10;
    hud2.x = 710, hud2.y = 12;
    rmng.x = 200, rmng.y = 150;
    rmop.x = 200, rmop.y = 250;
    rmex.x = 200, rmex.y = 450;
    rmcr.x = 200, rmcr.y = 350;
}

static void showLoading() {
    loading = loadOpaque(LOADING_PICTURE);
    SDL_BlitSurface(loading, nullptr, screen, nullptr);
    SDL_Flip(screen);
}

static FSOUND_SAMPLE* loadSample(const char* path) {
    std::string file = assetPath(path);
    FSOUND_SAMPLE* s = FSOUND_Sample_Load(FSOUND_FREE, file.c_str(), FSOUND_STEREO, 0, 0);
    if (!s) missingAsset(file.c_str(), SDL_GetError());
    return s;
}

// The music and the six samples; without a sound device every handle stays null.
static void loadSounds() {
    std::string file = assetPath(musicFile());
    music = FMUSIC_LoadSong(file.c_str());
    if (!music) missingAsset(file.c_str(), SDL_GetError());
    sgfire = loadSample("../sfx/gfire.wav");
    sy1 = loadSample("../sfx/ouch.wav");
    sy2 = loadSample("../sfx/yaahooo.wav");
    sy3 = loadSample("../sfx/yeehaaa.wav");
    swhis = loadSample("../sfx/yipee.wav");
    winS = loadSample("../sfx/evil_laugh.wav");
}

struct PictureFile {
    SDL_Surface** global;
    const char* path;
};

// The opaque pictures of the menu, the HUD portraits, the backgrounds and the logos, in load order.
static const PictureFile OPAQUE_PICTURES[] = {
    {&credits, "../images/menu/cred.png"}, {&instruc, "../images/menu/ins.png"},
    {&mng, "../images/menu/ng.png"},       {&mnga, "../images/menu/nga.png"},
    {&mop, "../images/menu/op.png"},       {&mopa, "../images/menu/opa.png"},
    {&mcr, "../images/menu/cr.png"},       {&mcra, "../images/menu/cra.png"},
    {&mex, "../images/menu/ex.png"},       {&mexa, "../images/menu/exa.png"},
    {&wh, "../images/menu/wh.png"},        {&wha, "../images/menu/wha.png"},
    {&dop, "../images/menu/do.png"},       {&dopa, "../images/menu/doa.png"},
    {&su, "../images/menu/su.png"},        {&sua, "../images/menu/sua.png"},
    {&rpi, "../images/hud/rp.png"},        {&bpi, "../images/hud/bp.png"},
    {&mbgr, MENU_BACKGROUND},              {&bgr, "../images/bgsml.png"},
    {&teamLogo, "../images/tolvlogo.png"}, {&gameLogo, "../images/kvdlogo.png"},
};

// Menu pages, portraits, backgrounds, logos, winner pictures, counters and countdown digits.
static void loadScreens() {
    for (const PictureFile& p : OPAQUE_PICTURES) *p.global = loadOpaque(p.path);
    rpwins = loadPicture("../images/menu/rpwins.png");
    bpwins = loadPicture("../images/menu/bpwins.png");
    colourKey(rpwins);
    colourKey(bpwins);
    for (int i = 0; i < 11; i++) {
        char path[64];
        snprintf(path, sizeof path, "../images/Hud/wc%02d.png", i);
        wc[i] = loadPicture(path);
    }
    n1 = loadPicture("../images/Hud/1.png");
    n2 = loadPicture("../images/Hud/2.png");
    n3 = loadPicture("../images/Hud/3.png");
    n0 = loadPicture("../images/Hud/0.png");
    colourKey(n1), colourKey(n2), colourKey(n3), colourKey(n0);
}

// The file behind each slot of a cowboy's picture set; slots 2 and 11 stay empty.
static const char* const SLOT_FILES[20] = {
    "hrac_right.png",     "hrac_right2.png",     nullptr,              "hrac_right_cs.png",
    "hrac_right2_cs.png", "hrac_left_cs.png",    "hrac_left2_cs.png",  "hrac_right_shoot.png",
    "hrac_left_shoot.png", "hrac_left.png",      "hrac_left2.png",     nullptr,
    "hrac_right_d01.png", "hrac_right_d02.png",  "hrac_right_d03.png", "hrac_right_d04.png",
    "hrac_left_d01.png",  "hrac_left_d02.png",   "hrac_left_d03.png",  "hrac_left_d04.png",
};

static void loadSlots(imgbase& set, const char* folder, const int* slots, int n) {
    for (int i = 0; i < n; i++) {
        std::string path = std::string(folder) + SLOT_FILES[slots[i]];
        set[slots[i]] = loadPicture(path.c_str());
    }
}

static void keySlots(const int* slots, int n) {
    for (int i = 0; i < n; i++) colourKey(imgbas[slots[i]]);
    for (int i = 0; i < n; i++) colourKey(imgbas2[slots[i]]);
}

// Both cowboys' pictures, then the colour keys of the counters and of both picture sets.
static void loadCowboys() {
    static const int RED_WALK[] = {0, 1, 9, 10, 7, 8, 5, 6, 3, 4};
    static const int BLUE_WALK[] = {0, 1, 7, 8, 9, 10, 5, 6, 3, 4};
    static const int DYING[] = {12, 13, 14, 15, 16, 17, 18, 19};
    static const int SHOOTING[] = {7, 8};
    static const int STANDING[] = {0, 1, 9, 10, 3, 4, 5, 6};
    loadSlots(imgbas, "../images/P1/", RED_WALK, 10);
    loadSlots(imgbas2, "../images/P2/", BLUE_WALK, 10);
    loadSlots(imgbas, "../images/P1/", DYING, 8);
    loadSlots(imgbas2, "../images/P2/", DYING, 8);
    for (int i = 0; i < 11; i++) colourKey(wc[i]);
    keySlots(DYING, 8);
    keySlots(SHOOTING, 2);
    keySlots(STANDING, 8);
}

static void loadWhiskey() {
    static const char* const FRAMES[5] = {
        "../images/Obs/whiskey.png",  "../images/Obs/whiskey2.png", "../images/Obs/whiskey3.png",
        "../images/Obs/whiskey4.png", "../images/Obs/whiskey5.png",
    };
    for (int i = 0; i < 5; i++) {
        whiskey.img[i] = loadPicture(FRAMES[i]);
        colourKey(whiskey.img[i]);
    }
}

// Everyone at his place of start-up, the bottle on the street.
static void startPlaces() {
    whiskey.frame = 0;
    whiskey.hidden = false;
    whiskey.x = 360;
    whiskey.y = 300;
    Hrac1->x = 700.0f;
    Hrac1->y = 120.0f;
    Hrac1->smer = 'l';
    Hrac2->x = 20.0f;
    Hrac2->y = 430.0f;
}

// The cowboys are built from the display and a copy of their picture sets, then everyone takes his place.
static void placeActors() {
    Hrac1 = new Player(screen, imgbas);
    Hrac2 = new Player(screen, imgbas2);
    loadWhiskey();
    startPlaces();
}

void resetGameState() {
    startValues();
    canEsc = canGEsc = doCount = false;
    wLimit = 0;
    delta = deltaNew = deltaOld = mPause = cPause = 0;
    *Hrac1 = Player(screen, imgbas);
    *Hrac2 = Player(screen, imgbas2);
    SDL_Surface* bottle[5];
    memcpy(bottle, whiskey.img, sizeof bottle);
    whiskey = Whiskey{};
    memcpy(whiskey.img, bottle, sizeof bottle);
    startPlaces();
}

// The window's icon, the launcher's cowboy hat; SDL takes it only before the video mode is set. SDL makes
// the icon's mask from the picture's transparency.
static SDL_Surface* icon;

static void setWindowIcon() {
    icon = loadPicture("../images/icon.png");
    SDL_WM_SetIcon(icon, nullptr);
}

// Opens the window or the full screen; returns the exit status, or -1 when the display is up.
static int openDisplay() {
    setUpPacing();
    padsPrepare();
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        fprintf(stderr, "korvado: cannot start SDL: %s\n", SDL_GetError());
        return 1;
    }
    padsOpen();
    setWindowIcon();
    Uint32 flags = SDL_HWSURFACE | SDL_DOUBLEBUF | (fullScreen ? SDL_FULLSCREEN : 0);
    screen = SDL_SetVideoMode(800, 600, 32, flags);
    if (!screen) {
        fprintf(stderr, "korvado: cannot open the display: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    return -1;
}

int startUp(int argc, char* argv[]) {
    initState();
    int status = readCommandLine(argc, argv);  // answered before SDL starts, display or not
    if (status >= 0) return status;
    status = demoPrepare();  // a demo to play is read before the window opens
    if (status >= 0) return status;
    findAssets();
    status = openDisplay();
    if (status >= 0) return status;
    showLoading();
    if (!FSOUND_Init(44100, 32, FSOUND_NONBLOCKING_FOCUS))
        fprintf(stderr, "korvado: no sound device (%s); playing without sound\n", SDL_GetError());
    else
        loadSounds();
    SDL_ShowCursor(0);
    loadScreens();
    loadCowboys();
    placeActors();
#ifdef KORVADO_NET
    prepareSessions();
#endif
    SDL_WM_SetCaption(CAPTION, "kvd.ico");
    return -1;
}

// Draws a full-screen picture at the corner of the screen. SDL's copy blit writes past the cache and
// costs about three plain copies of a frame, so a picture in the display's own format, without colour
// key or alpha, is copied row by row instead: the same pixels.
static bool plainCopy(SDL_Surface* pic) {
    SDL_PixelFormat* p = pic->format;
    SDL_PixelFormat* s = screen->format;
    return pic->w == screen->w && pic->h == screen->h && !(pic->flags & (SDL_SRCCOLORKEY | SDL_SRCALPHA)) &&
           p->BytesPerPixel == s->BytesPerPixel && p->Rmask == s->Rmask && p->Gmask == s->Gmask &&
           p->Bmask == s->Bmask && !SDL_MUSTLOCK(screen) && !SDL_MUSTLOCK(pic) && screen->clip_rect.x == 0 &&
           screen->clip_rect.y == 0 && screen->clip_rect.w == screen->w && screen->clip_rect.h == screen->h;
}

static void copyRows(SDL_Surface* pic, int x, int y, int w, int h) {
    size_t bpp = pic->format->BytesPerPixel;
    for (int row = y; row < y + h; row++)
        memcpy((Uint8*)screen->pixels + row * screen->pitch + x * bpp, (Uint8*)pic->pixels + row * pic->pitch + x * bpp,
               size_t(w) * bpp);
}

// The screen keeps its pixels from one frame to the next (both SDL 1.2 give the game a surface in memory),
// so when the picture laid down last is laid down again, only the places drawn over since are put back:
// a tenth of a frame's copying in a round. A real double buffer in video memory is always laid whole.
static SDL_Surface* laidDown;        // the plain picture on the screen under what was drawn since
static SDL_Surface* laidOn;          // ... and the screen it was laid on
static SDL_Rect drawnOver[48];       // where pictures were drawn over it since
static int drawnCount;
// What a frame whose picture was put back changed: the places put back and those drawn over. showFrame
// sends only those to the display; any other frame is sent whole.
static SDL_Rect changed[96];
static int changedCount;
static bool partial;  // this frame's changes are all in `changed`

static void noteChanged(const SDL_Rect& r) {
    if (changedCount < 96) changed[changedCount++] = r;
    else partial = false;
}

void noteDrawn(SDL_Surface* dst, const SDL_Rect* r) {
    if (dst != screen || !laidDown) return;
    if (r && drawnCount < 48) {
        drawnOver[drawnCount++] = *r;
        if (partial) noteChanged(*r);
        return;
    }
    laidDown = nullptr;  // the whole screen, or too many places to keep: the next one is laid whole
    partial = false;
}

static bool putBack(SDL_Surface* pic) {
    if (pic != laidDown || screen != laidOn || (screen->flags & SDL_HWSURFACE) || !plainCopy(pic)) return false;
    partial = changedCount == 0;  // nothing else was drawn earlier in this frame
    for (int i = 0; i < drawnCount; i++) {
        const SDL_Rect& r = drawnOver[i];
        int x = std::max(0, int(r.x)), y = std::max(0, int(r.y));
        int w = std::min(int(r.x) + int(r.w), pic->w) - x, h = std::min(int(r.y) + int(r.h), pic->h) - y;
        if (w <= 0 || h <= 0) continue;
        copyRows(pic, x, y, w, h);
        noteChanged(SDL_Rect{Sint16(x), Sint16(y), Uint16(w), Uint16(h)});
    }
    drawnCount = 0;
    return true;
}

void drawBackground(SDL_Surface* pic) {
    if (!pic || putBack(pic)) return;
    laidDown = nullptr;
    drawnCount = 0;
    partial = false;
    if (!plainCopy(pic)) {
        SDL_BlitSurface(pic, NULL, screen, NULL);
        return;
    }
    copyRows(pic, 0, 0, pic->w, pic->h);
    laidDown = pic, laidOn = screen;
}

// Sends the frame to the display: only what changed when that is known (a tenth of the screen in a
// round, where the window system copies every pixel it is sent), else the whole screen.
// sdl12-compat (which calls itself 1.2.50 and later) draws the whole window on either call, and waits for
// the display's refresh only in SDL_Flip, so it is always flipped.
void showFrame() {
    static const bool inPlaces = SDL_Linked_Version()->patch < 50;
    if (partial && inPlaces && !(screen->flags & SDL_HWSURFACE)) SDL_UpdateRects(screen, changedCount, changed);
    else SDL_Flip(screen);
    partial = false;
    changedCount = 0;
}

Uint32 (*tickSource)() = SDL_GetTicks;

// The difference is taken in SDL's own unsigned 32-bit ticks, so it stays exact however long the game
// runs and across the wrap after 49.7 days; only the result is a float.
static Uint32 lastTicks;  // the previous pass's tick value; 0 before the first pass, as deltaOld

void frameTime() {
    Uint32 now = tickSource();
    deltaNew = (float)now;
    delta = (float)(Uint32)(now - lastTicks);
    lastTicks = now;
    deltaOld = deltaNew;
}

// Pacing. Neither SDL 1.2 waits for the display's refresh in SDL_Flip unless asked, so an unpaced loop
// draws a thousand frames a second and burns a core. sdl12-compat is asked to wait for the refresh; where
// nothing waits, each pass is given at least frameBudgetMs from its start: 125 frames a second at most,
// twice the usual 60 Hz display, so pacing never shows. KORVADO_NO_PACING=1 turns both off (for measuring).
// korvado_net's passes are 13 ms: 77 a second, few enough datagrams to stay light on the network; its
// sessions keep their own schedule, and it does not wait for the refresh, which would hold passes to 60 Hz.
#ifdef KORVADO_NET
Uint32 frameBudgetMs = 13;
#else
Uint32 frameBudgetMs = 8;
#endif
bool pacing = true;
static Uint32 passStart;  // when the current pass took its inputs

void setUpPacing() {
    const char* off = getenv("KORVADO_NO_PACING");
    pacing = !(off && *off && strcmp(off, "0") != 0) && demoMode != DEMO_TIME;
#ifndef KORVADO_NET
    if (pacing) setenv("SDL12COMPAT_SYNC_TO_VBLANK", "1", 0);  // the player's own setting wins
#endif
}

void paceFrame() {
    Uint32 spent = tickSource() - passStart;
    endPass(pacing && spent < frameBudgetMs ? frameBudgetMs - spent : 0);
}

void startPass() { passStart = tickSource(); }

// This machine's own inputs: the frame time (in a pass of the frame loop), one event, SDL's keyboard
// with the pads' buttons pressed into it.
bool localInputs(bool timed) {
    startPass();
    if (timed) frameTime();
    bool got = SDL_PollEvent(&event) != 0;
    keys = SDL_GetKeyState(nullptr);
    padsToKeys(keys, gameBezi);
    return got;
}

bool (*takeInputs)(bool timed) = localInputs;

// One pass of the frame loop: its inputs, the running screens, the flip.
void framePass() {
    takeInputs(true);
    if (event.type == SDL_QUIT) done = true;
    if (gameBezi) game();
    if (menuBezi) menu();
    showFrame();
    paceFrame();
}

void shutDown() {
    if (Hrac1) delete Hrac1;
    Hrac1 = nullptr;
    if (Hrac2) delete Hrac2;
    Hrac2 = nullptr;
    FSOUND_StopSound(schannel);
    FSOUND_Close();
    SDL_FreeSurface(screen);
    screen = nullptr;
    SDL_FreeSurface(icon);
    icon = nullptr;
    padsClose();
    SDL_Quit();
}

int SDL_main(int argc, char* argv[]) {
    int status = startUp(argc, argv);
    if (status >= 0) return status;
    status = demoRun();  // --playdemo and --timedemo play instead of the intro and the game
    if (status < 0) {
        playIntro();
        demoStartRecording();
#ifdef KORVADO_NET
        status = done ? 0 : playSessions();
#else
        while (!done) framePass();
        status = 0;
#endif
    }
    demoFinish();
    shutDown();
    return status;
}
