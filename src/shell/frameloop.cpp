// frameloop.cpp: the frame loop: each frame takes one input record, runs one pass of the rules on the game
// state, plays its sounds, draws and shows the frame and waits out the pass; it returns after every frame.
#include "demo/demo.h"
#include "draw/draw.h"
#include "shell/shell.h"
#include "input/input.h"

#include <algorithm>

static GameState game;  // the interactive game: the intro, the menu, its rounds

GameState& theGame() { return game; }

Uint32 (*tickSource)() = SDL_GetTicks;

// The difference is taken in SDL's own unsigned 32-bit ticks, so it stays exact however long the game
// runs and across the wrap after 49.7 days. A pass of over a minute counts as a minute: every clock of the
// game has fired long before.
static Uint32 lastTicks;  // the last pass of the frame loop's tick value; 0 before the first

uint16_t frameTime() {
    Uint32 now = tickSource();
    Uint32 dt = now - lastTicks;
    lastTicks = now;
    return uint16_t(std::min<Uint32>(dt, 65535));
}

static bool touched;
static bool settingsAsked;  // F2 went down in the last local pass

// F11 and Alt+Return change the display from every screen; the Return of Alt+Return is none of the game's.
bool localInputs(const GameState& s, bool timed, TicCmd& cmd) {
    cmd = TicCmd();
    if (timed) cmd.dt = frameTime();
    LocalInput in = readLocalInput(s.gameBezi);
    takeScreenKeys(in);
    settingsAsked = in.key == SDLK_F2;
    cmd.held = in.held, cmd.fresh = in.fresh, cmd.close = in.close;
    touched = in.keyDown || in.held;
    return true;
}

// The settings page opens from the menu's pages (not during a round or its countdown), for this machine's player.
static bool settingsWanted(const GameState& s) {
    return settingsAsked && playerSource == localInputs && s.screen == SCR_PLAY && s.menuBezi && !s.gameBezi &&
           !s.doCount && s.shown.view == VIEW_MENU;
}

bool touchedNow() { return touched; }

// What the pass did for the ears: its sounds, the music, and Escape's pause (not in a timed demo).
static void senses(const TickEvents& ev) {
    for (int i = 0; i < ev.soundCount; i++) playSound(ev.sounds[i].sound);
    if (ev.startMusic) startMusic();
    if (ev.pause && demoMode != DEMO_TIME) SDL_Delay(100);
}

bool passFrame(GameState& s, const TicCmd& cmd, bool timed) {
    TickEvents ev = tick(s, cmd);
    demoNotePass(s, cmd, ev, timed);
    senses(ev);
    if (drawFrame(s)) {
        settingsHint(s);
        showFrame();
    }
    paceFrame();
    return !s.done;
}

bool runFrame(GameState& s, InputSource source) {
    startPass();
    bool timed = passTimed(s);
    TicCmd cmd;
    if (!source(s, timed, cmd)) return false;
    return passFrame(s, cmd, timed);
}

// This machine's player: the keyboard and pads, or korvado_net's test script.
InputSource playerSource = localInputs;

// The settings page and attract mode stand in for the game's passes while they show; the pass whose record
// asked for the settings page does not run.
bool gameFrame() {
    if (attractRunning()) {
        attractFrame(game);
        return !game.done;
    }
    if (settingsShown()) return settingsFrame();
    startPass();
    bool timed = passTimed(game), intro = game.screen == SCR_STUDIO || game.screen == SCR_TITLE;
    TicCmd cmd;
    playerSource(game, timed, cmd);
    if (settingsWanted(game)) {
        settingsAsked = false;
        settingsOpen();
        return true;
    }
    if (attractDue(game, playerSource == localInputs) && attractStart(cmd)) return true;
    bool on = passFrame(game, cmd, timed);
    if (intro && game.screen == SCR_PLAY) demoStartRecording(game);  // from the end of the intro on
    return on;
}
