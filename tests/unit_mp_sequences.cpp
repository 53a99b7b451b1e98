// unit_mp_sequences.cpp: the intro's and the winner screen's key waits, the countdown's digits and its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include <SDL_mixer.h>

#include "game.h"
#include "harness.h"

namespace {

Uint8* K;  // SDL's own key-state array
const Uint32 FILL = 0x336699;  // a colour none of the pictures uses: "nothing drawn here"

void boot() {
    bootGame();
    K = SDL_GetKeyState(NULL);
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A full-screen surface in one colour.
SDL_Surface* filled(Uint32 rgb) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 600, 32, 0xff0000, 0xff00, 0xff, 0);
    SDL_FillRect(s, NULL, SDL_MapRGB(s->format, rgb >> 16, (rgb >> 8) & 0xff, rgb & 0xff));
    return s;
}

void fillScreen() { SDL_FillRect(screen, NULL, SDL_MapRGB(screen->format, 0x33, 0x66, 0x99)); }

// True when the screen shows `pic` whole at (x, y) over the plain FILL colour (null: FILL only,
// over an 80 x 80 area).
bool shows(SDL_Surface* pic, int x, int y) {
    SDL_Surface* ref = filled(FILL);
    SDL_Rect at = {Sint16(x), Sint16(y), 0, 0};
    if (pic) SDL_BlitSurface(pic, NULL, ref, &at);
    int w = pic ? pic->w : 80, h = pic ? pic->h : 80;
    w = std::min(w, 800 - x);
    h = std::min(h, 600 - y);
    bool same = sameArea(screen, x, y, ref, x, y, w, h);
    SDL_FreeSurface(ref);
    return same;
}

// Ends the wait running on the main thread: after `ms`, writes `key` into SDL's array.
std::thread pressLater(int ms, SDLKey key) {
    return std::thread([ms, key] {
        sleepMs(ms);
        K[key] = 1;
    });
}

// True when the screen shows `pic` drawn at its top-left corner.
bool showsAtCorner(SDL_Surface* pic) {
    return sameArea(screen, 0, 0, pic, 0, 0, std::min(pic->w, 800), std::min(pic->h, 600));
}

Uint32 msSince(Uint32 t0) { return SDL_GetTicks() - t0; }

void pushQuit() {
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

}  // namespace

// ---- the countdown ----

// One countdown frame of `ms` over a blank screen; the digit it drew must be `digit` (null: none).
static void countStep(float ms, SDL_Surface* digit) {
    fillScreen();
    delta = ms;
    count();
    EXPECT_EQ(nRect.x, 300);
    EXPECT_EQ(nRect.y, 200);
    EXPECT_TRUE(shows(digit, 300, 200)) << "clock " << cPause;
}

TEST(Countdown, DigitsChangeAtTheirExactThresholds) {
    boot();
    ASSERT_FALSE(shows(n3, 300, 200));  // the digits are really drawn
    ASSERT_FALSE(sameArea(n3, 0, 0, n2, 0, 0, std::min(n3->w, n2->w), std::min(n3->h, n2->h)));
    cPause = 0;
    doCount = true;
    nRect.x = nRect.y = 0;
    countStep(999, n3);
    countStep(1, n2);  // 1000 exactly
    countStep(999.5f, n2);
    countStep(0.5f, n1);  // 2000
    countStep(999, n1);
    countStep(1, n0);  // 3000
    countStep(499, n0);
    countStep(1, NULL);  // 3500 exactly: nothing, and not over yet
    EXPECT_TRUE(doCount);
    EXPECT_FLOAT_EQ(cPause, 3500);
    countStep(0.25f, NULL);  // past 3500: over, the clock back to 0
    EXPECT_FALSE(doCount);
    EXPECT_EQ(cPause, 0);
    endGame();
}

TEST(Countdown, OneLongFrameEndsItAtOnce) {
    boot();
    cPause = 0;
    doCount = true;
    countStep(16, n3);
    countStep(5000, NULL);  // 5016: nothing between is drawn
    EXPECT_FALSE(doCount);
    EXPECT_EQ(cPause, 0) << "set back to 0, not reduced by 3500";
    endGame();
}

// ---- the winner screen ----

// The state the winner screen hands to the menu.
static void expectMenuHandOver() {
    EXPECT_FALSE(gameBezi);
    EXPECT_TRUE(menuBezi);
    EXPECT_TRUE(gameOver);
    EXPECT_EQ(pozicemenu, 0);
    EXPECT_EQ(volbamenu, 0);
}

// A round of game type 0 going on, its last frame on the screen.
static void roundRunning() {
    newGame(0);
    pozicemenu = 1;
    volbamenu = 2;
    fillScreen();
}

TEST(WinnerScreen, EachWinnerShowsHisPictureAndWaitsForAKey) {
    boot();
    ASSERT_NE(winS, nullptr);
    ASSERT_FALSE(sameArea(rpwins, 0, 0, bpwins, 0, 0, std::min(rpwins->w, bpwins->w), 40));
    SDL_Surface* pics[3] = {rpwins, bpwins, NULL};
    int winners[3] = {1, 2, 7};
    SDLKey closeWith[3] = {SDLK_RETURN, SDLK_ESCAPE, SDLK_RETURN};
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(winners[i]);
        roundRunning();
        Mix_HaltChannel(-1);
        K[SDLK_RETURN] = K[SDLK_ESCAPE] = 0;
        std::thread key = pressLater(150, closeWith[i]);
        Uint32 t0 = SDL_GetTicks();
        gameOverAn(winners[i]);
        EXPECT_GE(msSince(t0), 140u) << "the screen waits for the key";
        EXPECT_EQ(Mix_Playing(-1), pics[i] ? 1 : 0) << "the laugh, for a real winner only";
        key.join();
        EXPECT_TRUE(shows(pics[i], 200, 250));
        expectMenuHandOver();
        EXPECT_EQ(K[SDLK_RETURN], 0) << "Return is consumed";
        EXPECT_EQ(K[SDLK_ESCAPE], closeWith[i] == SDLK_ESCAPE ? 1 : 0) << "Escape is left as it is";
        EXPECT_FALSE(done);
    }
    K[SDLK_ESCAPE] = 0;
    endGame();
}

TEST(WinnerScreen, TwoInOneFrameReturnNeedsAFreshPressEscapeDoesNot) {
    boot();
    roundRunning();
    ASSERT_NE(winS, nullptr);
    Mix_HaltChannel(-1);
    K[SDLK_RETURN] = 1;  // the first closed with Return
    gameOverAn(1);
    EXPECT_EQ(K[SDLK_RETURN], 0);
    fillScreen();
    std::thread key = pressLater(150, SDLK_RETURN);
    Uint32 t0 = SDL_GetTicks();
    gameOverAn(2);
    EXPECT_GE(msSince(t0), 140u) << "the second screen waits for a new press";
    EXPECT_EQ(Mix_Playing(-1), 2) << "the laugh plays again over the first";
    key.join();
    EXPECT_TRUE(shows(bpwins, 200, 250));
    expectMenuHandOver();

    roundRunning();
    K[SDLK_ESCAPE] = 1;  // the first closed with Escape, still held
    gameOverAn(2);
    fillScreen();
    std::thread late = pressLater(1500, SDLK_RETURN);  // only if the second one wrongly waits
    t0 = SDL_GetTicks();
    gameOverAn(1);
    EXPECT_LT(msSince(t0), 1000u) << "the held Escape closes the second screen at once";
    late.join();
    EXPECT_TRUE(shows(rpwins, 200, 250));
    expectMenuHandOver();
    K[SDLK_ESCAPE] = K[SDLK_RETURN] = 0;
    endGame();
}

TEST(WinnerScreen, WindowCloseEndsTheWaitAndTheGameWithTheHandOverDone) {
    boot();
    roundRunning();
    K[SDLK_RETURN] = K[SDLK_ESCAPE] = 0;
    std::thread closer([] {
        sleepMs(100);
        pushQuit();
    });
    gameOverAn(1);
    closer.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(event.type, SDL_QUIT);
    expectMenuHandOver();
    // both cowboys fell in that frame: the second winner screen must not wait for Return
    gameBezi = true;
    menuBezi = false;
    std::thread late = pressLater(1500, SDLK_RETURN);  // frees the wait only if it wrongly waits
    Uint32 t0 = SDL_GetTicks();
    gameOverAn(2);
    EXPECT_LT(msSince(t0), 1000u) << "the second screen of the frame returns at once";
    late.join();
    expectMenuHandOver();
    K[SDLK_RETURN] = 0;
    endGame();
}

// ---- the key wait ----

TEST(KeyWait, PollsIntoTheGlobalEventAndRefreshesKeys) {
    boot();
    keys = NULL;
    SDL_Event user = {};
    user.type = SDL_USEREVENT;
    SDL_PushEvent(&user);
    K[SDLK_ESCAPE] = 1;  // already held
    EXPECT_TRUE(keyWait());
    EXPECT_EQ(keys, SDL_GetKeyState(NULL));
    EXPECT_EQ(event.type, SDL_USEREVENT);
    EXPECT_EQ(K[SDLK_ESCAPE], 1) << "the wait itself consumes nothing";
    K[SDLK_ESCAPE] = 0;
    endGame();
}

TEST(KeyWait, AnOldCloseRequestInTheRecordIsNotANewOne) {
    boot();
    K[SDLK_RETURN] = K[SDLK_ESCAPE] = 0;
    event.type = SDL_QUIT;  // what the frame loop polled earlier
    std::thread key = pressLater(100, SDLK_RETURN);
    EXPECT_TRUE(keyWait());
    key.join();
    EXPECT_FALSE(done);
    K[SDLK_RETURN] = 0;
    endGame();
}

// ---- the intro ----

TEST(Intro, StudioThenTitleEachNeedsItsOwnPress) {
    boot();
    K[SDLK_RETURN] = K[SDLK_ESCAPE] = 0;
    ASSERT_FALSE(sameArea(teamLogo, 0, 0, gameLogo, 0, 0, 100, 100));
    ASSERT_NE(music, nullptr);
    std::atomic<bool> studioShown{false}, titleShown{false}, returnEaten{false}, silentFirst{false};
    std::thread player([&] {
        sleepMs(150);
        studioShown = showsAtCorner(teamLogo);
        silentFirst = !Mix_PlayingMusic();
        K[SDLK_RETURN] = 1;  // and keeps holding it
        for (int i = 0; i < 500 && K[SDLK_RETURN]; i++) sleepMs(10);  // until the title has eaten it
        sleepMs(150);
        titleShown = showsAtCorner(gameLogo);
        returnEaten = K[SDLK_RETURN] == 0;
        K[SDLK_ESCAPE] = 1;
    });
    Uint32 t0 = SDL_GetTicks();
    playIntro();
    player.join();
    EXPECT_GE(msSince(t0), 290u);
    EXPECT_TRUE(studioShown) << "the studio picture waits for the first key";
    EXPECT_TRUE(silentFirst) << "the music starts when the studio picture is dismissed";
    EXPECT_TRUE(Mix_PlayingMusic());
    EXPECT_TRUE(titleShown) << "the title waits for a fresh press";
    EXPECT_TRUE(returnEaten);
    EXPECT_EQ(K[SDLK_RETURN], 0);
    EXPECT_EQ(K[SDLK_ESCAPE], 0) << "the key that ends the intro does not reach the menu";
    EXPECT_FALSE(done);
    endGame();
}

TEST(Intro, WindowCloseOnTheStudioPictureEndsTheIntroAtOnce) {
    boot();
    K[SDLK_RETURN] = K[SDLK_ESCAPE] = 0;
    ASSERT_NE(music, nullptr);
    pushQuit();
    playIntro();
    EXPECT_TRUE(done);
    EXPECT_FALSE(Mix_PlayingMusic()) << "no music after a close request";
    EXPECT_TRUE(showsAtCorner(teamLogo)) << "no title after a close request";
    endGame();
}

TEST(Intro, WindowCloseOnTheTitleEndsTheIntro) {
    boot();
    K[SDLK_ESCAPE] = 1;  // held from before: passes the studio picture at once
    std::thread closer([] {
        sleepMs(100);
        pushQuit();
    });
    playIntro();
    closer.join();
    EXPECT_TRUE(done);
    EXPECT_TRUE(showsAtCorner(gameLogo));
    EXPECT_EQ(K[SDLK_ESCAPE], 0);
    endGame();
}
