// settingspage.cpp: the settings page (keys, loudness, full screen), a screen outside the game state as attract
// mode is, and the settings kept between runs.
#include "draw/draw.h"
#include "draw/text.h"
#include "input/input.h"
#include "input/pad.h"
#include "platform/platform.h"
#include "shell/settings.h"
#include "shell/shell.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// ---- kept between runs ----

void loadPlayerSettings() {
    Settings& s = playerSettings();
    s = defaultSettings(onPage());
    std::string text, where;
    if (!readSettingsStore(text, where)) return;
    std::vector<int> damaged;
    s = parseSettings(text, s, damaged);
    if (damaged.empty()) return;
    std::string lines;
    for (int n : damaged) lines += (lines.empty() ? "" : ", ") + std::to_string(n);
    fprintf(stderr, "korvado: %s is damaged (line %s): the rest of it is used\n", where.c_str(), lines.c_str());
}

bool savePlayerSettings() { return writeSettingsStore(settingsText(playerSettings())); }

// ---- the full screen's keys ----

void toggleFullScreen() {
    bool want = !fullScreenShown();
    if (!setFullScreen(want)) return;
    playerSettings().fullScreen = want;
    savePlayerSettings();
}

bool fullScreenKey(int key, bool alt) {
    if (onPage() || !(key == SDLK_F11 || (key == SDLK_RETURN && alt))) return false;
    toggleFullScreen();
    return true;
}

void takeScreenKeys(LocalInput& in) {
    if (!fullScreenKey(in.key, in.alt) || in.key != SDLK_RETURN) return;
    swallowHeldKeys(keyBit(K_RETURN));  // Alt+Return's Return is not the game's
    uint16_t ret = uint16_t(~keyBit(K_RETURN));
    in.held &= ret, in.fresh &= ret, in.pressed &= ret;
}

// ---- the page ----

namespace {

enum RowKind { ROW_KEY, ROW_DEFAULTS, ROW_MUSIC, ROW_SOUNDS, ROW_FULL };
struct Row {
    RowKind kind;
    int cowboy = 0, action = 0;
};

// What the page shows and where its cursor is; none of it is the game's.
struct Page {
    bool open = false;
    int row = 0, slot = 0;    // the chosen row, and the key slot of a key row
    bool waiting = false;     // Return was pressed on a key slot: the next key goes there
    bool changed = false;     // something to keep when the page is left
    std::string said;         // the line under the rows: what the last change did
    uint16_t padsBefore = 0;  // the pads' keys held in the last frame, for their presses
} page;

SDL_Surface* paper;
Lettering ink, heading;

// The cowboys whose keys this program's player sets: korvado_mp's two; korvado_sp's and korvado_net's one.
int cowboysShown() {
#if defined(KORVADO_SP) || defined(KORVADO_NET)
    return 1;
#else
    return 2;
#endif
}

std::vector<Row> rows() {
    std::vector<Row> r;
    for (int c = 0; c < cowboysShown(); c++)
        for (int a = 0; a < ACTIONS; a++) r.push_back(Row{ROW_KEY, c, a});
    r.push_back(Row{ROW_DEFAULTS});
    r.push_back(Row{ROW_MUSIC});
    r.push_back(Row{ROW_SOUNDS});
    if (!onPage()) r.push_back(Row{ROW_FULL});
    return r;
}

std::string rowLabel(const Row& r) {
    static const char* const KINDS[] = {"", "Default keys", "Music", "Sounds", "Full screen"};
    if (r.kind != ROW_KEY) return KINDS[r.kind];
    std::string name = actionName(r.cowboy, r.action);
#ifdef KORVADO_NET
    name = "your" + name.substr(name.find(' '));
#endif
    name[0] = char(toupper(name[0]));
    return name;
}

}  // namespace

// The paper's colour under the letters, as the lettering's soft edges have it.
static Uint32 paperTone;

void prepareSettingsPage() {
    paper = loadAsset("../images/net/plain.png", false);
    SDL_LockSurface(paper);
    Uint32 raw = 0;
    memcpy(&raw, (Uint8*)paper->pixels + 300 * paper->pitch + 400 * paper->format->BytesPerPixel,
           paper->format->BytesPerPixel);
    SDL_UnlockSurface(paper);
    Uint8 r, g, b;
    SDL_GetRGB(raw, paper->format, &r, &g, &b);
    paperTone = SDL_MapRGB(screen->format, r, g, b);
    makeLettering(ink, loadAsset("../images/net/ink.png", true));
    makeLettering(heading, loadAsset("../images/net/heading.png", true));
}

bool settingsShown() { return page.open; }

void settingsOpen() {
    page = Page();
    page.open = true;
    page.padsBefore = uint16_t(padsRead(false).held);
}

// Back to the screen under the page: the settings kept, and the keys that worked the page do nothing there.
static void settingsClose() {
    if (page.changed) savePlayerSettings();
    page.open = false;
    swallowHeldKeys(uint16_t(keyBit(GAME_KEYS) - 1));
    frameTime();   // the time on the page is no pass's
    attractWait();
}

// ---- what the keys do on the page ----

enum Move { MOVE_NONE, MOVE_UP, MOVE_DOWN, MOVE_LEFT, MOVE_RIGHT, MOVE_RETURN, MOVE_ESCAPE };

// The arrows, Return and Escape, and red's own walking keys as the arrows.
static Move moveOf(int key) {
    const Settings& s = playerSettings();
    static const Move WALK[4] = {MOVE_UP, MOVE_DOWN, MOVE_LEFT, MOVE_RIGHT};
    static const int ARROWS[4] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT};
    for (int a = 0; a < 4; a++)
        if (key == ARROWS[a] || key == s.keys[0][a][0] || key == s.keys[0][a][1]) return WALK[a];
    return key == SDLK_RETURN ? MOVE_RETURN : key == SDLK_ESCAPE ? MOVE_ESCAPE : MOVE_NONE;
}

static void changeLoudness(int& level, int by, bool sounds) {
    int now = std::max(0, std::min(LOUDEST, level + by));
    if (now == level) return;
    level = now, page.changed = true;
    setLoudness(playerSettings().music, playerSettings().sounds);
    if (sounds) playSound(SND_FIRE);  // how loud they are now
}

static void changeFullScreen() {
    bool want = !fullScreenShown();
    if (!setFullScreen(want)) return void(page.said = "The display cannot change");
    playerSettings().fullScreen = want, page.changed = true;
}

// Left and Right: the key slot, the loudness, the full screen.
static void sideways(const Row& r, int by) {
    Settings& s = playerSettings();
    if (r.kind == ROW_KEY) page.slot = by < 0 ? 0 : 1;
    if (r.kind == ROW_MUSIC) changeLoudness(s.music, by, false);
    if (r.kind == ROW_SOUNDS) changeLoudness(s.sounds, by, true);
    if (r.kind == ROW_FULL) changeFullScreen();
}

static void choose(const Row& r) {
    if (r.kind == ROW_KEY) page.waiting = true, page.said = "";
    if (r.kind == ROW_DEFAULTS) {
        defaultKeys(playerSettings(), onPage());
        page.changed = true, page.said = "The default keys are back";
    }
    if (r.kind == ROW_FULL) changeFullScreen();
}

static void act(Move m) {
    std::vector<Row> all = rows();
    int n = int(all.size());
    if (m == MOVE_UP || m == MOVE_DOWN) page.row = (page.row + (m == MOVE_UP ? n - 1 : 1)) % n;
    if (m == MOVE_LEFT || m == MOVE_RIGHT) sideways(all[page.row], m == MOVE_LEFT ? -1 : 1);
    if (m == MOVE_RETURN) choose(all[page.row]);
    if (m == MOVE_ESCAPE) settingsClose();
}

// The key pressed for the chosen slot: Escape keeps the old one, Backspace clears the second.
static void keyForSlot(int key) {
    Row r = rows()[page.row];
    page.waiting = false;
    if (key == SDLK_ESCAPE) return;
    page.changed = true;
    if (key == SDLK_BACKSPACE) {
        clearSecondKey(playerSettings(), r.cowboy, r.action);
        page.said = "The second key of " + actionName(r.cowboy, r.action) + " is cleared";
        return;
    }
    page.said = bindKey(playerSettings(), r.cowboy, r.action, page.slot, key);
    page.said[0] = char(toupper(page.said[0]));
}

// The pads' presses as the page's moves: up, down, left, right, Return (Start, A) and Escape (B, Back).
static void padMoves() {
    uint16_t held = uint16_t(padsRead(false).held), pressed = uint16_t(held & ~page.padsBefore);
    page.padsBefore = held;
    static const int KEYS[6][2] = {{K_UP, K_W}, {K_DOWN, K_S}, {K_LEFT, K_A}, {K_RIGHT, K_D},
                                   {K_RETURN, K_RETURN}, {K_ESCAPE, K_ESCAPE}};
    for (int i = 0; i < 6 && page.open && !page.waiting; i++)
        if (pressed & (keyBit(KEYS[i][0]) | keyBit(KEYS[i][1]))) act(Move(MOVE_UP + i));
}

// Every event waiting; false on the window's close button.
static bool pageEvents() {
    SDL_Event e;
    while (page.open && SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT) return false;
        if (e.type != SDL_KEYDOWN) continue;
        int key = e.key.keysym.sym;
        if (fullScreenKey(key, (e.key.keysym.mod & KMOD_ALT) != 0)) continue;
        if (page.waiting) keyForSlot(key);
        else act(moveOf(key));
    }
    if (page.open) padMoves();
    return true;
}

// ---- what the page shows ----

static void band(int x, int y, int w, Uint8 r, Uint8 g, Uint8 b) {
    SDL_Rect at = {Sint16(x), Sint16(y), Uint16(w), 30};
    SDL_FillRect(screen, &at, SDL_MapRGB(screen->format, r, g, b));
    noteDrawn(screen, &at);
}

static std::string valueOf(const Row& r, int slot) {
    const Settings& s = playerSettings();
    if (r.kind == ROW_KEY) {
        int k = s.keys[r.cowboy][r.action][slot];
        return k ? keyName(k) : "-";
    }
    if (slot) return "";
    if (r.kind == ROW_MUSIC) return std::to_string(s.music) + " of 10";
    if (r.kind == ROW_SOUNDS) return std::to_string(s.sounds) + " of 10";
    return r.kind == ROW_FULL ? (fullScreenShown() ? "on" : "off") : "";
}

static void drawRow(const Row& r, int i, int y) {
    bool chosen = i == page.row;
    if (chosen) band(40, y, 720, 226, 204, 160);
    if (chosen && r.kind == ROW_KEY) band(page.slot ? 550 : 330, y, 200, 204, 160, 110);
    drawText(ink, rowLabel(r), 60, y - 2, -1);
    for (int slot = 0; slot < KEYS_EACH; slot++) {
        bool asked = chosen && page.waiting && slot == page.slot;
        drawText(ink, asked ? "press a key" : valueOf(r, slot), slot ? 650 : 430, y - 2, 0);
    }
}

static void drawPage() {
    drawBackground(paper);
    drawText(heading, "Settings", 400, 8, 0);
    std::vector<Row> all = rows();
    int step = all.size() > 12 ? 31 : 36, y = 72;
    for (size_t i = 0; i < all.size(); i++) drawRow(all[i], int(i), y + int(i) * step);
    std::string help = page.waiting ? "Escape: keep the key   Backspace: clear the second"
                                    : "Arrows: choose, change   Return: set   Escape: back";
    drawText(ink, page.said, 400, 508, 0);
    drawText(ink, help, 400, 542, 0);
    showFrame();
}

bool settingsFrame() {
    startPass();
    if (!pageEvents()) return false;
    if (page.open) drawPage();
    paceFrame();
    return true;
}

// One small label on the menu's own background, in the sky's corner away from its items and words.
void settingsHint(const GameState& s) {
    if (s.shown.view != VIEW_MENU || s.shown.page > 1 || !ink.sheet) return;
    SDL_Rect edge = {646, 4, 148, 34}, label = {648, 6, 144, 30};
    SDL_FillRect(screen, &edge, SDL_MapRGB(screen->format, 110, 80, 54));
    SDL_FillRect(screen, &label, paperTone);
    noteDrawn(screen, &edge);
    drawText(ink, "F2: settings", 720, 4, 0);
}
