// draw.h: the drawing: the game's pictures, a frame drawn from the game state, and the frame to the display.
#ifndef KORVADO_DRAW_H
#define KORVADO_DRAW_H

#include <SDL.h>
#include "game/game.h"

// One cowboy's picture set: 20 slots by poseSlot, slots 2 and 11 always empty.
struct imgbase {
    SDL_Surface* img[20];

    SDL_Surface*& operator[](int slot) { return img[slot]; }
    SDL_Surface* operator[](int slot) const { return img[slot]; }
};

extern SDL_Surface* screen;  // the display surface

// ---- the pictures, loaded once at start-up and kept for the whole run ----
extern SDL_Surface *loading, *credits, *instruc;         // LOADING, the credits and the instructions pages
extern SDL_Surface *mng, *mnga, *mop, *mopa;             // main page items 0 (new game) and 1 (instructions),
extern SDL_Surface *mcr, *mcra, *mex, *mexa;             // 2 (credits) and 3 (exit), plain and highlighted
extern SDL_Surface *wh, *wha, *dop, *dopa, *su, *sua;    // the game types 0, 1 and 2, plain and highlighted
extern SDL_Surface *rpi, *bpi;                           // red's and blue's portraits
extern SDL_Surface *mbgr, *bgr;                          // the menu background (by edition) and the street
extern SDL_Surface *teamLogo, *gameLogo;                 // the studio picture and the title
extern SDL_Surface *rpwins, *bpwins;                     // red wins, blue wins
extern SDL_Surface* wc[11];                              // the counts 0 to 10
extern SDL_Surface *n1, *n2, *n3, *n0;                   // the countdown: 1, 2, 3 and DRAW!
extern imgbase imgbas, imgbas2;                          // red's and blue's pictures
extern SDL_Surface* whiskeyPics[BOTTLE_FRAMES];          // the bottle's glint

// A picture in the display's format, keyed with pure green when asked; a missing one ends the program
// with its path.
SDL_Surface* loadAsset(const char* path, bool keyed);
SDL_Surface* loadPicture(const char* path);  // a picture as its file has it
void showLoading();   // the LOADING picture, first of all
void loadPictures();  // every other picture of the game

// The frame the last pass showed, from the game state alone; false when it is the one on the screen already
// (a winner screen waiting for its key), and nothing was drawn.
bool drawFrame(const GameState& s);

// ---- the screen (screen.cpp) ----
void drawBackground(SDL_Surface* pic);  // a full-screen picture at the corner of the screen
// A picture was drawn at r (as SDL clipped it; null: the whole surface) over what drawBackground laid on dst.
void noteDrawn(SDL_Surface* dst, const SDL_Rect* r);
void showFrame();                       // the frame to the display: what changed, or the whole screen
void forgetScreen();                    // the display surface was made anew: the next frame goes whole
uint32_t drawings();                    // frames shown so far: one more whenever showFrame sends one

#endif
