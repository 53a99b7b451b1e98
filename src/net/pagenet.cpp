// pagenet.cpp: what a page says to the session's calls on the desktop's UDP socket and router: a page has neither,
// so it hosts and joins through its lobby only (pagelobby.cpp), and the link's transport is the lobby's relay.
#include "enetlink.h"
#include "portmap.h"

namespace {
// The link before the lobby relays anything: nobody at the other end.
struct Nobody : LinkTransport {
    LinkEvent service(uint32_t) override { return LinkEvent(); }
    void send(const uint8_t*, size_t, bool) override {}
    uint32_t roundTripMs() override { return 0; }
    bool delivered() override { return true; }
    void drop() override {}
    void stop() override {}
    LinkStats stats() override { return LinkStats{}; }
};
}  // namespace

LinkTransport& enetTransport() {
    static Nobody nobody;
    return nobody;
}

bool linkStart() { return true; }
bool linkListen(uint16_t) { return true; }  // the host waits for the lobby's rivals
bool linkConnect(const char*, uint16_t) { return false; }  // an address: no UDP here
bool linkOpen() { return true; }
bool linkConnectTo(const Endpoint&, uint32_t) { return false; }
void linkExpect(uint32_t) {}
Endpoint linkPeerAddress() { return Endpoint{}; }
uint32_t linkPeerData() { return 0; }
uint16_t linkLocalPort() { return 0; }
std::vector<std::string> linkLocalAddresses() { return {}; }
std::string linkMachineName() { return "a web page"; }
void linkTap(LinkTap) {}
bool linkSendRaw(const Endpoint&, const uint8_t*, size_t) { return false; }
void linkAnswerProbes(LinkAnswerer) {}
bool linkBroadcast(uint16_t, const uint8_t*, size_t) { return false; }
bool linkHeard(uint32_t, std::string&, std::vector<uint8_t>&) { return false; }

void portmapStart(uint16_t) {}
PortmapOutcome portmapOutcome() { return PortmapOutcome{}; }
void portmapStop() {}
bool portmapIsPublic(const std::string&) { return false; }
