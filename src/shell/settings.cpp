// settings.cpp: the player's settings as values: the defaults, the file's text both ways, key names and the swap.
#include "shell/settings.h"
#include "game/game.h"

#include <SDL.h>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <utility>

namespace {

struct KeyNameEntry {
    int sym;
    const char* name;
};

// Letters and digits are named by themselves; these by what their cap says.
const KeyNameEntry NAMED_KEYS[] = {
    {SDLK_UP, "up"}, {SDLK_DOWN, "down"}, {SDLK_LEFT, "left"}, {SDLK_RIGHT, "right"},
    {SDLK_RCTRL, "right ctrl"}, {SDLK_LCTRL, "left ctrl"}, {SDLK_RSHIFT, "right shift"},
    {SDLK_LSHIFT, "left shift"}, {SDLK_RALT, "right alt"}, {SDLK_LALT, "left alt"},
    {SDLK_SPACE, "space"}, {SDLK_TAB, "tab"}, {SDLK_RETURN, "return"}, {SDLK_ESCAPE, "escape"},
    {SDLK_BACKSPACE, "backspace"}, {SDLK_INSERT, "insert"}, {SDLK_DELETE, "delete"}, {SDLK_HOME, "home"},
    {SDLK_END, "end"}, {SDLK_PAGEUP, "page up"}, {SDLK_PAGEDOWN, "page down"}, {SDLK_COMMA, "comma"},
    {SDLK_PERIOD, "."}, {SDLK_SLASH, "/"}, {SDLK_SEMICOLON, ";"}, {SDLK_QUOTE, "'"}, {SDLK_LEFTBRACKET, "["},
    {SDLK_RIGHTBRACKET, "]"}, {SDLK_BACKSLASH, "\\"}, {SDLK_MINUS, "-"}, {SDLK_EQUALS, "="},
    {SDLK_BACKQUOTE, "`"}, {SDLK_KP0, "keypad 0"}, {SDLK_KP1, "keypad 1"}, {SDLK_KP2, "keypad 2"},
    {SDLK_KP3, "keypad 3"}, {SDLK_KP4, "keypad 4"}, {SDLK_KP5, "keypad 5"}, {SDLK_KP6, "keypad 6"},
    {SDLK_KP7, "keypad 7"}, {SDLK_KP8, "keypad 8"}, {SDLK_KP9, "keypad 9"}, {SDLK_KP_PERIOD, "keypad ."},
    {SDLK_KP_DIVIDE, "keypad /"}, {SDLK_KP_MULTIPLY, "keypad *"}, {SDLK_KP_MINUS, "keypad -"},
    {SDLK_KP_PLUS, "keypad +"}, {SDLK_KP_ENTER, "keypad enter"},
    {SDLK_F1, "f1"}, {SDLK_F2, "f2"}, {SDLK_F3, "f3"}, {SDLK_F4, "f4"}, {SDLK_F5, "f5"}, {SDLK_F6, "f6"},
    {SDLK_F7, "f7"}, {SDLK_F8, "f8"}, {SDLK_F9, "f9"}, {SDLK_F10, "f10"}, {SDLK_F11, "f11"}, {SDLK_F12, "f12"},
};

const char* const COWBOY_NAMES[COWBOYS] = {"red", "blue"};
const char* const ACTION_NAMES[ACTIONS] = {"up", "down", "left", "right", "fire"};
const int DEFAULT_KEYS[COWBOYS][ACTIONS] = {{SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RCTRL},
                                            {SDLK_w, SDLK_s, SDLK_a, SDLK_d, SDLK_q}};

std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// A number from 0 to `most`, the whole text; -1 otherwise.
int smallNumber(const std::string& v, int most) {
    if (v.empty() || v.size() > 3 || v.find_first_not_of("0123456789") != std::string::npos) return -1;
    int n = atoi(v.c_str());
    return n <= most ? n : -1;
}

// "a, right shift" (or "none") as an action's keys; false when a name is not a key, or is a fixed one.
bool readKeys(const std::string& v, int (&keys)[KEYS_EACH]) {
    int got[KEYS_EACH] = {}, n = 0;
    if (v != "none") {
        std::stringstream list(v);
        std::string name;
        while (std::getline(list, name, ',')) {
            int sym = keyFromName(trimmed(name));
            if (!sym || fixedKey(sym) || n == KEYS_EACH) return false;
            got[n++] = sym;
        }
        if (n == 0) return false;
    }
    for (int i = 0; i < KEYS_EACH; i++) keys[i] = got[i];
    return true;
}

// One "name = value" line into `s`; false when the name is known and the value is not readable, or the line has
// no '='. `known` tells whether this game knows the name.
bool readLine(Settings& s, const std::string& name, const std::string& value, bool& known) {
    known = true;
    if (name == "music" || name == "sounds") {
        int n = smallNumber(value, LOUDEST);
        if (n >= 0) (name == "music" ? s.music : s.sounds) = n;
        return n >= 0;
    }
    if (name == "fullscreen") {
        if (value != "on" && value != "off") return false;
        s.fullScreen = value == "on";
        return true;
    }
    for (int c = 0; c < COWBOYS; c++)
        for (int a = 0; a < ACTIONS; a++)
            if (name == std::string(COWBOY_NAMES[c]) + "." + ACTION_NAMES[a]) return readKeys(value, s.keys[c][a]);
    known = false;
    return true;
}

// An action left with its second key alone has it in the first slot.
void firstSlotsFirst(Settings& s) {
    for (int c = 0; c < COWBOYS; c++)
        for (int a = 0; a < ACTIONS; a++)
            if (!s.keys[c][a][0]) std::swap(s.keys[c][a][0], s.keys[c][a][1]);
}

}  // namespace

void defaultKeys(Settings& s, bool page) {
    for (int c = 0; c < COWBOYS; c++)
        for (int a = 0; a < ACTIONS; a++) s.keys[c][a][0] = DEFAULT_KEYS[c][a], s.keys[c][a][1] = 0;
    if (page) s.keys[0][ACT_FIRE][0] = SDLK_RSHIFT;
    else s.keys[0][ACT_FIRE][1] = SDLK_RSHIFT;
}

Settings defaultSettings(bool page) {
    Settings s;
    defaultKeys(s, page);
    return s;
}

Settings parseSettings(const std::string& text, const Settings& base, std::vector<int>& damaged) {
    Settings s = base;
    s.unknown.clear();
    std::stringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); number++) {
        std::string t = trimmed(line);
        if (t.empty() || t[0] == '#') continue;
        size_t eq = t.find('=');
        bool known = false;
        if (eq == std::string::npos || !readLine(s, trimmed(t.substr(0, eq)), trimmed(t.substr(eq + 1)), known))
            damaged.push_back(number);
        else if (!known) s.unknown.push_back(t);
    }
    return s;
}

std::string settingsText(const Settings& s) {
    std::string out = "# KORVADO's settings: the keys, the loudness (0 to 10) and the full screen\n";
    for (int c = 0; c < COWBOYS; c++)
        for (int a = 0; a < ACTIONS; a++) {
            std::string keys;
            for (int k : s.keys[c][a])
                if (k) keys += (keys.empty() ? "" : ", ") + keyName(k);
            out += std::string(COWBOY_NAMES[c]) + "." + ACTION_NAMES[a] + " = " + (keys.empty() ? "none" : keys) + "\n";
        }
    out += "music = " + std::to_string(s.music) + "\nsounds = " + std::to_string(s.sounds) + "\n";
    out += std::string("fullscreen = ") + (s.fullScreen ? "on" : "off") + "\n";
    for (const std::string& l : s.unknown) out += l + "\n";
    return out;
}

std::string keyName(int sym) {
    if ((sym >= 'a' && sym <= 'z') || (sym >= '0' && sym <= '9')) return std::string(1, char(sym));
    for (const KeyNameEntry& k : NAMED_KEYS)
        if (k.sym == sym) return k.name;
    return "key " + std::to_string(sym);
}

int keyFromName(const std::string& name) {
    if (name.size() == 1 && (islower((unsigned char)name[0]) || isdigit((unsigned char)name[0]))) return name[0];
    for (const KeyNameEntry& k : NAMED_KEYS)
        if (name == k.name) return k.sym;
    if (name.compare(0, 4, "key ") || name.size() > 14 || name.find_first_not_of("0123456789", 4) != std::string::npos)
        return 0;
    long n = atol(name.c_str() + 4);
    return n > 0 && n < 0x40000000 ? int(n) : 0;
}

bool fixedKey(int sym) {
    return sym == SDLK_RETURN || sym == SDLK_ESCAPE || sym == SDLK_k || sym == SDLK_F2 || sym == SDLK_F11 ||
           sym == SDLK_BACKSPACE;
}

std::string actionName(int cowboy, int action) {
    return std::string(COWBOY_NAMES[cowboy]) + " " + ACTION_NAMES[action];
}

std::string bindKey(Settings& s, int cowboy, int action, int slot, int sym) {
    if (fixedKey(sym)) return keyName(sym) + " keeps its own work: choose another key";
    int& mine = s.keys[cowboy][action][slot];
    if (mine == sym) return keyName(sym) + " stays " + actionName(cowboy, action);
    int old = mine;
    std::string said = keyName(sym) + " is " + actionName(cowboy, action);
    for (int c = 0; c < COWBOYS; c++)
        for (int a = 0; a < ACTIONS; a++)
            for (int& k : s.keys[c][a])
                if (k == sym && &k != &mine) {
                    k = old;
                    said = keyName(sym) + " was " + actionName(c, a) + ": swapped, it has " +
                           (old ? keyName(old) : std::string("no key there now"));
                }
    mine = sym;
    firstSlotsFirst(s);
    return said;
}

void clearSecondKey(Settings& s, int cowboy, int action) { s.keys[cowboy][action][1] = 0; }

uint16_t heldGameKeys(const Settings& s, const uint8_t* state, int count) {
    auto down = [state, count](int sym) { return sym > 0 && sym < count && state[sym]; };
    uint16_t held = 0;
    for (int c = 0; c < COWBOYS; c++)
        for (int a = 0; a < ACTIONS; a++)
            for (int k : s.keys[c][a])
                if (down(k)) held |= keyBit((c == 0 ? K_UP : K_W) + a);
    if (down(SDLK_RETURN)) held |= keyBit(K_RETURN);
    if (down(SDLK_ESCAPE)) held |= keyBit(K_ESCAPE);
    if (down(SDLK_k)) held |= keyBit(K_K);
    return held;
}

Settings& playerSettings() {
    static Settings now = defaultSettings(false);
    return now;
}
