// sequences.cpp: the intro, the 3-2-1 countdown before a round and the winner screen.
#include "game.h"

// Draws a whole picture with its top-left corner at `at` (null: the corner of the screen).
// A picture that failed to load is simply not drawn.
static void showPic(SDL_Surface* pic, SDL_Rect* at) {
    if (!pic) return;
    SDL_BlitSurface(pic, NULL, screen, at);
    noteDrawn(screen, at);
}

// Marks Return and Escape as released until they are pressed again.
static void eatReturnEscape() {
    keys[SDLK_RETURN] = 0;
    keys[SDLK_ESCAPE] = 0;
}

// Waits until Return or Escape is down, looking once a paced frame. A window-close request
// taken here ends the wait too and ends the game; a close request polled earlier is not news.
bool keyWait() {
    for (;;) {
        bool got = takeInputs(false);
        if (got && event.type == SDL_QUIT) {
            done = true;
            return false;
        }
        if (keys[SDLK_RETURN] || keys[SDLK_ESCAPE]) return true;
        paceFrame();
    }
}

// The studio picture, then the music and the title picture, each until Return or Escape.
void playIntro() {
    showPic(teamLogo, NULL);
    SDL_Flip(screen);
    if (!keyWait()) return;  // the window was closed: no music, no title
    FMUSIC_PlaySong(music);
    showPic(gameLogo, NULL);
    SDL_Flip(screen);
    eatReturnEscape();  // the title wants a fresh press
    keyWait();
    eatReturnEscape();  // and that press must not reach the menu
}

// The digit for a countdown clock of `ms`: 3, 2 and 1 for a second each, 0 for half a second.
static SDL_Surface* countDigit(float ms) {
    if (ms < 1000) return n3;
    if (ms < 2000) return n2;
    if (ms < 3000) return n1;
    if (ms < 3500) return n0;
    return NULL;
}

// One round frame of the countdown, drawn over the street; it ends after 3.5 seconds.
void count() {
    nRect.x = 300;
    nRect.y = 200;
    cPause += delta;
    showPic(countDigit(cPause), &nRect);
    if (cPause > 3500) {
        doCount = false;
        cPause = 0;
    }
}

// After a winner screen: the main page, with no round left to resume.
static void handOverToMenu() {
    keys[SDLK_RETURN] = 0;  // so that the menu does not start a game at once
    pozicemenu = 0;
    volbamenu = 0;
    gameOver = true;
    menuBezi = true;
}

// The winner's picture and laugh over the round's last frame, then back to the main menu.
void gameOverAn(int winner) {
    SDL_Rect at = {200, 250, 0, 0};
    gameBezi = false;
    if (done) {  // the window was closed on the first of two winner screens of one frame
        handOverToMenu();
        return;
    }
    if (winner == 1) {
        showPic(rpwins, &at);
        FSOUND_PlaySound(FSOUND_FREE, winS);
    } else if (winner == 2) {
        showPic(bpwins, &at);
        FSOUND_PlaySound(FSOUND_FREE, winS);
    }
    SDL_Flip(screen);
    keyWait();  // a close request ends it too; the hand-over still happens
    handOverToMenu();
}
