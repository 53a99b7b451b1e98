// pictures.cpp: the game's pictures: loaded once at start-up in the display's format, keyed where they have a key.
#include "draw/draw.h"
#include "shell/shell.h"

#include <SDL_image.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(KORVADO_SP)
static const char MENU_BACKGROUND[] = "../images/menu/bgrsp.png";
#else
static const char MENU_BACKGROUND[] = "../images/menu/bgr.png";
#endif

SDL_Surface *loading, *credits, *instruc;
SDL_Surface *mng, *mnga, *mop, *mopa, *mcr, *mcra, *mex, *mexa;
SDL_Surface *wh, *wha, *dop, *dopa, *su, *sua;
SDL_Surface *rpi, *bpi, *mbgr, *bgr, *teamLogo, *gameLogo, *rpwins, *bpwins;
SDL_Surface* wc[11];
SDL_Surface *n1, *n2, *n3, *n0;
imgbase imgbas, imgbas2;
SDL_Surface* whiskeyPics[BOTTLE_FRAMES];

static const char LOADING_PICTURE[] = "../images/menu/loading.png";

SDL_Surface* loadPicture(const char* path) {
    std::string file = assetPath(path);
    SDL_Surface* s = IMG_Load(file.c_str());
    if (!s) missingAsset(file.c_str(), IMG_GetError());
    return s;
}

// SDL converts a 24-bit picture to the display's 32-bit pixels through its general blitter, a pixel at a
// time: a third of start-up. The generator's pictures (bytes red, green, blue) go to a 32-bit display here,
// a row at a time, to the very pixels SDL would make; anything else is SDL's to convert.
static SDL_Surface* rgbToDisplay(SDL_Surface* s) {
    const SDL_PixelFormat* f = s->format;
    const SDL_PixelFormat* d = screen ? screen->format : nullptr;
    Uint8 bytes[3] = {0xFF, 0, 0};  // a red pixel's bytes, as the picture's masks place it
    Uint32 red;
    memcpy(&red, bytes, 3), red &= 0xFFFFFF;
    if (!d || d->BytesPerPixel != 4 || d->Rloss || d->Gloss || d->Bloss || f->BytesPerPixel != 3 || f->Rmask != red ||
        f->Gmask != red << 8 || f->Bmask != red << 16)
        return nullptr;
    SDL_Surface* out = SDL_CreateRGBSurface(SDL_SWSURFACE, s->w, s->h, 32, d->Rmask, d->Gmask, d->Bmask, 0);
    if (!out) return nullptr;
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; y++) {
        const Uint8* from = (const Uint8*)s->pixels + y * s->pitch;
        Uint32* to = (Uint32*)((Uint8*)out->pixels + y * out->pitch);
        for (int x = 0; x < s->w; x++, from += 3)
            to[x] = Uint32(from[0]) << d->Rshift | Uint32(from[1]) << d->Gshift | Uint32(from[2]) << d->Bshift;
    }
    SDL_UnlockSurface(s);
    return out;
}

// Converts a picture to the display's format once, so every blit of it is a plain copy.
static void toDisplay(SDL_Surface*& s) {
    SDL_Surface* converted = rgbToDisplay(s);
    if (!converted) converted = SDL_DisplayFormat(s);
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

void showLoading() {
    loading = loadOpaque(LOADING_PICTURE);
    SDL_BlitSurface(loading, nullptr, screen, nullptr);
    SDL_Flip(screen);
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
        whiskeyPics[i] = loadPicture(FRAMES[i]);
        colourKey(whiskeyPics[i]);
    }
}


void loadPictures() {
    loadScreens();
    loadCowboys();
    loadWhiskey();
}
