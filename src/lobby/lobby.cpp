// lobby.cpp: korvado_lobby's rules: codes for hosts who refresh them, meetings between a joiner and the host of
// his code, relays as the last resort; bounded in every table, and no answer larger than its request.
#include "lobby/lobby.h"

#include <cstdio>
#include <string>

namespace {

const uint64_t HOST_KEPT_MS = 35000;     // a host refreshes every 12 s: gone after a little under three misses
const uint64_t MEETING_KEPT_MS = 20000;  // a meeting not relayed: the players punched and went their way
const uint64_t ASKED_BUSY_MS = 5000;     // a host asked for a meeting is busy to others this long
const uint64_t RELAY_SILENCE_MS = 10000; // a relay with nothing from either side this long has ended
const uint64_t COOKIE_MS = 10000;        // a joiner's cookie is good this long
const size_t BUCKETS = 4096;             // the rate limit's table and the cookies', by source address

size_t slotOf(uint64_t key) { return size_t((key * 0x9E3779B97F4A7C15ull) >> 52) & (BUCKETS - 1); }

// An address of a local network: private, shared (carrier-grade NAT) or link-local.
bool localAddress(uint32_t ip) {
    return (ip >> 24) == 10 || (ip >> 20) == 0xAC1 || (ip >> 16) == 0xC0A8 || (ip >> 22) == (100u << 2 | 1) ||
           (ip >> 16) == 0xA9FE;
}

// A side's own addresses as the lobby passes them on, room left for the public one it adds: only addresses of a
// local network, and a host's mapping (or a forged request could have the other side punch anybody on the
// internet).
std::vector<Candidate> ownCandidates(const std::vector<Candidate>& cands, bool host) {
    std::vector<Candidate> kept;
    for (const Candidate& c : cands) {
        bool fit = c.kind == CAND_LAN ? localAddress(c.at.ip) : c.kind == CAND_MAPPED && host;
        if (fit && kept.size() + 1 < size_t(MAX_CANDIDATES)) kept.push_back(c);
    }
    return kept;
}

std::vector<uint8_t> encode(const LobbyMsg& m) { return encodeLobby(m); }

}  // namespace

uint64_t packEndpoint(const Endpoint& e) { return uint64_t(e.ip) << 16 | e.port; }

Lobby::Lobby(const LobbyLimits& limits, uint64_t seed)
    : lim(limits), buckets(BUCKETS, Bucket{0, 0, 0}), cookies(BUCKETS, Cookie{0, 0, 0}),
      draws(seed ? seed : std::random_device{}()) {
    byCode.reserve(lim.maxHosts);
    codeOfHost.reserve(lim.maxHosts);
    byToken.reserve(lim.maxSessions);
    relayEnds.reserve(2 * lim.maxSessions);
}

// A token bucket per source address in a table of fixed size: an address that takes another's slot starts full.
bool Lobby::allowed(uint32_t ip, uint64_t now) {
    Bucket& b = buckets[slotOf(ip)];
    if (b.ip != ip || !b.at) b = Bucket{ip, float(lim.requestBurst), now};
    b.tokens += float(now - b.at) * float(lim.requestsPerSecond) / 1000.f;
    if (b.tokens > float(lim.requestBurst)) b.tokens = float(lim.requestBurst);
    b.at = now;
    if (b.tokens < 1.f) return false;
    b.tokens -= 1.f;
    return true;
}

void Lobby::receive(const Endpoint& from, const uint8_t* data, size_t n, uint64_t now, std::vector<Outgoing>& out) {
    tally.datagrams++;
    LobbyMsg m;
    bool ours = decodeLobby(data, n, m);
    if (!ours && relayEnds.count(packEndpoint(from))) return forward(from, data, n, now, out);
    if (!allowed(from.ip, now)) return void(tally.limited++);
    if (!ours) return void(tally.malformed++);
    handle(from, m, now, out);
}

// A relayed datagram goes on unchanged to the other end, one out for one in, within the session's allowance.
void Lobby::forward(const Endpoint& from, const uint8_t* data, size_t n, uint64_t now, std::vector<Outgoing>& out) {
    Session& s = byToken[relayEnds[packEndpoint(from)]];
    s.allowance += double(now - s.heard) * lim.relayBytesPerSecond / 1000.0;
    if (s.allowance > lim.relayBytesPerSecond) s.allowance = lim.relayBytesPerSecond;
    s.heard = now;
    if (s.allowance < double(n)) return void(tally.relayDropped++);
    s.allowance -= double(n);
    s.bytes += n;
    tally.relayedDatagrams++, tally.relayedBytes += n;
    out.push_back(Outgoing{from == s.host ? s.joiner : s.host, std::vector<uint8_t>(data, data + n)});
}

void Lobby::handle(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out) {
    switch (m.kind) {
    case LOBBY_HOST: return onHost(from, m, now, out);
    case LOBBY_JOIN: return onJoin(from, m, now, out);
    case LOBBY_READY: return onReady(from, m, now, out);
    case LOBBY_RELAY: return onRelay(from, m, now, out);
    default: tally.malformed++;  // an answer of ours, or a punch, sent to the lobby: nothing to do
    }
}

void Lobby::refuse(const Endpoint& to, uint32_t code, LobbyRefusal why, std::vector<Outgoing>& out) {
    LobbyMsg no;
    no.kind = LOBBY_REFUSE;
    no.code = code;
    no.reason = why;
    tally.refused++;
    out.push_back(Outgoing{to, encode(no)});
}

uint32_t Lobby::newCode() {
    for (;;) {
        uint32_t code = uint32_t(draws() % CODE_COUNT);
        if (!byCode.count(code)) return code;
    }
}

uint64_t Lobby::newToken() {
    for (;;) {
        uint64_t token = draws();
        if (token && !byToken.count(token)) return token;
    }
}

// A host registers (a new code) or refreshes (his code again, from wherever his router now sends him).
void Lobby::onHost(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out) {
    auto known = codeOfHost.find(m.id);
    uint32_t code = known == codeOfHost.end() ? 0 : known->second;
    if (known == codeOfHost.end()) {
        size_t here = 0;
        for (const auto& h : byCode) here += h.second.at.ip == from.ip;
        if (byCode.size() >= lim.maxHosts || here >= lim.hostsPerAddress) return refuse(from, 0, REFUSE_FULL, out);
        code = newCode();
        codeOfHost[m.id] = code;
    }
    byCode[code] = Host{m.id, from, m.busy != 0, ownCandidates(m.cands, true), now};
    LobbyMsg ok;
    ok.kind = LOBBY_CODE;
    ok.id = m.id;
    ok.code = code;
    ok.seen = from;
    ok.web = lim.webPort;
    out.push_back(Outgoing{from, encode(ok)});
}

// A joiner proves that he receives at his address before a host is involved (or a forged request would have
// hosts punch at its victim): his first request gets a cookie, which he sends back.
bool Lobby::proven(const Endpoint& from, uint64_t cookie, uint64_t now, uint64_t& current) {
    Cookie& c = cookies[slotOf(packEndpoint(from))];
    if (c.at != packEndpoint(from) || now - c.made >= COOKIE_MS) c = Cookie{packEndpoint(from), draws() | 1, now};
    current = c.value;
    return cookie == c.value;
}

bool Lobby::hostBusy(uint32_t code, const Host& h, uint64_t now) const {
    if (h.busy) return true;
    for (const auto& s : byToken)  // a meeting just arranged, before his refresh says he is busy
        if (s.second.code == code && now - s.second.began < ASKED_BUSY_MS) return true;
    return false;
}

// The meeting a joiner's request belongs to (its token), or 0.
uint64_t Lobby::meetingOf(const Endpoint& joiner, const LobbyMsg& join) const {
    for (const auto& s : byToken)
        if (s.second.code == join.code && s.second.joinerId == join.id && s.second.joiner == joiner) return s.first;
    return 0;
}

uint64_t Lobby::arrange(const Endpoint& joiner, const LobbyMsg& join, const Endpoint& host, uint64_t now) {
    uint64_t token = newToken();
    Session& s = byToken[token];
    s = Session{};
    s.code = join.code, s.joinerId = join.id, s.host = host, s.joiner = joiner;
    s.joinerCands = ownCandidates(join.cands, false);
    s.joinerCands.push_back(Candidate{CAND_PUBLIC, joiner});
    s.stage = ASKED, s.began = s.heard = now;
    return token;
}

// PEER to the host: the token and the joiner's addresses (his public one as the lobby sees it, last).
void Lobby::tellHost(uint64_t token, const Session& s, std::vector<Outgoing>& out) {
    LobbyMsg peer;
    peer.kind = LOBBY_PEER;
    peer.token = token;
    peer.web = lim.webPort;
    peer.page = webEnd(s.joiner);
    if (!peer.page) peer.cands = s.joinerCands;
    out.push_back(Outgoing{s.host, encode(peer)});
}

void Lobby::tellJoiner(uint64_t token, const Session& s, std::vector<Outgoing>& out) {
    auto h = byCode.find(s.code);
    LobbyMsg peer;
    peer.kind = LOBBY_PEER;
    peer.token = token;
    peer.web = lim.webPort;
    peer.page = webEnd(s.host);
    if (h != byCode.end() && !peer.page) peer.cands = h->second.cands;
    if (!peer.page) peer.cands.push_back(Candidate{CAND_PUBLIC, s.host});
    out.push_back(Outgoing{s.joiner, encode(peer)});
}

// A joiner with a code: refused, or asked for his cookie, or the host is asked (again, until he answers).
void Lobby::onJoin(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out) {
    auto h = byCode.find(m.code);
    if (h == byCode.end()) return refuse(from, m.code, REFUSE_NO_CODE, out);
    LobbyMsg wait;
    wait.kind = LOBBY_WAIT;
    wait.id = m.id;
    bool ok = proven(from, m.token, now, wait.token);
    uint64_t token = meetingOf(from, m);
    if (token && byToken[token].stage != ASKED) return tellJoiner(token, byToken[token], out);
    if (!token && ok) {
        if (hostBusy(m.code, h->second, now)) return refuse(from, m.code, REFUSE_BUSY, out);
        if (byToken.size() >= lim.maxSessions) return refuse(from, m.code, REFUSE_FULL, out);
        token = arrange(from, m, h->second.at, now);
    }
    if (token) tellHost(token, byToken[token], out);
    out.push_back(Outgoing{from, encode(wait)});
}

// The host punches too: the joiner hears where to punch, and the host's address is the relay's end.
void Lobby::onReady(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out) {
    auto s = byToken.find(m.token);
    if (s == byToken.end() || s->second.host != from) return void(tally.malformed++);
    if (s->second.stage == ASKED) s->second.stage = READY, s->second.heard = now;
    if (s->second.stage == READY) tellJoiner(m.token, s->second, out);
}

// The joiner found no way through: from now on the lobby passes the pair's datagrams on.
void Lobby::onRelay(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out) {
    auto found = byToken.find(m.token);
    if (found == byToken.end() || found->second.joiner != from || found->second.stage == ASKED)
        return void(tally.malformed++);
    Session& s = found->second;
    if (!lim.relay) return refuse(from, s.code, REFUSE_NO_RELAY, out);
    if (s.stage == READY) {
        s.stage = RELAYING, s.heard = s.relayedSince = now;
        s.allowance = lim.relayBytesPerSecond;
        relayEnds[packEndpoint(s.host)] = relayEnds[packEndpoint(s.joiner)] = m.token;
    }
    LobbyMsg on;
    on.kind = LOBBY_RELAYING;
    on.token = m.token;
    out.push_back(Outgoing{from, encode(on)});
}

void Lobby::dropSession(uint64_t token) {
    const Session& s = byToken[token];
    for (const Endpoint& end : {s.host, s.joiner}) {
        auto e = relayEnds.find(packEndpoint(end));
        if (e != relayEnds.end() && e->second == token) relayEnds.erase(e);
    }
    byToken.erase(token);
}

// An end of a relay as the log names it: its address, or the web side's connection ("websocket 12").
static std::string endText(const Endpoint& e) {
    return webEnd(e) ? "websocket " + std::to_string(e.ip) : endpointText(e);
}

// "relay ended: A and B, 62.0 s, 254000 bytes (4097 bytes/s)"
static std::string relayEnded(const Endpoint& host, const Endpoint& joiner, double seconds, uint64_t bytes) {
    char line[160];
    snprintf(line, sizeof line, "relay ended: %s and %s, %.1f s, %llu bytes (%.0f bytes/s)", endText(host).c_str(),
             endText(joiner).c_str(), seconds, (unsigned long long)bytes, seconds > 0 ? double(bytes) / seconds : 0.0);
    return line;
}

void Lobby::expire(uint64_t now, std::vector<std::string>& ended) {
    for (auto h = byCode.begin(); h != byCode.end();) {
        if (now - h->second.seen < HOST_KEPT_MS) {
            ++h;
            continue;
        }
        codeOfHost.erase(h->second.id);
        h = byCode.erase(h);
    }
    std::vector<uint64_t> gone;
    for (const auto& e : byToken) {
        const Session& s = e.second;
        if (s.stage == RELAYING ? now - s.heard < RELAY_SILENCE_MS : now - s.began < MEETING_KEPT_MS) continue;
        gone.push_back(e.first);
        if (s.stage == RELAYING) ended.push_back(relayEnded(s.host, s.joiner, double(s.heard - s.relayedSince) / 1000.0, s.bytes));
    }
    for (uint64_t t : gone) dropSession(t);
}
