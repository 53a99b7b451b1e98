// enetlink.cpp: the link on ENet: one host, one peer, two channels (0 inputs, 1 everything reliable).
#include "enetlink.h"

#include <enet/enet.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>

static ENetHost* host;
static ENetPeer* peer;
static bool started;
static LinkAnswerer answerer;
static LinkTap tap;
static bool listening;
static uint32_t expected;    // a listening host's lobby session: the connect data it takes beside 0
static uint32_t peerData;    // what our player's connect carried
static ENetSocket seeker = ENET_SOCKET_NULL;  // the joiner's probes out, the hosts' answers in

// ENet drops a peer when one reliable message and its resends all go unanswered; as it waits twice as
// long before each resend, 5% loss each way cut about one session in twenty with a 2.5 s limit. Telling
// a departure is the game's own business (a session counts 2.5 s without a datagram as gone, and inputs
// come every pass; the greeting has its own time limits), so ENet waits 8 s.
static void tuneTimeouts(ENetPeer* p) {
    enet_peer_timeout(p, 64, 8000, 8000);
    enet_peer_ping_interval(p, 250);
}

bool linkStart() {
    if (!started && enet_initialize() != 0) return false;
    started = true;
    return true;
}

// Every datagram the host receives, before ENet reads it: a probe is answered here, on the game's socket.
static int ENET_CALLBACK intercept(ENetHost* h, ENetEvent*) {
    Endpoint from{ntohl(h->receivedAddress.host), h->receivedAddress.port};
    if (tap && tap(from, h->receivedData, h->receivedDataLength)) return 1;
    std::vector<uint8_t> reply;
    if (!answerer || !answerer(h->receivedData, h->receivedDataLength, reply)) return 0;
    if (!peer && !reply.empty()) {
        ENetBuffer b;
        b.data = reply.data();
        b.dataLength = reply.size();
        enet_socket_send(h->socket, &h->receivedAddress, &b, 1);
    }
    return 1;
}

void linkAnswerProbes(LinkAnswerer answer) { answerer = answer; }
void linkTap(LinkTap t) { tap = t; }
void linkExpect(uint32_t data) { expected = data; }
uint32_t linkPeerData() { return peerData; }

static ENetAddress enetAddress(const Endpoint& e) {
    ENetAddress a;
    a.host = htonl(e.ip);
    a.port = e.port;
    return a;
}

bool linkSendRaw(const Endpoint& to, const uint8_t* data, size_t n) {
    if (!host) return false;
    ENetAddress at = enetAddress(to);
    ENetBuffer b;
    b.data = const_cast<uint8_t*>(data);
    b.dataLength = n;
    return enet_socket_send(host->socket, &at, &b, 1) > 0;
}

Endpoint linkPeerAddress() { return peer ? Endpoint{ntohl(peer->address.host), peer->address.port} : Endpoint{}; }

uint16_t linkLocalPort() {
    ENetAddress a;
    return host && enet_socket_get_address(host->socket, &a) == 0 ? a.port : 0;
}

bool linkListen(uint16_t port) {
    ENetAddress at;
    at.host = ENET_HOST_ANY;
    at.port = port;
    host = enet_host_create(&at, 2, 2, 0, 0);  // the second slot is for telling a third player we are busy
    if (host) host->intercept = intercept;
    listening = host != nullptr;
    return listening;
}

bool linkOpen() {
    if (host) return true;
    ENetAddress any;
    any.host = ENET_HOST_ANY;
    any.port = 0;  // a port of the system's choosing, known before the first datagram leaves
    host = enet_host_create(&any, 1, 2, 0, 0);
    if (host) host->intercept = intercept;
    return host != nullptr;
}

bool linkConnectTo(const Endpoint& to, uint32_t data) {
    if (!linkOpen()) return false;
    ENetAddress at = enetAddress(to);
    peer = enet_host_connect(host, &at, 2, data);
    if (peer) tuneTimeouts(peer);
    return peer != nullptr;
}

bool linkConnect(const char* name, uint16_t port) {
    ENetAddress at;
    if (enet_address_set_host(&at, name) != 0) return false;
    return linkConnectTo(Endpoint{ntohl(at.host), port}, 0);
}

// Our one player is connected: timeouts, and ENet's throttle held open. The throttle drops unreliable
// packets when round trips vary, in bursts, and all of them once it reaches zero; the inputs are few and
// each one is needed (both sides, once connected: it is a command to the other side too).
static void welcome(ENetPeer* p) {
    peer = p;
    tuneTimeouts(peer);
    enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL, ENET_PEER_PACKET_THROTTLE_SCALE, 0);
}

// A connect we do not take: one player at a time (the next one hears that we are busy), and a lobby session's
// only when it is ours.
static bool turnedAway(ENetEvent& ev) {
    if (peer && peer != ev.peer) return enet_peer_disconnect(ev.peer, LINK_BUSY), true;
    if (listening && ev.data && ev.data != expected) return enet_peer_disconnect_now(ev.peer, LINK_BYE), true;
    return false;
}

// One ENet event as ours; false for one that concerns somebody else (handled here, nothing to report).
static bool translate(ENetEvent& ev, LinkEvent& out) {
    if (ev.type == ENET_EVENT_TYPE_CONNECT) {
        if (turnedAway(ev)) return false;
        peerData = listening ? ev.data : 0;
        welcome(ev.peer);
        out.kind = LINK_CONNECTED;
    } else if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
        bool ours = ev.peer == peer;
        if (ours) out.kind = LINK_RECEIVED, out.data.assign(ev.packet->data, ev.packet->data + ev.packet->dataLength);
        enet_packet_destroy(ev.packet);
        return ours;
    } else if (ev.type == ENET_EVENT_TYPE_DISCONNECT) {
        if (ev.peer != peer) return false;
        peer = nullptr;
        out.kind = LINK_GONE;
        out.reason = ev.data;
    }
    return out.kind != LINK_NOTHING;
}

static LinkEvent enetService(uint32_t waitMs) {
    LinkEvent out;
    ENetEvent ev;
    if (!host) return out;
    for (;;) {
        if (enet_host_service(host, &ev, waitMs) <= 0) return out;
        if (translate(ev, out)) return out;
        waitMs = 0;  // somebody else's event: look again for ours, without waiting
    }
}

static void enetSend(const uint8_t* data, size_t n, bool reliable) {
    if (!peer || peer->state != ENET_PEER_STATE_CONNECTED) return;
    ENetPacket* p = enet_packet_create(data, n, reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
    if (p && enet_peer_send(peer, reliable ? 1 : 0, p) != 0) enet_packet_destroy(p);
    enet_host_flush(host);
}

static uint32_t enetRoundTripMs() { return peer ? peer->roundTripTime : 0; }

static bool enetDelivered() {
    return !peer || (enet_list_empty(&peer->sentReliableCommands) && enet_list_empty(&peer->outgoingCommands));
}

static void enetDrop() {
    if (!peer) return;
    enet_peer_disconnect_now(peer, 0);  // one goodbye datagram, sent before this returns
    peer = nullptr;
}

static void enetStop() {
    enetDrop();
    if (seeker != ENET_SOCKET_NULL) enet_socket_destroy(seeker);
    seeker = ENET_SOCKET_NULL;
    if (host) enet_host_destroy(host);
    host = nullptr;
    listening = false;
    tap = nullptr;
    expected = peerData = 0;
    if (started) enet_deinitialize();
    started = false;
}

static LinkStats enetStats() {
    LinkStats s{};
    if (!host) return s;
    s.sentBytes = host->totalSentData;
    s.receivedBytes = host->totalReceivedData;
    s.sentDatagrams = host->totalSentPackets;
    s.receivedDatagrams = host->totalReceivedPackets;
    return s;
}

namespace {
struct EnetTransport : LinkTransport {
    LinkEvent service(uint32_t waitMs) override { return enetService(waitMs); }
    void send(const uint8_t* data, size_t n, bool reliable) override { enetSend(data, n, reliable); }
    uint32_t roundTripMs() override { return enetRoundTripMs(); }
    bool delivered() override { return enetDelivered(); }
    void drop() override { enetDrop(); }
    void stop() override { enetStop(); }
    LinkStats stats() override { return enetStats(); }
};
}  // namespace

LinkTransport& enetTransport() {
    static EnetTransport enet;
    return enet;
}

std::vector<std::string> linkLocalAddresses() {
    std::vector<std::string> outside, loopback;
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) return {"127.0.0.1"};
    for (ifaddrs* i = all; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &((sockaddr_in*)i->ifa_addr)->sin_addr, text, sizeof text);
        (std::string(text).rfind("127.", 0) == 0 ? loopback : outside).push_back(text);
    }
    freeifaddrs(all);
    outside.insert(outside.end(), loopback.begin(), loopback.end());
    return outside;
}

// The broadcast address of every local network (from its address and mask: an interface set up by hand may
// name none), and the whole-network one; in network order.
static std::vector<enet_uint32> broadcastAddresses() {
    std::vector<enet_uint32> all = {ENET_HOST_BROADCAST};
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return all;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!(i->ifa_flags & IFF_BROADCAST) || (i->ifa_flags & IFF_LOOPBACK) || !i->ifa_addr || !i->ifa_netmask ||
            i->ifa_addr->sa_family != AF_INET)
            continue;
        enet_uint32 b = ((sockaddr_in*)i->ifa_addr)->sin_addr.s_addr | ~((sockaddr_in*)i->ifa_netmask)->sin_addr.s_addr;
        if (std::find(all.begin(), all.end(), b) == all.end()) all.push_back(b);
    }
    freeifaddrs(list);
    return all;
}

bool linkBroadcast(uint16_t port, const uint8_t* data, size_t n) {
    if (seeker == ENET_SOCKET_NULL) {
        seeker = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
        if (seeker == ENET_SOCKET_NULL) return false;
        enet_socket_set_option(seeker, ENET_SOCKOPT_BROADCAST, 1);
    }
    ENetBuffer b;
    b.data = const_cast<uint8_t*>(data);
    b.dataLength = n;
    bool sent = false;
    for (enet_uint32 to : broadcastAddresses()) {
        ENetAddress at;
        at.host = to;
        at.port = port;
        sent |= enet_socket_send(seeker, &at, &b, 1) > 0;
    }
    return sent;
}

bool linkHeard(uint32_t waitMs, std::string& from, std::vector<uint8_t>& data) {
    enet_uint32 ready = ENET_SOCKET_WAIT_RECEIVE;
    if (seeker == ENET_SOCKET_NULL || enet_socket_wait(seeker, &ready, waitMs) != 0 || !ready) return false;
    uint8_t buf[512];
    ENetBuffer b;
    b.data = buf;
    b.dataLength = sizeof buf;
    ENetAddress at;
    int n = enet_socket_receive(seeker, &at, &b, 1);
    if (n <= 0) return false;
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &at.host, text, sizeof text);
    from = text;
    data.assign(buf, buf + n);
    return true;
}

std::string linkMachineName() {
    char name[256] = {0};
    if (gethostname(name, sizeof name - 1) != 0) return "";
    std::string out;
    for (const char* c = name; *c && out.size() < 32; c++) out.push_back(*c >= 0x20 && *c <= 0x7E ? *c : '?');
    return out;
}
