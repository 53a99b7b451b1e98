// session.cpp: korvado_net's sessions, a screen a frame: the host waits for a player, the joiner rides in, they
// greet each other (versions, the round trip, the seed), play with rollback, and each learns when the other has
// gone. The frame loop calls netFrame once a frame; no screen waits inside it.
#include "demo/demo.h"
#include "draw/draw.h"
#include "session/netplay.h"
#include "session/netscript.h"
#include "session/screens.h"
#include "shell/shell.h"
#include "draw/text.h"
#include "input/input.h"
#include "input/pad.h"
#include "net/lan.h"
#include "net/enetlink.h"
#include "net/lobby.h"
#include "net/portmap.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

const char NET_VERSION[] = "2.2";
static const char* const VERSION = NET_VERSION;
static SDL_Surface* paper;  // the command line's screens' paper
SDL_Surface* frontPaper;    // ... and the front page's
Lettering ink, heading;

void prepareSessions() {
    frontPaper = loadAsset("../images/net/front.png", false);
    paper = onPage() ? frontPaper : loadAsset("../images/net/paper.png", false);  // a page's screens are all its front page's
    makeLettering(ink, loadAsset("../images/net/ink.png", true));
    makeLettering(heading, loadAsset("../images/net/heading.png", true));
    const char* script = getenv("KORVADO_NET_SCRIPT");
    if (!script || !*script) return;
    if (!scriptLoad(script)) {
        SDL_Quit();
        exit(1);
    }
    playerSource = scriptedLocalInputs;
}

// ---- the screens' frame ----

bool pageMode;
Opening backTo;
static NetScreen screenNow;
static bool paced = true;
static uint32_t waitMs;       // an unpaced screen's wait after its frame
static int exitStatus = -1;   // once set, the program ends with it

void become(NetScreen s, bool pacedScreen) { screenNow = s, paced = pacedScreen, waitMs = pacedScreen ? 0 : 1; }
void endProgram(int status) { exitStatus = status; }

LocalInput frameInput() {
    LocalInput in = readLocalInput(false);
    takeScreenKeys(in);
    if (in.close) endProgram(0);  // the window's close button ends the program from every screen
    return in;
}

bool leaves(const LocalInput& in) { return (in.pressed & keyBit(K_ESCAPE)) != 0; }

// Escape on a screen of the session: the program ends (command line), or back to the page he came from.
static void leave() {
    if (!pageMode) return endProgram(0);
    hangUp();
    backTo();
}

// This frame's input on a screen the player may leave with Escape: false when the program ends or he has left.
static bool stays() {
    LocalInput in = frameInput();
    if (exitStatus >= 0) return false;
    if (leaves(in)) return leave(), false;
    return true;
}

bool netFrame() {
    if (exitStatus >= 0) return false;
    if (settingsShown()) {  // opened from the front page, in place of its frames
        if (!settingsFrame()) endProgram(0);
        return exitStatus < 0;
    }
    if (paced) startPass();
    screenNow();
    if (paced && exitStatus < 0) paceFrame();
    return exitStatus < 0;
}

uint32_t netWaitMs() { return paced ? 0 : waitMs; }

void showPage(const std::string& title, const std::vector<std::string>& lines) {
    drawBackground(pageMode ? frontPaper : paper);
    drawText(heading, title, 400, 64, 0);
    int y = 150, step = lines.size() > 8 ? 34 : 40;
    for (const std::string& l : lines) drawText(ink, l, 400, y, 0), y += step;
    SDL_Flip(screen);
}

// ---- messages ----

static struct {
    std::string title;
    std::vector<std::string> lines;
    Uint32 since, ms;
    Opening then;
    int status;
    bool failure, drains;  // drains: the link is served meanwhile, for what was said last (a refusal)
} note;

static void noteFrame() {
    LocalInput in = frameInput();
    for (int i = 0; note.drains && i < 8 && linkService(0).kind != LINK_NOTHING; i++) {
    }
    bool waits = pageMode && note.failure;
    showPage(note.title, note.lines);
    if (exitStatus >= 0) return;
    // Escape ends the program; a failure's sentence keeps its status, so a script is never told it went well
    if (leaves(in) && !pageMode) return endProgram(note.failure ? note.status : 0);
    bool over = waits ? (in.pressed & (keyBit(K_RETURN) | keyBit(K_ESCAPE))) != 0 : SDL_GetTicks() - note.since >= note.ms;
    if (!over) return;
    if (waits) return hangUp(), backTo();
    if (note.then) return note.then();
    endProgram(note.status);
}

void showMessage(const std::string& title, const std::vector<std::string>& lines, uint32_t ms, Opening then,
                 int status, bool failure) {
    if (FILE* trace = netTrace()) fprintf(trace, "message %s %llu\n", title.c_str(), netMicroseconds());
    note.title = title, note.lines = lines, note.since = SDL_GetTicks(), note.ms = ms;
    note.then = then, note.status = status, note.failure = failure, note.drains = false;
    if (pageMode && failure) note.lines.insert(note.lines.end(), {"", "Return: back"});
    become(noteFrame);
}

// A failure the player may try again: the program ends with status 1 (command line), or he goes back.
static void failure(const std::string& title, const std::vector<std::string>& lines, uint32_t ms) {
    showMessage(title, lines, ms, nullptr, 1, true);
}

void hangUp() {
    portmapStop();
    linkStop();
    lobbyEnd();
    inputTyping(false);
}

static void send(const Message& m, bool reliable) {
    std::vector<uint8_t> d = encodeMessage(m);
    linkSend(d.data(), d.size(), reliable);
}

static uint32_t goneReason;  // what the other side said when he closed the link

// The other side's next message: 1, with it in `m`; 0 while none has come; -1 once he has gone.
static int takeMessage(Message& m) {
    for (LinkEvent e = linkService(0); e.kind != LINK_NOTHING; e = linkService(0)) {
        if (e.kind == LINK_GONE) return goneReason = e.reason, -1;
        if (e.kind == LINK_RECEIVED && decodeMessage(e.data.data(), e.data.size(), m)) return 1;
    }
    return 0;
}

// The sign of a present held up by the network, over the top of the frame.
static void drawWaiting() {
    const std::string sign = "Waiting for the network ...";
    SDL_Rect box = {Sint16(400 - textWidth(ink, sign) / 2 - 12), 4, Uint16(textWidth(ink, sign) + 24), Uint16(ink.cellH + 8)};
    SDL_FillRect(screen, &box, SDL_MapRGB(screen->format, 240, 226, 190));
    noteDrawn(screen, &box);
    drawText(ink, sign, 400, 8, 0);
}

// ---- the session ----

static void afterSession();

static void finishing() {
    if (!netplayFinishStep()) afterSession();
}

static void lingering() {
    if (netplayLingerStep()) return;
    netplayFinishBegin();
    become(finishing);
}

// The frame's pass, when due. A page's frame comes at the display's refresh (60 a second on most): it runs
// every pass that is due, then draws once, so that the passes keep their 13 ms.
static NetplayStep duePasses(GameState& game) {
    NetplayStep step = netplayFrame(game);
    if (!onPage() || step != NETPLAY_RAN) return step;
    for (int i = 0; i < 8 && netplayWaitMs() == 0; i++) {
        NetplayStep next = netplayFrame(game);
        if (next == NETPLAY_NOT_DUE) break;
        step = next;
        if (step != NETPLAY_RAN) break;
    }
    return step;
}

// A frame of the session: due passes only; a pass not yet due leaves the frame at once, and the frame loop
// waits netWaitMs for it.
static void playing() {
    GameState& game = theGame();
    NetplayStep step = duePasses(game);
    waitMs = netplayWaitMs();
    if (step == NETPLAY_NOT_DUE) return;
    bool drawn = drawFrame(game);
    if (netplayWaiting()) drawWaiting(), drawn = true;
    if (drawn) showFrame();
    netplayFrameDone();
    lobbyTick(true);  // the lobby hears that this host is busy
    if (step == NETPLAY_RAN) return;
    // The game's own end (the menu's exit item) comes in the same pass on both machines; a closed window
    // is this player's own leaving, which the other learns from the link.
    if (game.done && !netplayClosed() && netplayEnd() == SESSION_RUNNING) return netplayLingerBegin(), become(lingering);
    netplayFinishBegin();
    become(finishing);
}

bool netPlaying() { return screenNow == playing; }

// The page gets no frames in a background tab: the session answers for it from the link's own events.
void netBackground() {
    if (screenNow == playing) netplayKeepAlive();
}

static void playBegin(bool hosting, uint32_t delay, uint32_t seed) {
    netplayBegin(theGame(), hosting, delay, seed);
    become(playing, false);
    waitMs = 0;
}

static void openWaiting();

// Why the session ended, and where each side goes: the command line's host waits for another player, its joiner
// ends; in page mode both go back to the front page.
static void afterSession() {
    GameState& game = theGame();
    SessionEnd end = netplayEnd();
    if (netplayClosed()) return endProgram(0);
    if (game.done) return pageMode ? openFront() : endProgram(0);
    linkDrop();
    bool lost = end == SESSION_LOST_SYNC, host = netRole == NET_HOST;
    std::vector<std::string> lines = {lost ? "The two games no longer agree." : "The other player is gone."};
    if (host && !pageMode) lines.push_back("Waiting for a new rival.");
    std::string title = lost ? "LOST SYNC" : host ? "YOUR RIVAL LEFT" : "THE HOST LEFT";
    if (pageMode) backTo = openFront;  // a session that was played ends on the front page for both
    showMessage(title, lines, 2500, host && !pageMode ? openWaiting : nullptr, lost ? 1 : 0, true);
}

// ---- the host ----

// What the other player chooses on his front page (page mode) or types (command line), for this network and,
// once the router has answered, for elsewhere.
static std::string joinAt(const std::string& where) {
    return pageMode ? "Join a duel with " + where : "korvado_net join " + where;
}

// Page mode: what the other player chooses on his front page.
static std::vector<std::string> pageLines(const std::string& here) {
    std::vector<std::string> lines = {"On this network: Join on this network,", "or Join a duel with " + here};
    std::vector<std::string> lobby = lobbyHostLines();
    if (!lobby.empty()) lines.push_back("");
    for (const std::string& l : lobby) lines.push_back(l);
    if (lobby.size() == 1 && lobby[0].rfind("Invite code", 0) == 0) lines.push_back("(Join a duel, and type the code)");
    lines.push_back("");
    return lines;
}

// A page hosts through its lobby only: the invite code, and its link beside the game.
static std::vector<std::string> webLines() {
    std::vector<std::string> lines = lobbyHostLines();
    if (lines.size() == 1 && lines[0].rfind("Invite code", 0) == 0)
        lines.insert(lines.end(), {"", "Send your rival the invite link below the game", "(C copies it): he opens it and rides in,",
                                   "or takes Join a duel and types the code."});
    return lines;
}

static std::vector<std::string> waitingLines(const PortmapOutcome& router) {
    if (onPage()) return webLines();
    std::vector<std::string> ours = linkLocalAddresses();  // loopback last: shown only when alone
    while (ours.size() > 1 && ours.back().rfind("127.", 0) == 0) ours.pop_back();
    std::string port = std::to_string(netPort), list, here = ours.empty() ? "ADDRESS" : ours[0];
    for (size_t i = 0; i < ours.size() && i < 3; i++) list += (i ? ", " : "") + ours[i];
    std::vector<std::string> lines = {"Hosting on UDP port " + port + ".", "On this network (" + list + "):",
                                      joinAt(here + ":" + port)};
    if (netPort == DEFAULT_PORT) lines.push_back("(or just korvado_net join)");  // the search asks that port
    lines.push_back("");
    for (const std::string& l : lobbyHostLines()) lines.push_back(l);
    if (pageMode) lines = pageLines(here + ":" + port);
    if (router.state == PORTMAP_MAPPED) {
        lines.push_back("Over the internet (the router opened it by " + router.how + "):");
        lines.push_back(joinAt(router.address + ":" + std::to_string(router.port)));
    } else if (router.state == PORTMAP_ASKING) {
        lines.push_back("Asking the router to open the port ...");
    } else {
        if (router.state == PORTMAP_REFUSED)
            lines.insert(lines.end(), {"The router did not open the port:", router.why + "."});
        lines.push_back("Over the internet: forward UDP port " + port + " here.");
    }
    return lines;
}

// Which way a player who came with an invite code came, on the screen and in the trace.
static void traceWay() {
    std::string way = lobbyWay();
    if (way.empty()) return;
    showPage(netRole == NET_HOST ? "A RIVAL RIDES IN" : "RIDING OUT", {"The game goes " + way + "."});
    if (FILE* trace = netTrace()) fprintf(trace, "way %s %llu\n", way == "direct" ? "direct" : "lobby", netMicroseconds());
}

// The trace's lines for the router's and the lobby's answers, once they are on the screen.
static void traceRouter(const PortmapOutcome& o) {
    FILE* trace = netTrace();
    if (!trace) return;
    if (!netLobby.empty()) fprintf(trace, "lobby %s %llu\n", lobbyHostState().c_str(), netMicroseconds());
    if (o.state == PORTMAP_MAPPED)
        fprintf(trace, "router mapped %s %s %u %llu\n", o.how.c_str(), o.address.c_str(), o.port, netMicroseconds());
    else if (o.state == PORTMAP_REFUSED)
        fprintf(trace, "router refused %llu\n", netMicroseconds());
    fflush(trace);
}

static struct {
    PortmapOutcome router;
    std::vector<std::string> lines;
    unsigned lobbySeen;
    Uint32 since;           // the greeting's step began (the hello awaited, a probe sent)
    Uint32 rtt[5];
    uint8_t seq;            // the probe awaited
    uint32_t delay, seed;   // the session's, once measured
} host;

static void openGreeting();

static void waiting() {
    if (!stays()) return;
    lobbyTick(false);
    PortmapOutcome now = portmapOutcome();
    bool changed = now.state != host.router.state || now.port != host.router.port || lobbyRevision() != host.lobbySeen;
    if (changed) host.router = now, host.lines = waitingLines(now), host.lobbySeen = lobbyRevision();
    showPage("WAITING FOR A RIVAL", host.lines);
    if (changed) traceRouter(now);
    for (LinkEvent e = linkService(0); e.kind != LINK_NOTHING; e = linkService(0))
        if (e.kind == LINK_CONNECTED) {
            if (FILE* trace = netTrace()) fprintf(trace, "connected %llu\n", netMicroseconds());
            return traceWay(), openGreeting();
        }
}

static void openWaiting() {
    host.router = portmapOutcome();
    host.lines = waitingLines(host.router);
    host.lobbySeen = 0;
    become(waiting);
}

// A joiner who did not see the greeting through: dropped (the trace says why), and the host waits again.
static void dropJoiner(const char* why) {
    if (FILE* trace = netTrace()) fprintf(trace, "dropped %s %llu\n", why, netMicroseconds());
    linkDrop();
    openWaiting();
}

static void refused() { dropJoiner("version"); }

static void starting() {
    waitMs = SDL_GetTicks() - host.since < host.rtt[2] / 2 ? 1 : 0;
    if (!waitMs) playBegin(true, host.delay, host.seed);
}

// The round trip measured: the session's delay and seed go to the joiner, and both sides begin their first pass
// together, half a round trip after the start was sent.
static void sendStart(Uint32 rtt) {
    if (FILE* trace = netTrace()) fprintf(trace, "roundtrip %u\n", rtt);
    host.delay = netDelay >= 0 ? uint32_t(netDelay) : delayFor(rtt);
    host.seed = uint32_t(time(nullptr)) ^ (SDL_GetTicks() << 16);
    Message start;
    start.kind = MSG_START;
    start.seed = host.seed;
    start.delay = uint8_t(host.delay);
    start.budget = uint8_t(frameBudgetMs);
    send(start, true);
    host.since = SDL_GetTicks();
    become(starting, false);
}

static void sendProbe() {
    Message probe;
    probe.kind = MSG_PROBE;
    probe.seq = host.seq;
    probe.stamp = SDL_GetTicks();
    send(probe, true);
    host.since = SDL_GetTicks();
}

// The round trip, as the middle one of five probes (a lost and resent probe does not count); the joiner is
// dropped when he stops answering.
static void measuring() {
    if (!stays()) return;
    Message echo;
    int got = takeMessage(echo);
    if (got < 0) return dropJoiner("gone");
    if (got == 0 && SDL_GetTicks() - host.since >= 2000) return dropJoiner("no-echo");
    if (got == 0 || echo.kind != MSG_ECHO || echo.seq != host.seq) return;
    host.rtt[host.seq++] = SDL_GetTicks() - echo.stamp;
    if (host.seq < 5) return sendProbe();
    std::sort(host.rtt, host.rtt + 5);
    host.rtt[2] = std::max<Uint32>(host.rtt[2], 1);
    sendStart(host.rtt[2]);
}

// Another version: told so, and the host waits again.
static void turnAway(const Message& hello) {
    Message no;
    no.kind = MSG_REFUSE;
    no.version = VERSION;
    send(no, true);
    showMessage("A RIVAL WAS TURNED AWAY", {"He plays KORVADO " + hello.version + ";", std::string("this is KORVADO ") + VERSION + "."},
                3000, refused, 0, false);
    note.drains = true;
}

// A joiner's hello: his version, then the round trip.
static void greeting() {
    if (!stays()) return;
    Message hello;
    int got = takeMessage(hello);
    if (got < 0) return dropJoiner("gone");
    if (got == 0 && SDL_GetTicks() - host.since >= 3000) return dropJoiner("no-hello");
    if (got > 0 && hello.kind != MSG_HELLO) return dropJoiner("not-hello");
    if (got == 0) return;
    if (hello.protocol != PROTOCOL || hello.version != VERSION) return turnAway(hello);
    host.seq = 0;
    sendProbe();
    become(measuring, false);
}

static void openGreeting() {
    host.since = SDL_GetTicks();
    become(greeting, false);
}

// A LOOK from a joiner on this network: answered with a HERE, with this machine's name, no larger than it.
static bool answerLook(const uint8_t* probe, size_t n, std::vector<uint8_t>& reply) {
    return lanAnswer(probe, n, VERSION, linkMachineName(), reply);
}

void openHosting() {
    if (FILE* trace = netTrace()) fprintf(trace, "hosting %llu\n", netMicroseconds());
    if (!linkStart() || !linkListen(netPort)) {
        backTo = openFront;
        return failure("CANNOT HOST", {"UDP port " + std::to_string(netPort) + " is taken or closed."}, 3000);
    }
    linkAnswerProbes(answerLook);
    if (portMapping) portmapStart(netPort);
    if (!netLobby.empty()) lobbyBegin(netLobby, true);
    openWaiting();
}

// ---- the joiner ----

static struct {
    std::string where;   // as the pages name the host
    Uint32 since;        // the screen began, or the host's last message came
} joiner;

static void busyHost() {
    failure("THE HOST IS BUSY", {"A game is on at " + joiner.where + ".", "Try again when it is over."}, 1500);
}

// Says who he is and answers the host's probes until the host starts the session (or turns him away).
static void awaiting() {
    if (!stays()) return;
    Message m;
    for (int got = takeMessage(m); got != 0; got = takeMessage(m)) {
        if (got < 0 && goneReason == LINK_BUSY) return busyHost();
        if (got < 0) return failure("THE HOST IS GONE", {"The host did not start the game."}, 1500);
        joiner.since = SDL_GetTicks();
        if (m.kind == MSG_PROBE) m.kind = MSG_ECHO, send(m, true);
        if (m.kind == MSG_REFUSE)
            return failure("TURNED AWAY", {"The host plays KORVADO " + m.version + ";", std::string("this is KORVADO ") + VERSION + "."}, 2500);
        if (m.kind != MSG_START) continue;
        frameBudgetMs = m.budget;  // the host's pass, so that both clocks start alike
        return playBegin(false, m.delay, m.seed);
    }
    if (SDL_GetTicks() - joiner.since >= 5000) failure("THE HOST IS GONE", {"The host did not start the game."}, 1500);
}

static void openAwaiting() {
    Message hello;
    hello.kind = MSG_HELLO;
    hello.version = VERSION;
    send(hello, true);
    joiner.since = SDL_GetTicks();
    become(awaiting, false);
}

static void connecting() {
    if (!stays()) return;
    showPage("RIDING OUT", {"Joining the game at " + joiner.where + " ..."});
    for (LinkEvent e = linkService(0); e.kind != LINK_NOTHING; e = linkService(0)) {
        if (e.kind == LINK_CONNECTED) {
            if (FILE* trace = netTrace()) fprintf(trace, "connected %llu\n", netMicroseconds());
            return traceWay(), openAwaiting();
        }
        if (e.kind == LINK_GONE && e.reason == LINK_BUSY) return goneReason = LINK_BUSY, busyHost();
    }
    if (SDL_GetTicks() - joiner.since >= 2500) failure("NOBODY ANSWERED", {"No game waits at " + joiner.where + "."}, 1500);
}

static void openConnecting() {
    joiner.since = SDL_GetTicks();
    become(connecting);
}

// A join by invite code: the lobby, then a way through the routers or its relay.
static void reaching() {
    if (!stays()) return;
    showPage("RIDING OUT", lobbyJoinLines());
    LobbyReach r = lobbyReachStep();
    if (r == REACH_PENDING) return;
    uint32_t code = 0;
    parseCode(netAddress, code);
    if (r == REACH_ON_THE_WAY) return joiner.where = codeText(code, true) + ", " + lobbyWay(), openConnecting();
    std::string title, sentence;
    lobbyFailure(r, title, sentence);
    fprintf(stderr, "korvado: %s\n", sentence.c_str());
    failure(title, {sentence}, 1500);
}

static void joinTo() {
    joiner.where = netAddress + ":" + std::to_string(netPort);
    goneReason = LINK_BYE;
    if (!linkStart()) return failure("NO NETWORK", {"The network cannot start."}, 1500);
    if (netAddress.empty()) return openLook();
    uint32_t code = 0;
    if (netAddress[0] == '+' && parseCode(netAddress, code)) {
        linkOpen();
        lobbyBegin(netLobby, false);  // a name nobody knows: the reach says so
        lobbyReachBegin(code);
        return become(reaching);
    }
    if (!linkConnect(netAddress.c_str(), netPort))
        return failure("NO SUCH HOST", {"Cannot find " + netAddress + "."}, 1500);
    openConnecting();
}

void openJoining() {
    if (FILE* trace = netTrace()) fprintf(trace, "joining %llu\n", netMicroseconds());
    joinTo();
}

// A command line's join without an address: the one host found is joined; none or several end it.
void joinFound(const std::vector<std::string>& found) {
    std::string port = std::to_string(netPort);
    if (found.size() == 1) {
        netAddress = found[0];
        return joinTo();
    }
    if (found.empty()) {
        fprintf(stderr, "korvado: no game waits on this network (UDP port %s)\n", port.c_str());
        return failure("NO HOST FOUND", {"No game waits on this network.", "Name the host: korvado_net join ADDRESS"}, 600);
    }
    std::vector<std::string> lines = {"Several games wait here; choose one:"};
    for (const std::string& a : found) lines.push_back("korvado_net join " + a + ":" + port);
    for (size_t i = 1; i < lines.size(); i++) printf("%s\n", lines[i].c_str());
    fflush(stdout);
    failure("SEVERAL HOSTS", lines, 2500);
}

// ---- the program's network life ----

int beginSessions() {
    pageMode = netRole == NET_NONE;
    exitStatus = -1;
    if (pageMode) return openFront(), -1;
    if (!linkStart()) {
        fprintf(stderr, "korvado: the network cannot start\n");
        return 1;
    }
    if (netRole == NET_HOST) openHosting();
    else openJoining();
    return -1;
}

int endSessions() {
    hangUp();  // the router's port is given back however it ended
    if (FILE* trace = netTrace()) fprintf(trace, "exit %d %llu\n", exitStatus, netMicroseconds());
    return exitStatus;
}
