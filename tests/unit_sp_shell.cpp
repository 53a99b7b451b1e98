// unit_sp_shell.cpp: what start-up does differently in the single-player edition, and its demos.
#include <gtest/gtest.h>
#include "demo/demo.h"
#include "draw/draw.h"
#include "harness.h"
#include "shell/shell.h"

#include <SDL_image.h>

TEST(SinglePlayerStartUp, HasItsOwnCaptionAndMenuBackground) {
    bootGame();
    char* title = nullptr;
    char* icon = nullptr;
    SDL_WM_GetCaption(&title, &icon);
    EXPECT_STREQ(title, "KORVADO (SP) v2.2 full - TOLVERANT STUDIO - www.tolverant.example");
    EXPECT_STREQ(icon, "kvd.ico");
    SDL_Surface* sp = IMG_Load("../images/menu/bgrsp.png");
    SDL_Surface* mp = IMG_Load("../images/menu/bgr.png");
    ASSERT_NE(sp, nullptr);
    ASSERT_NE(mp, nullptr);
    bool likeSp = true, likeMp = true;
    for (int y = 0; y < 600; y += 7)
        for (int x = 0; x < 800; x += 7) {
            likeSp = likeSp && pixelRGB(mbgr, x, y) == pixelRGB(sp, x, y);
            likeMp = likeMp && pixelRGB(mbgr, x, y) == pixelRGB(mp, x, y);
        }
    EXPECT_TRUE(likeSp);
    EXPECT_FALSE(likeMp) << "the two menu backgrounds should tell the editions apart";
    SDL_FreeSurface(sp);
    SDL_FreeSurface(mp);
    endGame();
}

// The computer's golden duel (recorded by demogen) to its hash and winner, and each shipped demo to a winner.
TEST(SinglePlayerDemos, PlayToTheirWinners) {
    bootGame();
    int winner = -1;
    EXPECT_EQ(playDemoFile(std::string(KORVADO_SOURCE_DIR) + "/tests/golden/sp-0.kvd", &winner), 0x7b7ee085u);
    EXPECT_EQ(winner, 2);
    for (int type = 0; type < 3; type++) {
        GameState end;
        playDemoFile(attractDemoPath(type), &winner, &end);
        EXPECT_EQ(end.gameMode, type);
        EXPECT_TRUE(winner == 1 || winner == 2) << attractDemoPath(type);
    }
    endGame();
}
