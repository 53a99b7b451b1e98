// harness.h: helpers shared by the in-process tests: passes of the rules, booting the game headless, pixels.
#ifndef KORVADO_TEST_HARNESS_H
#define KORVADO_TEST_HARNESS_H

#include <SDL.h>
#include <initializer_list>
#include <string>

#include "game/game.h"

// The GameKey bits of `held`.
uint16_t bits(std::initializer_list<int> held);

// One pass of the rules on `s` with the keys of `held` down, as the frame loop takes it: `dt` ms of frame
// time, none when the pass is a screen's key wait.
TickEvents step(GameState& s, std::initializer_list<int> held = {}, uint16_t dt = 16);

// Whether the pass played `sound` for `cowboy` (1 red, 2 blue; 0: for either).
bool played(const TickEvents& ev, Sound sound, int cowboy = 0);

// Runs the game's real start-up (window, sound, every asset) on the dummy drivers, without the intro.
// Fails the calling test if start-up does not get through.
void bootGame();

// Shuts down what bootGame() started (the sound, the pads, SDL).
void endGame();

// The colour of one pixel of a surface, as 0xRRGGBB.
Uint32 pixelRGB(SDL_Surface* s, int x, int y);

// True when every pixel of the w x h area at (x, y) of a equals the same area of b at (bx, by).
bool sameArea(SDL_Surface* a, int x, int y, SDL_Surface* b, int bx, int by, int w, int h);

// Plays a demo file from its start through the real frame loop, as fast as it goes, on the booted game.
// `winner`: 1 red, 2 blue, 3 both, 0 neither, by the counts the last round left. Fails the calling test when
// the file is refused or the game no longer plays it the same. Returns the final state hash --timedemo prints;
// the state the demo leaves goes to `end` when one is given.
uint32_t playDemoFile(const std::string& path, int* winner, GameState* end = nullptr);

// A full path into the build tree, e.g. buildPath("images/bgsml.png").
std::string buildPath(const std::string& rel);

#endif
