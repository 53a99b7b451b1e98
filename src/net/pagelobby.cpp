// pagelobby.cpp: a web page's side of its lobby, over its WebSocket: the host's invite code and his rivals, a
// joiner's way to the host of a code. A page has no UDP socket: no punches, no addresses; the lobby relays.
#include "lobby.h"
#include "lobbywire.h"
#include "pagelink.h"
#include "rtclink.h"

#include <emscripten.h>

#include <cstdio>
#include <random>

namespace {

const double ASK_EVERY_MS = 250;        // a joiner's requests, again until answered
const double REGISTER_EVERY_MS = 500;   // a host's registration until he has a code
const double REFRESH_EVERY_MS = 12000;  // then, which also keeps the socket from the lobby's idle timeout
const double SILENT_MS = 3000;          // no answer for this long: the lobby does not answer
const double HOST_SILENT_MS = 8000;     // the lobby asked the host, who never answered
const char RELAYED[] = "through the lobby";

std::string lobbyUrl;
bool began;

struct HostSide {
    uint64_t id = 0, meeting = 0;
    uint32_t code = 0;
    bool coded = false, full = false, busySent = false;
    double lastSent = 0, since = 0, waitingSince = 0, opened = 0;  // waitingSince: the oldest request unanswered
    unsigned revision = 1;
} host;

struct JoinSide {
    uint64_t id = 0, cookie = 0, token = 0;
    uint32_t code = 0;
    bool waited = false, relaying = false, hostIsPage = false;
    uint16_t udp = 0;  // the lobby's UDP port
    LobbyRefusal refused = LobbyRefusal(0);
    double since = 0, lastAsk = 0, relaySince = 0;
} joiner;

double now() { return emscripten_get_now(); }

uint64_t randomWord() {
    static std::random_device dev;
    return uint64_t(dev()) << 32 | dev();
}

void sendToLobby(const LobbyMsg& m) {
    std::vector<uint8_t> d = encodeLobby(m);
    pageSocketSend(d.data(), d.size());
}

// The page beside the game shows the invite link of this code (none: "").
EM_JS(void, showInvite, (const char* code), {
    if (Module.showInvite) Module.showInvite(UTF8ToString(code));
});

// ---- the way a relayed session goes ----
// The lobby relays the pair from the first, and the session starts on it at once. Between two pages, WebRTC's
// direct way is tried beside it over the relay's frames (rtclink.h), and the session moves to the data channels
// when the host chooses them.
struct WaySide {
    bool pending = false, hosting = false;
    uint16_t udp = 0;  // the lobby's UDP port: the pages' STUN server
} way;

// stun:HOST:PORT, HOST the lobby's as in its URL (ws://HOST:PORT/lobby); "" when the lobby has no UDP port.
std::string stunUrl() {
    size_t from = lobbyUrl.find("://");
    from = from == std::string::npos ? 0 : from + 3;
    size_t to = lobbyUrl[from] == '[' ? lobbyUrl.find(']', from) + 1 : lobbyUrl.find_first_of(":/", from);
    std::string hostName = lobbyUrl.substr(from, to == std::string::npos ? std::string::npos : to - from);
    return way.udp && !hostName.empty() ? "stun:" + hostName + ":" + std::to_string(way.udp) : "";
}

// The other page's signals may come before this one has begun: rtclink keeps them till then.
void wayBegin(bool hosting, bool otherIsPage, uint16_t udp) {
    way = WaySide{};
    way.pending = otherIsPage, way.hosting = hosting, way.udp = udp;
    if (otherIsPage) pageRelayOthers([](const uint8_t* d, size_t n) { rtcTakeSignal(d, n); });
}

// Once the relay is up (the host's, once the joiner's first frame came), the session's link is WebRTC's, which
// goes through the relay until it moves; its frames carry the signals.
bool wayChosen() {
    if (!way.pending) return true;
    if (!pageRelaying()) return false;
    way.pending = false;
    rtcBegin(way.hosting, stunUrl(), [](const uint8_t* d, size_t n) { pageRelaySend(d, n); }, pageRelay());
    linkUse(&rtcTransport());
    return true;
}

// ---- the host ----

void takeCode(const LobbyMsg& m) {
    if (m.id != host.id || (m.code == host.code && host.coded && !host.full)) return;
    host.code = m.code, host.coded = true, host.full = false, host.revision++;
    printf("invite code: %s\n", codeText(host.code, false).c_str());
    showInvite(codeText(host.code, false).substr(1).c_str());
}

// A rival with the code: the lobby hears that this page is ready, and relays the pair from his first frame.
void meet(const LobbyMsg& m) {
    bool again = m.token == host.meeting;
    if (!again && (host.busySent || pageRelaying())) return;
    if (!again) host.meeting = m.token, host.revision++, pageRelayExpect(), wayBegin(true, m.page == 1, m.udp);
    LobbyMsg ready;
    ready.kind = LOBBY_READY;
    ready.token = m.token;
    sendToLobby(ready);
}

void hostHeard(const uint8_t* data, size_t n) {
    LobbyMsg m;
    if (!decodeLobby(data, n, m)) return;
    host.waitingSince = 0;
    if (m.kind == LOBBY_CODE) takeCode(m);
    if (m.kind == LOBBY_REFUSE && m.reason == REFUSE_FULL && !host.full) host.full = true, host.revision++;
    if (m.kind == LOBBY_PEER) meet(m);
}

void registerHost(bool busy) {
    double every = host.coded && !host.waitingSince ? REFRESH_EVERY_MS : REGISTER_EVERY_MS;  // unanswered: again soon
    if (!pageSocketUp() || (host.lastSent && now() - host.lastSent < every && busy == host.busySent)) return;
    LobbyMsg m;
    m.kind = LOBBY_HOST;
    m.id = host.id;
    m.busy = busy;
    m.known = host.coded, m.code = host.code;  // a lobby that restarted gives it back
    sendToLobby(m);
    if (!host.waitingSince) host.waitingSince = now();
    host.lastSent = now(), host.busySent = busy;
}

// A waiting host whose socket closed (the lobby restarted, or a tab hidden for long went silent) opens it again
// every 3 s; his registration asks for his code back.
void reopen() {
    if (!pageSocketLost() || pageRelaying() || now() - host.opened < SILENT_MS) return;
    host.opened = now(), host.lastSent = 0;
    pageSocketOpen(lobbyUrl, hostHeard);
}

bool silent() {
    if (pageSocketLost()) return true;
    if (!pageSocketUp()) return now() - host.since >= SILENT_MS;
    return host.waitingSince && now() - host.waitingSince >= SILENT_MS;
}

// ---- the joiner ----

void joinHeard(const uint8_t* data, size_t n) {
    LobbyMsg m;
    if (!decodeLobby(data, n, m)) return;
    JoinSide& j = joiner;
    if (m.kind == LOBBY_WAIT && m.id == j.id) j.waited = true;
    if (m.kind == LOBBY_WAIT && m.id == j.id && m.token != j.cookie) j.cookie = m.token, j.lastAsk = 0;  // at once
    if (m.kind == LOBBY_REFUSE && !j.refused) j.refused = LobbyRefusal(m.reason);
    if (m.kind == LOBBY_PEER && !j.token)
        j.token = m.token, j.hostIsPage = m.page == 1, j.udp = m.udp, j.lastAsk = 0, j.relaySince = now();
    if (m.kind == LOBBY_RELAYING && m.token == j.token && !j.relaying) {
        j.relaying = true;
        pageRelayBegin();
        wayBegin(false, j.hostIsPage, j.udp);
    }
}

// JOIN until the lobby names the host (PEER), then RELAY until it relays; each again every 250 ms.
void ask() {
    JoinSide& j = joiner;
    if (!pageSocketUp() || (j.lastAsk && now() - j.lastAsk < ASK_EVERY_MS)) return;
    j.lastAsk = now();
    LobbyMsg m;
    m.kind = j.token ? LOBBY_RELAY : LOBBY_JOIN;
    m.code = j.code;
    m.id = j.id;
    m.token = j.token ? j.token : j.cookie;
    sendToLobby(m);
}

}  // namespace

bool lobbyBegin(const std::string& where, bool hosting) {
    lobbyEnd();
    lobbyUrl = where;
    (hosting ? host.id : joiner.id) = randomWord();
    host.since = host.opened = joiner.since = now();
    began = pageSocketOpen(where, hosting ? hostHeard : joinHeard);
    return began;
}

void lobbyEnd() {
    rtcEnd();
    way = WaySide{};
    pageSocketClose();
    if (host.coded) showInvite("");
    host = HostSide{};
    joiner = JoinSide{};
    began = false;
}

// ---- the host ----

void lobbyTick(bool playing) {
    if (!began || !host.id) return;
    reopen();
    registerHost(playing || pageRelaying());
    wayChosen();
}

std::vector<std::string> lobbyHostLines() {
    if (lobbyUrl.empty()) return {};
    if (!began) return {"Cannot open the lobby " + lobbyUrl + "."};
    if (pageRelaying()) return {"A rival with the invite code is on his way ..."};
    if (silent()) return {"The lobby does not answer."};
    if (host.full) return {"The lobby is full."};
    if (!host.code) return {"Asking the lobby for an invite code ..."};
    return {"Invite code: " + codeText(host.code, true)};
}

// The lines change with the lobby's answers (revision), and with the relay and the lobby's silence.
unsigned lobbyRevision() { return host.revision * 4 + (pageRelaying() ? 2 : 0) + (silent() ? 1 : 0); }

std::string lobbyHostState() {
    if (!began) return "unknown";
    if (silent()) return "silent";
    if (host.full) return "full";
    return host.code ? "code " + codeText(host.code, false) : "asking";
}

// Direct once the session has moved to the data channels.
const char* lobbyWay() { return rtcState() == RTC_OPEN ? "direct" : pageRelaying() ? RELAYED : ""; }

// ---- the joiner ----

bool lobbyReachBegin(uint32_t code) {
    joiner.code = code;
    joiner.since = now();
    return began;
}

LobbyReach lobbyReachStep() {
    JoinSide& j = joiner;
    if (!began || pageSocketLost()) return REACH_SILENT_LOBBY;
    if (j.refused) return refusalReach(j.refused);
    if (j.relaying) return wayChosen() ? REACH_ON_THE_WAY : REACH_PENDING;
    if (!j.token && now() - j.since >= (j.waited ? HOST_SILENT_MS : SILENT_MS)) return j.waited ? REACH_SILENT_HOST : REACH_SILENT_LOBBY;
    if (j.token && now() - j.relaySince >= SILENT_MS) return REACH_SILENT_LOBBY;
    ask();
    return REACH_PENDING;
}

std::vector<std::string> lobbyJoinLines() {
    std::string code = codeText(joiner.code, true);
    if (joiner.token) return {"The host of " + code + " is ready;", "the lobby brings you together ..."};
    if (joiner.waited) return {"The lobby has told the host of " + code + ";", "waiting for him ..."};
    return {"Asking the lobby for " + code + " ..."};
}

void lobbyFailure(LobbyReach why, std::string& title, std::string& sentence) {
    std::string code = codeText(joiner.code, true);
    switch (why) {
    case REACH_NO_CODE: title = "NO SUCH CODE", sentence = "No game waits under the invite code " + code + "."; break;
    case REACH_BUSY: title = "THE HOST IS BUSY", sentence = "The host of " + code + " is playing; try again later."; break;
    case REACH_FULL: title = "THE LOBBY IS FULL", sentence = "The lobby has no room; try again later."; break;
    case REACH_SILENT_HOST: title = "THE HOST IS GONE", sentence = "The host of " + code + " does not answer."; break;
    case REACH_NO_WAY: title = "NO WAY THROUGH", sentence = "The lobby relays nothing."; break;
    default: title = "NO LOBBY", sentence = "The lobby does not answer."; break;
    }
}
