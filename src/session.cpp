// session.cpp: korvado_net's sessions: the host waits for a player, the joiner rides in, they greet each other
// (versions, the round trip, the seed), play in lockstep, and each learns when the other has gone.
#include "demo.h"
#include "game.h"
#include "lockstep.h"
#include "netscript.h"
#include "text.h"
#include "net/link.h"

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
    takeInputs = scriptedLocalInputs;
}

// A screen of the session: a heading and a few lines on the paper.
static void showPage(const std::string& title, const std::vector<std::string>& lines) {
    drawBackground(paper);
    drawText(heading, title, 400, 64, 0);
    int y = 150;
    for (const std::string& l : lines) drawText(ink, l, 400, y, 0), y += 40;
    SDL_Flip(screen);
}

// The window's close button and Escape end the game from every screen of the session.
static bool leaving() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT || (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE)) done = true;
    }
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

// The next message of the other side within `ms`; false when none came, or he left (then *gone is set).
static bool receive(Message& m, Uint32 ms, bool* gone) {
    Uint32 start = SDL_GetTicks();
    while (SDL_GetTicks() - start < ms && !leaving()) {
        LinkEvent e = linkService(5);
        if (e.kind == LINK_GONE) return *gone = true, false;
        if (e.kind == LINK_RECEIVED && decodeMessage(e.data.data(), e.data.size(), m)) return true;
    }
    return false;
}

// Plays one session in lockstep from the start values; why it ended.
static SessionEnd playSession(bool hosting, uint32_t delay, uint32_t seed) {
    resetGameState();
    gameSrand(seed);
    demoNoteReset(seed);
    lockstepBegin(hosting, delay);
    bool (*before)(bool) = swapInputs(lockstepInputs);  // under the recorder when the session is recorded
    while (!done && lockstepEnd() == SESSION_RUNNING) framePass();
    swapInputs(before);
    keys = SDL_GetKeyState(nullptr);
    lockstepFinish();
    return lockstepEnd();
}

// ---- the host ----

static std::vector<std::string> waitingLines() {
    std::vector<std::string> ours = linkLocalAddresses();
    std::string list;
    for (size_t i = 0; i < ours.size() && i < 3; i++) list += (i ? ", " : "") + ours[i];
    std::string port = std::to_string(netPort);
    return {"Hosting on UDP port " + port + ".", "This machine: " + list, "The other player starts:",
            "korvado_net join " + (ours.empty() ? std::string("ADDRESS") : ours[0]) + ":" + port,
            "Over the internet: forward UDP port " + port + " here."};
}

static bool waitForJoiner() {
    std::vector<std::string> lines = waitingLines();
    while (!leaving()) {
        startPass();
        showPage("WAITING FOR A RIVAL", lines);
        LinkEvent e = linkService(frameBudgetMs);
        if (e.kind == LINK_CONNECTED) return true;
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
    // Half the round trip in whole passes, and one more for jitter and a lost datagram (its inputs come again
    // with the next): a key is on both screens less than half the round trip and two passes after it went down.
    delay = (rtt / 2 + frameBudgetMs - 1) / frameBudgetMs + 1;
    if (delay > 60) delay = 60;
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

static int hostSessions() {
    if (!linkListen(netPort)) {
        showFor("CANNOT HOST", {"UDP port " + std::to_string(netPort) + " is taken or closed."}, 3000);
        return 1;
    }
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
    if (!linkConnect(netAddress.c_str(), netPort)) {
        showFor("NO SUCH HOST", {"Cannot find " + netAddress + "."}, 1500);
        return false;
    }
    Uint32 start = SDL_GetTicks();
    while (!leaving() && SDL_GetTicks() - start < 2500) {
        startPass();
        showPage("RIDING OUT", {"Joining the game at " + where + " ..."});
        if (linkService(frameBudgetMs).kind == LINK_CONNECTED) return true;
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
    if (!done) showFor("THE HOST IS GONE", {"The host did not start the game."}, 1500);
    return done ? 0 : 1;
}

static int joinSession() {
    std::string where = netAddress + ":" + std::to_string(netPort);
    if (!connectToHost(where)) return done ? 0 : 1;
    Message start;
    int status = awaitStart(start);
    if (status >= 0) return status;
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
    linkStop();
    if (trace) fprintf(trace, "exit %d %llu\n", status, netMicroseconds());
    return status;
}
