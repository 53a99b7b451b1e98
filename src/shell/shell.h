// shell.h: the program around the game: start-up, the frame loop and its pacing, the command line, the assets.
#ifndef KORVADO_SHELL_H
#define KORVADO_SHELL_H

#include <SDL.h>
#include <cstdint>
#include <string>
#include "game/game.h"

// ---- command line (cmdline.cpp) ----
extern bool fullScreen;                        // the player asked for the full screen
enum NetRole { NET_NONE, NET_HOST, NET_JOIN };
const uint16_t DEFAULT_PORT = 27415;           // korvado_net's UDP port unless told
extern int netRole;                            // korvado_net: hosting or joining
extern std::string netAddress;                 // korvado_net join: the host's address or name; empty: look for one
extern uint16_t netPort;                       // korvado_net: the UDP port
extern bool portMapping;                       // korvado_net host: ask the router to open the port
extern int netDelay;                           // korvado_net host: the input delay asked for; -1: by the round trip
extern std::string netLobby;                   // korvado_net: the lobby's HOST[:PORT] (a join's +CODE is netAddress);
                                               // empty: none
int readCommandLine(int argc, char* argv[]);   // -1 to start the game, else the exit status

// ---- where the assets are (datadir.cpp) ----
void findAssets();                        // beside the working directory, the program, or the install
std::string assetPath(const char* path);  // a "../images/..."-style path as the file to open
// A missing or broken asset would leave holes in every screen: says which one and ends the program.
void missingAsset(const char* path, const char* reason);

// ---- the sounds (sounds.cpp) ----
void loadSounds();                    // the music and the six samples; none without a sound device
void startMusic();
void playSound(uint8_t sound);        // one of the game's Sound events
int playSoundOn(uint8_t sound);       // ... and the channel it plays on (-1: none)
void fadeSound(int channel, uint8_t sound);  // fades it out, if the channel still plays it
void stopSounds();                    // every sample playing
void closeSounds();
void setLoudness(int music, int sounds);  // 0 (silent) to LOUDEST (as recorded) each

// ---- start-up and the whole life of the program (startup.cpp) ----
int startUp(int argc, char* argv[]);   // everything before the intro; -1 to go on, else the exit status
uint32_t startSeed();                  // the seed the game's generator starts from (the clock's)
void shutDown();                       // the sound, the pads and SDL
bool fullScreenShown();                // the display is the whole screen now
// The whole screen or the window, at once; the next frame is drawn whole. False (said on stderr) when the
// display cannot change; it stays as it was.
bool setFullScreen(bool on);
int SDL_main(int argc, char* argv[]);  // the whole life of the program

// ---- the frame loop (frameloop.cpp) ----
// Where a pass takes its record: this machine's keyboard and pads, a demo, the network, a test. False when
// the source has no more (a demo over or stopped); `timed` says whether the pass wants a frame time.
typedef bool (*InputSource)(const GameState& s, bool timed, TicCmd& cmd);
extern Uint32 (*tickSource)();  // the clock: SDL_GetTicks (tests set their own)
uint16_t frameTime();            // ms since the last pass of the frame loop, on that clock
bool localInputs(const GameState& s, bool timed, TicCmd& cmd);  // this machine's clock, events, keyboard, pads
bool touchedNow();               // a key or pad button was pressed in the last local pass, or one is held
// One frame: the pass on `s`, its sounds, its picture shown, and the wait for the next. False once the
// game is over.
bool passFrame(GameState& s, const TicCmd& cmd, bool timed);
// The record from `source`, then passFrame. False when the source has no more or the game is over.
bool runFrame(GameState& s, InputSource source);
// The interactive game's frame: the intro, the menu and rounds, attract mode; false once it is over.
extern InputSource playerSource;  // this machine's player: the keyboard and pads (korvado_net: or a test script)
bool gameFrame();
GameState& theGame();  // the interactive game's state

// ---- pacing (pacing.cpp) ----
extern Uint32 frameBudgetMs;  // the shortest pass when nothing waits for the display
extern bool pacing;           // passes wait for the display's refresh or the frame budget
void setUpPacing();           // pacing on unless KORVADO_NO_PACING is set; asks sdl12-compat for vsync
void startPass();             // marks the start of a pass, for paceFrame
void paceFrame();             // waits out the rest of this pass's frame budget

// ---- attract mode (attract.cpp) ----
const float ATTRACT_AFTER_MS = 30000;  // the main page left alone this long shows a demo
// Whether the main page has been left alone long enough, judged with this pass's record.
bool attractDue(const GameState& s, bool local);
// Plays a shipped demo on a state of its own from the next frame on, in place of the player's game; the
// player's pass whose record is `cmd` runs once it is over. False when the demo cannot be read.
bool attractStart(const TicCmd& cmd);
bool attractRunning();
void attractWait();  // the main page's clock starts again: the player was busy elsewhere (the settings page)
void attractFrame(GameState& s);  // one frame of the demo; once it is over, the pass of `s` it stood in for
std::string attractDemoPath(int gameType);  // the shipped demo of a game type

// ---- the player's settings and their page (settingspage.cpp), outside the game state as attract mode ----
// The kept settings, or the defaults; a damaged store is named on stderr and its readable lines kept.
void loadPlayerSettings();
bool savePlayerSettings();  // keeps them for the next runs
void prepareSettingsPage();  // its lettering, after the display opens
void settingsOpen();         // shows the page from the next frame on, in place of the screen under it
bool settingsShown();
// One frame of the page with its events: the keys it takes, its picture shown, and the wait for the next.
// False when the window's close button was pressed there.
bool settingsFrame();
void settingsHint(const GameState& s);  // "F2: settings" on the menu's background, after the drawer's frame
// The desktop's F11 and Alt+Return, from every screen: the whole screen or the window, kept.
bool fullScreenKey(int key, bool alt);
// ... taken from a pass's input: F11 or Alt+Return switches, and that Return does nothing else.
struct LocalInput;
void takeScreenKeys(LocalInput& in);
void toggleFullScreen();

// ---- korvado_net (session.cpp) ----
void prepareSessions();  // the network screens' pictures, and the test seam's script when one is named
// After the intro: the front page (no host or join on the command line), or hosting or joining; -1 to go on
// with netFrame, else the exit status.
int beginSessions();
bool netFrame();         // one frame of korvado_net's screens; false once the program is to end
uint32_t netWaitMs();    // what the frame left to wait before the next (a pass not yet due), beside pacing
bool netPlaying();       // a session's passes are being played
void netBackground();    // a page without frames (a background tab): the session says it is still there
void openInvite(uint32_t code);  // a page opened by an invite link: straight to the join of its code
int endSessions();       // the network given up; the exit status

#endif
