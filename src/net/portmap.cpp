// portmap.cpp: the port-mapping adapter on libnatpmp and miniupnpc, asking and renewing on a thread of its own.
#include "portmap.h"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <natpmp.h>

#include <arpa/inet.h>
#include <sys/select.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

typedef std::chrono::steady_clock Clock;
const uint32_t LEASE_S = 3600;      // what a crash leaves open on the router, at most
const int NATPMP_MS = 1000;         // the whole NAT-PMP exchange
const int UPNP_SEARCH_MS = 1500;    // the UPnP search for the router
const char NO_ROUTER[] = "No router answered";

std::thread worker;
std::mutex guard;
std::condition_variable wake;
bool stopping;
PortmapOutcome outcome;

void publish(const PortmapOutcome& o) {
    std::lock_guard<std::mutex> g(guard);
    outcome = o;
}

// Sleeps `s` seconds unless portmapStop comes first; true when it came.
bool sleepUnlessStopped(uint32_t s) {
    std::unique_lock<std::mutex> g(guard);
    return wake.wait_for(g, std::chrono::seconds(s), [] { return stopping; });
}

// ---- NAT-PMP ----

// The answer to the pending request, waiting until `deadline` at most (libnatpmp resends on its own
// schedule); 0 or libnatpmp's error.
int natpmpAnswer(natpmp_t& n, natpmpresp_t& r, Clock::time_point deadline) {
    for (;;) {
        timeval tv;
        if (getnatpmprequesttimeout(&n, &tv) < 0) return NATPMP_ERR_NOPENDINGREQ;
        long long left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
        if (left <= 0) return NATPMP_TRYAGAIN;
        long long wait = std::max(0LL, std::min(left, tv.tv_sec * 1000000LL + tv.tv_usec));
        tv.tv_sec = wait / 1000000, tv.tv_usec = wait % 1000000;
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(n.s, &fds);
        select(n.s + 1, &fds, nullptr, nullptr, &tv);
        int got = readnatpmpresponseorretry(&n, &r);
        if (got != NATPMP_TRYAGAIN) return got;
    }
}

// Asks for UDP `port` to come here for `lifetime` s (0 removes the mapping) within `ms`; 0 or an error.
int natpmpMap(natpmp_t& n, uint16_t port, uint16_t publicPort, uint32_t lifetime, natpmpresp_t& r, int ms) {
    if (sendnewportmappingrequest(&n, NATPMP_PROTOCOL_UDP, port, publicPort, lifetime) < 0) return -1;
    return natpmpAnswer(n, r, Clock::now() + std::chrono::milliseconds(ms));
}

// The router's public address, then the mapping; on success `n` stays open for the renewals.
bool askNatPmp(natpmp_t& n, uint16_t port, PortmapOutcome& o) {
    if (initnatpmp(&n, 0, 0) < 0) return false;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(NATPMP_MS);
    natpmpresp_t r;
    bool mapped = false;
    char address[INET_ADDRSTRLEN] = "";
    if (sendpublicaddressrequest(&n) >= 0 && natpmpAnswer(n, r, deadline) == 0) {
        inet_ntop(AF_INET, &r.pnu.publicaddress.addr, address, sizeof address);
        if (!portmapIsPublic(address)) o.why = "It sits behind another router";
        else if (sendnewportmappingrequest(&n, NATPMP_PROTOCOL_UDP, port, port, LEASE_S) < 0 ||
                 natpmpAnswer(n, r, deadline) != 0) o.why = "The router said no";
        else mapped = true;
    }
    if (!mapped) return closenatpmp(&n), false;
    o.state = PORTMAP_MAPPED, o.how = "NAT-PMP", o.address = address, o.port = r.pnu.newportmapping.mappedpublicport;
    return true;
}

void keepNatPmp(natpmp_t& n, uint16_t port, PortmapOutcome o) {
    natpmpresp_t r;
    while (!sleepUnlessStopped(LEASE_S / 2)) {
        if (natpmpMap(n, port, o.port, LEASE_S, r, 2000) == 0 && r.pnu.newportmapping.mappedpublicport != o.port)
            o.port = r.pnu.newportmapping.mappedpublicport, publish(o);
    }
    natpmpMap(n, port, 0, 0, r, 500);  // a lifetime of 0 and no public port: the mapping goes
    closenatpmp(&n);
}

// ---- UPnP-IGD ----

struct Igd {
    UPNPUrls urls;
    IGDdatas data;
    char lan[64] = "";  // this machine's address towards the router
    bool found = false;
};

// Adds the mapping (or renews it: the same one again); miniupnpc's result, 0 when done.
int upnpMap(Igd& igd, uint16_t port) {
    std::string p = std::to_string(port);
    int r = UPNP_AddPortMapping(igd.urls.controlURL, igd.data.first.servicetype, p.c_str(), p.c_str(), igd.lan,
                                "KORVADO", "UDP", nullptr, std::to_string(LEASE_S).c_str());
    if (r == 725)  // OnlyPermanentLeasesSupported: then a permanent one, taken back when hosting stops
        r = UPNP_AddPortMapping(igd.urls.controlURL, igd.data.first.servicetype, p.c_str(), p.c_str(), igd.lan,
                                "KORVADO", "UDP", nullptr, "0");
    return r;
}

bool askUpnp(Igd& igd, uint16_t port, PortmapOutcome& o) {
    int error = 0;
    // the gateway's own type only: the library's default search asks for four types one after another
    UPNPDev* devices = upnpDiscoverDevice("urn:schemas-upnp-org:device:InternetGatewayDevice:1", UPNP_SEARCH_MS,
                                          nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error);
    if (!devices) return false;
    int kind = UPNP_GetValidIGD(devices, &igd.urls, &igd.data, igd.lan, sizeof igd.lan);
    freeUPNPDevlist(devices);
    igd.found = kind != 0;
    if (kind != 1) {
        if (kind == 2) o.why = "It has no public address";
        return false;
    }
    char address[40] = "";
    if (UPNP_GetExternalIPAddress(igd.urls.controlURL, igd.data.first.servicetype, address) != 0 ||
        !portmapIsPublic(address))
        return o.why = "It sits behind another router", false;
    if (upnpMap(igd, port) != 0) return o.why = "The router said no", false;
    o.state = PORTMAP_MAPPED, o.how = "UPnP", o.address = address, o.port = port;
    return true;
}

void keepUpnp(Igd& igd, uint16_t port) {
    while (!sleepUnlessStopped(LEASE_S / 2)) upnpMap(igd, port);
    UPNP_DeletePortMapping(igd.urls.controlURL, igd.data.first.servicetype, std::to_string(port).c_str(), "UDP",
                           nullptr);
}

// The worker: NAT-PMP, which answers at once or not at all, then UPnP; then the lease kept until the stop.
void work(uint16_t port) {
    PortmapOutcome o;
    o.state = PORTMAP_REFUSED;
    o.why = NO_ROUTER;
    natpmp_t n;
    if (askNatPmp(n, port, o)) {
        publish(o);
        return keepNatPmp(n, port, o);
    }
    Igd igd;
    bool mapped = askUpnp(igd, port, o);
    publish(o);
    if (mapped) keepUpnp(igd, port);
    if (igd.found) FreeUPNPUrls(&igd.urls);
}

}  // namespace

void portmapStart(uint16_t port) {
    if (worker.joinable()) return;
    PortmapOutcome asking;
    asking.state = PORTMAP_ASKING;
    publish(asking);
    stopping = false;
    worker = std::thread(work, port);
}

PortmapOutcome portmapOutcome() {
    std::lock_guard<std::mutex> g(guard);
    return outcome;
}

void portmapStop() {
    if (!worker.joinable()) return;
    {
        std::lock_guard<std::mutex> g(guard);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
    publish(PortmapOutcome());
}

bool portmapIsPublic(const std::string& dotted) {
    in_addr a;
    if (inet_pton(AF_INET, dotted.c_str(), &a) != 1) return false;
    uint32_t h = ntohl(a.s_addr);
    // this network, private, shared (carrier NAT), loopback, link-local, private, protocol assignments,
    // documentation, private, benchmark, documentation twice, and multicast with the reserved rest
    static const struct { uint32_t net; int bits; } NOT_PUBLIC[] = {
        {0x00000000, 8}, {0x0A000000, 8}, {0x64400000, 10}, {0x7F000000, 8}, {0xA9FE0000, 16},
        {0xAC100000, 12}, {0xC0000000, 24}, {0xC0000200, 24}, {0xC0A80000, 16}, {0xC6120000, 15},
        {0xC6336400, 24}, {0xCB007100, 24}, {0xE0000000, 3}};
    for (const auto& r : NOT_PUBLIC)
        if (h >> (32 - r.bits) == r.net >> (32 - r.bits)) return false;
    return true;
}
