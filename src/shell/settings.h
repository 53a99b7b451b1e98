// settings.h: the player's own settings (keys, loudness, full screen), their text file and the key swap.
#ifndef KORVADO_SETTINGS_H
#define KORVADO_SETTINGS_H

#include <cstdint>
#include <string>
#include <vector>

// What a cowboy does with his keys, in the order of the game's keys (K_UP.. for red, K_W.. for blue).
enum Action { ACT_UP, ACT_DOWN, ACT_LEFT, ACT_RIGHT, ACT_FIRE, ACTIONS };
const int COWBOYS = 2;      // 0 red, 1 blue
const int KEYS_EACH = 2;    // keys an action may have
const int LOUDEST = 10;     // music and sounds go from 0 to this

struct Settings {
    int keys[COWBOYS][ACTIONS][KEYS_EACH] = {};  // SDL key numbers; 0 none, the first slot filled first
    int music = LOUDEST, sounds = LOUDEST;
    bool fullScreen = false;
    std::vector<std::string> unknown;  // lines of the file this game does not know, written back as they were
};

// Today's keys: the arrows and Right Ctrl or Right Shift for red, W A S D and Q for blue; in a web page red
// fires with Right Shift only (Ctrl+W closes the browser's tab).
Settings defaultSettings(bool page);
void defaultKeys(Settings& s, bool page);
// The settings a file's text holds over `base`: every line it can read; the numbers (from 1) of those it cannot
// go to `damaged`.
Settings parseSettings(const std::string& text, const Settings& base, std::vector<int>& damaged);
std::string settingsText(const Settings& s);  // the file's text: "name = value" lines, the unknown ones last

// Key names, as the file and the settings page show them ("right shift", "a", "f5"); "key N" for others.
std::string keyName(int sym);
int keyFromName(const std::string& name);  // 0 when it names no key
bool fixedKey(int sym);  // Return, Escape, K, F2, F11 and Backspace keep their own work
std::string actionName(int cowboy, int action);  // "red fire"

// Gives `sym` to one key slot; a key another action (or slot) held is swapped with it: that one gets the slot's
// old key. Says what happened in one line; nothing is changed for a fixed key.
std::string bindKey(Settings& s, int cowboy, int action, int slot, int sym);
void clearSecondKey(Settings& s, int cowboy, int action);

// The game's keys (GameKey bits) a keyboard state holds (SDL's key array of `count` keys): the cowboys' keys as
// set, and Return, Escape and K.
uint16_t heldGameKeys(const Settings& s, const uint8_t* state, int count);

Settings& playerSettings();  // this machine's player's settings, as the game uses them now

#endif
