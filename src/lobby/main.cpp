// main.cpp: korvado_lobby, the server that gives korvado_net hosts invite codes: one UDP port, one thread, no files.
#include "lobby/lobby.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static volatile sig_atomic_t stopping, reporting;

static const char USAGE[] = "usage: korvado_lobby [--port PORT] [--max-sessions N] [--no-relay]\n";

static void help() {
    printf("%s"
           "KORVADO 2.2 lobby: invite codes for korvado_net hosts, and a relay for the players whose routers keep\n"
           "them apart.\n\n"
           "  --port PORT        the UDP port (default %u)\n"
           "  --max-sessions N   meetings and relayed sessions at once (default 256); hosts: four times as many\n"
           "  --no-relay         arrange meetings only, never carry a session\n"
           "  --help, --version\n\n"
           "SIGUSR1 prints what it holds and has done on stderr; SIGTERM or SIGINT ends it.\n",
           USAGE, LOBBY_PORT);
}

// A whole number from `lo` to `hi`, digits only.
static bool readNumber(const char* s, long lo, long hi, long& n) {
    if (!*s || strlen(s) > 9 || strspn(s, "0123456789") != strlen(s)) return false;
    n = strtol(s, nullptr, 10);
    return n >= lo && n <= hi;
}

// The options; -1 to go on, else the exit status.
static int readOptions(int argc, char* argv[], uint16_t& port, LobbyLimits& lim) {
    for (int i = 1; i < argc; i++) {
        long n = 0;
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) return help(), 0;
        if (strcmp(argv[i], "--version") == 0) return printf("KORVADO 2.2 lobby, protocol %u\n", LOBBY_PROTOCOL), 0;
        if (strcmp(argv[i], "--no-relay") == 0) {
            lim.relay = false;
        } else if (strcmp(argv[i], "--port") == 0 && i + 1 < argc && readNumber(argv[i + 1], 1, 65535, n)) {
            port = uint16_t(n), i++;
        } else if (strcmp(argv[i], "--max-sessions") == 0 && i + 1 < argc && readNumber(argv[i + 1], 1, 1000000, n)) {
            lim.maxSessions = size_t(n), lim.maxHosts = 4 * size_t(n), i++;
        } else {
            fprintf(stderr, "%s(korvado_lobby --help tells more)\n", USAGE);
            return 2;
        }
    }
    return -1;
}

static int openSocket(uint16_t port) {
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    at.sin_port = htons(port);
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0) return s;
    fprintf(stderr, "korvado_lobby: cannot use UDP port %u: %s\n", port, strerror(errno));
    if (s >= 0) close(s);
    return -1;
}

static uint64_t nowMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

static void report(const Lobby& lobby, const LobbyLimits& lim) {
    const LobbyCounts& c = lobby.counts();
    fprintf(stderr,
            "korvado_lobby: %zu hosts of %zu, %zu sessions of %zu, %zu relayed; %llu datagrams in: %llu malformed, "
            "%llu over the rate, %llu refused; relayed %llu datagrams, %llu bytes, %llu over the cap\n",
            lobby.hosts(), lim.maxHosts, lobby.sessions(), lim.maxSessions, lobby.relays(),
            (unsigned long long)c.datagrams, (unsigned long long)c.malformed, (unsigned long long)c.limited,
            (unsigned long long)c.refused, (unsigned long long)c.relayedDatagrams, (unsigned long long)c.relayedBytes,
            (unsigned long long)c.relayDropped);
}

// Every datagram waiting on the socket, and what the lobby sends for each.
static void drain(int sock, Lobby& lobby) {
    static uint8_t buf[2048];
    std::vector<Outgoing> out;
    for (int i = 0; i < 256; i++) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(sock, buf, sizeof buf, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return;
        if (size_t(n) > sizeof buf) continue;  // larger than any datagram of a game: not ours
        out.clear();
        lobby.receive(Endpoint{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)}, buf, size_t(n), nowMs(), out);
        for (const Outgoing& o : out) {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = htonl(o.to.ip);
            to.sin_port = htons(o.to.port);
            sendto(sock, o.data.data(), o.data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        }
    }
}

static void expire(Lobby& lobby, uint64_t now) {
    std::vector<std::string> ended;
    lobby.expire(now, ended);
    for (const std::string& line : ended) fprintf(stderr, "korvado_lobby: %s\n", line.c_str());
}

static void onSignal(int sig) { (sig == SIGUSR1 ? reporting : stopping) = 1; }

static void catchSignals() {
    struct sigaction sa {};
    sa.sa_handler = onSignal;  // no SA_RESTART: poll returns at once
    for (int sig : {SIGTERM, SIGINT, SIGUSR1}) sigaction(sig, &sa, nullptr);
}

// Datagrams as they come, what has gone quiet twice a second, until a signal ends it.
static void serve(int sock, const LobbyLimits& lim) {
    Lobby lobby(lim);
    uint64_t lastExpiry = nowMs();
    while (!stopping) {
        pollfd p{sock, POLLIN, 0};
        if (poll(&p, 1, 500) > 0) drain(sock, lobby);
        if (reporting) reporting = 0, report(lobby, lim);
        if (nowMs() - lastExpiry >= 500) lastExpiry = nowMs(), expire(lobby, lastExpiry);
    }
    report(lobby, lim);
    expire(lobby, nowMs() + 24 * 3600 * 1000ull);  // the relays still on end here, and are told
}

int main(int argc, char* argv[]) {
    uint16_t port = LOBBY_PORT;
    LobbyLimits lim;
    int status = readOptions(argc, argv, port, lim);
    if (status >= 0) return status;
    int sock = openSocket(port);
    if (sock < 0) return 1;
    catchSignals();
    fprintf(stderr, "korvado_lobby: on UDP port %u, at most %zu hosts and %zu sessions, %s\n", port, lim.maxHosts,
            lim.maxSessions, lim.relay ? "relaying when punching fails" : "no relay");
    serve(sock, lim);
    close(sock);
    return 0;
}
