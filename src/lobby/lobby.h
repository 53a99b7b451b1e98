// lobby.h: korvado_lobby's bookkeeping, without sockets: hosts and their invite codes, the meetings it arranges
// and the sessions it relays; each datagram in gives the datagrams to send.
#ifndef KORVADO_LOBBY_SERVER_H
#define KORVADO_LOBBY_SERVER_H

#include <cstdint>
#include <mutex>
#include <queue>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>
#include "net/lobbywire.h"

struct LobbyLimits {
    size_t maxSessions = 256;        // meetings and relays at once
    size_t maxHosts = 1024;          // hosts with a code (--max-hosts)
    size_t hostsPerAddress = 16;     // hosts behind one public address (a carrier-grade NAT has many)
    bool relay = true;
    uint32_t relayBytesPerSecond = 16000;  // both ways together; a session of korvado_net needs under 10,000
    uint32_t requestsPerSecond = 20, requestBurst = 40;  // from one address, relayed datagrams aside
    uint16_t webPort = 0;            // told to hosts and joiners: where a page's players open the WebSocket
    uint16_t udpPort = 0;            // told to them too: a page's STUN server
};

// A page's WebSocket in the lobby's tables: an address no datagram comes from (0.x.y.z: the connection), port 1.
inline bool webEnd(const Endpoint& e) { return (e.ip >> 24) == 0; }

struct Outgoing {
    Endpoint to;
    std::vector<uint8_t> data;
};

struct LobbyCounts {
    uint64_t datagrams = 0, malformed = 0, limited = 0, refused = 0;
    uint64_t relayedDatagrams = 0, relayedBytes = 0, relayDropped = 0;
    uint64_t refusedFor[REFUSE_NO_RELAY + 1] = {};  // by LobbyRefusal
};

uint64_t packEndpoint(const Endpoint& e);

// Every public call takes the lobby's lock (the same thread may take it again): the threads of the UDP port take
// it once for a batch of datagrams.
class Lobby {
public:
    // `seed` seeds the codes, tokens and cookies it draws; 0 takes one from the system.
    explicit Lobby(const LobbyLimits& limits, uint64_t seed = 0);
    std::unique_lock<std::recursive_mutex> hold() { return std::unique_lock<std::recursive_mutex>(guard); }
    // One datagram from `from` at `nowMs` (a steady clock); what to send goes into `out`.
    void receive(const Endpoint& from, const uint8_t* data, size_t n, uint64_t nowMs, std::vector<Outgoing>& out);
    // Forgets hosts that stopped refreshing and meetings and relays gone quiet; a line for each relay ended.
    void expire(uint64_t nowMs, std::vector<std::string>& ended);
    size_t hosts() const { return byCode.size(); }
    size_t sessions() const { return byToken.size(); }
    size_t relays() const { return relayEnds.size() / 2; }
    const LobbyCounts& counts() const { return tally; }
    // A request that is no lobby datagram (a STUN binding) counts against its address's rate as the others do.
    bool admit(uint32_t ip, uint64_t nowMs) {
        auto held = hold();
        return allowed(ip, nowMs) || (tally.limited++, false);
    }
    bool relayEnd(const Endpoint& e) {
        auto held = hold();
        return relayEnds.count(packEndpoint(e)) != 0;
    }
    // The sizes of every table, for the tests: none grows past its cap.
    size_t tableSizes() const { return byCode.size() + codeOfHost.size() + hostsAt.size() + hostQueue.size() + meetings.size(); }

private:
    struct Host {
        uint64_t id;
        Endpoint at;
        bool busy;
        std::vector<Candidate> cands;
        uint64_t seen;
        uint64_t asked;  // the latest meeting arranged with him (0: none)
    };
    enum Stage { ASKED, READY, RELAYING };
    struct Session {
        uint32_t code = 0;
        uint64_t joinerId = 0;
        Endpoint host, joiner;
        bool hostPage = false, joinerPage = false;  // on WebSockets from the first: pages (a desktop takes over later)
        std::vector<Candidate> joinerCands;  // with his public address last
        Stage stage = ASKED;
        uint64_t began = 0, heard = 0, relayedSince = 0;
        double allowance = 0;                // the relay's bytes that may pass now
        uint64_t bytes = 0;
    };
    struct Bucket {
        uint32_t ip;
        float tokens;
        uint64_t at;
    };
    struct Cookie {
        uint64_t at;     // the joiner's address, packed
        uint64_t value;
        uint64_t made;
    };
    struct Due {       // a host's expiry: the earliest first
        uint64_t at, id;
        uint32_t code;
        bool operator<(const Due& o) const { return at > o.at; }
    };

    bool allowed(uint32_t ip, uint64_t now);
    void forward(const Endpoint& from, const uint8_t* data, size_t n, uint64_t now, std::vector<Outgoing>& out);
    void handle(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out);
    void onHost(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out);
    void onJoin(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out);
    void onReady(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out);
    void onRelay(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out);
    bool takeOver(const Endpoint& from, Endpoint& end, const Session& s) const;
    bool hostBusy(const Host& h, uint64_t now) const;
    void placeHost(uint32_t code, const Host& h);
    void forgetHost(uint32_t code);
    void expireHosts(uint64_t now);
    bool proven(const Endpoint& from, uint64_t cookie, uint64_t now, uint64_t& current);
    uint64_t meetingOf(const Endpoint& joiner, const LobbyMsg& join) const;
    uint64_t arrange(const Endpoint& joiner, const LobbyMsg& join, const Endpoint& host, uint64_t now);
    void tellJoiner(uint64_t token, const Session& s, std::vector<Outgoing>& out);
    void tellHost(uint64_t token, const Session& s, std::vector<Outgoing>& out);
    uint32_t newCode();
    uint64_t newToken();
    void dropSession(uint64_t token);
    void refuse(const Endpoint& to, uint32_t code, LobbyRefusal why, std::vector<Outgoing>& out);

    LobbyLimits lim;
    std::unordered_map<uint32_t, Host> byCode;
    std::unordered_map<uint64_t, uint32_t> codeOfHost;  // a host's id: his code
    std::unordered_map<uint64_t, Session> byToken;
    std::unordered_map<uint64_t, uint64_t> relayEnds;   // an end's address (packed): its session's token
    std::unordered_map<uint32_t, size_t> hostsAt;       // a public address: its hosts
    std::priority_queue<Due> hostQueue;                 // one for each host
    std::unordered_map<uint64_t, uint64_t> meetings;    // a joiner's request (meetingKey): its session's token
    std::vector<Bucket> buckets;
    std::vector<Cookie> cookies;                        // sets of COOKIE_WAYS, by the joiner's address
    std::recursive_mutex guard;
    std::mt19937_64 draws;
    LobbyCounts tally;
};

#endif
