// unit_mp_shell.cpp: the start values, start-up, the frame loop's timing and passes, the command line, missing
// assets, the pads' keys and the player's settings.
#include <gtest/gtest.h>
#include "demo/demo.h"
#include "draw/draw.h"
#include "game/ticker.h"
#include "harness.h"
#include "input/input.h"
#include "input/pad.h"
#include "shell/settings.h"
#include "shell/shell.h"

#include <SDL_mixer.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static Uint32 green(SDL_Surface* s) { return SDL_MapRGB(s->format, 0, 255, 0); }

TEST(StartState, GivesEveryFieldItsStartValue) {
    GameState s = startState(1234);
    EXPECT_EQ(s.screen, SCR_PLAY);
    EXPECT_TRUE(!s.done && s.menuBezi && !s.gameBezi && s.gameOver && !s.canEsc && !s.canGEsc && s.mCanMove);
    EXPECT_TRUE(!s.doCount && !s.p2justdied);
    EXPECT_EQ(s.gameMode + s.wLimit + s.volbamenu + s.pozicemenu + s.r, 0);
    EXPECT_EQ(s.delta + s.mPause + s.cPause + s.reflex + s.wReflex, 0.0f);
    EXPECT_EQ(s.rng.seed, 1234u);
    EXPECT_EQ(s.rng.draws, 0u);
    EXPECT_EQ(s.keys | s.heldBefore, 0);
    EXPECT_FLOAT_EQ(s.Hrac1.x, 700.0f);
    EXPECT_FLOAT_EQ(s.Hrac1.y, 120.0f);
    EXPECT_EQ(s.Hrac1.smer, 'l');
    EXPECT_FLOAT_EQ(s.Hrac2.x, 20.0f);
    EXPECT_FLOAT_EQ(s.Hrac2.y, 430.0f);
    EXPECT_EQ(s.Hrac2.smer, 'r');
    for (const Player* p : {&s.Hrac1, &s.Hrac2}) {
        EXPECT_EQ(p->whiskeyCount, 0);
        EXPECT_TRUE(!p->dead && p->canShoot);
        EXPECT_EQ(p->motion, 's');
        EXPECT_FLOAT_EQ(p->speed, 0.2f);
    }
    const Whiskey& w = s.whiskey;
    EXPECT_EQ(w.x, 360);
    EXPECT_EQ(w.y, 300);
    EXPECT_EQ(w.frame, 0);
    EXPECT_TRUE(!w.hidden && !w.drawn);
    EXPECT_EQ(w.timer, 0.0f);
    GameState intro = introState(1234);
    EXPECT_EQ(intro.screen, SCR_STUDIO);
    intro.screen = SCR_PLAY, intro.shown.view = VIEW_MENU;
    EXPECT_EQ(stateHash(intro), stateHash(s)) << "the intro's state differs only in its screen";
}

TEST(StartUp, FillsEverySlotButTwoAndElevenWithEachCowboysOwnPictures) {
    bootGame();
    for (int slot = 0; slot < 20; slot++) {
        bool empty = slot == 2 || slot == 11;
        EXPECT_EQ(imgbas[slot] == nullptr, empty) << "red slot " << slot;
        EXPECT_EQ(imgbas2[slot] == nullptr, empty) << "blue slot " << slot;
        if (!empty) {
            EXPECT_NE(imgbas[slot], imgbas2[slot]) << "the cowboys share slot " << slot;
        }
    }
    for (SDL_Surface* p : whiskeyPics) EXPECT_NE(p, nullptr);
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
    for (SDL_Surface* s : whiskeyPics) keyed.push_back(s);
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
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);
    for (int i = 0; i < SOUNDS; i++) playSound(uint8_t(i));
    startMusic();
    EXPECT_NE(bgr, nullptr);
    endGame();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

// Every sample and the music play; a frame plays the sounds its pass returned.
TEST(StartUp, LoadsEverySoundWhenTheDeviceOpens) {
    bootGame();
    ASSERT_NE(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);
    for (int i = 0; i < SOUNDS; i++) playSound(uint8_t(i));
    EXPECT_EQ(Mix_Playing(-1), SOUNDS);
    startMusic();
    EXPECT_TRUE(Mix_PlayingMusic());
    stopSounds();
    GameState s = startState(1);
    newGame(s, 2);
    s.doCount = false;
    TicCmd fire;
    fire.held = keyBit(K_RCTRL) | keyBit(K_Q), fire.dt = 16;
    passFrame(s, fire, true);
    EXPECT_EQ(Mix_Playing(-1), 2) << "both shots";
    endGame();
}

TEST(FrameLoop, FrameTimeIsTheTimeSinceThePreviousPass) {
    bootGame();
    frameTime();
    SDL_Delay(30);
    uint16_t d = frameTime();
    EXPECT_GE(d, 30);
    EXPECT_LT(d, 200);
    EXPECT_LT(frameTime(), 30);
    endGame();
}

static Uint32 fakeTicks;
static Uint32 fakeClock() { return fakeTicks; }

// The frame time of a pass at `ticks`, the previous pass having been at `before`.
static uint16_t frameTimeBetween(Uint32 before, Uint32 ticks) {
    fakeTicks = before;
    frameTime();
    fakeTicks = ticks;
    return frameTime();
}

TEST(FrameLoop, FrameTimeStaysExactAfterHoursAndAcrossTheClocksWrap) {
    tickSource = fakeClock;
    const Uint32 fiveHours = 5u * 3600 * 1000;  // past 2^24 ms, where a float tick loses the last ms
    EXPECT_EQ(frameTimeBetween(fiveHours, fiveHours + 1), 1);
    EXPECT_EQ(frameTimeBetween(fiveHours + 1, fiveHours + 18), 17);
    EXPECT_EQ(frameTimeBetween(0xFFFFFFFFu - 9, 6), 16) << "49.7 days: SDL's tick counter wraps";
    EXPECT_EQ(frameTimeBetween(0xFFFFFFFFu, 0), 1);
    EXPECT_EQ(frameTimeBetween(1000, 1000 + 70000), 65535) << "a pass of over a minute counts as a minute";
    tickSource = SDL_GetTicks;
}

// One window event a pass: the close request polled in the second pass ends the loop once that pass's
// frame is drawn; a pass that polls no event has no close request.
TEST(FrameLoop, ACloseRequestEndsTheLoopAfterTheFrameIsDrawn) {
    bootGame();
    GameState s = startState(1);
    SDL_Event e = {};
    while (SDL_PollEvent(&e)) {
    }
    SDL_FillRect(screen, nullptr, 0);
    e.type = SDL_USEREVENT;
    SDL_PushEvent(&e);
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    EXPECT_TRUE(runFrame(s, localInputs));
    EXPECT_FALSE(runFrame(s, localInputs));
    EXPECT_TRUE(s.done);
    EXPECT_EQ(pixelRGB(screen, 5, 595), pixelRGB(mbgr, 5, 595)) << "the menu ran and drew in that same pass";
    TicCmd cmd;
    localInputs(s, true, cmd);
    EXPECT_FALSE(cmd.close);
    endGame();
}

// A round that hands over to the menu shows the menu in the same pass: both run, the round first.
TEST(FrameLoop, RunsTheRoundBeforeTheMenu) {
    bootGame();
    GameState s = startState(1);
    newGame(s, 2);
    s.menuBezi = true;
    TicCmd cmd;
    cmd.dt = 16;
    passFrame(s, cmd, true);
    EXPECT_FLOAT_EQ(s.cPause, 16) << "the round ran";
    EXPECT_EQ(s.shown.view, VIEW_MENU);
    EXPECT_TRUE(sameArea(screen, 0, 0, mbgr, 0, 0, 40, 40)) << "the menu drew last";
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


// One pass of two pads' controls: the game's keys they hold and press.
static PadKeys padPass(PadMerge& m, bool inRound, unsigned pad0, unsigned pad1 = 0) {
    unsigned controls[2] = {pad0, pad1};
    return padMerge(m, controls, 2, inRound);
}

// The pads' keys and the keyboard's in one record, played on the intro: a screen takes a press, which stays
// taken while held; a pad's press over a key the keyboard holds is a press again.
TEST(Pads, APressIsAKeyPressThatAScreenTakesUntilLetGo) {
    PadMerge m{};
    GameState s = introState(1);
    uint16_t keyboard = 0;
    auto pass = [&](unsigned pad0) {
        PadKeys k = padPass(m, false, pad0);
        TicCmd c;
        c.held = uint16_t(keyboard | k.held), c.fresh = uint16_t(k.fresh);
        tick(s, c);
        return k;
    };
    EXPECT_EQ(pass(bit(PAD_START)).fresh, keyBit(K_RETURN));
    EXPECT_EQ(s.screen, SCR_TITLE);
    PadKeys k = pass(bit(PAD_START));
    EXPECT_EQ(k.held, keyBit(K_RETURN));
    EXPECT_EQ(k.fresh, 0u);
    EXPECT_EQ(s.screen, SCR_TITLE) << "a taken press stays taken while held";
    pass(0);
    pass(bit(PAD_START));
    EXPECT_EQ(s.screen, SCR_PLAY) << "pressed again";

    EXPECT_EQ(padPass(m, true, bit(PAD_A)).held, keyBit(K_RCTRL)) << "A fires in a round";
    EXPECT_EQ(padPass(m, false, bit(PAD_A)).held, keyBit(K_RCTRL)) << "the shot that won does not end the winner screen";
    padPass(m, false, 0);
    EXPECT_EQ(padPass(m, false, bit(PAD_A)).held, bits({K_RCTRL, K_RETURN}));

    s = introState(1);
    keyboard = keyBit(K_RETURN);
    pass(0);
    pass(0);
    EXPECT_EQ(s.screen, SCR_TITLE) << "the keyboard's Return, taken by the studio picture";
    pass(bit(PAD_START));
    EXPECT_EQ(s.screen, SCR_PLAY) << "Start pressed over it";
}

TEST(Pads, TheFirstPadIsRedTheSecondBlueAndAPulledOutPadHoldsNothing) {
    PadMerge m{};
    unsigned walkFire = bit(PAD_UP) | bit(PAD_LEFT) | bit(PAD_FIRE);
    EXPECT_EQ(padPass(m, true, walkFire, bit(PAD_RIGHT) | bit(PAD_A)).held, bits({K_UP, K_LEFT, K_RCTRL, K_D, K_Q}));
    EXPECT_EQ(padPass(m, true, 0, 0).held, 0u) << "both pulled out: SDL reads them as let go";
    EXPECT_EQ(padPass(m, false, 0, bit(PAD_DOWN)).held, bits({K_DOWN, K_S})) << "the second pad chooses in the menu too";
    EXPECT_EQ(padPass(m, true, 0, bit(PAD_DOWN)).held, keyBit(K_S)) << "but never walks red; blue walks on";
}

// ---- the player's settings ----

TEST(Settings, TheFileReadsBackAsWrittenKeepsUnknownLinesAndSkipsDamagedOnes) {
    Settings desk = defaultSettings(false), page = defaultSettings(true);
    EXPECT_EQ(desk.keys[0][ACT_FIRE][0], SDLK_RCTRL);
    EXPECT_EQ(desk.keys[0][ACT_FIRE][1], SDLK_RSHIFT) << "Right Shift fires too, on keyboards without Right Ctrl";
    EXPECT_EQ(page.keys[0][ACT_FIRE][0], SDLK_RSHIFT);
    EXPECT_EQ(page.keys[0][ACT_FIRE][1], 0) << "no Right Ctrl in a page: Ctrl+W closes the tab";
    std::vector<int> damaged;
    EXPECT_EQ(settingsText(parseSettings("", desk, damaged)), settingsText(desk)) << "nothing kept: the defaults";

    Settings mine = desk;
    mine.keys[1][ACT_UP][0] = SDLK_KP8, mine.keys[1][ACT_UP][1] = SDLK_SPACE, mine.keys[0][ACT_FIRE][1] = 0;
    mine.music = 0, mine.sounds = 7, mine.fullScreen = true;
    mine.unknown = {"window.scale = 2"};
    std::string text = settingsText(mine);
    EXPECT_NE(text.find("blue.up = keypad 8, space\n"), std::string::npos) << text;
    Settings back = parseSettings(text, desk, damaged);
    EXPECT_EQ(settingsText(back), text);
    EXPECT_TRUE(damaged.empty());

    text = "music = 3\nmusic = 11\nred.fire = x, warp drive\nno equals sign here\nblue.fire = q, escape\n"
           "sounds = 4\nlater.option = yes\nred.up = i, j, l\n";
    back = parseSettings(text, desk, damaged);
    EXPECT_EQ(damaged, (std::vector<int>{2, 3, 4, 5, 8}));
    EXPECT_EQ(back.music, 3);
    EXPECT_EQ(back.sounds, 4);
    EXPECT_EQ(back.keys[0][ACT_FIRE][0], SDLK_RCTRL) << "a damaged line changes nothing";
    EXPECT_EQ(back.keys[1][ACT_FIRE][1], 0) << "Escape is no cowboy's key";
    EXPECT_EQ(back.unknown, std::vector<std::string>{"later.option = yes"});
}

// The file is written whole or not at all: into a temporary file, renamed over the old one.
TEST(Settings, KeptInTheConfigurationFolderThroughATemporaryFile) {
    std::string folder = std::string(getenv("XDG_CONFIG_HOME")) + "/korvado", file = folder + "/settings";
    unlink(file.c_str());
    loadPlayerSettings();
    EXPECT_EQ(settingsText(playerSettings()), settingsText(defaultSettings(false)));
    playerSettings().music = 2;
    ASSERT_TRUE(savePlayerSettings());
    FILE* f = fopen(file.c_str(), "w+");
    ASSERT_TRUE(f);
    fputs("music = 2\nsounds = loud\nred.fire = x\nkept.for.later = 1\n", f);
    fclose(f);
    loadPlayerSettings();
    EXPECT_EQ(playerSettings().music, 2);
    EXPECT_EQ(playerSettings().keys[0][ACT_FIRE][0], 'x');
    EXPECT_EQ(playerSettings().sounds, LOUDEST) << "the damaged line leaves the default";
    ASSERT_EQ(mkdir((file + ".new").c_str(), 0700), 0) << "the temporary file's place taken";
    playerSettings().music = 9;
    EXPECT_FALSE(savePlayerSettings());
    loadPlayerSettings();
    EXPECT_EQ(playerSettings().music, 2) << "a failed write leaves the old file whole";
    rmdir((file + ".new").c_str());
    ASSERT_TRUE(savePlayerSettings());
    std::string lines = settingsText(playerSettings());
    EXPECT_NE(lines.find("kept.for.later = 1\n"), std::string::npos) << "unknown lines are written back";
    EXPECT_NE(access((file + ".new").c_str(), F_OK), 0) << "no temporary file is left";
    unlink(file.c_str());
    playerSettings() = defaultSettings(false);
}

TEST(Settings, AKeyAnotherActionHoldsIsSwappedAndTheFixedKeysStay) {
    Settings s = defaultSettings(false);
    std::string said = bindKey(s, 0, ACT_FIRE, 0, SDLK_q);
    EXPECT_EQ(s.keys[0][ACT_FIRE][0], SDLK_q);
    EXPECT_EQ(s.keys[1][ACT_FIRE][0], SDLK_RCTRL) << "blue fires with red's old key";
    EXPECT_NE(said.find("blue fire"), std::string::npos) << said;
    bindKey(s, 0, ACT_UP, 1, SDLK_RSHIFT);  // an empty slot takes red's other fire key: fire keeps only q
    EXPECT_EQ(s.keys[0][ACT_UP][1], SDLK_RSHIFT);
    EXPECT_EQ(s.keys[0][ACT_FIRE][0], SDLK_q);
    EXPECT_EQ(s.keys[0][ACT_FIRE][1], 0);
    for (int fixed : {SDLK_RETURN, SDLK_ESCAPE, SDLK_k, SDLK_F2}) {
        Settings before = s;
        bindKey(s, 1, ACT_DOWN, 0, fixed);
        EXPECT_EQ(settingsText(s), settingsText(before)) << keyName(fixed);
    }
    clearSecondKey(s, 0, ACT_UP);
    EXPECT_EQ(s.keys[0][ACT_UP][1], 0);
    EXPECT_EQ(s.keys[0][ACT_UP][0], SDLK_UP);
}

// The keys are the game's before the record is built: the same hand makes the same record whatever keys it uses.
TEST(Settings, ARecordHoldsTheGamesKeysWhateverKeysMadeThem) {
    Settings mine = defaultSettings(false);
    bindKey(mine, 0, ACT_FIRE, 0, SDLK_x);
    bindKey(mine, 0, ACT_UP, 0, SDLK_i);
    bindKey(mine, 1, ACT_LEFT, 0, SDLK_KP4);
    Uint8 usual[SDLK_LAST] = {}, other[SDLK_LAST] = {};
    usual[SDLK_RCTRL] = usual[SDLK_UP] = usual[SDLK_a] = usual[SDLK_RETURN] = 1;
    other[SDLK_x] = other[SDLK_i] = other[SDLK_KP4] = other[SDLK_RETURN] = 1;
    uint16_t want = bits({K_RCTRL, K_UP, K_A, K_RETURN});
    EXPECT_EQ(heldGameKeys(defaultSettings(false), usual, SDLK_LAST), want);
    EXPECT_EQ(heldGameKeys(mine, other, SDLK_LAST), want);
    usual[SDLK_RETURN] = 0;
    EXPECT_EQ(heldGameKeys(mine, usual, SDLK_LAST), 0) << "the keys given away do nothing";
}

// F2 on the menu opens the page in place of the game's passes, as attract mode does: the game's state stays as
// it was while the page changes a key, and Escape gives the menu back.
TEST(Settings, ThePageStandsBesideTheGameAndChangesNoneOfItsState) {
    bootGame();
    theGame() = startState(5);
    SDL_Event e = {};
    while (SDL_PollEvent(&e)) {
    }
    auto key = [&e](SDLKey k) {
        e = SDL_Event();
        e.type = SDL_KEYDOWN, e.key.keysym.sym = k;
        SDL_PushEvent(&e);
    };
    ASSERT_TRUE(gameFrame());
    uint32_t before = stateHash(theGame());
    key(SDLK_F2);
    ASSERT_TRUE(gameFrame());
    EXPECT_TRUE(settingsShown());
    EXPECT_EQ(stateHash(theGame()), before) << "the pass of F2 did not run";
    ASSERT_TRUE(gameFrame());
    EXPECT_NE(pixelRGB(screen, 5, 150), pixelRGB(mbgr, 5, 150)) << "the page shows in place of the menu";
    for (SDLKey k : {SDLK_DOWN, SDLK_DOWN, SDLK_DOWN, SDLK_DOWN, SDLK_RETURN, SDLK_x, SDLK_ESCAPE}) key(k);
    ASSERT_TRUE(gameFrame());
    EXPECT_FALSE(settingsShown());
    EXPECT_EQ(stateHash(theGame()), before);
    EXPECT_EQ(playerSettings().keys[0][ACT_FIRE][0], SDLK_x);
    playerSettings() = defaultSettings(false);
    endGame();
}
