// lobbyflood.cpp: a lobby's visitors made up, for the lobby's tests and its benchmark:
//   lobbyflood flood LOBBY PORT SECONDS SOURCE...  garbage, damaged datagrams and made-up codes from each source
//                                                 address; prints what went out and what came back
//   lobbyflood fill LOBBY PORT HOSTS JOINERS       hosts (four for each address, from 127.0.1.x on) and joiners
//                                                 (127.0.2.x on) who meet and ask for the relay; prints how many
//                                                 got each and were refused, then waits for SIGTERM
//   lobbyflood relay LOBBY PORT ROUNDS             a relayed pair on 127.0.3.1 and .2: round trips through the
//                                                 relay and directly, median and 99th percentile in microseconds;
//                                                 then a burst of 100 datagrams of 1,000 bytes: how many passed
//   lobbyflood web LOBBY PORT WEBPORT              the web port's WebSockets: a page host and a desktop joiner, two
//                                                 pages, relayed while another client sends garbage frames; an
//                                                 oversized or text message closes its connection; the cap of
//                                                 connections from one address; a STUN binding answered;
//                                                 a silent connection closed after 30 s, a pinging one kept
//   lobbyflood sockets LOBBY WEBPORT N             N WebSockets held open, 16 from each address from 127.0.20.1
//                                                 on, each pinging every 10 s; prints how many, waits for SIGTERM
#include "net/lobbywire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <random>
#include <string>
#include <vector>

namespace {

Endpoint lobby;
std::mt19937_64 rng(20261208);

struct Sock {
    int fd;
    Endpoint at;
};

uint32_t ipOf(const char* dotted) {
    in_addr a{};
    if (inet_pton(AF_INET, dotted, &a) != 1) fprintf(stderr, "lobbyflood: not an address: %s\n", dotted), exit(2);
    return ntohl(a.s_addr);
}

Sock openFrom(uint32_t ip) {
    Sock s{socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0), Endpoint{ip, 0}};
    sockaddr_in a{};
    socklen_t len = sizeof a;
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ip);
    if (s.fd < 0 || bind(s.fd, (sockaddr*)&a, sizeof a) != 0) perror("lobbyflood: bind"), exit(1);
    getsockname(s.fd, (sockaddr*)&a, &len);
    s.at.port = ntohs(a.sin_port);
    return s;
}

void sendRaw(const Sock& s, const Endpoint& to, const std::vector<uint8_t>& d) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(to.ip);
    a.sin_port = htons(to.port);
    sendto(s.fd, d.data(), d.size(), 0, (sockaddr*)&a, sizeof a);
}

void sendMsg(const Sock& s, const LobbyMsg& m) { sendRaw(s, lobby, encodeLobby(m)); }

// One datagram waiting on the socket, its size and sender; -1 when none.
long receive(const Sock& s, std::vector<uint8_t>& d, Endpoint* from = nullptr) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    d.resize(2048);
    long n = recvfrom(s.fd, d.data(), d.size(), 0, (sockaddr*)&a, &len);
    if (n >= 0) d.resize(size_t(n));
    if (from) *from = Endpoint{ntohl(a.sin_addr.s_addr), ntohs(a.sin_port)};
    return n;
}

// Waits up to `ms` for any of the sockets; false when nothing came.
bool await(const std::vector<Sock>& socks, int ms) {
    std::vector<pollfd> p;
    for (const Sock& s : socks) p.push_back(pollfd{s.fd, POLLIN, 0});
    return poll(p.data(), p.size(), ms) > 0;
}

double nowUs() {
    using namespace std::chrono;
    return duration<double, std::micro>(steady_clock::now().time_since_epoch()).count();
}

// ---- flood ----

std::vector<uint8_t> floodDatagram(long i) {
    std::vector<uint8_t> d;
    if (i % 3 == 0) {  // garbage of any size, some with the lobby's mark
        d.resize(1 + rng() % 300);
        for (uint8_t& b : d) b = uint8_t(rng());
        if (i % 2) d[0] = 0x4C;
    } else {  // a request for a made-up code; every other one damaged
        LobbyMsg m;
        m.kind = LOBBY_JOIN;
        m.code = uint32_t(rng() % CODE_COUNT);
        m.id = rng(), m.token = rng();
        d = encodeLobby(m);
        if (i % 3 == 2) d[rng() % d.size()] ^= uint8_t(1 + rng() % 255);
    }
    return d;
}

struct Tally {
    long sent = 0, sentBytes = 0, answers = 0, answerBytes = 0, noCode = 0;
};

void countAnswers(const std::vector<Sock>& socks, Tally& t) {
    std::vector<uint8_t> d;
    LobbyMsg m;
    for (const Sock& s : socks)
        while (receive(s, d) >= 0) {
            t.answers++, t.answerBytes += long(d.size());
            t.noCode += decodeLobby(d.data(), d.size(), m) && m.kind == LOBBY_REFUSE && m.reason == REFUSE_NO_CODE;
        }
}

// 2,500 datagrams a second, from each source in turn; the answers that come until 0.3 s after the last.
int flood(double seconds, const std::vector<uint32_t>& sources) {
    std::vector<Sock> socks;
    for (uint32_t ip : sources) socks.push_back(openFrom(ip));
    Tally t;
    double start = nowUs(), end = start + seconds * 1e6;
    while (nowUs() < end + 300000) {
        for (size_t k = 0; k < socks.size() && nowUs() < end; k++) {
            std::vector<uint8_t> g = floodDatagram(t.sent);
            sendRaw(socks[k], lobby, g);
            t.sent++, t.sentBytes += long(g.size());
        }
        while (nowUs() < start + double(t.sent) * 400) await(socks, 1);
        countAnswers(socks, t);
        if (nowUs() >= end) await(socks, 10);
    }
    printf("flood: sent %ld datagrams, %ld bytes; answered %ld datagrams, %ld bytes (%ld: no such code)\n", t.sent,
           t.sentBytes, t.answers, t.answerBytes, t.noCode);
    return 0;
}

// ---- fill ----

struct Filler {
    std::vector<Sock> hosts, joiners;
    std::vector<std::pair<size_t, uint32_t>> codes;  // the host socket and the code it was given
    std::vector<uint64_t> cookies;                    // each joiner's
    std::set<uint64_t> met, relays;                   // tokens
    long hostsFull = 0, refused[5] = {0, 0, 0, 0, 0};
};

void hostHears(Filler& f, size_t i, const LobbyMsg& m) {
    if (m.kind == LOBBY_CODE) f.codes.push_back({i, m.code});
    if (m.kind == LOBBY_REFUSE) f.hostsFull++;
    if (m.kind != LOBBY_PEER) return;
    LobbyMsg ready;
    ready.kind = LOBBY_READY;
    ready.token = m.token;
    sendMsg(f.hosts[i], ready);
}

// A new cookie is sent back with the request, the host's addresses bring the request for the relay.
void joinerHears(Filler& f, size_t i, const LobbyMsg& m, uint32_t code) {
    LobbyMsg next;
    if (m.kind == LOBBY_REFUSE) f.refused[m.reason]++;
    if (m.kind == LOBBY_RELAYING) f.relays.insert(m.token);
    if (m.kind == LOBBY_WAIT && m.token != f.cookies[i]) {
        f.cookies[i] = m.token;
        next.kind = LOBBY_JOIN, next.code = code, next.id = m.id, next.token = m.token;
        sendMsg(f.joiners[i], next);
    }
    if (m.kind == LOBBY_PEER && f.met.insert(m.token).second) {
        next.kind = LOBBY_RELAY, next.token = m.token;
        sendMsg(f.joiners[i], next);
    }
}

// Everything the lobby sends for `ms` after the last of it, answered as a host or a joiner would.
void converse(Filler& f, int ms) {
    std::vector<Sock> all = f.hosts;
    all.insert(all.end(), f.joiners.begin(), f.joiners.end());
    std::vector<uint8_t> d;
    LobbyMsg m;
    while (await(all, ms))
        for (size_t i = 0; i < all.size(); i++)
            while (receive(all[i], d) >= 0 && decodeLobby(d.data(), d.size(), m)) {
                if (i < f.hosts.size()) hostHears(f, i, m);
                else joinerHears(f, i - f.hosts.size(), m, f.codes[(i - f.hosts.size()) % f.codes.size()].second);
            }
}

volatile sig_atomic_t stop;

// Each host address's first code, then each one's second...: joiners in turn meet hosts at different addresses.
void spreadCodes(Filler& f) {
    std::map<size_t, int> rank;
    std::vector<std::pair<int, size_t>> order;
    for (size_t k = 0; k < f.codes.size(); k++) order.push_back({rank[f.codes[k].first]++, k});
    std::sort(order.begin(), order.end());
    std::vector<std::pair<size_t, uint32_t>> sorted;
    for (auto& o : order) sorted.push_back(f.codes[o.second]);
    f.codes = sorted;
}

void registerHosts(Filler& f, long hosts) {
    for (long i = 0; i < (hosts + 3) / 4; i++) f.hosts.push_back(openFrom(ipOf("127.0.1.0") + 1 + uint32_t(i)));
    for (long i = 0; i < hosts; i++) {
        LobbyMsg m;
        m.kind = LOBBY_HOST;
        m.id = rng();
        m.cands = {Candidate{CAND_LAN, Endpoint{ipOf("192.168.1.10"), 27415}}};
        sendMsg(f.hosts[size_t(i) / 4], m);
        if (i % 64 == 63) converse(f, 20);  // a burst no larger than the lobby's socket holds
    }
    converse(f, 300);
}

int fill(long hosts, long joiners) {
    Filler f;
    registerHosts(f, hosts);
    if (f.codes.empty()) return printf("fill: no host got a code\n"), 1;
    spreadCodes(f);
    for (long i = 0; i < joiners; i++) {
        f.joiners.push_back(openFrom(ipOf("127.0.2.0") + 1 + uint32_t(i)));
        f.cookies.push_back(0);
        LobbyMsg m;
        m.kind = LOBBY_JOIN;
        m.code = f.codes[size_t(i) % f.codes.size()].second;
        m.id = rng();
        sendMsg(f.joiners.back(), m);
        if (i % 64 == 63) converse(f, 20);  // as the hosts came: bursts the lobby's socket holds
    }
    converse(f, 500);
    printf("fill: hosts %zu, refused %ld; meetings %zu, refused %ld (full) %ld (busy); relays %zu\n", f.codes.size(),
           f.hostsFull, f.met.size(), f.refused[REFUSE_FULL], f.refused[REFUSE_BUSY], f.relays.size());
    fflush(stdout);
    signal(SIGTERM, [](int) { stop = 1; });
    while (!stop) pause();
    return 0;
}

// ---- relay ----

// The round trips of `rounds` datagrams from `a` to `to` and echoed by `b`, 10 ms apart (within the relay's cap
// on bytes), in microseconds, sorted; a lost one does not count.
std::vector<double> roundTrips(const Sock& a, const Sock& b, const Endpoint& to, int rounds) {
    std::vector<double> rtt;
    std::vector<uint8_t> ping(60, 0x5A), d;
    Endpoint from;
    for (int i = 0; i < rounds; i++) {
        double t = nowUs();
        sendRaw(a, to, ping);
        if (!await({b}, 500) || receive(b, d, &from) < 0) continue;
        sendRaw(b, from, d);
        if (!await({a}, 500) || receive(a, d) < 0) continue;
        rtt.push_back(nowUs() - t);
        usleep(10000);
    }
    if (rtt.empty()) fprintf(stderr, "lobbyflood: no round trip came back\n"), exit(1);
    std::sort(rtt.begin(), rtt.end());
    return rtt;
}

// 100 datagrams of 1,000 bytes from `a` through the relay at once: how many reached `b`.
int burst(const Sock& a, const Sock& b) {
    std::vector<uint8_t> big(1000, 0x42), d;
    for (int i = 0; i < 100; i++) sendRaw(a, lobby, big);
    int passed = 0;
    while (await({b}, 300))
        while (receive(b, d) >= 0) passed++;
    return passed;
}

// One message of `kind` for `s` (others are dropped), or a failure.
LobbyMsg expect(const Sock& s, LobbyKind kind) {
    std::vector<uint8_t> d;
    LobbyMsg m;
    while (await({s}, 5000))  // a busy machine may hold the lobby back a while
        if (receive(s, d) >= 0 && decodeLobby(d.data(), d.size(), m) && m.kind == kind) return m;
    fprintf(stderr, "lobbyflood: no answer of kind %d from the lobby\n", int(kind));
    exit(1);
}

int relay(int rounds) {
    Sock host = openFrom(ipOf("127.0.3.1")), joiner = openFrom(ipOf("127.0.3.2"));
    LobbyMsg m;
    m.kind = LOBBY_HOST, m.id = rng();
    sendMsg(host, m);
    uint32_t code = expect(host, LOBBY_CODE).code;
    m = LobbyMsg{}, m.kind = LOBBY_JOIN, m.code = code, m.id = rng();
    sendMsg(joiner, m);
    m.token = expect(joiner, LOBBY_WAIT).token;
    sendMsg(joiner, m);
    LobbyMsg ready;
    ready.kind = LOBBY_READY, ready.token = expect(host, LOBBY_PEER).token;
    sendMsg(host, ready);
    m = LobbyMsg{}, m.kind = LOBBY_RELAY, m.token = expect(joiner, LOBBY_PEER).token;
    sendMsg(joiner, m);
    expect(joiner, LOBBY_RELAYING);
    std::vector<double> through = roundTrips(joiner, host, lobby, rounds);
    std::vector<double> direct = roundTrips(joiner, host, host.at, rounds);
    auto at = [&](const std::vector<double>& v, double q) { return v[size_t(q * double(v.size() - 1))]; };
    printf("relay: round trip through the lobby median %.0f us, 99th percentile %.0f us; directly median %.0f us, "
           "99th percentile %.0f us\n", at(through, 0.5), at(through, 0.99), at(direct, 0.5), at(direct, 0.99));
    usleep(1100000);  // the relay's allowance fills up again
    printf("relay: a burst of 100 datagrams of 1000 bytes, %d passed\n", burst(joiner, host));
    return 0;
}


// ---- web ----

uint16_t webPort;

// A WebSocket to the lobby's web port from `from` (a loopback address), our subprotocol unless told another and
// the origin if any: its descriptor once the lobby took it (101), else -1.
int wsOpen(uint32_t from, const char* path = "/lobby", const char* proto = "korvado-lobby-1", const char* origin = "") {
    Sock s = openFrom(from);
    close(s.fd);
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET, a.sin_addr.s_addr = htonl(from);
    bind(fd, (sockaddr*)&a, sizeof a);
    a.sin_addr.s_addr = htonl(lobby.ip), a.sin_port = htons(webPort);
    if (connect(fd, (sockaddr*)&a, sizeof a) != 0) return close(fd), -1;
    std::string req = std::string("GET ") + path + " HTTP/1.1\r\nHost: lobby\r\nUpgrade: websocket\r\n"
                      "Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";
    if (*proto) req += std::string("Sec-WebSocket-Protocol: ") + proto + "\r\n";
    if (*origin) req += std::string("Origin: ") + origin + "\r\n";
    req += "\r\n";
    if (write(fd, req.data(), req.size()) != ssize_t(req.size())) return close(fd), -1;
    std::string head;
    char c;
    while (head.find("\r\n\r\n") == std::string::npos && await({Sock{fd, {}}}, 2000) && read(fd, &c, 1) == 1) head += c;
    if (head.compare(0, 12, "HTTP/1.1 101") == 0) return fd;
    return close(fd), -1;
}

// One frame from a client: masked (with a key of zeros, which leaves the bytes as they are).
void wsSend(int fd, const std::vector<uint8_t>& d, uint8_t opcode = 2) {
    std::vector<uint8_t> f{uint8_t(0x80 | opcode)};
    if (d.size() < 126) f.push_back(uint8_t(0x80 | d.size()));
    else f.insert(f.end(), {uint8_t(0x80 | 126), uint8_t(d.size() >> 8), uint8_t(d.size())});
    f.insert(f.end(), 4, 0);
    f.insert(f.end(), d.begin(), d.end());
    if (write(fd, f.data(), f.size()) != ssize_t(f.size())) return;
}

bool readAll(int fd, uint8_t* p, size_t n) {
    for (size_t got = 0; got < n;) {
        if (!await({Sock{fd, {}}}, 5000)) return false;
        ssize_t k = read(fd, p + got, n - got);
        if (k <= 0) return false;
        got += size_t(k);
    }
    return true;
}

// The next frame's opcode and payload; -1 when the connection ended (or nothing came in 5 s).
int wsReceive(int fd, std::vector<uint8_t>& d) {
    uint8_t h[8];
    if (!readAll(fd, h, 2)) return -1;
    size_t n = h[1] & 0x7F;
    if (n == 126 && !readAll(fd, h + 2, 2)) return -1;
    if (n == 126) n = size_t(h[2]) << 8 | h[3];
    d.resize(n);
    return n && !readAll(fd, d.data(), n) ? -1 : h[0] & 0x0F;
}

// A player of either kind: a page (a WebSocket) or a desktop (a UDP socket).
struct Side {
    int ws;
    Sock udp;
};

void sideSend(const Side& s, const std::vector<uint8_t>& d) {
    if (s.ws >= 0) wsSend(s.ws, d);
    else sendRaw(s.udp, lobby, d);
}

bool sideReceive(const Side& s, std::vector<uint8_t>& d) {
    if (s.ws >= 0) return wsReceive(s.ws, d) == 2;
    return await({s.udp}, 5000) && receive(s.udp, d) >= 0;
}

LobbyMsg sideExpect(const Side& s, LobbyKind kind) {
    std::vector<uint8_t> d;
    LobbyMsg m;
    while (sideReceive(s, d))
        if (decodeLobby(d.data(), d.size(), m) && m.kind == kind) return m;
    fprintf(stderr, "lobbyflood: no answer of kind %d to a %s\n", int(kind), s.ws >= 0 ? "page" : "desktop");
    exit(1);
}

// The host's code, the joiner's meeting and the relay, as korvado_net and a page go through them.
uint32_t meet(const Side& host, const Side& joiner) {
    LobbyMsg m;
    m.kind = LOBBY_HOST, m.id = rng();
    sideSend(host, encodeLobby(m));
    LobbyMsg given = sideExpect(host, LOBBY_CODE);
    uint32_t code = given.code;
    m = LobbyMsg{}, m.kind = LOBBY_JOIN, m.code = code, m.id = rng();
    sideSend(joiner, encodeLobby(m));
    m.token = sideExpect(joiner, LOBBY_WAIT).token;
    sideSend(joiner, encodeLobby(m));
    LobbyMsg ready, toHost = sideExpect(host, LOBBY_PEER);
    ready.kind = LOBBY_READY, ready.token = toHost.token;
    sideSend(host, encodeLobby(ready));
    LobbyMsg toJoiner = sideExpect(joiner, LOBBY_PEER);
    m = LobbyMsg{}, m.kind = LOBBY_RELAY, m.token = toJoiner.token;
    sideSend(joiner, encodeLobby(m));
    sideExpect(joiner, LOBBY_RELAYING);
    bool told = given.web == webPort && toHost.web == webPort && toJoiner.web == webPort &&
                toHost.page == (joiner.ws >= 0) && toJoiner.page == (host.ws >= 0) &&
                (toJoiner.page ? toJoiner.cands.empty() : !toJoiner.cands.empty());
    if (!told) fprintf(stderr, "lobbyflood: the lobby did not tell its web port or who is a page\n"), exit(1);
    return code;
}

// Datagrams of a session both ways through the relay, 10 ms apart: how many came back whole.
int exchange(const Side& a, const Side& b, int rounds) {
    int whole = 0;
    std::vector<uint8_t> d;
    for (int i = 0; i < rounds; i++) {
        std::vector<uint8_t> ping(40 + i % 20, uint8_t(i));
        sideSend(a, ping);
        if (!sideReceive(b, d) || d != ping) continue;
        sideSend(b, d);
        whole += sideReceive(a, d) && d == ping;
        usleep(10000);
    }
    return whole;
}

// True when the lobby closes the connection (its close frame or the end of the stream) within 5 s.
bool closedByLobby(int fd) {
    uint8_t b[2048];
    bool closed = false;
    for (ssize_t k; !closed && await({Sock{fd, {}}}, 5000);) closed = (k = read(fd, b, sizeof b)) <= 0 || b[0] == 0x88;
    close(fd);
    return closed;
}

void check(bool ok, const char* what) {
    printf("web: %s: %s\n", what, ok ? "yes" : "NO");
    if (!ok) exit(1);
}

// A STUN binding request from a UDP socket: the answer names the socket's own address.
bool stunAnswered() {
    Sock s = openFrom(ipOf("127.0.6.1"));
    std::vector<uint8_t> req{0, 1, 0, 0, 0x21, 0x12, 0xA4, 0x42}, d;
    for (int i = 0; i < 12; i++) req.push_back(uint8_t(rng()));
    sendRaw(s, lobby, req);
    if (!await({s}, 2000) || receive(s, d) != 32 || d[0] != 1 || d[1] != 1) return false;
    uint32_t ip = (uint32_t(d[28]) << 24 | uint32_t(d[29]) << 16 | uint32_t(d[30]) << 8 | d[31]) ^ 0x2112A442u;
    uint16_t port = uint16_t((d[26] << 8 | d[27]) ^ 0x2112);
    return std::equal(req.begin() + 8, req.end(), d.begin() + 8) && ip == s.at.ip && port == s.at.port;
}

// Garbage frames, an oversized message, a text message: each closes its own connection and nothing else.
void misbehave() {
    int g = wsOpen(ipOf("127.0.4.1"));
    std::vector<uint8_t> junk(64);
    for (uint8_t& b : junk) b = uint8_t(rng());
    junk[0] = 0x83, junk[1] = 0x80 | 58;  // a frame of an opcode no one defined, garbage in it
    if (write(g, junk.data(), junk.size()) != ssize_t(junk.size())) {}
    check(closedByLobby(g), "garbage frames close their connection");
    int big = wsOpen(ipOf("127.0.4.2"));
    wsSend(big, std::vector<uint8_t>(1024, 0));
    LobbyMsg m;
    m.kind = LOBBY_HOST, m.id = rng();
    wsSend(big, encodeLobby(m));
    check(sideExpect(Side{big, {}}, LOBBY_CODE).id == m.id, "a message of 1 kB taken");
    wsSend(big, std::vector<uint8_t>(1025, 0));
    check(closedByLobby(big), "a message over 1 kB closes its connection");
    int text = wsOpen(ipOf("127.0.4.3"));
    wsSend(text, {'h', 'i'}, 1);
    check(closedByLobby(text), "a text message closes its connection");
}

// A connection silent for 30 s is closed; one that pings every 5 s is kept and still answered.
void idle(int silent, int pinger, double opened) {
    while (nowUs() < opened + 31e6) wsSend(pinger, {}), usleep(useconds_t(std::min(5e6, opened + 31e6 - nowUs())));
    check(closedByLobby(silent), "a connection silent for 30 s closed");
    LobbyMsg m;
    m.kind = LOBBY_HOST, m.id = rng();
    wsSend(pinger, encodeLobby(m));
    check(sideExpect(Side{pinger, {}}, LOBBY_CODE).id == m.id, "a pinging one kept and answered");
}

int web(uint16_t port) {
    webPort = port;
    int silent = wsOpen(ipOf("127.0.7.1")), pinger = wsOpen(ipOf("127.0.7.2"));
    double opened = nowUs();
    Side page{wsOpen(ipOf("127.0.3.1")), {}}, desk{-1, openFrom(ipOf("127.0.3.2"))};
    Side one{wsOpen(ipOf("127.0.3.3")), {}}, two{wsOpen(ipOf("127.0.3.4")), {}};
    check(page.ws >= 0 && one.ws >= 0 && two.ws >= 0, "WebSockets of our subprotocol taken");
    printf("web: a page hosts (%s), a desktop joins by its code\n", codeText(meet(page, desk), false).c_str());
    check(exchange(desk, page, 50) >= 48, "the page and the desktop relayed (48 of 50 datagrams at least)");
    meet(one, two);
    misbehave();
    check(exchange(one, two, 50) >= 48, "two pages relayed after the garbage (48 of 50 at least)");
    check(wsOpen(ipOf("127.0.4.4"), "/lobby", "") < 0 && wsOpen(ipOf("127.0.4.4"), "/lobby", "chat") < 0 &&
          wsOpen(ipOf("127.0.4.4"), "/other") < 0, "a WebSocket without our subprotocol or off /lobby refused");
    check(wsOpen(ipOf("127.0.4.5"), "/lobby", "korvado-lobby-1", "http://elsewhere.example") < 0 &&
          wsOpen(ipOf("127.0.4.5"), "/lobby", "korvado-lobby-1", "http://lobby") >= 0, "another site's page refused, the site's own taken");
    std::vector<int> many;
    for (int i = 0; i < 17; i++) many.push_back(wsOpen(ipOf("127.0.5.1")));
    check(std::count(many.begin(), many.end(), -1) == 1 && many.back() == -1, "16 WebSockets from one address, not 17");
    check(stunAnswered(), "a STUN binding request answered with its own address");
    idle(silent, pinger, opened);
    return 0;
}

// N WebSockets open at once, for the lobby's memory.
int sockets(int n) {
    std::vector<int> open;
    for (int i = 0; i < n; i++) {
        int fd = wsOpen(ipOf("127.0.20.0") + uint32_t(i / 16 * 256 + 1 + i % 16));
        if (fd >= 0) open.push_back(fd);
    }
    printf("sockets: %zu open\n", open.size());
    fflush(stdout);
    signal(SIGTERM, [](int) { stop = 1; });
    while (!stop) {
        for (int fd : open) wsSend(fd, {});
        sleep(10);
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::string mode = argc > 3 ? argv[1] : "";
    if (argc > 3) lobby = Endpoint{ipOf(argv[2]), uint16_t(atoi(argv[3]))};
    if (mode == "flood" && argc > 5) {
        std::vector<uint32_t> sources;
        for (int i = 5; i < argc; i++) sources.push_back(ipOf(argv[i]));
        return flood(atof(argv[4]), sources);
    }
    if (mode == "fill" && argc == 6) return fill(atol(argv[4]), atol(argv[5]));
    if (mode == "relay" && argc == 5) return relay(atoi(argv[4]));
    if (mode == "web" && argc == 5) return web(uint16_t(atoi(argv[4])));
    if (mode == "sockets" && argc == 5) return webPort = uint16_t(atoi(argv[3])), sockets(atoi(argv[4]));
    fprintf(stderr, "usage: lobbyflood flood|fill|relay|web|sockets LOBBY PORT ... (see the source)\n");
    return 2;
}
