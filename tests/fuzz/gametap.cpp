// gametap.cpp (fuzz): korvado_net's side of a lobby: every datagram that reaches the game's socket goes through
// the lobby's tap before ENet (the lobby's answers and the other player's punches). The first byte chooses the
// host (bit 0) or a joiner by code, the rest is a script of datagrams (fuzz.h), sender 0 the lobby. The link is
// a stand-in here that hands the script to the tap and keeps what the game sends: only to the lobby, to the
// sender of a punch (no larger than it), or to an address the lobby named. The lobby's WebSocket (a rival who is
// a page) is a stand-in too: once open, the lobby's own datagrams come by it, and the game's go by it only once
// it is open.
#include "fuzz.h"
#include "net/enetlink.h"
#include "net/lobby.h"
#include "net/portmap.h"
#include "net/punch.h"
#include "net/wslink.h"

#include <set>

namespace {

LinkTap tap;
FuzzBytes script{nullptr, 0};
FuzzMemory mem;
Endpoint from;
std::set<uint64_t> vouched;  // addresses the lobby named, packed
size_t answers;              // datagrams sent to the sender of the one read now
int delivered;
WsLobbyHeard wsHeard;  // the WebSocket's, while it is open

uint64_t pack(const Endpoint& e) { return uint64_t(e.ip) << 16 | e.port; }

// The next datagram of the script, to the tap; false when the script is over.
bool deliver() {
    if (!script.more() || delivered == FUZZ_SCRIPT) return false;
    delivered++;
    uint8_t op = script.byte();
    from = fuzzAddress(op & 7);
    std::vector<uint8_t> d = scriptDatagram(script, (op >> 3) & 3, mem);
    LobbyMsg m;
    if (decodeLobby(d.data(), d.size(), m)) {
        remember(m, mem);
        if ((op & 7) == 0)
            for (const Candidate& c : m.cands) vouched.insert(pack(c.at));
    }
    answers = 0;
    if (wsHeard && (op & 7) == 0 && decodeLobby(d.data(), d.size(), m)) wsHeard(m);
    else if (tap) tap(from, d.data(), d.size());
    FUZZ_CHECK(answers <= 1);
    return true;
}

bool frame(const std::vector<std::string>&) { return script.more() && delivered < FUZZ_SCRIPT; }

}  // namespace

// ---- the link and the router, as the lobby's side of the game sees them ----
void linkTap(LinkTap t) { tap = t; }
bool linkSendRaw(const Endpoint& to, const uint8_t* data, size_t n) {
    FUZZ_CHECK(n == LOBBY_DATAGRAM);
    FUZZ_CHECK(to == fuzzAddress(0) || to == from || vouched.count(pack(to)));
    if (to == from && !(to == fuzzAddress(0))) answers++;
    LobbyMsg m;
    if (to == fuzzAddress(0) && decodeLobby(data, n, m)) {  // the game's id, and a joiner's code
        mem.id = m.id;
        if (m.kind == LOBBY_JOIN) mem.code = m.code;
    }
    return true;
}
uint16_t linkLocalPort() { return 27415; }
std::vector<std::string> linkLocalAddresses() { return {"192.168.1.2", "127.0.0.1"}; }
bool linkConnectTo(const Endpoint&, uint32_t) { return true; }
void linkExpect(uint32_t) {}
Endpoint linkPeerAddress() { return Endpoint{}; }
uint32_t linkPeerData() { return 0; }
LinkEvent linkService(uint32_t) {
    deliver();
    return LinkEvent{};
}
PortmapOutcome portmapOutcome() { return PortmapOutcome{}; }

struct StandIn : LinkTransport {
    LinkEvent service(uint32_t) override { return LinkEvent{}; }
    void send(const uint8_t*, size_t, bool) override {}
    uint32_t roundTripMs() override { return 0; }
    bool delivered() override { return true; }
    void drop() override {}
    void stop() override {}
    LinkStats stats() override { return LinkStats{0, 0, 0, 0}; }
} enetStandIn, wsStandIn;
LinkTransport* inUse = &enetStandIn;
void linkUse(LinkTransport* t) { inUse = t ? t : &enetStandIn; }
LinkTransport& linkTransport() { return *inUse; }
LinkTransport& wsTransport() { return wsStandIn; }
bool wsOpen(const std::string&, uint16_t port, WsLobbyHeard heard) {
    FUZZ_CHECK(port != 0);
    wsHeard = heard;
    return true;
}
WsState wsState() { return wsHeard ? WS_OPEN : WS_CLOSED; }
void wsService() {}
void wsSendLobby(const LobbyMsg& m) {
    FUZZ_CHECK(wsHeard);
    if (m.kind == LOBBY_JOIN) mem.id = m.id, mem.code = m.code;
}
void wsBeginLink() { FUZZ_CHECK(wsHeard); }
bool wsLinkMet() { return false; }
bool wsLinkOver() { return false; }
void wsClose() {
    wsHeard = nullptr;
    linkUse(nullptr);
}

FUZZ_STATE_CARRIED_OVER

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
    if (n == 0) return 0;
    script = FuzzBytes{data + 1, n - 1};
    delivered = 0;
    bool hosting = data[0] & 1;
    FUZZ_CHECK(lobbyBegin(endpointText(fuzzAddress(0)), hosting));
    if (!hosting) {
        std::string title, sentence;
        FUZZ_CHECK(lobbyReachBegin(uint32_t(data[0]) << 20));
        LobbyReach r = REACH_PENDING;
        while (r == REACH_PENDING && frame({})) r = lobbyReachStep(), lobbyJoinLines();
        if (r != REACH_PENDING) lobbyFailure(r, title, sentence);
    }
    for (;;) {
        if (hosting) lobbyTick(false);
        if (!deliver()) break;
        if (hosting) lobbyHostLines(), lobbyHostState(), lobbyWay();
    }
    return 0;
}
