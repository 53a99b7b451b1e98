// portmap.h: asks the home router to forward the game's UDP port here (NAT-PMP, then UPnP-IGD), keeps the
// lease while hosting and gives it back when hosting stops.
#ifndef KORVADO_PORTMAP_H
#define KORVADO_PORTMAP_H

#include <cstdint>
#include <string>

enum PortmapState { PORTMAP_OFF, PORTMAP_ASKING, PORTMAP_MAPPED, PORTMAP_REFUSED };

struct PortmapOutcome {
    PortmapState state = PORTMAP_OFF;
    std::string how;      // MAPPED: "NAT-PMP" or "UPnP"
    std::string address;  // MAPPED: the router's public IPv4 address
    uint16_t port = 0;    // MAPPED: the port the router opened (NAT-PMP may give another than asked)
    std::string why;      // REFUSED: why, in a short sentence without its full stop
};

// Starts asking on a worker thread, which then renews the lease (an hour) at its half until portmapStop.
void portmapStart(uint16_t port);
PortmapOutcome portmapOutcome();  // what is known so far
void portmapStop();               // removes the mapping (if any) and ends the worker; harmless when none runs
// True for an IPv4 address reachable from the internet: not private, shared, loopback, link-local,
// documentation, benchmark, multicast or reserved.
bool portmapIsPublic(const std::string& dotted);

#endif
