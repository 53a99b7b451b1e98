// screen.cpp: the display surface between frames: full-screen pictures put back only where they were drawn
// over, and a frame sent to the display whole or only where it changed.
#include "draw/draw.h"

#include <algorithm>
#include <cstring>

SDL_Surface* screen;

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
static uint32_t shown;

uint32_t drawings() { return shown; }

// A new display surface (the full screen or the window): nothing of the old one is there any more, so the next
// frame is drawn and sent whole; it counts as a frame shown, so a waiting winner screen is drawn again too.
void forgetScreen() {
    laidDown = nullptr;
    drawnCount = changedCount = 0;
    partial = false;
    shown++;
}

void showFrame() {
    shown++;
    static const bool inPlaces = SDL_Linked_Version()->patch < 50;
    if (partial && inPlaces && !(screen->flags & SDL_HWSURFACE)) SDL_UpdateRects(screen, changedCount, changed);
    else SDL_Flip(screen);
    partial = false;
    changedCount = 0;
}

