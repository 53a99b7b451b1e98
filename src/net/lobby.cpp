// lobby.cpp: korvado_net and a lobby: every datagram leaves from the game's own socket (so the lobby sees the
// address the session will use) and is sent again until answered; with a page for a rival, the lobby's WebSocket.
#include "lobby.h"
#include "enetlink.h"
#include "portmap.h"
#include "punch.h"
#include "wslink.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

const uint64_t ASK_EVERY_MS = 250;      // a joiner's requests, again until answered
const uint64_t REGISTER_EVERY_MS = 500;  // a host's registration until he has a code
const uint64_t REFRESH_EVERY_MS = 12000;  // then, under the 30 s a router keeps an idle UDP mapping
const uint64_t SILENT_MS = 3000;        // no answer for this long: the lobby does not answer
const uint64_t HOST_SILENT_MS = 8000;   // the lobby asked the host, who never answered
const uint64_t MEETING_MS = 10000;      // a host waits this long for the player he punches to
const uint64_t READY_EVERY_MS = 1000;   // a host's READY on the WebSocket, again until his page rival speaks

Endpoint lobbyAt;
std::string lobbyName;
bool known;

struct HostSide {
    uint64_t id = 0;
    uint32_t code = 0;
    bool full = false, busySent = false, coded = false;  // coded: code is the lobby's answer
    uint64_t lastSent = 0, lastAnswer = 0, waitingSince = 0;  // waitingSince: the oldest request unanswered
    std::vector<Candidate> sentCands;
    uint64_t meeting = 0, meetingSince = 0;  // the token of the latest meeting, and when it began
    bool page = false;                       // that meeting's rival is a page: on the lobby's WebSocket
    bool web = false;                        // this host speaks to the lobby as a page (asPagePort)
    uint64_t readySent = 0;
    bool silentShown = false, meetingShown = false;  // as the waiting page last said
    unsigned revision = 1;
} hostSide;

struct JoinSide {
    uint64_t id = 0, token = 0, cookie = 0;
    LobbyMsg peer;             // PEER: the host's addresses
    uint32_t code = 0;
    bool heard = false, waited = false, relaying = false;
    bool web = false;          // the conversation goes on over the lobby's WebSocket
    uint64_t askSince = 0, lastAsk = 0, relaySince = 0;
    LobbyRefusal refused = LobbyRefusal(0);
} joinSide;

uint64_t randomWord() {
    static std::random_device dev;  // opened once, not at every lobby
    return uint64_t(dev()) << 32 | dev();
}

// KORVADO_NET_AS_PAGE=PORT, for the tests only: this player speaks to the lobby as a page does, over its WebSocket
// on that port, so that two desktops meet there as a desktop and a page do. 0 without it.
uint16_t asPagePort() {
    const char* v = getenv("KORVADO_NET_AS_PAGE");
    int port = v ? atoi(v) : 0;
    return port > 0 && port < 65536 ? uint16_t(port) : 0;
}

void sendToLobby(const LobbyMsg& m) {
    if (joinSide.web || hostSide.web) return wsSendLobby(m);
    std::vector<uint8_t> d = encodeLobby(m);
    linkSendRaw(lobbyAt, d.data(), d.size());
}

// The lobby's address without its port, where its web port is.
std::string lobbyHost() {
    std::string at = endpointText(lobbyAt);
    return at.substr(0, at.rfind(':'));
}

// Resolves "HOST[:PORT]"; false for an unknown name or a port out of range.
bool resolve(const std::string& where, Endpoint& at) {
    std::string name = where, port = std::to_string(LOBBY_PORT);
    size_t colon = where.rfind(':');
    if (colon != std::string::npos) name = where.substr(0, colon), port = where.substr(colon + 1);
    addrinfo hints{}, *found = nullptr;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    if (name.empty() || getaddrinfo(name.c_str(), port.c_str(), &hints, &found) != 0 || !found) return false;
    const sockaddr_in* a = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    at = Endpoint{ntohl(a->sin_addr.s_addr), ntohs(a->sin_port)};
    freeaddrinfo(found);
    return at.port != 0;
}

// ---- the host ----

// His LAN addresses on the game's port (up to four) and the router's mapping when it made one.
std::vector<Candidate> hostCandidates() {
    std::vector<Candidate> cands;
    uint16_t port = linkLocalPort();
    for (const std::string& a : linkLocalAddresses()) {
        in_addr ip;
        if (cands.size() < 4 && a.rfind("127.", 0) != 0 && inet_pton(AF_INET, a.c_str(), &ip) == 1)
            cands.push_back(Candidate{CAND_LAN, Endpoint{ntohl(ip.s_addr), port}});
    }
    PortmapOutcome router = portmapOutcome();
    in_addr ip;
    if (router.state == PORTMAP_MAPPED && inet_pton(AF_INET, router.address.c_str(), &ip) == 1)
        cands.push_back(Candidate{CAND_MAPPED, Endpoint{ntohl(ip.s_addr), router.port}});
    return cands;
}

bool sameCandidates(const std::vector<Candidate>& a, const std::vector<Candidate>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (a[i].kind != b[i].kind || a[i].at != b[i].at) return false;
    return true;
}

void hostHeard(const LobbyMsg& m);

// Registers or refreshes when it is due, or at once when what the lobby knows of him has changed. A host who
// speaks as a page has no addresses to give, and opens his WebSocket again once a session has closed it.
void registerHost(bool busy, uint64_t now) {
    HostSide& h = hostSide;
    if (h.web && wsState() == WS_CLOSED) h.lastSent = 0, wsOpen(lobbyHost(), asPagePort(), hostHeard);
    std::vector<Candidate> cands = h.web ? std::vector<Candidate>{} : hostCandidates();
    uint64_t every = h.lastAnswer >= h.lastSent ? REFRESH_EVERY_MS : REGISTER_EVERY_MS;
    if (h.lastSent && now - h.lastSent < every && busy == h.busySent && sameCandidates(cands, h.sentCands)) return;
    LobbyMsg m;
    m.kind = LOBBY_HOST;
    m.id = h.id;
    m.busy = busy;
    m.cands = cands;
    m.known = h.coded, m.code = h.code;  // a lobby that restarted gives it back: invites already sent still work
    sendToLobby(m);
    if (!h.waitingSince) h.waitingSince = now;
    h.lastSent = now, h.busySent = busy, h.sentCands = cands;
}

void takeCode(const LobbyMsg& m) {
    HostSide& h = hostSide;
    if (m.id != h.id) return;
    if (m.code != h.code || h.full || !h.coded) {
        h.code = m.code, h.coded = true, h.full = false, h.revision++;
        printf("invite code: %s\n", codeText(h.code, false).c_str());
        fflush(stdout);
    }
}

// A page for a rival: no punches; the lobby's WebSocket takes over this host's end of the meeting (READY with the
// token on it) and the session goes on it when the page's hello comes.
// A host who speaks as a page has it open already.
bool meetPage(const LobbyMsg& m) {
    // (a PEER again on the WebSocket is this same meeting's: it is already being met)
    auto heard = [](const LobbyMsg& x) { if (x.kind != LOBBY_PEER) hostHeard(x); };
    if (!hostSide.web && (!m.web || !wsOpen(lobbyHost(), m.web, heard))) return false;
    wsBeginLink();
    linkUse(&wsTransport());
    return true;
}

// A player with the code: punch towards him, and tell the lobby (the token, from this socket: its relay end).
void meet(const LobbyMsg& m, bool busy) {
    HostSide& h = hostSide;
    bool again = m.token == h.meeting;
    if (!again && (busy || (h.meeting && punchClockMs() - h.meetingSince < MEETING_MS))) return;
    if (!again) {
        h.meeting = m.token, h.meetingSince = punchClockMs(), h.revision++;
        h.page = (m.page || h.web) && meetPage(m);
        if (!h.page) linkExpect(tokenFold(m.token)), punchBegin(m.token, false, m.cands);
    }
    LobbyMsg ready;
    ready.kind = LOBBY_READY;
    ready.token = m.token;
    if (!h.page) return sendToLobby(ready);
    wsSendLobby(ready);
    h.readySent = punchClockMs();
}

// The page rival's meeting: READY again until he speaks; the WebSocket given up when he never does (once he has
// spoken, the session tells his leaving).
void pageTick(uint64_t now) {
    HostSide& h = hostSide;
    if (!h.page || wsState() == WS_CLOSED || wsLinkMet()) return;
    if (wsLinkOver() || now - h.meetingSince >= MEETING_MS) return wsClose(), void(h.page = false);
    if (now - h.readySent < READY_EVERY_MS) return;
    LobbyMsg ready;
    ready.kind = LOBBY_READY;
    ready.token = h.meeting;
    wsSendLobby(ready);
    h.readySent = now;
}

bool hostBusy;  // what lobbyTick was last told

bool hostTap(const Endpoint& from, const uint8_t* data, size_t n) {
    LobbyMsg m;
    if (!decodeLobby(data, n, m)) return false;
    if (punchTake(from, m) || from != lobbyAt) return true;
    hostHeard(m);
    return true;
}

void hostHeard(const LobbyMsg& m) {
    hostSide.lastAnswer = punchClockMs(), hostSide.waitingSince = 0;
    if (m.kind == LOBBY_CODE) takeCode(m);
    if (m.kind == LOBBY_REFUSE && m.reason == REFUSE_FULL && !hostSide.full) hostSide.full = true, hostSide.revision++;
    if (m.kind == LOBBY_PEER) meet(m, hostBusy);
}

// ---- the joiner ----

std::vector<Candidate> joinerCandidates() {
    std::vector<Candidate> cands = hostCandidates();
    while (!cands.empty() && cands.back().kind != CAND_LAN) cands.pop_back();
    return cands;
}

void joinHeard(const LobbyMsg& m);

bool joinTap(const Endpoint& from, const uint8_t* data, size_t n) {
    LobbyMsg m;
    if (!decodeLobby(data, n, m)) return false;
    if (punchTake(from, m) || from != lobbyAt) return true;
    joinHeard(m);
    return true;
}

// The lobby's answer, by either way.
void joinHeard(const LobbyMsg& m) {
    JoinSide& j = joinSide;
    j.heard = true;
    if (m.kind == LOBBY_WAIT && m.id == j.id && m.token != j.cookie) j.cookie = m.token, j.lastAsk = 0;  // at once
    if (m.kind == LOBBY_WAIT && m.id == j.id) j.waited = true;
    if (m.kind == LOBBY_REFUSE && !j.refused) j.refused = LobbyRefusal(m.reason);
    if (m.kind == LOBBY_PEER && !j.token) {
        j.token = m.token, j.peer = m;
        if (!m.page) punchBegin(m.token, true, m.cands);
    }
    if (m.kind == LOBBY_RELAYING && m.token == j.token) j.relaying = true;
}

}  // namespace

bool lobbyBegin(const std::string& where, bool hosting) {
    lobbyName = where;
    known = resolve(where, lobbyAt);
    hostSide = HostSide{};
    joinSide = JoinSide{};
    (hosting ? hostSide.id : joinSide.id) = randomWord();
    linkTap(hosting ? hostTap : joinTap);
    wsClose();
    if (known && hosting && asPagePort()) hostSide.web = wsOpen(lobbyHost(), asPagePort(), hostHeard);
    return known;
}

void lobbyEnd() {
    wsClose();
    known = false;
    lobbyName.clear();
    hostSide = HostSide{};
    joinSide = JoinSide{};
}

// ---- the host ----

static const char DIRECT[] = "direct", RELAYED[] = "through the lobby";

static bool silent(uint64_t now) { return hostSide.waitingSince && now - hostSide.waitingSince >= SILENT_MS; }
static bool meeting(uint64_t now) { return hostSide.meeting && now - hostSide.meetingSince < MEETING_MS; }

void lobbyTick(bool playing) {
    if (!known || !hostSide.id) return;
    uint64_t now = punchClockMs();
    hostBusy = playing || meeting(now);
    registerHost(hostBusy, now);
    punchTick();
    pageTick(now);
    if (&linkTransport() != &wsTransport()) wsService();  // the lobby's answers on a WebSocket not yet the session's
    HostSide& h = hostSide;
    if (silent(now) != h.silentShown || meeting(now) != h.meetingShown)
        h.silentShown = silent(now), h.meetingShown = meeting(now), h.revision++;
}

std::vector<std::string> lobbyHostLines() {
    const HostSide& h = hostSide;
    uint64_t now = punchClockMs();
    if (lobbyName.empty()) return {};
    if (!known) return {"Cannot find the lobby " + lobbyName + "."};
    if (meeting(now) && !linkPeerData()) return {"A rival with the invite code is on his way ..."};
    if (silent(now)) return {"The lobby at " + lobbyName + " does not answer."};
    if (h.full) return {"The lobby at " + lobbyName + " is full."};
    if (!h.code) return {"Asking the lobby for an invite code ..."};
    return {"Invite code: " + codeText(h.code, true)};
}

unsigned lobbyRevision() { return hostSide.revision; }

std::string lobbyHostState() {
    uint64_t now = punchClockMs();
    if (!known) return "unknown";
    if (silent(now)) return "silent";
    if (hostSide.full) return "full";
    return hostSide.code ? "code " + codeText(hostSide.code, false) : "asking";
}

const char* lobbyWay() {
    if (&linkTransport() == &wsTransport()) return RELAYED;
    if (joinSide.token) return joinSide.relaying ? RELAYED : DIRECT;
    if (!known || !linkPeerData()) return "";
    return linkPeerAddress() == lobbyAt ? RELAYED : DIRECT;
}

// ---- the joiner ----

static std::vector<std::string> joinLines() {
    const JoinSide& j = joinSide;
    std::string code = codeText(j.code, true);
    if (j.peer.page) return {"The host of " + code + " plays in a page:", "the lobby carries the game ..."};
    if (j.relaySince) return {"No way through the routers:", "asking the lobby to carry the game ..."};
    if (j.token) return {"Knocking at the door of " + code + " ..."};
    if (j.waited) return {"The lobby has told the host of " + code + ";", "waiting for him ..."};
    return {"Asking the lobby at " + lobbyName, "for " + code + " ..."};
}

// A request to the lobby (JOIN or RELAY), sent again every 250 ms until answered.
static void ask(LobbyKind kind, uint64_t now) {
    JoinSide& j = joinSide;
    if (j.lastAsk && now - j.lastAsk < ASK_EVERY_MS) return;
    j.lastAsk = now;
    LobbyMsg m;
    m.kind = kind;
    m.code = j.code;
    m.id = j.id;
    m.token = kind == LOBBY_JOIN ? j.cookie : j.token;
    if (kind == LOBBY_JOIN && !j.web) m.cands = joinerCandidates();
    sendToLobby(m);
}

// A page host: the lobby's WebSocket takes over this joiner's end (RELAY with the token on it), and the session
// goes on it once the relay is on.
static LobbyReach pageStep(uint64_t now) {
    JoinSide& j = joinSide;
    if (!j.web && (!j.peer.web || !wsOpen(lobbyHost(), j.peer.web, joinHeard))) return REACH_NO_WAY;
    if (!j.web || !j.relaySince) j.web = true, j.relaySince = now, j.lastAsk = 0;
    if (wsState() == WS_CLOSED) return REACH_SILENT_LOBBY;
    if (j.relaying) return wsBeginLink(), linkUse(&wsTransport()), REACH_ON_THE_WAY;
    if (now - j.relaySince >= SILENT_MS) return REACH_SILENT_LOBBY;
    return ask(LOBBY_RELAY, now), REACH_PENDING;
}

static LobbyReach joinStep(uint64_t now) {
    JoinSide& j = joinSide;
    Candidate best;
    if (j.refused) return refusalReach(j.refused);
    if (!j.token) {
        if (now - j.askSince >= (j.waited ? HOST_SILENT_MS : SILENT_MS)) return j.waited ? REACH_SILENT_HOST : REACH_SILENT_LOBBY;
        return ask(LOBBY_JOIN, now), REACH_PENDING;
    }
    if (j.peer.page) return pageStep(now);
    if (punchChosen(best)) return linkConnectTo(best.at, tokenFold(j.token)) ? REACH_ON_THE_WAY : REACH_NO_WAY;
    if (!punchFailed()) return punchTick(), REACH_PENDING;
    if (j.relaying) return linkConnectTo(lobbyAt, tokenFold(j.token)) ? REACH_ON_THE_WAY : REACH_NO_WAY;
    if (!j.relaySince) j.relaySince = now, j.lastAsk = 0;
    if (now - j.relaySince >= SILENT_MS) return REACH_SILENT_LOBBY;
    return ask(LOBBY_RELAY, now), REACH_PENDING;
}

bool lobbyReachBegin(uint32_t code) {
    joinSide.code = code;
    joinSide.askSince = punchClockMs();
    if (known && asPagePort()) joinSide.web = wsOpen(lobbyHost(), asPagePort(), joinHeard);
    return known;
}

LobbyReach lobbyReachStep() {
    if (!known) return REACH_SILENT_LOBBY;
    linkService(0);  // the lobby's and the host's datagrams, through the tap
    wsService();  // the lobby's WebSocket
    return joinStep(punchClockMs());
}

std::vector<std::string> lobbyJoinLines() { return joinLines(); }

void lobbyFailure(LobbyReach why, std::string& title, std::string& sentence) {
    std::string code = codeText(joinSide.code, true), at = "The lobby at " + lobbyName;
    switch (why) {
    case REACH_NO_CODE: title = "NO SUCH CODE", sentence = "No game waits under the invite code " + code + "."; break;
    case REACH_BUSY: title = "THE HOST IS BUSY", sentence = "The host of " + code + " is playing; try again later."; break;
    case REACH_FULL: title = "THE LOBBY IS FULL", sentence = at + " has no room; try again later."; break;
    case REACH_SILENT_HOST: title = "THE HOST IS GONE", sentence = "The host of " + code + " does not answer."; break;
    case REACH_NO_WAY: title = "NO WAY THROUGH", sentence = "Your routers keep you apart, and the lobby relays nothing."; break;
    default:
        title = "NO LOBBY";
        sentence = known ? at + " does not answer." : "Cannot find the lobby " + lobbyName + ".";
    }
}
