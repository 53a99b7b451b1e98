// link.h: the game's network adapter: one connection to the other player, over one transport at a time.
#ifndef KORVADO_LINK_H
#define KORVADO_LINK_H

#include <cstddef>
#include <cstdint>
#include <vector>

enum LinkEventKind { LINK_NOTHING, LINK_CONNECTED, LINK_RECEIVED, LINK_GONE };

// Why the other side closed the connection (LINK_GONE): a goodbye, or a host that already has a player.
enum LinkReason : uint32_t { LINK_BYE = 0, LINK_BUSY = 1 };

struct LinkEvent {
    LinkEventKind kind = LINK_NOTHING;
    std::vector<uint8_t> data;    // LINK_RECEIVED: one message's payload
    uint32_t reason = LINK_BYE;   // LINK_GONE: what the other side said when it left
};

struct LinkStats {
    uint64_t sentBytes, receivedBytes;  // the transport's own messages, its headers included
    uint64_t sentDatagrams, receivedDatagrams;
};

// One way to the other player. The session asks only what is here; each transport says in its own header what
// its words mean: when the other side is gone (LINK_GONE) and busy (LINK_BUSY), and when its reliable
// messages count as delivered. What every transport keeps: an unreliable message may be lost but never comes
// twice nor damaged; the reliable ones come once each, in order, or the link ends with LINK_GONE.
class LinkTransport {
public:
    virtual ~LinkTransport() {}
    virtual LinkEvent service(uint32_t waitMs) = 0;  // at most one event, waiting up to waitMs for it
    virtual void send(const uint8_t* data, size_t n, bool reliable) = 0;  // to the player; lost if none
    virtual uint32_t roundTripMs() = 0;  // a smoothed round trip to the player; 0 when unknown
    virtual bool delivered() = 0;        // every reliable message sent has reached the player (or there is none)
    virtual void drop() = 0;             // says goodbye to the player (sent at once) and forgets him
    virtual void stop() = 0;             // drops the player and closes everything the transport opened
    virtual LinkStats stats() = 0;
};

// The transport the session's calls go to; nullptr gives ENet's back (the one in use at start).
void linkUse(LinkTransport* t);
LinkTransport& linkTransport();

// The session's calls, on the transport in use.
LinkEvent linkService(uint32_t waitMs);
void linkSend(const uint8_t* data, size_t n, bool reliable);
uint32_t linkRoundTripMs();
bool linkDelivered();
void linkDrop();
void linkStop();  // the transport in use, and ENet's too (the lobby's datagrams); ENet's is in use again
LinkStats linkStats();

#endif
