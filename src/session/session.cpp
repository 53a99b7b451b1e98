// session.cpp: korvado_net's sessions: the host waits for a player, the joiner rides in, they greet each other
// (versions, the round trip, the seed), play with rollback, and each learns when the other has gone.
#include "demo/demo.h"
#include "draw/draw.h"
#include "session/netplay.h"
#include "session/netscript.h"
#include "shell/shell.h"
#include "draw/text.h"
#include "input/input.h"
#include "input/pad.h"
#include "net/lan.h"
#include "net/link.h"
#include "net/lobby.h"
#include "net/portmap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

static const char VERSION[] = "2.2";
static SDL_Surface* paper;
static Lettering ink, heading;

void prepareSessions() {
    paper = loadAsset("../images/net/paper.png", false);
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

// A screen of the session: a heading and a few lines on the paper.
static void showPage(const std::string& title, const std::vector<std::string>& lines) {
    drawBackground(paper);
    drawText(heading, title, 400, 64, 0);
    int y = 150;
    for (const std::string& l : lines) drawText(ink, l, 400, y, 0), y += 40;
    SDL_Flip(screen);
}

static bool done;  // the player has left: the window's close button, or Escape on a screen of the session

// A pad's B or Back, pressed now.
static bool padEscape() { return padsRead(false).fresh & keyBit(K_ESCAPE); }

// The window's close button and Escape (or a pad's B or Back) end the game from every screen of the session.
static bool leaving() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT || (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE)) done = true;
    }
    if (padEscape()) done = true;
    return done;
}

// A page shown for `ms`, or until the player leaves.
static void showFor(const std::string& title, const std::vector<std::string>& lines, Uint32 ms) {
    Uint32 start = SDL_GetTicks();
    if (FILE* trace = netTrace()) fprintf(trace, "message %s %llu\n", title.c_str(), netMicroseconds());
    while (!leaving() && SDL_GetTicks() - start < ms) {
        startPass();
        showPage(title, lines);
        paceFrame();
    }
}

static void send(const Message& m, bool reliable) {
    std::vector<uint8_t> d = encodeMessage(m);
    linkSend(d.data(), d.size(), reliable);
}

static uint32_t goneReason;  // what the other side said when he closed the link

// The next message of the other side within `ms`; false when none came, or he left (then *gone is set).
static bool receive(Message& m, Uint32 ms, bool* gone) {
    Uint32 start = SDL_GetTicks();
    while (SDL_GetTicks() - start < ms && !leaving()) {
        LinkEvent e = linkService(5);
        if (e.kind == LINK_GONE) return goneReason = e.reason, *gone = true, false;
        if (e.kind == LINK_RECEIVED && decodeMessage(e.data.data(), e.data.size(), m)) return true;
    }
    return false;
}

// The sign of a present held up by the network, over the top of the frame.
static void drawWaiting() {
    const std::string sign = "Waiting for the network ...";
    SDL_Rect box = {Sint16(400 - textWidth(ink, sign) / 2 - 12), 4, Uint16(textWidth(ink, sign) + 24), Uint16(ink.cellH + 8)};
    SDL_FillRect(screen, &box, SDL_MapRGB(screen->format, 240, 226, 190));
    noteDrawn(screen, &box);
    drawText(ink, sign, 400, 8, 0);
}

// Plays one session from the start values; why it ended.
static SessionEnd playSession(bool hosting, uint32_t delay, uint32_t seed) {
    GameState& game = theGame();
    netplayBegin(game, hosting, delay, seed);
    for (bool on = true; on;) {
        on = netplayFrame(game);
        bool drawn = drawFrame(game);
        if (netplayWaiting()) drawWaiting(), drawn = true;
        if (drawn) showFrame();
        netplayFrameDone();
        lobbyTick(true);  // the lobby hears that this host is busy
    }
    // The game's own end (the menu's exit item) comes in the same pass on both machines; a closed window
    // is this player's own leaving, which the other learns from the link.
    if (game.done && !netplayClosed() && netplayEnd() == SESSION_RUNNING) netplayLinger();
    if (game.done) done = true;
    netplayFinish();
    return netplayEnd();
}

// ---- the host ----

// What the players on this network type, and, once the router has answered, those elsewhere.
static std::vector<std::string> waitingLines(const PortmapOutcome& router) {
    std::vector<std::string> ours = linkLocalAddresses();  // loopback last: shown only when alone
    while (ours.size() > 1 && ours.back().rfind("127.", 0) == 0) ours.pop_back();
    std::string port = std::to_string(netPort), list, here = ours.empty() ? "ADDRESS" : ours[0];
    for (size_t i = 0; i < ours.size() && i < 3; i++) list += (i ? ", " : "") + ours[i];
    std::vector<std::string> lines = {"Hosting on UDP port " + port + ".", "On this network (" + list + "):",
                                      "korvado_net join " + here + ":" + port};
    if (netPort == DEFAULT_PORT) lines.push_back("(or just korvado_net join)");  // the search asks that port
    lines.push_back("");
    for (const std::string& l : lobbyHostLines()) lines.push_back(l);
    if (router.state == PORTMAP_MAPPED) {
        lines.push_back("Over the internet (the router opened it by " + router.how + "):");
        lines.push_back("korvado_net join " + router.address + ":" + std::to_string(router.port));
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

static bool waitForJoiner() {
    PortmapOutcome router = portmapOutcome();
    std::vector<std::string> lines = waitingLines(router);
    unsigned lobbySeen = 0;
    while (!leaving()) {
        startPass();
        lobbyTick(false);
        PortmapOutcome now = portmapOutcome();
        bool changed = now.state != router.state || now.port != router.port || lobbyRevision() != lobbySeen;
        if (changed) router = now, lines = waitingLines(now), lobbySeen = lobbyRevision();
        showPage("WAITING FOR A RIVAL", lines);
        if (changed) traceRouter(now);
        LinkEvent e = linkService(frameBudgetMs);
        if (e.kind == LINK_CONNECTED) return traceWay(), true;
    }
    return false;
}

// The round trip, as the middle one of five probes (a lost and resent probe does not count); 0 when the
// joiner stopped answering.
static Uint32 measureRoundTrip() {
    Uint32 rtt[5];
    for (uint8_t seq = 0; seq < 5; seq++) {
        Message probe, echo;
        probe.kind = MSG_PROBE;
        probe.seq = seq;
        probe.stamp = SDL_GetTicks();
        send(probe, true);
        bool gone = false;
        do {
            if (!receive(echo, 2000, &gone)) return 0;
        } while (echo.kind != MSG_ECHO || echo.seq != seq);
        rtt[seq] = SDL_GetTicks() - echo.stamp;
    }
    std::sort(rtt, rtt + 5);
    return rtt[2] ? rtt[2] : 1;
}

// Greets a joiner: his version, the round trip, the session's delay and seed. False when he is turned away.
static bool greetJoiner(uint32_t& delay, uint32_t& seed) {
    Message hello;
    bool gone = false;
    if (!receive(hello, 3000, &gone) || hello.kind != MSG_HELLO) return false;
    if (hello.protocol != PROTOCOL || hello.version != VERSION) {
        Message no;
        no.kind = MSG_REFUSE;
        no.version = VERSION;
        send(no, true);
        linkService(300);
        showFor("A RIVAL WAS TURNED AWAY", {"He plays KORVADO " + hello.version + ";", std::string("this is KORVADO ") + VERSION + "."}, 3000);
        return false;
    }
    Uint32 rtt = measureRoundTrip();
    if (!rtt) return false;
    if (FILE* trace = netTrace()) fprintf(trace, "roundtrip %u\n", rtt);
    delay = netDelay >= 0 ? uint32_t(netDelay) : delayFor(rtt);
    seed = uint32_t(time(nullptr)) ^ (SDL_GetTicks() << 16);
    Message start;
    start.kind = MSG_START;
    start.seed = seed;
    start.delay = uint8_t(delay);
    start.budget = uint8_t(frameBudgetMs);
    send(start, true);
    SDL_Delay(rtt / 2);  // while the start is on its way: both sides begin their first pass together
    return true;
}

// A LOOK from a joiner on this network: answered with a HERE no larger than it.
static bool answerLook(const uint8_t* probe, size_t n, std::vector<uint8_t>& reply) {
    return lanAnswer(probe, n, VERSION, reply);
}

static int hostSessions() {
    if (FILE* trace = netTrace()) fprintf(trace, "hosting %llu\n", netMicroseconds());
    if (!linkListen(netPort)) {
        showFor("CANNOT HOST", {"UDP port " + std::to_string(netPort) + " is taken or closed."}, 3000);
        return 1;
    }
    linkAnswerProbes(answerLook);
    if (portMapping) portmapStart(netPort);
    if (!netLobby.empty()) lobbyBegin(netLobby, true);
    while (waitForJoiner()) {
        uint32_t delay = 0, seed = 0;
        if (!greetJoiner(delay, seed)) {
            linkDrop();
            continue;
        }
        SessionEnd end = playSession(true, delay, seed);
        if (done) return 0;
        linkDrop();
        if (end == SESSION_LOST_SYNC)
            showFor("LOST SYNC", {"The two games no longer agree.", "Waiting for a new rival."}, 2500);
        else
            showFor("YOUR RIVAL LEFT", {"The other player is gone.", "Waiting for a new rival."}, 2500);
    }
    return 0;
}

// ---- the joiner ----

static bool connectToHost(const std::string& where) {
    if (netAddress[0] != '+' && !linkConnect(netAddress.c_str(), netPort)) {
        showFor("NO SUCH HOST", {"Cannot find " + netAddress + "."}, 1500);
        return false;
    }
    Uint32 start = SDL_GetTicks();
    while (!leaving() && SDL_GetTicks() - start < 2500) {
        startPass();
        showPage("RIDING OUT", {"Joining the game at " + where + " ..."});
        LinkEvent e = linkService(frameBudgetMs);
        if (e.kind == LINK_CONNECTED) return traceWay(), true;
        if (e.kind == LINK_GONE && e.reason == LINK_BUSY) return goneReason = LINK_BUSY, false;
    }
    if (!done) showFor("NOBODY ANSWERED", {"No game waits at " + where + "."}, 1500);
    return false;
}

// Says who he is and answers the host's probes until the host starts the session (or turns him away).
static int awaitStart(Message& start) {
    Message hello;
    hello.kind = MSG_HELLO;
    hello.version = VERSION;
    send(hello, true);
    bool gone = false;
    while (receive(start, 5000, &gone)) {
        if (start.kind == MSG_START) return -1;
        if (start.kind == MSG_PROBE) start.kind = MSG_ECHO, send(start, true);
        if (start.kind == MSG_REFUSE) {
            showFor("TURNED AWAY", {"The host plays KORVADO " + start.version + ";", std::string("this is KORVADO ") + VERSION + "."}, 2500);
            return 1;
        }
    }
    if (gone && goneReason == LINK_BUSY) return 1;
    if (!done) showFor("THE HOST IS GONE", {"The host did not start the game."}, 1500);
    return done ? 0 : 1;
}

// A host that already has a player says so at once; he is not waiting for us.
static int hostBusy(const std::string& where) {
    showFor("THE HOST IS BUSY", {"A game is on at " + where + ".", "Try again when it is over."}, 1500);
    return done ? 0 : 1;
}

// Broadcasts LOOKs (three, 0.4 s apart, for one lost on the way) and gathers the hosts that answer within
// 1.2 s (on a local network they answer within milliseconds).
static std::vector<std::string> hostsNearby() {
    Message look;
    look.kind = MSG_LOOK;
    look.version = VERSION;
    std::vector<uint8_t> probe = encodeMessage(look);
    std::vector<std::string> found;
    Uint32 start = SDL_GetTicks();
    int looks = 0;
    while (!leaving() && SDL_GetTicks() - start < 1200) {
        startPass();
        if (looks < 3 && SDL_GetTicks() - start >= Uint32(looks) * 400)
            linkBroadcast(netPort, probe.data(), probe.size()), looks++;
        showPage("LOOKING FOR A HOST", {"Asking this network for a game on UDP port " + std::to_string(netPort) + " ..."});
        std::string from;
        std::vector<uint8_t> d;
        if (linkHeard(frameBudgetMs, from, d) && lanHost(d.data(), d.size()) &&
            std::find(found.begin(), found.end(), from) == found.end())
            found.push_back(from);
    }
    return found;
}

// A join without an address: the one host found becomes netAddress (-1); else the exit status.
static int findHost() {
    std::vector<std::string> found = hostsNearby();
    if (FILE* trace = netTrace()) fprintf(trace, "found %zu %llu\n", found.size(), netMicroseconds());
    if (done) return 0;
    std::string port = std::to_string(netPort);
    if (found.size() == 1) return netAddress = found[0], -1;
    if (found.empty()) {
        fprintf(stderr, "korvado: no game waits on this network (UDP port %s)\n", port.c_str());
        showFor("NO HOST FOUND", {"No game waits on this network.", "Name the host: korvado_net join ADDRESS"}, 600);
        return 1;
    }
    std::vector<std::string> lines = {"Several games wait here; choose one:"};
    for (const std::string& a : found) lines.push_back("korvado_net join " + a + ":" + port);
    for (size_t i = 1; i < lines.size(); i++) printf("%s\n", lines[i].c_str());
    fflush(stdout);
    showFor("SEVERAL HOSTS", lines, 2500);
    return 1;
}

// ---- through a lobby ----

static bool ridingPage(const std::vector<std::string>& lines) {
    startPass();
    showPage("RIDING OUT", lines);
    return !leaving();
}

// A join by invite code: the lobby, then a way through the routers or its relay; -1 once ENet is on its way.
static int reachByCode(std::string& where) {
    uint32_t code = 0;
    parseCode(netAddress, code);
    linkOpen();
    lobbyBegin(netLobby, false);  // a name nobody knows: the reach says so
    LobbyReach r = lobbyReach(code, ridingPage, frameBudgetMs);
    if (r == REACH_ON_THE_WAY) return where = codeText(code, true) + ", " + lobbyWay(), -1;
    if (done || r == REACH_LEFT) return 0;
    std::string title, sentence;
    lobbyFailure(r, title, sentence);
    fprintf(stderr, "korvado: %s\n", sentence.c_str());
    showFor(title, {sentence}, 1500);
    return 1;
}

static int joinSession() {
    if (netAddress.empty()) {
        int status = findHost();
        if (status >= 0) return status;
    }
    std::string where = netAddress + ":" + std::to_string(netPort);
    int reached = netAddress[0] == '+' ? reachByCode(where) : -1;
    if (reached >= 0) return reached;
    if (!connectToHost(where)) return goneReason == LINK_BUSY ? hostBusy(where) : done ? 0 : 1;
    Message start;
    int status = awaitStart(start);
    if (status >= 0) return goneReason == LINK_BUSY ? hostBusy(where) : status;
    frameBudgetMs = start.budget;  // the host's pass, so that both clocks start alike
    SessionEnd end = playSession(false, start.delay, start.seed);
    if (done) return 0;
    linkDrop();
    if (end == SESSION_LOST_SYNC) {
        showFor("LOST SYNC", {"The two games no longer agree."}, 2500);
        return 1;
    }
    showFor("THE HOST LEFT", {"The other player is gone."}, 2500);
    return 0;
}

int playSessions() {
    if (!linkStart()) {
        fprintf(stderr, "korvado: the network cannot start\n");
        return 1;
    }
    FILE* trace = netTrace();
    if (trace && netRole == NET_JOIN) fprintf(trace, "joining %llu\n", netMicroseconds());
    int status = netRole == NET_HOST ? hostSessions() : joinSession();
    portmapStop();  // the router's port is given back however hosting ended
    linkStop();
    if (trace) fprintf(trace, "exit %d %llu\n", status, netMicroseconds());
    return status;
}
