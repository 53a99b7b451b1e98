// unit_mp_shell.cpp: start-up, the frame loop's timing, shutdown, the command line and missing assets.
#include <gtest/gtest.h>
#include "game.h"
#include "harness.h"
#include "input/pad.h"

#include <SDL_mixer.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

static Uint32 green(SDL_Surface* s) { return SDL_MapRGB(s->format, 0, 255, 0); }

TEST(StartUp, GivesEveryGlobalItsStartValue) {
    bootGame();
    EXPECT_FALSE(done);
    EXPECT_TRUE(menuBezi);
    EXPECT_FALSE(gameBezi);
    EXPECT_TRUE(gameOver);
    EXPECT_FALSE(canEsc);
    EXPECT_FALSE(canGEsc);
    EXPECT_TRUE(mCanMove);
    EXPECT_FALSE(doCount);
    EXPECT_FALSE(p2justdied);
    EXPECT_EQ(gameMode, 0);
    EXPECT_EQ(wLimit, 0);
    EXPECT_EQ(volbamenu, 0);
    EXPECT_EQ(pozicemenu, 0);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(schannel, 0);
    EXPECT_EQ(delta, 0.0f);
    EXPECT_EQ(deltaOld, 0.0f);
    EXPECT_EQ(cPause, 0.0f);
    EXPECT_EQ(mPause, 0.0f);
    endGame();
}

TEST(StartUp, PlacesTheScreenPositions) {
    bootGame();
    const SDL_Rect* rects[] = {&hud1, &hud2, &rmng, &rmop, &rmcr, &rmex};
    const int want[][2] = {{10, 10}, {710, 12}, {200, 150}, {200, 250}, {200, 350}, {200, 450}};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(rects[i]->x, want[i][0]) << "rect " << i;
        EXPECT_EQ(rects[i]->y, want[i][1]) << "rect " << i;
    }
    endGame();
}

TEST(StartUp, PlacesBothCowboysAndTheBottle) {
    bootGame();
    EXPECT_FLOAT_EQ(Hrac1->x, 700.0f);
    EXPECT_FLOAT_EQ(Hrac1->y, 120.0f);
    EXPECT_EQ(Hrac1->smer, 'l');
    EXPECT_FLOAT_EQ(Hrac2->x, 20.0f);
    EXPECT_FLOAT_EQ(Hrac2->y, 430.0f);
    EXPECT_EQ(Hrac2->smer, 'r');
    for (Player* p : {Hrac1, Hrac2}) {
        EXPECT_EQ(p->whiskeyCount, 0);
        EXPECT_FALSE(p->dead);
        EXPECT_TRUE(p->canShoot);
        EXPECT_EQ(p->motion, 's');
        EXPECT_FLOAT_EQ(p->speed, 0.2f);
        EXPECT_EQ(p->screen, screen);
    }
    EXPECT_EQ(whiskey.x, 360);
    EXPECT_EQ(whiskey.y, 300);
    EXPECT_EQ(whiskey.frame, 0);
    EXPECT_FALSE(whiskey.hidden);
    EXPECT_FALSE(whiskey.drawn);
    EXPECT_EQ(whiskey.timer, 0.0f);
    endGame();
}

TEST(StartUp, FillsEverySlotButTwoAndElevenAndSharesThePictures) {
    bootGame();
    for (int slot = 0; slot < 20; slot++) {
        bool empty = slot == 2 || slot == 11;
        EXPECT_EQ(imgbas[slot] == nullptr, empty) << "red slot " << slot;
        EXPECT_EQ(imgbas2[slot] == nullptr, empty) << "blue slot " << slot;
        EXPECT_EQ(Hrac1->img[slot], imgbas[slot]) << "slot " << slot;
        EXPECT_EQ(Hrac2->img[slot], imgbas2[slot]) << "slot " << slot;
        if (!empty) {
            EXPECT_NE(imgbas[slot], imgbas2[slot]) << "the cowboys share slot " << slot;
        }
    }
    for (int i = 0; i < 5; i++) EXPECT_NE(whiskey.img[i], nullptr) << "bottle frame " << i;
    endGame();
}

TEST(StartUp, KeysTheSpritesWithPureGreenInTheDisplayFormat) {
    bootGame();
    std::vector<SDL_Surface*> keyed = {rpwins, bpwins, n0, n1, n2, n3};
    for (SDL_Surface* s : wc) keyed.push_back(s);
    for (int slot = 0; slot < 20; slot++) {
        if (slot == 2 || slot == 11) continue;
        keyed.push_back(imgbas[slot]);
        keyed.push_back(imgbas2[slot]);
    }
    for (SDL_Surface* s : whiskey.img) keyed.push_back(s);
    for (SDL_Surface* s : keyed) {
        ASSERT_NE(s, nullptr);
        EXPECT_TRUE(s->flags & SDL_SRCCOLORKEY);
        EXPECT_EQ(s->format->colorkey, green(s));
        EXPECT_EQ(s->format->BitsPerPixel, screen->format->BitsPerPixel);
    }
    SDL_Surface* opaque[] = {loading, credits, instruc, mng, mnga, mop, mopa, mcr, mcra, mex, mexa, wh, wha,
                             dop, dopa, su, sua, rpi, bpi, mbgr, bgr, teamLogo, gameLogo};
    for (SDL_Surface* s : opaque) {
        ASSERT_NE(s, nullptr);
        EXPECT_FALSE(s->flags & SDL_SRCCOLORKEY);
        EXPECT_EQ(s->format->BitsPerPixel, screen->format->BitsPerPixel);
    }
    endGame();
}

TEST(StartUp, NamesTheWindowAndHidesTheCursor) {
    bootGame();
    char* title = nullptr;
    char* icon = nullptr;
    SDL_WM_GetCaption(&title, &icon);
    EXPECT_STREQ(title, "KORVADO (MP) v2.2 full - TOLVERANT STUDIO - www.tolverant.example");
    EXPECT_STREQ(icon, "kvd.ico");
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(screen->w, 800);
    EXPECT_EQ(screen->h, 600);
    EXPECT_EQ(screen->format->BitsPerPixel, 32);
    endGame();
}

TEST(StartUp, PlaysOnWithoutSoundWhenThereIsNoDevice) {
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    bootGame();
    EXPECT_EQ(music, nullptr);
    FSOUND_SAMPLE* handles[] = {sgfire, sy1, sy2, sy3, swhis, winS};
    for (FSOUND_SAMPLE* s : handles) EXPECT_EQ(s, nullptr);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sgfire), -1);
    EXPECT_EQ(FMUSIC_PlaySong(music), 0);
    EXPECT_NE(bgr, nullptr);
    endGame();
}

TEST(StartUp, LoadsEverySoundWhenTheDeviceOpens) {
    bootGame();
    EXPECT_NE(music, nullptr);
    FSOUND_SAMPLE* handles[] = {sgfire, sy1, sy2, sy3, swhis, winS};
    for (FSOUND_SAMPLE* s : handles) EXPECT_NE(s, nullptr);
    endGame();
}

TEST(Shutdown, DeletesTheCowboysButKeepsEveryPicture) {
    bootGame();
    SDL_Surface* street = bgr;
    SDL_Surface* redRight = imgbas[0];
    Player* extra = new Player(screen, imgbas);
    delete extra;  // a deleted cowboy must not free the shared pictures
    EXPECT_EQ(SDL_BlitSurface(redRight, nullptr, street, nullptr), 0);
    shutDown();
    EXPECT_EQ(Hrac1, nullptr);
    EXPECT_EQ(Hrac2, nullptr);
    EXPECT_EQ(schannel, 0);
    EXPECT_EQ(imgbas[0]->w, 80);  // still a live surface after shutdown
}

TEST(FrameLoop, DeltaIsTheTimeSinceThePreviousPass) {
    bootGame();
    frameTime();
    float first = delta;
    EXPECT_FLOAT_EQ(first, deltaNew);  // the first pass measures from SDL's start
    EXPECT_EQ(deltaOld, deltaNew);
    SDL_Delay(30);
    frameTime();
    EXPECT_GE(delta, 30.0f);
    EXPECT_LT(delta, 200.0f);
    frameTime();
    EXPECT_LT(delta, 30.0f);
    endGame();
}

static Uint32 fakeTicks;
static Uint32 fakeClock() { return fakeTicks; }

// delta for a pass at `ticks`, the previous pass having been at `before`.
static float deltaBetween(Uint32 before, Uint32 ticks) {
    fakeTicks = before;
    frameTime();
    fakeTicks = ticks;
    frameTime();
    return delta;
}

TEST(FrameLoop, DeltaStaysExactAfterHoursAndAcrossTheClocksWrap) {
    tickSource = fakeClock;
    const Uint32 fiveHours = 5u * 3600 * 1000;  // past 2^24 ms, where a float tick loses the last ms
    EXPECT_EQ(deltaBetween(fiveHours, fiveHours + 1), 1.0f);
    EXPECT_EQ(deltaBetween(fiveHours + 1, fiveHours + 18), 17.0f);
    EXPECT_EQ(deltaBetween(0xFFFFFFFFu - 9, 6), 16.0f) << "49.7 days: SDL's tick counter wraps";
    EXPECT_EQ(deltaBetween(0xFFFFFFFFu, 0), 1.0f);
    EXPECT_EQ(deltaNew, 0.0f);
    EXPECT_EQ(deltaOld, deltaNew);
    tickSource = SDL_GetTicks;
}

TEST(FrameLoop, ACloseRequestEndsTheLoopAfterTheFrameIsDrawn) {
    bootGame();
    SDL_FillRect(screen, nullptr, 0);
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    framePass();
    EXPECT_TRUE(done);
    // the menu ran in that same pass: its background is on the screen
    EXPECT_EQ(pixelRGB(screen, 5, 595), pixelRGB(mbgr, 5, 595));
    EXPECT_EQ(keys, SDL_GetKeyState(nullptr));
    endGame();
}

TEST(FrameLoop, RunsTheRoundBeforeTheMenu) {
    bootGame();
    newGame(2);
    menuBezi = true;
    framePass();
    // both ran; the menu drew last, over the street
    EXPECT_TRUE(sameArea(screen, 0, 0, mbgr, 0, 0, 40, 40));
    endGame();
}

// ---- the real program, started as a player starts it ----

static std::string program() { return buildPath("bin/korvado_mp"); }

// A scratch folder of this test process's own, so that parallel runs never share one.
static std::string scratch(const char* name) {
    return std::string(testing::TempDir()) + name + "_" + std::to_string(getpid());
}

// Runs a program from `dir`; returns its exit status, or -1 if it was still running after `seconds`
// (then it is killed outright: a polite SIGTERM can be lost while the intro polls SDL's event queue).
static int runIn(const std::string& dir, const std::string& cmd, int seconds, std::string* err = nullptr) {
    std::string errFile = scratch("korvado_err") + ".txt";
    std::string full = "cd " + dir + " && exec timeout -s KILL " + std::to_string(seconds) + " " + cmd + " 2>" + errFile;
    int status = std::system(full.c_str());
    if (err) {
        FILE* f = fopen(errFile.c_str(), "r");
        char buf[512] = {0};
        if (f) {
            size_t n = fread(buf, 1, sizeof buf - 1, f);
            buf[n] = 0;
            fclose(f);
        }
        *err = buf;
    }
    remove(errFile.c_str());
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return -1;  // stopped by the time limit
    if (!WIFEXITED(status)) return -100 - WTERMSIG(status);
    int code = WEXITSTATUS(status);
    return code == 124 || code == 137 ? -1 : code;
}

static int runFor(const std::string& cmd, int seconds, std::string* err = nullptr) {
    return runIn(buildPath("bin"), cmd, seconds, err);
}

// Runs the program with `args`, without any display; its status, and what it wrote to stdout and stderr.
static int answer(const std::string& args, std::string* out, std::string* err) {
    std::string outFile = scratch("korvado_out") + ".txt";
    int status = runFor("env SDL_VIDEODRIVER=no_such_driver " + program() + " " + args + " >" + outFile, 5, err);
    FILE* f = fopen(outFile.c_str(), "r");
    char buf[4096] = {0};
    if (f) {
        buf[fread(buf, 1, sizeof buf - 1, f)] = 0;
        fclose(f);
    }
    remove(outFile.c_str());
    *out = buf;
    return status;
}

TEST(CommandLine, OnlyNothingOrExactlyFullscreenOpensTheGame) {
    EXPECT_EQ(runFor(program(), 2), -1) << "no argument: waits in the intro";
    EXPECT_EQ(runFor(program() + " fullscreen", 2), -1) << "fullscreen: waits in the intro";
    EXPECT_EQ(runFor(program() + " fullscreen extra words", 2), -1) << "further arguments are ignored";
}

// Every answer comes before SDL looks for a display: none is reachable here.
TEST(CommandLine, HelpVersionAndWrongArgumentsAnswerWithoutAWindow) {
    std::string out, err;
    for (const char* arg : {"--help", "-h"}) {
        EXPECT_EQ(answer(arg, &out, &err), 0) << arg;
        for (const char* word : {"usage: korvado_mp [fullscreen]", "Right Ctrl", "Q fires", "SHOWDOWN",
                                 "the first drives red, the second blue", "B or Back"})
            EXPECT_NE(out.find(word), std::string::npos) << arg << " lacks " << word << ": " << out;
        EXPECT_EQ(err, "") << arg;
    }
    EXPECT_EQ(answer("--version", &out, &err), 0);
    EXPECT_EQ(out.rfind("KORVADO 2.2\n", 0), 0u) << out;
    EXPECT_NE(out.find("two-player edition (MP)"), std::string::npos) << out;
    for (const char* arg : {"Fullscreen", "-fullscreen", "FULLSCREEN", "window", "fullscreen2", "--helpme", "''"}) {
        EXPECT_EQ(answer(arg, &out, &err), 2) << arg;
        EXPECT_EQ(err.rfind("usage: korvado_mp [fullscreen]\n", 0), 0u) << arg << ": " << err;
        EXPECT_EQ(out, "") << arg;
    }
    EXPECT_EQ(answer("--record", &out, &err), 2) << "a demo option wants its file";
    EXPECT_EQ(answer("--playdemo /no/such.kvd", &out, &err), 1);
    EXPECT_EQ(err, "korvado: demo /no/such.kvd: No such file or directory\n");
}

TEST(CommandLine, AMissingPictureNamesItsPathAndExitsWithOne) {
    std::string tmp = scratch("korvado_missing");
    std::string setup = "rm -rf " + tmp + " && mkdir -p " + tmp + "/bin && cp -r " + buildPath("images") + " " +
                        buildPath("sfx") + " " + buildPath("music") + " " + tmp + "/ && cp " + program() + " " +
                        tmp + "/bin/ && rm " + tmp + "/images/P2/hrac_left_d03.png";
    ASSERT_EQ(std::system(setup.c_str()), 0);
    std::string err;
    EXPECT_EQ(runIn(tmp + "/bin", "./korvado_mp", 10, &err), 1);
    EXPECT_NE(err.find("../images/P2/hrac_left_d03.png"), std::string::npos) << err;
    std::system(("rm -rf " + tmp).c_str());
}

TEST(CommandLine, FindsItsAssetsFromAnyWorkingDirectory) {
    EXPECT_EQ(runIn("/", program(), 2), -1) << "started from / it still reaches the intro";
}

TEST(CommandLine, ADisplayThatCannotOpenIsAnErrorNotSuccess) {
    std::string err;
    EXPECT_EQ(runFor("env SDL_VIDEODRIVER=no_such_driver " + program(), 5, &err), 1);
    EXPECT_NE(err.find("korvado:"), std::string::npos) << err;
}

TEST(FrameLoop, TheFastBackgroundCopyDrawsWhatTheBlitWould) {
    bootGame();
    SDL_Surface* blitted = SDL_DisplayFormat(screen);
    ASSERT_NE(blitted, nullptr);
    SDL_BlitSurface(bgr, nullptr, blitted, nullptr);
    SDL_FillRect(screen, nullptr, 0);
    drawBackground(bgr);
    EXPECT_TRUE(sameArea(screen, 0, 0, blitted, 0, 0, 800, 600));
    // a keyed picture is no background: it still goes through the blit and keeps its holes
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 1, 2, 3));
    drawBackground(n3);
    EXPECT_EQ(pixelRGB(screen, 0, 0), 0x010203u);
    SDL_FreeSurface(blitted);
    endGame();
}

// Each pass of the tests names the SDL 1.2 it means to run on; this proves the pass got that one.
TEST(Platform, RunsOnTheSdlImplementationItsPassNames) {
    const SDL_version* v = SDL_Linked_Version();
    bool compat = v->major == 1 && v->minor == 2 && v->patch >= 50;  // sdl12-compat counts from 1.2.50
    printf("SDL %d.%d.%d (%s)\n", v->major, v->minor, v->patch, compat ? "sdl12-compat" : "classic");
    const char* pass = getenv("KORVADO_SDL");
    if (!pass) GTEST_SKIP() << "not run from a named test pass";
    EXPECT_STREQ(pass, compat ? "sdl12-compat" : "classic");
}

// ---- gamepads: the mapping over a pad's state, no device ----

static PadState controllerPad(std::initializer_list<int> held) {
    PadState p{};
    p.controller = true;
    p.buttonCount = 22;
    for (int b : held) p.buttons |= 1u << b;
    return p;
}

static unsigned bit(int control) { return 1u << control; }

TEST(Pads, TheStickHasADeadZoneAndADiagonalIsTwoDirections) {
    PadState p = controllerPad({});
    p.axes[0] = 32767 / 3, p.axes[1] = -32767 / 3;
    EXPECT_EQ(padControls(p), 0u) << "a third of the travel is still the dead zone";
    p.axes[0] = 32767 / 3 + 1, p.axes[1] = -32768;
    EXPECT_EQ(padControls(p), bit(PAD_RIGHT) | bit(PAD_UP));
    p.axes[0] = -20000, p.axes[1] = 20000;
    EXPECT_EQ(padControls(p), bit(PAD_LEFT) | bit(PAD_DOWN));
    EXPECT_EQ(padControls(controllerPad({11, 14})), bit(PAD_UP) | bit(PAD_RIGHT)) << "the D-pad";
    PadState classic{};
    classic.buttonCount = 10;
    classic.hat = SDL_HAT_LEFTDOWN;
    EXPECT_EQ(padControls(classic), bit(PAD_LEFT) | bit(PAD_DOWN)) << "the hat of a pad known by numbers";
}

TEST(Pads, EveryLayoutHasFireAStartAndBack) {
    EXPECT_EQ(padControls(controllerPad({0})), bit(PAD_A));
    for (int fire : {2, 10}) EXPECT_EQ(padControls(controllerPad({fire})), bit(PAD_FIRE)) << fire;
    PadState trigger = controllerPad({});
    trigger.axes[5] = 30000;
    EXPECT_EQ(padControls(trigger), bit(PAD_FIRE)) << "the right trigger";
    for (int back : {1, 4}) EXPECT_EQ(padControls(controllerPad({back})), bit(PAD_BACK)) << back;
    EXPECT_EQ(padControls(controllerPad({6})), bit(PAD_START));
    EXPECT_EQ(padControls(controllerPad({3, 5, 9})), 0u) << "Y, Guide and the left shoulder do nothing";
    PadState classic{};
    classic.buttonCount = 12;  // the highest two of the first ten are Back and Start
    unsigned want[10] = {bit(PAD_A), bit(PAD_BACK), bit(PAD_FIRE), bit(PAD_FIRE), bit(PAD_FIRE),
                         bit(PAD_FIRE), bit(PAD_FIRE), bit(PAD_FIRE), bit(PAD_BACK), bit(PAD_START)};
    for (int b = 0; b < 12; b++) {
        classic.buttons = 1u << b;
        EXPECT_EQ(padControls(classic), b < 10 ? want[b] : 0u) << "button " << b;
    }
    classic.buttonCount = 4, classic.buttons = 1u << 3;
    EXPECT_EQ(padControls(classic), bit(PAD_FIRE)) << "a small pad has no Back and Start";
}

// One pass of pads over the key array, as localInputs makes it.
static void padPass(PadMerge& m, Uint8* k, bool inRound, unsigned pad0, unsigned pad1 = 0, int pads = 2) {
    unsigned controls[2] = {pad0, pad1};
    padMerge(m, controls, pads, inRound, k);
}

TEST(Pads, APressIsAKeyPressThatAScreenConsumesUntilLetGo) {
    static Uint8 k[SDLK_LAST];
    PadMerge m{};
    padPass(m, k, false, bit(PAD_START));
    EXPECT_EQ(k[SDLK_RETURN], 1);
    k[SDLK_RETURN] = 0;  // a screen took it
    padPass(m, k, false, bit(PAD_START));
    EXPECT_EQ(k[SDLK_RETURN], 0) << "a consumed press stays consumed while held";
    padPass(m, k, false, 0);
    padPass(m, k, false, bit(PAD_START));
    EXPECT_EQ(k[SDLK_RETURN], 1) << "pressed again";
    padPass(m, k, false, 0);
    EXPECT_EQ(k[SDLK_RETURN], 0);

    padPass(m, k, true, bit(PAD_A));
    EXPECT_EQ(k[SDLK_RCTRL], 1) << "A fires in a round";
    EXPECT_EQ(k[SDLK_RETURN], 0);
    padPass(m, k, false, bit(PAD_A));
    EXPECT_EQ(k[SDLK_RETURN], 0) << "the shot that won does not close the winner screen";
    padPass(m, k, false, 0);
    padPass(m, k, false, bit(PAD_A));
    EXPECT_EQ(k[SDLK_RETURN], 1);

    padPass(m, k, false, 0);
    k[SDLK_ESCAPE] = 1;  // held on the keyboard
    padPass(m, k, false, bit(PAD_BACK));
    padPass(m, k, false, 0);
    EXPECT_EQ(k[SDLK_ESCAPE], 1) << "the keyboard still holds it";
}

TEST(Pads, TheFirstPadIsRedTheSecondBlueAndAPulledOutPadHoldsNothing) {
    static Uint8 k[SDLK_LAST];
    PadMerge m{};
    unsigned walkFire = bit(PAD_UP) | bit(PAD_LEFT) | bit(PAD_FIRE);
    padPass(m, k, true, walkFire, bit(PAD_RIGHT) | bit(PAD_A));
    for (int key : {SDLK_UP, SDLK_LEFT, SDLK_RCTRL, SDLK_d, SDLK_q}) EXPECT_EQ(k[key], 1) << key;
    for (int key : {SDLK_w, SDLK_a, SDLK_RIGHT, SDLK_RETURN, SDLK_k}) EXPECT_EQ(k[key], 0) << key;
    padPass(m, k, true, 0, 0);  // both pulled out: SDL reads them as let go
    for (int key : PAD_KEYS) EXPECT_EQ(k[key], 0) << key;

    padPass(m, k, false, 0, bit(PAD_DOWN));
    EXPECT_EQ(k[SDLK_DOWN], 1) << "the second pad chooses in the menu too";
    padPass(m, k, true, 0, bit(PAD_DOWN));
    EXPECT_EQ(k[SDLK_DOWN], 0) << "but never walks red";
    EXPECT_EQ(k[SDLK_s], 1) << "blue walks on, as with his key held";
}
