// cmdline.cpp: the command line: the game's arguments, --help, --version and the answer to a wrong argument.
#include "demo/demo.h"
#include "net/lobbywire.h"
#include "shell/shell.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(KORVADO_SP)
static const char PROGRAM[] = "korvado_sp";
static const char EDITION[] = "single-player edition (SP): one player against the computer";
static const char ARGS[] = "[fullscreen]";
static const char BLUE_KEYS[] = "  blue cowboy   played by the computer\n";
#elif defined(KORVADO_NET)
static const char PROGRAM[] = "korvado_net";
static const char EDITION[] = "network edition (NET): two players on two machines";
static const char ARGS[] =
    "[host [PORT] [--no-port-mapping] [--delay N] | join [ADDRESS[:PORT] | +CODE]] [--lobby HOST[:PORT] | --no-lobby] [fullscreen]";
static const char BLUE_KEYS[] =
    "  blue cowboy   the joining player's arrow keys (or W A S D) walk, Right Ctrl or Right Shift (or Q) fires\n"
    "                (the host plays red the same way on his own keyboard, and leads the menu)\n";
#else
static const char PROGRAM[] = "korvado_mp";
static const char EDITION[] = "two-player edition (MP): two players on one keyboard";
static const char ARGS[] = "[fullscreen]";
static const char BLUE_KEYS[] =
    "  blue cowboy   W A S D walk, Q fires\n"
    "  K             ends the game during a round\n";
#endif
#if defined(KORVADO_NET)
static const char PADS_DRIVE[] = "the first drives your cowboy";
#elif defined(KORVADO_SP)
static const char PADS_DRIVE[] = "the first drives red";
#else
static const char PADS_DRIVE[] = "the first drives red, the second blue";
#endif

bool fullScreen;
int netRole;
std::string netAddress;
uint16_t netPort;
bool portMapping;
int netDelay;
std::string netLobby;

static void usageLine(FILE* to) { fprintf(to, "usage: %s %s\n", PROGRAM, ARGS); }

static void help() {
    usageLine(stdout);
    printf("KORVADO 2.2, a western duel for one screen; %s.\n\n", EDITION);
#ifdef KORVADO_NET
    printf("  (nothing)     the front page: host a duel, join one by invite code or address, or on this network\n"
           "  host [PORT]   wait for the other player on UDP port PORT (default %d), asking the router\n"
           "                to open the port to the internet (NAT-PMP, then UPnP)\n"
           "  --no-port-mapping  (after host) leave the router alone\n"
           "  --delay N     (after host) play each key N passes of 13 ms after it goes down, 0 to 8\n"
           "                (unless told, the host takes 0 to 2 by the round trip to the other player)\n"
           "  join ADDRESS[:PORT]  play with the host at ADDRESS (an IPv4 address or a host name)\n"
           "  join          play with the one host waiting on the local network (on port %d)\n"
           "  join +CODE    play with the host who has that invite code, through the lobby\n"
           "  --lobby HOST[:PORT]  (after host or join's address) the lobby that gives and takes invite codes\n"
           "                (UDP port %d unless told; KORVADO_LOBBY names one too; built in: %s)\n"
           "  --no-lobby    no lobby at all, not even the one built in\n",
           DEFAULT_PORT, DEFAULT_PORT, LOBBY_PORT, *KORVADO_LOBBY ? KORVADO_LOBBY : "none");
#endif
    printf("  fullscreen    play on the whole screen instead of in an 800 x 600 window\n"
           "  --record FILE      record the game from the end of the intro into FILE (before the rest)\n"
           "  --playdemo FILE    play the recorded game in FILE back; Escape ends it\n"
           "  --timedemo FILE    play it as fast as the machine can, then print the passes per second\n"
           "  --synctest N --timedemo FILE, --synctest N [--session] PASSES [SEED]\n"
           "                     run each pass of the demo (or of PASSES random ones) again from N passes\n"
           "                     back, and check that the game comes to the same state; no window; with\n"
           "                     --session, through korvado_net's rollback, the rival's inputs N passes late\n"
           "  --help, -h    show this help and exit\n"
           "  --version     show the version and exit\n\n");
    printf("Keys:\n"
           "  menu          Up and Down choose, Return goes, Escape goes back\n"
           "  red cowboy    arrow keys walk, Right Ctrl or Right Shift fires\n"
           "%s"
           "  Escape        leaves a round for the menu; Escape on the main page goes back to it\n"
           "  F2            on the menu: the settings (your own keys, the loudness, the full screen)\n"
           "  F11           the full screen or the window (Alt+Return too)\n\n",
           BLUE_KEYS);
    printf("Gamepads (plugged in before the game starts; any works the menu):\n"
           "  pads          %s\n"
           "  walk          the D-pad or the left stick\n"
           "  fire          A, X, the right shoulder or trigger\n"
           "  Return        Start, or A outside a round\n"
           "  Escape        B or Back\n\n",
           PADS_DRIVE);
    printf("Game types:\n"
           "  WHISKEY HUNT  the first to hold five bottles wins; a hit costs the victim a bottle\n"
           "  SALOON BRAWL  five lives each; a hit costs one, a bottle gives one back\n"
           "  SHOWDOWN      ten lives each and no bottle\n");
}

static void version() {
    const SDL_version* v = SDL_Linked_Version();  // a plain query: SDL itself is not started
    printf("KORVADO 2.2\n%s\nSDL %d.%d.%d\n", EDITION, v->major, v->minor, v->patch);
}

// A whole number from `lo` to `hi`, digits only.
static bool readNumber(const char* s, long lo, long hi, long& n) {
    if (!*s || strlen(s) > 10 || strspn(s, "0123456789") != strlen(s)) return false;
    n = strtol(s, nullptr, 10);
    return n >= lo && n <= hi;
}

#ifdef KORVADO_NET
// A port number: 1 to 65535, digits only.
static bool readPort(const char* s, uint16_t& port) {
    if (!*s || strlen(s) > 5 || strspn(s, "0123456789") != strlen(s)) return false;
    long n = strtol(s, nullptr, 10);
    if (n < 1 || n > 65535) return false;
    port = uint16_t(n);
    return true;
}

static bool isOption(const char* arg) { return strcmp(arg, "fullscreen") == 0 || strncmp(arg, "--", 2) == 0; }

// "+CODE" (also split at its space into two arguments): the invite code, written without the space.
static bool readCode(int argc, char* argv[], int& at) {
    uint32_t code = 0;
    if (parseCode(argv[at], code)) return netAddress = codeText(code, false), at++, true;
    if (at + 1 >= argc || !parseCode(std::string(argv[at]) + argv[at + 1], code)) return false;
    netAddress = codeText(code, false), at += 2;
    return true;
}

// "--lobby HOST[:PORT]" or "--no-lobby", else KORVADO_LOBBY (empty: none), else the one built in
// (-DKORVADO_LOBBY=HOST[:PORT]); a join by code needs one.
static bool readLobby(int argc, char* argv[], int& at) {
    const char* env = getenv("KORVADO_LOBBY");
    netLobby = env ? env : KORVADO_LOBBY;
    if (at + 1 < argc && strcmp(argv[at], "--lobby") == 0) netLobby = argv[at + 1], at += 2;
    else if (at < argc && strcmp(argv[at], "--no-lobby") == 0) netLobby.clear(), at++;
    if (netAddress.empty() || netAddress[0] != '+' || !netLobby.empty()) return true;
    fprintf(stderr, "korvado: an invite code needs a lobby: --lobby HOST[:PORT], or KORVADO_LOBBY\n");
    return false;
}

// "host [PORT] [--no-port-mapping] [--delay N] [--lobby HOST[:PORT]] [fullscreen]" or "join [ADDRESS[:PORT] | +CODE]
// [--lobby HOST[:PORT]] [fullscreen]"; nothing else may follow. A join without an address looks for the host
// on the local network.
static bool readNetArguments(int argc, char* argv[]) {
    int at = 2;
    netPort = DEFAULT_PORT;
    netAddress.clear();
    portMapping = true;
    netDelay = -1;
    if (argc == 1 || isOption(argv[1])) {
        netRole = NET_NONE, at = 1;  // the front page
    } else if (strcmp(argv[1], "host") == 0) {
        netRole = NET_HOST;
        if (at < argc && !isOption(argv[at]) && !readPort(argv[at++], netPort)) return false;
        if (at < argc && strcmp(argv[at], "--no-port-mapping") == 0) portMapping = false, at++;
        long n = 0;
        if (at + 1 < argc && strcmp(argv[at], "--delay") == 0 && readNumber(argv[at + 1], 0, 8, n)) netDelay = int(n), at += 2;
    } else if (strcmp(argv[1], "join") == 0 && (argc == 2 || isOption(argv[2]))) {
        netRole = NET_JOIN;
    } else if (strcmp(argv[1], "join") == 0 && argv[2][0] == '+') {
        netRole = NET_JOIN;
        if (!readCode(argc, argv, at)) return false;
    } else if (strcmp(argv[1], "join") == 0) {
        netRole = NET_JOIN;
        std::string where = argv[at++];
        size_t colon = where.rfind(':');
        if (colon != std::string::npos && !readPort(where.c_str() + colon + 1, netPort)) return false;
        netAddress = where.substr(0, colon);
        if (netAddress.empty() || netAddress.size() > 253) return false;
    } else {
        return false;
    }
    if (!readLobby(argc, argv, at)) return false;
    if (at < argc && strcmp(argv[at], "fullscreen") == 0) fullScreen = true, at++;
    return at == argc;
}
#endif

// "--synctest N --timedemo FILE" or "--synctest N [--session] PASSES [SEED]": the whole command line.
static bool readSyncTest(int argc, char* argv[]) {
    long depth = 0, passes = 0, seed = 1;
    if (argc < 4 || !readNumber(argv[2], 1, 64, depth)) return false;
    syncDepth = int(depth);
    syncSession = strcmp(argv[3], "--session") == 0;
    if (syncSession) argv++, argc--;
    if (strcmp(argv[3], "--timedemo") == 0) {
        demoMode = DEMO_TIME, demoPath = argv[4 < argc ? 4 : 3];
        return argc == 5 && *argv[4];
    }
    if (!readNumber(argv[3], 1, 100000000, passes) || (argc == 5 && !readNumber(argv[4], 0, 4294967295, seed)))
        return false;
    syncPasses = passes, syncSeed = uint32_t(seed);
    return argc <= 5;
}

// "--record FILE", "--playdemo FILE" or "--timedemo FILE" in front of the other arguments: taken off them.
static bool takeDemoArgument(int& argc, char**& argv) {
    static const char* const OPTIONS[3] = {"--record", "--playdemo", "--timedemo"};
    demoMode = DEMO_NONE;
    for (int m = 0; m < 3; m++) {
        if (argc < 2 || strcmp(argv[1], OPTIONS[m]) != 0) continue;
        if (argc < 3 || !*argv[2]) return false;
        demoMode = DEMO_RECORD + m;
        demoPath = argv[2];
        argv[2] = argv[0];
        argv += 2, argc -= 2;
        break;
    }
    return true;
}

static int wrongArguments() {
    usageLine(stderr);
    fprintf(stderr, "(%s --help tells more)\n", PROGRAM);
    return 2;
}

int readCommandLine(int argc, char* argv[]) {
    fullScreen = false;
    netRole = NET_NONE;
    syncDepth = 0;
    if (argc > 1 && strcmp(argv[1], "--synctest") == 0) return readSyncTest(argc, argv) ? -1 : wrongArguments();
    if (!takeDemoArgument(argc, argv)) return wrongArguments();
    const char* arg = argc > 1 ? argv[1] : "";
    if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
        help();
        return 0;
    }
    if (strcmp(arg, "--version") == 0) {
        version();
        return 0;
    }
#ifdef KORVADO_NET
    bool played = demoMode == DEMO_PLAY || demoMode == DEMO_TIME;  // a demo plays without the network
    fullScreen = played && argc == 2 && strcmp(arg, "fullscreen") == 0;
    if (played && (argc == 1 || fullScreen)) return -1;
    if (!played && readNetArguments(argc, argv)) return -1;
#else
    if (argc < 2) return -1;
    if (strcmp(arg, "fullscreen") == 0) {
        fullScreen = true;
        return -1;
    }
#endif
    return wrongArguments();
}
