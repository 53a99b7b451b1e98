// pad.cpp: gamepads: opening and reading them through SDL 1.2's joystick calls, and pressing the game's keys.
#include "input/pad.h"
#include "game/game.h"

#include <cstdlib>
#include <cstring>

// ---- what a pad's buttons and stick mean ----

static const int DEAD_ZONE = 32767 / 3;  // a third of the stick's travel each way is nothing

// SDL2's controller buttons, in its order, as sdl12-compat numbers them.
enum { C_A, C_B, C_X, C_Y, C_BACK, C_GUIDE, C_START, C_LSTICK, C_RSTICK, C_LSHOULDER, C_RSHOULDER,
       C_DPAD_UP, C_DPAD_DOWN, C_DPAD_LEFT, C_DPAD_RIGHT };
static const int AXIS_RIGHT_TRIGGER = 5;

static bool button(const PadState& p, int b) { return b >= 0 && b < 32 && (p.buttons >> b & 1); }

// The stick past its dead zone, each axis on its own, so a diagonal is two directions.
static unsigned stickControls(const PadState& p) {
    unsigned c = 0;
    if (p.axes[1] < -DEAD_ZONE) c |= 1u << PAD_UP;
    if (p.axes[1] > DEAD_ZONE) c |= 1u << PAD_DOWN;
    if (p.axes[0] < -DEAD_ZONE) c |= 1u << PAD_LEFT;
    if (p.axes[0] > DEAD_ZONE) c |= 1u << PAD_RIGHT;
    return c;
}

static unsigned controllerControls(const PadState& p) {
    unsigned c = 0;
    if (button(p, C_DPAD_UP)) c |= 1u << PAD_UP;
    if (button(p, C_DPAD_DOWN)) c |= 1u << PAD_DOWN;
    if (button(p, C_DPAD_LEFT)) c |= 1u << PAD_LEFT;
    if (button(p, C_DPAD_RIGHT)) c |= 1u << PAD_RIGHT;
    if (button(p, C_X) || button(p, C_RSHOULDER) || p.axes[AXIS_RIGHT_TRIGGER] > DEAD_ZONE) c |= 1u << PAD_FIRE;
    if (button(p, C_A)) c |= 1u << PAD_A;
    if (button(p, C_START)) c |= 1u << PAD_START;
    if (button(p, C_B) || button(p, C_BACK)) c |= 1u << PAD_BACK;
    return c;
}

// A pad SDL knows only by its numbers: the hat walks; button 0 is A and 1 is B; of the first ten, a pad
// with six or more has Back and Start as its two highest, and the ones between B and Back fire.
static unsigned commonControls(const PadState& p) {
    unsigned c = 0;
    if (p.hat & SDL_HAT_UP) c |= 1u << PAD_UP;
    if (p.hat & SDL_HAT_DOWN) c |= 1u << PAD_DOWN;
    if (p.hat & SDL_HAT_LEFT) c |= 1u << PAD_LEFT;
    if (p.hat & SDL_HAT_RIGHT) c |= 1u << PAD_RIGHT;
    int common = p.buttonCount < 10 ? p.buttonCount : 10;
    int back = common >= 6 ? common - 2 : -1, start = common >= 6 ? common - 1 : -1;
    for (int b = 2; b < (back >= 0 ? back : common); b++)
        if (button(p, b)) c |= 1u << PAD_FIRE;
    if (button(p, 0)) c |= 1u << PAD_A;
    if (button(p, start)) c |= 1u << PAD_START;
    if (button(p, 1) || button(p, back)) c |= 1u << PAD_BACK;
    return c;
}

unsigned padControls(const PadState& p) {
    return stickControls(p) | (p.controller ? controllerControls(p) : commonControls(p));
}

// Pad 0 is red's (arrows, Right Ctrl), pad 1 blue's (W A S D, Q); A fires, and outside a round it is
// Return too; off the round every pad's stick and D-pad choose in the menu.
unsigned padKeysFor(int control, int pad, bool inRound) {
    static const int RED[5] = {K_UP, K_DOWN, K_LEFT, K_RIGHT, K_RCTRL};
    static const int BLUE[5] = {K_W, K_S, K_A, K_D, K_Q};
    if (control == PAD_START) return 1u << K_RETURN;
    if (control == PAD_BACK) return 1u << K_ESCAPE;
    int walkFire = control == PAD_A ? PAD_FIRE : control;
    unsigned own = pad == 0 ? 1u << RED[walkFire] : pad == 1 ? 1u << BLUE[walkFire] : 0;
    if (inRound) return own;
    if (control == PAD_UP) return own | 1u << K_UP;
    if (control == PAD_DOWN) return own | 1u << K_DOWN;
    return control == PAD_A ? own | 1u << K_RETURN : own;
}

// ---- from controls to the game's keys ----

// The keys each control of one pad presses in this pass; the keys newly pressed are returned.
static unsigned engage(PadMerge& m, int pad, unsigned controls, bool inRound) {
    unsigned pressed = 0, edges = controls & ~m.held[pad];
    for (int c = 0; c < PAD_CONTROLS; c++) {
        unsigned& e = m.engaged[pad][c];
        unsigned map = controls >> c & 1 ? padKeysFor(c, pad, inRound) : 0;
        unsigned now = edges >> c & 1 ? map : e & map;
        pressed |= now & ~e;
        e = now;
    }
    m.held[pad] = controls;
    return pressed;
}

PadKeys padMerge(PadMerge& m, const unsigned controls[], int pads, bool inRound) {
    PadKeys k;
    for (int p = 0; p < pads && p < MAX_PADS; p++) {
        k.fresh |= engage(m, p, controls[p], inRound);
        for (unsigned e : m.engaged[p]) k.held |= e;
    }
    return k;
}

// ---- the adapter ----

static SDL_Joystick* pads[MAX_PADS];
static int padCount;
static bool controllerLayout;
static PadMerge merged;

// sdl12-compat (1.2.50 and later) shows every controller SDL2 knows in one layout when asked before
// SDL_Init; the player's own setting wins.
void padsPrepare() { setenv("SDL12COMPAT_USE_GAME_CONTROLLERS", "1", 0); }

void padsOpen() {
    padCount = 0;
    merged = PadMerge{};
    const char* layout = getenv("SDL12COMPAT_USE_GAME_CONTROLLERS");
    controllerLayout = SDL_Linked_Version()->patch >= 50 && layout && atoi(layout) != 0;
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) < 0) return;  // no joysticks here: the keyboard plays
    SDL_JoystickEventState(SDL_IGNORE);  // read once a pass: no event of theirs crowds the queue
    for (int i = 0; i < SDL_NumJoysticks() && padCount < MAX_PADS; i++) {
        SDL_Joystick* j = SDL_JoystickOpen(i);
        if (j && SDL_JoystickNumButtons(j) >= 2) pads[padCount++] = j;
        else if (j) SDL_JoystickClose(j);  // no pad: a laptop's accelerometer would walk red at every tilt
    }
}

int padsOpened() { return padCount; }

static PadState readPad(SDL_Joystick* j) {
    PadState p{};
    int axes = SDL_JoystickNumAxes(j);
    for (int a = 0; a < 6 && a < axes; a++) p.axes[a] = SDL_JoystickGetAxis(j, a);
    p.hat = SDL_JoystickNumHats(j) > 0 ? SDL_JoystickGetHat(j, 0) : 0;
    p.buttonCount = SDL_JoystickNumButtons(j);
    for (int b = 0; b < 32 && b < p.buttonCount; b++)
        if (SDL_JoystickGetButton(j, b)) p.buttons |= 1u << b;
    p.controller = controllerLayout;
    return p;
}

PadKeys padsRead(bool inRound) {
    if (!padCount) return PadKeys();
    SDL_JoystickUpdate();
    unsigned controls[MAX_PADS];
    for (int i = 0; i < padCount; i++) controls[i] = padControls(readPad(pads[i]));
    return padMerge(merged, controls, padCount, inRound);
}

bool padsPressed() { return padsRead(false).fresh != 0; }

void padsClose() {
    for (int i = 0; i < padCount; i++) SDL_JoystickClose(pads[i]);
    padCount = 0;
}
