// metrics.cpp: a scrape is any HTTP request on the metrics port: the figures in Prometheus' text format, then the
// connection closes. The main loop serves them between its other work, never waiting on a slow or silent one.
#include "lobby/metrics.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "lobby/udp.h"

namespace {

const size_t MAX_SCRAPES = 8, REQUEST_MAX = 8192;
const uint64_t SCRAPE_MS = 5000;  // a scraper sends its request at once and reads the page as fast

void figure(std::string& page, const char* name, const char* type, const char* help, double value,
            const char* labels = "") {
    char line[512];
    if (!*labels || !strstr(page.c_str(), name)) {
        snprintf(line, sizeof line, "# HELP korvado_lobby_%s %s\n# TYPE korvado_lobby_%s %s\n", name, help, name, type);
        page += line;
    }
    snprintf(line, sizeof line, "korvado_lobby_%s%s %.0f\n", name, labels, value);
    page += line;
}

}  // namespace

std::string metricsText(Lobby& lobby, const LobbyLimits& lim, size_t webConnections, int threads) {
    auto held = lobby.hold();
    const LobbyCounts& c = lobby.counts();
    std::string p;
    figure(p, "hosts", "gauge", "Hosts holding an invite code.", double(lobby.hosts()));
    figure(p, "hosts_max", "gauge", "The cap on hosts (--max-hosts).", double(lim.maxHosts));
    figure(p, "sessions", "gauge", "Meetings and relayed sessions.", double(lobby.sessions()));
    figure(p, "sessions_max", "gauge", "The cap on sessions (--max-sessions).", double(lim.maxSessions));
    figure(p, "relays", "gauge", "Sessions the lobby relays.", double(lobby.relays()));
    figure(p, "web_connections", "gauge", "WebSocket connections open.", double(webConnections));
    figure(p, "datagrams_received_total", "counter", "Lobby datagrams and relayed ones received.", double(c.datagrams));
    figure(p, "forwarded_datagrams_total", "counter", "Datagrams relayed between two players.", double(c.relayedDatagrams));
    figure(p, "forwarded_bytes_total", "counter", "Bytes of UDP payload relayed.", double(c.relayedBytes));
    const char* reasons[] = {"", "no_code", "busy", "full", "no_relay"};
    for (int r = REFUSE_NO_CODE; r <= REFUSE_NO_RELAY; r++) {
        std::string label = std::string("{reason=\"") + reasons[r] + "\"}";
        figure(p, "refusals_total", "counter", "Requests refused, by the reason told.", double(c.refusedFor[r]), label.c_str());
    }
    figure(p, "dropped_total", "counter", "Datagrams dropped unanswered, by reason.", double(c.malformed), "{reason=\"malformed\"}");
    figure(p, "dropped_total", "counter", "", double(c.limited), "{reason=\"rate\"}");
    figure(p, "dropped_total", "counter", "", double(c.relayDropped), "{reason=\"relay_cap\"}");
    for (int t = 0; t < threads; t++) {
        std::string label = "{thread=\"" + std::to_string(t) + "\"}";
        figure(p, "thread_datagrams_total", "counter", "Datagrams taken by each thread's socket.", double(threadDatagrams(t)),
               label.c_str());
    }
    return p;
}

Metrics::~Metrics() {
    for (const Scrape& s : scrapes) close(s.fd);
    if (listener >= 0) close(listener);
}

bool Metrics::open(const std::string& where) {
    size_t colon = where.rfind(':');
    in_addr ip{};
    long port = colon == std::string::npos ? 0 : strtol(where.c_str() + colon + 1, nullptr, 10);
    bool ok = colon != std::string::npos && inet_pton(AF_INET, where.substr(0, colon).c_str(), &ip) == 1 && port > 0 &&
              port < 65536;
    listener = ok ? socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0) : -1;
    int on = 1;
    sockaddr_in at{};
    at.sin_family = AF_INET, at.sin_addr = ip, at.sin_port = htons(uint16_t(port));
    if (listener >= 0) setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (listener >= 0 && bind(listener, (sockaddr*)&at, sizeof at) == 0 && listen(listener, 16) == 0) return true;
    fprintf(stderr, "korvado_lobby: cannot serve metrics on %s%s%s\n", where.c_str(), ok ? ": " : " (ADDR:PORT)",
            ok ? strerror(errno) : "");
    return false;
}

void Metrics::serve(uint64_t nowMs) {
    admit(nowMs);
    for (size_t i = 0; i < scrapes.size();) {
        if (nowMs - scrapes[i].since < SCRAPE_MS && step(scrapes[i])) {
            i++;
            continue;
        }
        close(scrapes[i].fd);
        scrapes.erase(scrapes.begin() + long(i));
    }
}

// The connections waiting on the listener; when there are too many, the oldest goes.
void Metrics::admit(uint64_t nowMs) {
    for (int fd; listener >= 0 && (fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
        if (scrapes.size() >= MAX_SCRAPES) close(scrapes.front().fd), scrapes.erase(scrapes.begin());
        scrapes.push_back(Scrape{fd, nowMs, "", "", 0});
    }
}

// Reads what has come of the request; once its head is in (or it is too long), sends what the socket takes of
// the answer.
bool Metrics::step(Scrape& s) {
    char buf[1024];
    while (s.answer.empty() && s.request.find("\r\n\r\n") == std::string::npos && s.request.size() < REQUEST_MAX) {
        ssize_t n = read(s.fd, buf, sizeof buf);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
        if (n <= 0) return false;
        s.request.append(buf, size_t(n));
    }
    if (s.answer.empty()) s.answer = page(s.request);
    while (s.sent < s.answer.size()) {
        ssize_t n = send(s.fd, s.answer.data() + s.sent, s.answer.size() - s.sent, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
        if (n <= 0) return false;
        s.sent += size_t(n);
    }
    return false;
}

std::string Metrics::page(const std::string& req) {
    std::string body = metricsText(lobby, lim, doors.webConnections(), threads);
    bool get = req.compare(0, 4, "GET ") == 0 || req.compare(0, 5, "HEAD ") == 0;
    std::string head = std::string(get ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 405 Method Not Allowed\r\n") +
                       "Content-Type: text/plain; version=0.0.4\r\nConnection: close\r\nContent-Length: " +
                       std::to_string(get ? body.size() : 0) + "\r\n\r\n";
    return get && req.compare(0, 5, "HEAD ") != 0 ? head + body : head;
}
