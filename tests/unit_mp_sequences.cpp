// unit_mp_sequences.cpp: the intro's and the winner screens' waits for a key, the countdown's digits and its end.
#include <gtest/gtest.h>

#include <SDL_mixer.h>
#include <algorithm>

#include "draw/draw.h"
#include "game/ticker.h"
#include "harness.h"
#include "shell/shell.h"

namespace {

class Sequences : public ::testing::Test {
protected:
    GameState s = startState(1);
    TickEvents ev;
    void SetUp() override { bootGame(); }
    void TearDown() override { endGame(); }

    // One pass with `held` down (and the window's close button when asked), drawn.
    void pass(std::initializer_list<int> held, bool close = false) {
        TicCmd c;
        c.held = bits(held), c.close = close, c.dt = passTimed(s) ? 16 : 0;
        ev = tick(s, c);
        drawFrame(s);
    }
    // True when the screen shows `pic` (null: nothing) at (x, y) over the street.
    bool overStreet(SDL_Surface* pic, int x, int y, int w, int h) {
        SDL_Surface* ref = SDL_ConvertSurface(bgr, bgr->format, SDL_SWSURFACE);
        SDL_Rect at = {Sint16(x), Sint16(y), 0, 0};
        if (pic) SDL_BlitSurface(pic, NULL, ref, &at);
        bool same = sameArea(screen, x, y, ref, x, y, w, h);
        SDL_FreeSurface(ref);
        return same;
    }
    // True when the frame shows `pics` in turn at (200, 250) over the round's last frame.
    bool showsOverRound(std::initializer_list<SDL_Surface*> pics) {
        SDL_Surface* shown = SDL_ConvertSurface(screen, screen->format, SDL_SWSURFACE);
        GameState under = s;
        under.screen = SCR_PLAY;
        drawFrame(under);
        for (SDL_Surface* pic : pics) {
            SDL_Rect at = {200, 250, 0, 0};
            SDL_BlitSurface(pic, NULL, screen, &at);
        }
        bool same = sameArea(shown, 200, 250, screen, 200, 250, 400, 120);
        SDL_FreeSurface(shown);
        return same;
    }
    bool showsAtCorner(SDL_Surface* pic) {
        return sameArea(screen, 0, 0, pic, 0, 0, std::min(pic->w, 800), std::min(pic->h, 600));
    }
    // A round going on whose next pass ends it: red's win, blue's, or both cowboys' last lives gone at once.
    void lastPassComing(bool redWins, bool blueWins) {
        newGame(s, 1);
        s.doCount = false;
        s.Hrac2.whiskeyCount = redWins ? 0 : 3;
        s.Hrac1.whiskeyCount = blueWins ? 0 : 3;
        s.pozicemenu = 1, s.volbamenu = 2;
    }
    // The state the winner screens hand to the menu.
    void expectMenuHandOver() {
        EXPECT_EQ(s.screen, SCR_PLAY);
        EXPECT_TRUE(!s.gameBezi && s.menuBezi && s.gameOver);
        EXPECT_EQ(s.pozicemenu, 0);
        EXPECT_EQ(s.volbamenu, 0);
    }
};

}  // namespace

// ---- the countdown ----

TEST_F(Sequences, CountdownDigitsChangeAtTheirExactThresholds) {
    int w = std::max({n0->w, n1->w, n2->w, n3->w}), h = std::max({n0->h, n1->h, n2->h, n3->h});
    ASSERT_FALSE(sameArea(n3, 0, 0, n2, 0, 0, std::min(n3->w, n2->w), std::min(n3->h, n2->h)));
    newGame(s, 2);
    s.shown.view = VIEW_ROUND;
    // One countdown pass of `ms` and the digit the frame then shows (null: none).
    auto step = [&](float ms, SDL_Surface* digit) {
        s.delta = ms;
        count(s);
        drawFrame(s);
        EXPECT_TRUE(overStreet(digit, 300, 200, w, h)) << "clock " << s.cPause;
    };
    step(999, n3);
    step(1, n2);  // 1000 exactly
    step(999.5f, n2);
    step(0.5f, n1);  // 2000
    step(999, n1);
    step(1, n0);  // 3000
    step(499, n0);
    step(1, NULL);  // 3500 exactly: nothing, and not over yet
    EXPECT_TRUE(s.doCount);
    EXPECT_FLOAT_EQ(s.cPause, 3500);
    step(0.25f, NULL);  // past 3500: over, the clock back to 0
    EXPECT_FALSE(s.doCount);
    EXPECT_EQ(s.cPause, 0);

    newGame(s, 2);
    step(16, n3);
    step(5000, NULL);  // one long pass: 5016, nothing between is drawn
    EXPECT_FALSE(s.doCount);
    EXPECT_EQ(s.cPause, 0) << "set back to 0, not reduced by 3500";
}

// ---- the winner screens ----

TEST_F(Sequences, EachWinnerShowsHisPictureWithHisLaughAndWaitsForAKey) {
    ASSERT_FALSE(sameArea(rpwins, 0, 0, bpwins, 0, 0, std::min(rpwins->w, bpwins->w), 40));
    for (int winner : {1, 2}) {
        SCOPED_TRACE(winner);
        s = startState(1);
        lastPassComing(winner == 1, winner == 2);
        pass({});
        EXPECT_TRUE(played(ev, SND_LAUGH, winner));
        for (int i = 0; i < 5; i++) pass({});  // its passes wait, with no frame time
        ASSERT_EQ(s.screen, SCR_WINNER);
        EXPECT_FALSE(passTimed(s));
        EXPECT_TRUE(showsOverRound({winner == 1 ? rpwins : bpwins}));
        int key = winner == 1 ? K_RETURN : K_ESCAPE;
        pass({key});
        expectMenuHandOver();
        EXPECT_FALSE(held(s, K_RETURN)) << "Return is taken";
        EXPECT_EQ(held(s, K_ESCAPE), key == K_ESCAPE) << "Escape is left as it is";
        EXPECT_FALSE(s.done);
    }
}

// Both cowboys' last lives in one pass: blue's screen, then red's over it, each with the laugh.
TEST_F(Sequences, TwoInOnePassReturnNeedsAFreshPressEscapeDoesNot) {
    lastPassComing(true, true);
    pass({K_RETURN});  // Return held into the last pass closes the first screen at once
    pass({K_RETURN});
    ASSERT_EQ(s.screen, SCR_WINNER);
    EXPECT_TRUE(played(ev, SND_LAUGH, 1)) << "the second screen laughs again";
    for (int i = 0; i < 5; i++) pass({K_RETURN});
    EXPECT_EQ(s.screen, SCR_WINNER) << "the second screen waits for a new press";
    EXPECT_TRUE(showsOverRound({bpwins, rpwins}));
    pass({});
    pass({K_RETURN});
    expectMenuHandOver();

    s = startState(1);
    lastPassComing(true, true);
    pass({});
    pass({K_ESCAPE});  // the first closed with Escape, still held
    pass({K_ESCAPE});
    expectMenuHandOver();  // the held Escape closes the second screen at once
}

TEST_F(Sequences, WindowCloseEndsTheWaitAndTheGameWithTheHandOverDone) {
    lastPassComing(true, true);
    pass({});
    pass({}, true);  // closed on the first screen: the second waits for nothing
    EXPECT_TRUE(s.done);
    EXPECT_FALSE(played(ev, SND_LAUGH));
    expectMenuHandOver();

    s = startState(1);
    lastPassComing(true, false);
    pass({}, true);  // closed in the round's last pass: no screen at all
    EXPECT_TRUE(s.done);
    EXPECT_FALSE(played(ev, SND_LAUGH));
    expectMenuHandOver();
}

// ---- the intro, through the real frame ----

TEST_F(Sequences, StudioThenTitleEachNeedsItsOwnPress) {
    ASSERT_FALSE(sameArea(teamLogo, 0, 0, gameLogo, 0, 0, 100, 100));
    s = introState(1);
    auto frame = [&](std::initializer_list<int> held, bool close = false) {
        TicCmd c;
        c.held = bits(held), c.close = close;
        return passFrame(s, c, false);
    };
    for (int i = 0; i < 3; i++) frame({});
    EXPECT_TRUE(showsAtCorner(teamLogo)) << "the studio picture waits for the first key";
    EXPECT_FALSE(Mix_PlayingMusic());
    frame({K_RETURN});
    EXPECT_TRUE(Mix_PlayingMusic()) << "the music starts when the studio picture is dismissed";
    for (int i = 0; i < 3; i++) frame({K_RETURN});  // and Return kept held
    EXPECT_TRUE(showsAtCorner(gameLogo)) << "the title waits for a fresh press";
    EXPECT_EQ(s.screen, SCR_TITLE);
    frame({K_RETURN, K_ESCAPE});
    EXPECT_EQ(s.screen, SCR_PLAY);
    EXPECT_TRUE(showsAtCorner(gameLogo)) << "the title shows until the menu's first pass";
    EXPECT_FALSE(held(s, K_RETURN) || held(s, K_ESCAPE)) << "the key that ends the intro does not reach the menu";
    EXPECT_FALSE(s.done);

    s = introState(1);
    Mix_HaltMusic();
    EXPECT_FALSE(frame({K_RETURN}, true)) << "the window closed on the studio picture ends the game";
    EXPECT_FALSE(Mix_PlayingMusic()) << "no music after a close request";
    EXPECT_TRUE(showsAtCorner(teamLogo)) << "no title after a close request";

    s = introState(1);
    frame({K_ESCAPE});  // held from before: passes the studio picture at once
    EXPECT_FALSE(frame({K_ESCAPE}, true)) << "the window closed on the title ends the game";
    EXPECT_TRUE(showsAtCorner(gameLogo));
    EXPECT_FALSE(held(s, K_ESCAPE));
}
