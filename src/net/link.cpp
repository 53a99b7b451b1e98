// link.cpp: the network adapter on ENet: one host, one peer, two channels (0 inputs, 1 everything reliable).
#include "link.h"

#include <enet/enet.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

static ENetHost* host;
static ENetPeer* peer;
static bool started;

// The other side must answer within 2.5 s or count as gone (ENet's default waits up to 30 s).
static void tuneTimeouts(ENetPeer* p) {
    enet_peer_timeout(p, 8, 1000, 2500);
    enet_peer_ping_interval(p, 250);
}

bool linkStart() {
    if (!started && enet_initialize() != 0) return false;
    started = true;
    return true;
}

bool linkListen(uint16_t port) {
    ENetAddress at;
    at.host = ENET_HOST_ANY;
    at.port = port;
    host = enet_host_create(&at, 2, 2, 0, 0);  // the second slot is for telling a third player we are busy
    return host != nullptr;
}

bool linkConnect(const char* name, uint16_t port) {
    ENetAddress at;
    if (enet_address_set_host(&at, name) != 0) return false;
    at.port = port;
    host = enet_host_create(nullptr, 1, 2, 0, 0);
    if (!host) return false;
    peer = enet_host_connect(host, &at, 2, 0);
    if (peer) tuneTimeouts(peer);
    return peer != nullptr;
}

// Our one player is connected: timeouts, and ENet's throttle held open. The throttle drops unreliable
// packets when round trips vary, in bursts, and all of them once it reaches zero; the inputs are few and
// each one is needed (both sides, once connected: it is a command to the other side too).
static void welcome(ENetPeer* p) {
    peer = p;
    tuneTimeouts(peer);
    enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL, ENET_PEER_PACKET_THROTTLE_SCALE, 0);
}

// One ENet event as ours; false for one that concerns somebody else (handled here, nothing to report).
static bool translate(ENetEvent& ev, LinkEvent& out) {
    if (ev.type == ENET_EVENT_TYPE_CONNECT) {
        if (peer && peer != ev.peer) {  // one player at a time: the next one hears that we are busy
            enet_peer_disconnect(ev.peer, LINK_BUSY);
            return false;
        }
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

LinkEvent linkService(uint32_t waitMs) {
    LinkEvent out;
    ENetEvent ev;
    if (!host) return out;
    for (;;) {
        if (enet_host_service(host, &ev, waitMs) <= 0) return out;
        if (translate(ev, out)) return out;
        waitMs = 0;  // somebody else's event: look again for ours, without waiting
    }
}

void linkSend(const uint8_t* data, size_t n, bool reliable) {
    if (!peer || peer->state != ENET_PEER_STATE_CONNECTED) return;
    ENetPacket* p = enet_packet_create(data, n, reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
    if (p && enet_peer_send(peer, reliable ? 1 : 0, p) != 0) enet_packet_destroy(p);
    enet_host_flush(host);
}

uint32_t linkRoundTripMs() { return peer ? peer->roundTripTime : 0; }

void linkDrop() {
    if (!peer) return;
    enet_peer_disconnect_now(peer, 0);  // one goodbye datagram, sent before this returns
    peer = nullptr;
}

void linkStop() {
    linkDrop();
    if (host) enet_host_destroy(host);
    host = nullptr;
    if (started) enet_deinitialize();
    started = false;
}

LinkStats linkStats() {
    LinkStats s{};
    if (!host) return s;
    s.sentBytes = host->totalSentData;
    s.receivedBytes = host->totalReceivedData;
    s.sentDatagrams = host->totalSentPackets;
    s.receivedDatagrams = host->totalReceivedPackets;
    return s;
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
