// game.h: every shared global of the game and the screen functions that work on them.
#ifndef KORVADO_GAME_H
#define KORVADO_GAME_H

#include <SDL.h>
#include <cstdint>
#include <random>
#include <string>
#include "sprite.h"
#include "audio/audio.h"

// ---- control flags ----
extern bool done;        // leave the frame loop and shut down
extern bool menuBezi;    // the menu runs this frame
extern bool gameBezi;    // the round runs this frame
extern bool gameOver;    // no round is in progress that the menu could resume
extern bool canEsc;      // the menu may act on Escape
extern bool canGEsc;     // the round may act on Escape
extern bool mCanMove;    // the menu's key guard is open
extern bool doCount;     // the 3-2-1 countdown runs
extern bool p2justdied;  // the blue cowboy was hit earlier in this round frame

// ---- numbers and timing ----
extern int gameMode;     // game type of the current or last round: 0, 1 or 2
extern int wLimit;       // bottles needed to win in game type 0
extern int volbamenu;    // highlighted item on the current menu page
extern int pozicemenu;   // current menu page: 0 main, 1 game types, 2 credits, 3 instructions
extern float delta;      // ms between the starts of the previous frame and this one
extern float deltaNew;   // this frame's tick value in ms
extern float deltaOld;   // the previous frame's tick value in ms
extern float mPause;     // ms the menu has waited since it last acted on a key
extern float cPause;     // ms since the countdown began
extern int r;            // the last random draw (0-9) that chose the cry on a hit
extern Uint8* keys;      // SDL's own key-state array (never a copy)
extern SDL_Event event;  // the record every event poll fills
extern std::mt19937 gameDraws;  // the generator behind gameRand
extern uint32_t gameSeed;       // the seed gameSrand last took
extern int schannel;     // the sound channel that shutdown stops

// ---- objects ----
extern SDL_Surface* screen;  // the display surface
extern Player* Hrac1;        // the red cowboy, player 1
extern Player* Hrac2;        // the blue cowboy, player 2 (the computer in the single-player edition)
extern Whiskey whiskey;      // the one whiskey bottle
extern imgbase imgbas;       // the red cowboy's pictures
extern imgbase imgbas2;      // the blue cowboy's pictures

// ---- screen positions (only x and y are set) ----
extern SDL_Rect hud1;   // blue's counter, top left
extern SDL_Rect hud2;   // red's counter, top right
extern SDL_Rect hud3;   // blue's portrait
extern SDL_Rect hud4;   // red's portrait
extern SDL_Rect nRect;  // the countdown digit
extern SDL_Rect rmng;   // menu item slot 0
extern SDL_Rect rmop;   // menu item slot 1
extern SDL_Rect rmcr;   // menu item slot 2
extern SDL_Rect rmex;   // menu item slot 3

// ---- pictures ----
extern SDL_Surface* loading;   // LOADING, shown while the rest loads
extern SDL_Surface* credits;   // credits page
extern SDL_Surface* instruc;   // instructions page
extern SDL_Surface* mng;       // main page item 0 (new game), plain
extern SDL_Surface* mnga;      // main page item 0, highlighted
extern SDL_Surface* mop;       // main page item 1 (instructions), plain
extern SDL_Surface* mopa;      // main page item 1, highlighted
extern SDL_Surface* mcr;       // main page item 2 (credits), plain
extern SDL_Surface* mcra;      // main page item 2, highlighted
extern SDL_Surface* mex;       // main page item 3 (exit), plain
extern SDL_Surface* mexa;      // main page item 3, highlighted
extern SDL_Surface* wh;        // game type 0, plain
extern SDL_Surface* wha;       // game type 0, highlighted
extern SDL_Surface* dop;       // game type 1, plain
extern SDL_Surface* dopa;      // game type 1, highlighted
extern SDL_Surface* su;        // game type 2, plain
extern SDL_Surface* sua;       // game type 2, highlighted
extern SDL_Surface* rpi;       // red cowboy's portrait
extern SDL_Surface* bpi;       // blue cowboy's portrait
extern SDL_Surface* mbgr;      // menu background (differs by edition)
extern SDL_Surface* bgr;       // the street
extern SDL_Surface* teamLogo;  // studio picture
extern SDL_Surface* gameLogo;  // title picture
extern SDL_Surface* rpwins;    // red cowboy wins
extern SDL_Surface* bpwins;    // blue cowboy wins
extern SDL_Surface* wc[11];    // counter pictures 0 to 10
extern SDL_Surface* n1;        // countdown 1
extern SDL_Surface* n2;        // countdown 2
extern SDL_Surface* n3;        // countdown 3
extern SDL_Surface* n0;        // countdown end (DRAW!)

// ---- sounds ----
extern FMUSIC_MODULE* music;  // the background music module
extern FSOUND_SAMPLE* sgfire; // gunshot
extern FSOUND_SAMPLE* sy1;    // hit cry "ouch"
extern FSOUND_SAMPLE* sy2;    // hit cry "yaahooo"
extern FSOUND_SAMPLE* sy3;    // hit cry "yeehaaa"
extern FSOUND_SAMPLE* swhis;  // bottle picked up
extern FSOUND_SAMPLE* winS;   // the winner's laugh

// ---- SDL key symbols the game reads ----
const int KEY_RETURN = SDLK_RETURN;  // 13
const int KEY_ESCAPE = SDLK_ESCAPE;  // 27

// ---- screens (menu.cpp, sequences.cpp, round.cpp) ----
void game();                 // one frame of a round
void menu();                 // one frame of the menu
void newGame(int mode);      // start a round of game type 0, 1 or 2
void playIntro();            // studio and title pictures; starts the music
void count();                // one step of the 3-2-1 countdown
void gameOverAn(int winner); // winner screen: 1 red, 2 blue

// ---- computer opponent (opponent.cpp, single-player edition) ----
struct BlueInput {           // the blue cowboy's five inputs for one round frame
    bool fire, right, left, down, up;
};
extern float reflex;         // trigger clock: ms with red in blue's sights since the last shot
extern float wReflex;        // vertical-follow clock: ms since red last dodged up or down in blue's sights
BlueInput opponentDecide();  // the computer's decisions for this frame

// ---- command line (cmdline.cpp) ----
extern bool fullScreen;                        // the player asked for the full screen
enum NetRole { NET_NONE, NET_HOST, NET_JOIN };
const uint16_t DEFAULT_PORT = 27415;           // korvado_net's UDP port unless told
extern int netRole;                            // korvado_net: hosting or joining
extern std::string netAddress;                 // korvado_net join: the host's address or name; empty: look for one
extern uint16_t netPort;                       // korvado_net: the UDP port
extern bool portMapping;                       // korvado_net host: ask the router to open the port
extern std::string netLobby;                   // korvado_net: the lobby's HOST[:PORT] (a join's +CODE is netAddress)
int readCommandLine(int argc, char* argv[]);  // -1 to start the game, else the exit status

// ---- where the assets are (datadir.cpp) ----
void findAssets();                         // looks for the data beside the working directory, the program, the install
std::string assetPath(const char* path);   // a "../images/..."-style path as the file to open

// ---- shell (startup.cpp) ----
void startValues();                    // the start values of the flags, numbers and screen positions
void resetGameState();                 // every global, both cowboys and the bottle as start-up leaves them
// A picture in the display's format, keyed when asked; a missing one ends the program with its path.
SDL_Surface* loadAsset(const char* path, bool keyed);
int SDL_main(int argc, char* argv[]);  // the whole life of the program
int startUp(int argc, char* argv[]);   // everything before the intro; -1 to go on, else the exit status
extern Uint32 (*tickSource)();         // the clock frameTime reads: SDL_GetTicks (tests set their own)
void frameTime();                      // measures delta for this pass
void framePass();                      // one pass of the frame loop
// Where a pass takes its inputs (the frame time when timed, one event, the keyboard); true when an event
// was taken. The frame loop and the key waits call it; korvado_net puts the lockstep in its place.
extern bool (*takeInputs)(bool timed);
bool localInputs(bool timed);          // this machine's clock, event queue and keyboard
void startPass();                      // marks the start of a pass, for paceFrame
extern Uint32 frameBudgetMs;           // the shortest pass when nothing waits for the display
extern bool pacing;                    // passes wait for the display's refresh or the frame budget
void setUpPacing();                    // pacing on unless KORVADO_NO_PACING is set; asks sdl12-compat for vsync
void paceFrame();                      // waits out the rest of this pass's frame budget
uint32_t stateHash();                  // every value the game's next pass depends on, hashed (statehash.cpp)
void shutDown();                       // releases the cowboys, the sound and SDL
void drawBackground(SDL_Surface* pic); // a full-screen picture at the corner of the screen
// A picture was drawn at r (as SDL clipped it; null: the whole surface) over what drawBackground laid on dst.
void noteDrawn(SDL_Surface* dst, const SDL_Rect* r);
void showFrame();                      // the frame to the display: what changed, or the whole screen

// ---- sequences.cpp ----
bool keyWait();  // blocks until Return or Escape (true) or a window-close request (false, sets done)

// ---- korvado_net (session.cpp) ----
void prepareSessions();      // the network screens' pictures, and the test seam's script when one is named
int playSessions();          // hosts or joins, plays sessions in lockstep; the exit status

#endif
