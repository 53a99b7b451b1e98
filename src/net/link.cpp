// link.cpp: the session's calls on the link, handed to the transport in use.
#include "link.h"

#include "enetlink.h"

static LinkTransport* inUse;

void linkUse(LinkTransport* t) { inUse = t; }
LinkTransport& linkTransport() { return inUse ? *inUse : enetTransport(); }

LinkEvent linkService(uint32_t waitMs) { return linkTransport().service(waitMs); }
void linkSend(const uint8_t* data, size_t n, bool reliable) { linkTransport().send(data, n, reliable); }
uint32_t linkRoundTripMs() { return linkTransport().roundTripMs(); }
bool linkDelivered() { return linkTransport().delivered(); }
void linkDrop() { linkTransport().drop(); }
LinkStats linkStats() { return linkTransport().stats(); }

void linkStop() {
    if (inUse && inUse != &enetTransport()) inUse->stop();
    inUse = nullptr;
    enetTransport().stop();
}
