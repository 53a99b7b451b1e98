// netscript.cpp: the test seam of korvado_net: a player played from a script file. A step per line:
//   press KEY [PASSES]   hold Up, Down, Left, Right, Fire, Return or Escape (4 passes unless told)
//   menu TYPE            (host) from the menu, start a round of game type TYPE
//   play hunt|duel|idle  until a winner screen: walk to the bottle, line up with the other and fire, or stand
//   winner               Return on the winner screen, until it is gone
//   exit                 (host) the menu's exit item
//   wait PASSES          do nothing for a while
//   late SENDS           from here on this side's inputs leave SENDS sends late, and those still held back
//                        when the session ends are lost (as if the network dropped the last ones)
#include "session/netscript.h"
#include "session/netplay.h"
#include "session/rollback.h"
#include "shell/shell.h"
#include "input/input.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum StepKind { PRESS, MENU, PLAY, WINNER, EXIT, WAIT, LATE };
struct Step {
    StepKind kind;
    int arg;         // PRESS: passes; MENU: game type; WAIT: passes; LATE: sends
    uint8_t key;     // PRESS: the IN_ bit
    char mode;       // PLAY: 'h', 'd' or 'i'
};

std::vector<Step> steps;
size_t at;
bool active;
int holdLeft, restLeft, pulseLeft, lookLeft;
uint8_t holding, pulseBits;

const char* const KEY_NAMES[] = {"Up", "Down", "Left", "Right", "Fire", "Return", "Escape"};

bool parseLine(const std::string& line, Step& st) {
    char word[16] = {0}, what[16] = {0};
    int n = 0;
    int got = sscanf(line.c_str(), "%15s %15s %d", word, what, &n);
    if (got < 1) return false;
    std::string w = word;
    st = Step{WAIT, 0, 0, 'i'};
    if (w == "press" && got >= 2) {
        for (int i = 0; i < 7; i++)
            if (strcmp(what, KEY_NAMES[i]) == 0) st.key = uint8_t(1 << i);
        st.kind = PRESS;
        st.arg = got == 3 && n > 0 ? n : 4;
        return st.key != 0;
    }
    if (w == "menu" && got >= 2) return st.kind = MENU, st.arg = atoi(what), st.arg >= 0 && st.arg <= 2;
    if (w == "play" && got >= 2) return st.kind = PLAY, st.mode = what[0], strchr("hdi", what[0]) != nullptr;
    if (w == "winner") return st.kind = WINNER, true;
    if (w == "exit") return st.kind = EXIT, true;
    if (w == "wait" && got >= 2) return st.kind = WAIT, st.arg = atoi(what), st.arg > 0;
    if (w == "late" && got >= 2) return st.kind = LATE, st.arg = atoi(what), st.arg > 0 && st.arg <= 100;
    return false;
}

// Holds keys for some passes, then lets go long enough for the game to have seen and acted on them.
uint8_t press(uint8_t bits, int passes, bool inSession) {
    holding = bits;
    holdLeft = passes - 1;
    restLeft = inSession ? int(netplayDelay()) + 20 : 10;
    return bits;
}

// The menu towards a round of `type`: the main page's first item, then the type on the types page.
uint8_t menuKey(const GameState& s, int type, bool inSession) {
    if (s.pozicemenu == 2 || s.pozicemenu == 3) return press(IN_ESCAPE, 3, inSession);
    if (s.pozicemenu == 0 && s.volbamenu != 0) return press(IN_UP, 3, inSession);
    if (s.pozicemenu == 1 && s.volbamenu != type) return press(s.volbamenu < type ? IN_DOWN : IN_UP, 3, inSession);
    return press(IN_RETURN, 3, inSession);
}

uint8_t exitKey(const GameState& s, bool inSession) {
    if (s.pozicemenu != 0) return press(IN_ESCAPE, 3, inSession);
    if (s.volbamenu != 3) return press(IN_UP, 3, inSession);
    return press(IN_RETURN, 3, inSession);
}

// Walks for as many passes as the distance takes (a cowboy walks 0.2 pixels a ms, 0.17 downwards), then
// looks again once the walk has shown on the screen.
uint8_t pulse(uint8_t bits, float distance) {
    float perPass = (bits == IN_DOWN ? 0.17f : 0.2f) * float(frameBudgetMs);
    pulseLeft = int(std::fmin(200.f, std::fmax(1.f, std::fabs(distance) / perPass))) - 1;
    pulseBits = bits;
    lookLeft = int(netplayDelay()) + 2;
    return bits;
}

// Towards (tx, ty) within (tolX, tolY): vertically first, then across; 0 once there. A place lower than a
// cowboy can stand (a bottle at the street's bottom edge) is taken as the lowest he can.
uint8_t walkTo(const Player& me, float tx, float ty, float tolX, float tolY) {
    ty = std::fmin(ty, float(SCREEN_H - COWBOY_H));
    float dx = tx - me.x, dy = ty - me.y;
    if (std::fabs(dy) > tolY) return pulse(dy > 0 ? IN_DOWN : IN_UP, dy);
    if (std::fabs(dx) > tolX) return pulse(dx > 0 ? IN_RIGHT : IN_LEFT, dx);
    return 0;
}

// Level with the other, more than 50 pixels across and facing him; then the trigger.
uint8_t duel(const Player& me, const Player& them) {
    float dx = them.x - me.x;
    // level is within 12 pixels; a respawned cowboy may stand a little above where walking reaches
    if (std::fabs(me.y - them.y) > 10) return walkTo(me, me.x, them.y, 1e9f, 4);
    if (std::fabs(dx) < 70) {  // too close to be hit: away from him, or past him when a wall is behind
        bool left = dx > 0;
        if ((left && me.x < 60) || (!left && me.x > 660)) left = !left;
        return pulse(left ? IN_LEFT : IN_RIGHT, 140 - std::fabs(dx));
    }
    char towards = dx > 0 ? 'r' : 'l';
    if (me.smer != towards) return pulse(towards == 'r' ? IN_RIGHT : IN_LEFT, 1);
    return them.dead ? 0 : IN_FIRE;
}

uint8_t pilot(const GameState& s, char mode) {
    bool hosting = netplayHosting();
    const Player& me = hosting ? s.Hrac1 : s.Hrac2;
    const Player& them = hosting ? s.Hrac2 : s.Hrac1;
    if (mode == 'i' || !s.gameBezi || s.doCount || me.dead) return 0;
    if (pulseLeft > 0) return pulseLeft--, pulseBits;
    if (lookLeft > 0) return lookLeft--, 0;
    if (mode == 'd') return duel(me, them);
    if (s.whiskey.hidden || s.gameMode == 2) return 0;
    return walkTo(me, float(s.whiskey.x - 20), float(s.whiskey.y - 73), 15, 6);  // the pickup's middle
}

uint8_t stepBits(const GameState& s, Step& st, bool inSession, bool keyWaiting) {
    switch (st.kind) {
    case PRESS: at++; return press(st.key, st.arg, inSession);
    case WAIT: if (--st.arg <= 0) at++; return 0;
    case MENU: if (inSession && s.gameBezi) return at++, 0; return inSession ? menuKey(s, st.arg, true) : 0;
    case PLAY: if (keyWaiting) return at++, pulseLeft = lookLeft = 0, 0; return pilot(s, st.mode);
    case WINNER: if (!keyWaiting) return at++, 0; return press(IN_RETURN, 3, inSession);
    case EXIT: return inSession ? exitKey(s, true) : 0;
    case LATE: at++; return netplayHoldInputs(uint32_t(st.arg)), 0;
    }
    return 0;
}

}  // namespace

bool scriptActive() { return active; }

bool scriptLoad(const char* path) {
    FILE* f = fopen(path, "r");
    if (!f) return fprintf(stderr, "korvado: cannot read the script %s\n", path), false;
    char buf[256];
    int lineNo = 0;
    while (fgets(buf, sizeof buf, f)) {
        lineNo++;
        std::string line = buf;
        line = line.substr(0, line.find('#'));
        if (line.find_first_not_of(" \t\r\n") == std::string::npos) continue;
        Step st;
        if (!parseLine(line, st)) {
            fprintf(stderr, "korvado: %s:%d: cannot make sense of: %s", path, lineNo, buf);
            fclose(f);
            return false;
        }
        steps.push_back(st);
    }
    fclose(f);
    active = true;
    return true;
}

uint8_t scriptBits(const GameState& s, bool inSession, bool keyWaiting) {
    if (holdLeft > 0) return holdLeft--, holding;
    if (restLeft > 0) return restLeft--, 0;
    if (at >= steps.size()) return 0;
    return stepBits(s, steps[at], inSession, keyWaiting);
}

bool scriptedLocalInputs(const GameState& s, bool timed, TicCmd& cmd) {
    cmd = TicCmd();
    if (timed) cmd.dt = frameTime();
    cmd.close = readLocalInput(false).close;
    cmd.held = combineKeys(scriptBits(s, false, !timed), 0, !timed, false);
    return true;
}
