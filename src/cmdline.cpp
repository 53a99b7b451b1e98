// cmdline.cpp: the command line: the one game argument, --help, --version and the answer to a wrong argument.
#include "game.h"

#include <cstdio>
#include <cstring>

#ifdef KORVADO_SP
static const char PROGRAM[] = "korvado_sp";
static const char EDITION[] = "single-player edition (SP): one player against the computer";
static const char BLUE_KEYS[] = "  blue cowboy   played by the computer\n";
#else
static const char PROGRAM[] = "korvado_mp";
static const char EDITION[] = "two-player edition (MP): two players on one keyboard";
static const char BLUE_KEYS[] =
    "  blue cowboy   W A S D walk, Q fires\n"
    "  K             ends the game during a round\n";
#endif

bool fullScreen;

static void usageLine(FILE* to) { fprintf(to, "usage: %s [fullscreen]\n", PROGRAM); }

static void help() {
    usageLine(stdout);
    printf("KORVADO 2.2, a western duel for one screen; %s.\n\n", EDITION);
    printf("  fullscreen    play on the whole screen instead of in an 800 x 600 window\n"
           "  --help, -h    show this help and exit\n"
           "  --version     show the version and exit\n\n");
    printf("Keys:\n"
           "  menu          Up and Down choose, Return goes, Escape goes back\n"
           "  red cowboy    arrow keys walk, Right Ctrl fires\n"
           "%s"
           "  Escape        leaves a round for the menu; Escape on the main page goes back to it\n\n",
           BLUE_KEYS);
    printf("Game types:\n"
           "  WHISKEY HUNT  the first to hold five bottles wins; a hit costs the victim a bottle\n"
           "  SALOON BRAWL  five lives each; a hit costs one, a bottle gives one back\n"
           "  SHOWDOWN      ten lives each and no bottle\n");
}

static void version() {
    const SDL_version* v = SDL_Linked_Version();  // a plain query: SDL itself is not started
    printf("KORVADO 2.2\n%s\nSDL %d.%d.%d\n", EDITION, v->major, v->minor, v->patch);
}

int readCommandLine(int argc, char* argv[]) {
    fullScreen = false;
    if (argc < 2) return -1;
    const char* arg = argv[1];
    if (strcmp(arg, "fullscreen") == 0) {
        fullScreen = true;
        return -1;
    }
    if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
        help();
        return 0;
    }
    if (strcmp(arg, "--version") == 0) {
        version();
        return 0;
    }
    usageLine(stderr);
    fprintf(stderr, "(%s --help tells more)\n", PROGRAM);
    return 2;
}
