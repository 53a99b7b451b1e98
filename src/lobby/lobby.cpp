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
const size_t BUCKETS = 4096;             // the rate limit's table, by source address
const size_t COOKIE_SETS = 16384, COOKIE_WAYS = 4;  // joiners asking at once share a set only when 5 come together

size_t slotOf(uint64_t key) { return size_t((key * 0x9E3779B97F4A7C15ull) >> 52) & (BUCKETS - 1); }
size_t cookieSet(uint64_t key) { return COOKIE_WAYS * (size_t((key * 0x9E3779B97F4A7C15ull) >> 40) & (COOKIE_SETS - 1)); }

// A joiner's request, as a key of the meetings' table: his address, his id and the code he asked for.
uint64_t meetingKey(const Endpoint& joiner, uint64_t id, uint32_t code) {
    return (packEndpoint(joiner) * 0x9E3779B97F4A7C15ull) ^ (id + code * 0xC2B2AE3D27D4EB4Full);
}

// A time that lies ahead (the clock went back) counts as now.
uint64_t since(uint64_t now, uint64_t then) { return now > then ? now - then : 0; }

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
    : lim(limits), buckets(BUCKETS, Bucket{0, 0, 0}), cookies(COOKIE_SETS * COOKIE_WAYS, Cookie{0, 0, 0}),
      draws(seed ? seed : std::random_device{}()) {
    byToken.reserve(lim.maxSessions);
    meetings.reserve(lim.maxSessions);
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
    auto held = hold();
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
    if (now < s.heard) s.heard = now;  // a clock that went back
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
    tally.refused++, tally.refusedFor[why]++;
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
// A host he does not know who says which code a lobby gave him (this one before a restart, or another at the same
// address) gets it back when nobody holds it: the invites he sent still work.
void Lobby::onHost(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out) {
    auto known = codeOfHost.find(m.id);
    uint32_t code = known == codeOfHost.end() ? 0 : known->second;
    uint64_t asked = 0;
    if (known == codeOfHost.end()) {
        auto here = hostsAt.find(from.ip);
        if (byCode.size() >= lim.maxHosts || (here != hostsAt.end() && here->second >= lim.hostsPerAddress))
            return refuse(from, 0, REFUSE_FULL, out);
        code = m.known && !byCode.count(m.code) ? m.code : newCode();
        codeOfHost[m.id] = code;
        hostQueue.push(Due{now + HOST_KEPT_MS, m.id, code});
    } else {
        asked = byCode[code].asked;
        forgetHost(code);  // his address may have changed
    }
    placeHost(code, Host{m.id, from, m.busy != 0, ownCandidates(m.cands, true), now, asked});
    LobbyMsg ok;
    ok.kind = LOBBY_CODE;
    ok.id = m.id;
    ok.code = code;
    ok.seen = from;
    ok.web = lim.webPort;
    ok.udp = lim.udpPort;
    out.push_back(Outgoing{from, encode(ok)});
}

void Lobby::placeHost(uint32_t code, const Host& h) {
    byCode[code] = h;
    hostsAt[h.at.ip]++;
}

void Lobby::forgetHost(uint32_t code) {
    auto h = byCode.find(code);
    if (h == byCode.end()) return;
    auto here = hostsAt.find(h->second.at.ip);
    if (here != hostsAt.end() && --here->second == 0) hostsAt.erase(here);
    byCode.erase(h);
}

// A joiner proves that he receives at his address before a host is involved (or a forged request would have
// hosts punch at its victim): his first request gets a cookie, which he sends back.
// His address's place in a set of four: its own, else the oldest (a joiner pushed out asks again).
bool Lobby::proven(const Endpoint& from, uint64_t cookie, uint64_t now, uint64_t& current) {
    uint64_t at = packEndpoint(from);
    Cookie* set = &cookies[cookieSet(at)];
    Cookie* c = set;
    for (size_t i = 0; i < COOKIE_WAYS && c->at != at; i++)
        if (set[i].at == at || set[i].made < c->made) c = &set[i];
    if (c->at != at || now - c->made >= COOKIE_MS || now < c->made) *c = Cookie{at, draws() | 1, now};
    current = c->value;
    return cookie == c->value;
}

// Playing, or a meeting arranged with him just now, before his refresh says he is busy.
bool Lobby::hostBusy(const Host& h, uint64_t now) const {
    return h.busy || (h.asked && since(now, h.asked) < ASKED_BUSY_MS);
}

// The meeting a joiner's request belongs to (its token), or 0.
uint64_t Lobby::meetingOf(const Endpoint& joiner, const LobbyMsg& join) const {
    auto m = meetings.find(meetingKey(joiner, join.id, join.code));
    if (m == meetings.end()) return 0;
    auto s = byToken.find(m->second);
    if (s == byToken.end() || s->second.code != join.code || s->second.joinerId != join.id || s->second.joiner != joiner)
        return 0;
    return m->second;
}

uint64_t Lobby::arrange(const Endpoint& joiner, const LobbyMsg& join, const Endpoint& host, uint64_t now) {
    uint64_t token = newToken();
    Session& s = byToken[token];
    s = Session{};
    s.code = join.code, s.joinerId = join.id, s.host = host, s.joiner = joiner;
    s.hostPage = webEnd(host), s.joinerPage = webEnd(joiner);
    s.joinerCands = ownCandidates(join.cands, false);
    s.joinerCands.push_back(Candidate{CAND_PUBLIC, joiner});
    s.stage = ASKED, s.began = s.heard = now;
    meetings[meetingKey(joiner, join.id, join.code)] = token;
    byCode[join.code].asked = now | 1;
    return token;
}

// PEER to the host: the token and the joiner's addresses (his public one as the lobby sees it, last).
void Lobby::tellHost(uint64_t token, const Session& s, std::vector<Outgoing>& out) {
    LobbyMsg peer;
    peer.kind = LOBBY_PEER;
    peer.token = token;
    peer.web = lim.webPort;
    peer.udp = lim.udpPort;
    peer.page = webEnd(s.joiner) ? (s.joinerPage ? 1 : 2) : 0;
    if (!peer.page) peer.cands = s.joinerCands;
    out.push_back(Outgoing{s.host, encode(peer)});
}

void Lobby::tellJoiner(uint64_t token, const Session& s, std::vector<Outgoing>& out) {
    auto h = byCode.find(s.code);
    LobbyMsg peer;
    peer.kind = LOBBY_PEER;
    peer.token = token;
    peer.web = lim.webPort;
    peer.udp = lim.udpPort;
    peer.page = webEnd(s.host) ? (s.hostPage ? 1 : 2) : 0;  // a desktop that took over his end is no page
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
        if (hostBusy(h->second, now)) return refuse(from, m.code, REFUSE_BUSY, out);
        if (byToken.size() >= lim.maxSessions) return refuse(from, m.code, REFUSE_FULL, out);
        token = arrange(from, m, h->second.at, now);
    }
    if (token) tellHost(token, byToken[token], out);
    out.push_back(Outgoing{from, encode(wait)});
}

// A desktop whose rival is a page meets him on the lobby's WebSocket: a WebSocket that shows the session's
// token takes over the end of a side whose end was UDP, until the relay is on (never afterwards, and never one
// WebSocket from another).
bool Lobby::takeOver(const Endpoint& from, Endpoint& end, const Session& s) const {
    if (end == from) return true;
    if (!webEnd(from) || webEnd(end) || s.stage == RELAYING) return false;
    end = from;
    return true;
}

// The host punches too: the joiner hears where to punch, and the host's address is the relay's end.
void Lobby::onReady(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out) {
    auto s = byToken.find(m.token);
    if (s == byToken.end() || !takeOver(from, s->second.host, s->second)) return void(tally.malformed++);
    if (s->second.stage == ASKED) s->second.stage = READY, s->second.heard = now;
    if (s->second.stage == READY) tellJoiner(m.token, s->second, out);
}

// The joiner found no way through: from now on the lobby passes the pair's datagrams on.
void Lobby::onRelay(const Endpoint& from, const LobbyMsg& m, uint64_t now, std::vector<Outgoing>& out) {
    auto found = byToken.find(m.token);
    if (found == byToken.end() || found->second.stage == ASKED) return void(tally.malformed++);
    Session& s = found->second;
    Endpoint was = s.joiner;
    if (!takeOver(from, s.joiner, s)) return void(tally.malformed++);
    if (s.joiner != was) {  // his meeting is found by his end
        meetings.erase(meetingKey(was, s.joinerId, s.code));
        meetings[meetingKey(s.joiner, s.joinerId, s.code)] = m.token;
    }
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
    auto m = meetings.find(meetingKey(s.joiner, s.joinerId, s.code));
    if (m != meetings.end() && m->second == token) meetings.erase(m);
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

// Hosts from the front of their queue, those due only: one who refreshed goes back in at his new time.
void Lobby::expireHosts(uint64_t now) {
    while (!hostQueue.empty() && hostQueue.top().at <= now) {
        Due d = hostQueue.top();
        hostQueue.pop();
        auto h = byCode.find(d.code);
        if (h == byCode.end() || h->second.id != d.id) continue;
        if (h->second.seen + HOST_KEPT_MS > now) {
            hostQueue.push(Due{h->second.seen + HOST_KEPT_MS, d.id, d.code});
            continue;
        }
        codeOfHost.erase(d.id);
        forgetHost(d.code);
    }
}

void Lobby::expire(uint64_t now, std::vector<std::string>& ended) {
    auto held = hold();
    expireHosts(now);
    std::vector<uint64_t> gone;
    for (const auto& e : byToken) {
        const Session& s = e.second;
        if (s.stage == RELAYING ? since(now, s.heard) < RELAY_SILENCE_MS : since(now, s.began) < MEETING_KEPT_MS) continue;
        gone.push_back(e.first);
        if (s.stage == RELAYING) ended.push_back(relayEnded(s.host, s.joiner, double(s.heard - s.relayedSince) / 1000.0, s.bytes));
    }
    for (uint64_t t : gone) dropSession(t);
}
