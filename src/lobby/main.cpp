// main.cpp: korvado_lobby, the server that gives korvado_net hosts invite codes: one UDP port, a web port if asked,
// a thread for each core.
#include "lobby/lobby.h"
#include "lobby/metrics.h"
#include "lobby/udp.h"
#include "lobby/web.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

static volatile sig_atomic_t stopping, reporting;

static const char USAGE[] =
    "usage: korvado_lobby [--port PORT] [--address IP] [--max-sessions N] [--max-hosts N] [--no-relay]\n"
    "                     [--threads N] [--metrics ADDR:PORT]\n"
    "                     [--web PORT [--site DIR] [--tls-cert FILE --tls-key FILE] [--allow-origin ORIGIN]...]\n";

static void help() {
    printf("%s"
           "KORVADO 2.2 lobby: invite codes for korvado_net hosts and pages, and a relay for the players whose\n"
           "routers keep them apart.\n\n"
           "  --port PORT          the UDP port (default %u); it answers STUN binding requests too\n"
           "  --address IP         listen on this address only (default: all of them)\n"
           "  --max-sessions N     meetings and relayed sessions at once (default 256)\n"
           "  --max-hosts N        hosts with an invite code at once (default: four times --max-sessions)\n"
           "  --no-relay           arrange meetings only, never carry a session\n"
           "  --threads N          threads on the UDP port (default: one for each core)\n"
           "  --metrics ADDR:PORT  Prometheus' text format over HTTP there (as 127.0.0.1:9416)\n"
           "  --web PORT           a TCP port for the pages: WebSocket on /lobby (subprotocol " LOBBY_WS_PROTOCOL ")\n"
           "  --site DIR           serve the files of DIR on the web port (GET and HEAD)\n"
           "  --tls-cert FILE, --tls-key FILE   https and wss on the web port\n"
           "  --allow-origin URL   pages of this origin (as https://example.org) may connect besides the site's own\n"
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

// An option of the web side with its value; false when `arg` is none of them.
static bool readWebOption(const char* arg, const char* value, WebOptions& web) {
    long n = 0;
    in_addr a{};
    if (strcmp(arg, "--web") == 0 && readNumber(value, 1, 65535, n)) web.port = uint16_t(n);
    else if (strcmp(arg, "--address") == 0 && inet_pton(AF_INET, value, &a) == 1) web.address = value;
    else if (strcmp(arg, "--site") == 0) web.site = value;
    else if (strcmp(arg, "--tls-cert") == 0) web.cert = value;
    else if (strcmp(arg, "--tls-key") == 0) web.key = value;
    else if (strcmp(arg, "--allow-origin") == 0) web.origins.push_back(value);
    else return false;
    return true;
}

// The options; -1 to go on, else the exit status.
struct Options {
    int threads = int(std::thread::hardware_concurrency());
    std::string metrics;
};

static int readOptions(int argc, char* argv[], uint16_t& port, LobbyLimits& lim, WebOptions& web, Options& more) {
    bool hostsGiven = false;
    for (int i = 1; i < argc; i++) {
        long n = 0;
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) return help(), 0;
        if (strcmp(argv[i], "--version") == 0) return printf("KORVADO 2.2 lobby, protocol %u\n", LOBBY_PROTOCOL), 0;
        if (strcmp(argv[i], "--no-relay") == 0) {
            lim.relay = false;
        } else if (strcmp(argv[i], "--port") == 0 && i + 1 < argc && readNumber(argv[i + 1], 1, 65535, n)) {
            port = uint16_t(n), i++;
        } else if (strcmp(argv[i], "--max-sessions") == 0 && i + 1 < argc && readNumber(argv[i + 1], 1, 1000000, n)) {
            lim.maxSessions = size_t(n), i++;
            if (!hostsGiven) lim.maxHosts = 4 * size_t(n);
        } else if (strcmp(argv[i], "--max-hosts") == 0 && i + 1 < argc && readNumber(argv[i + 1], 1, 10000000, n)) {
            lim.maxHosts = size_t(n), hostsGiven = true, i++;
        } else if (strcmp(argv[i], "--threads") == 0 && i + 1 < argc && readNumber(argv[i + 1], 1, MAX_THREADS, n)) {
            more.threads = int(n), i++;
        } else if (strcmp(argv[i], "--metrics") == 0 && i + 1 < argc) {
            more.metrics = argv[++i];
        } else if (i + 1 < argc && readWebOption(argv[i], argv[i + 1], web)) {
            i++;
        } else {
            fprintf(stderr, "%s(korvado_lobby --help tells more)\n", USAGE);
            return 2;
        }
    }
    bool half = web.cert.empty() != web.key.empty(), orphan = !web.port && (!web.site.empty() || !web.cert.empty());
    if (!half && !orphan) return -1;
    fprintf(stderr, "korvado_lobby: %s\n", half ? "--tls-cert and --tls-key go together" : "--site and TLS need --web");
    return 2;
}

static uint64_t nowMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

static void report(Lobby& lobby, const LobbyLimits& lim, const Doors& doors) {
    auto held = lobby.hold();
    const LobbyCounts& c = lobby.counts();
    fprintf(stderr,
            "korvado_lobby: %zu hosts of %zu, %zu sessions of %zu, %zu relayed; %llu datagrams in: %llu malformed, "
            "%llu over the rate, %llu refused; relayed %llu datagrams, %llu bytes, %llu over the cap%s\n",
            lobby.hosts(), lim.maxHosts, lobby.sessions(), lim.maxSessions, lobby.relays(),
            (unsigned long long)c.datagrams, (unsigned long long)c.malformed, (unsigned long long)c.limited,
            (unsigned long long)c.refused, (unsigned long long)c.relayedDatagrams, (unsigned long long)c.relayedBytes,
            (unsigned long long)c.relayDropped, doors.report().c_str());
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

// The first line, once every port is open (a test waits for it).
static void started(uint16_t port, size_t threads, const LobbyLimits& lim, const WebOptions& web) {
    char webText[64] = "";
    if (web.port) snprintf(webText, sizeof webText, ", web on TCP port %u%s", web.port, web.cert.empty() ? "" : " (TLS)");
    fprintf(stderr, "korvado_lobby: on UDP port %u%s, %zu threads, at most %zu hosts and %zu sessions, %s\n", port,
            webText, threads, lim.maxHosts, lim.maxSessions, lim.relay ? "relaying when punching fails" : "no relay");
}

// Datagrams and web messages as they come, what has gone quiet twice a second, until a signal ends it; the other
// sockets of the port in threads of their own.
static int serve(const std::vector<int>& socks, uint16_t port, const LobbyLimits& lim, const WebOptions& web,
                 const Options& more) {
    Lobby lobby(lim);
    Doors doors(lobby, socks[0]);
    Metrics metrics(lobby, lim, doors, int(socks.size()));
    if ((web.port && !doors.openWeb(web)) || (!more.metrics.empty() && !metrics.open(more.metrics))) return 1;
    std::atomic<bool> done(false);
    std::vector<std::thread> threads;
    sigset_t signals, before;
    sigemptyset(&signals);
    for (int sig : {SIGTERM, SIGINT, SIGUSR1}) sigaddset(&signals, sig);
    pthread_sigmask(SIG_BLOCK, &signals, &before);  // the signals come to this thread alone
    setUdpThreads(int(socks.size()));
    for (size_t i = 1; i < socks.size(); i++)
        threads.emplace_back(serveUdp, socks[i], int(i), std::ref(lobby), std::cref(done));
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    started(port, socks.size(), lim, web);
    uint64_t lastExpiry = nowMs();
    while (!stopping) {
        doors.service();
        metrics.serve(nowMs());
        if (reporting) reporting = 0, report(lobby, lim, doors);
        if (nowMs() - lastExpiry < 500) continue;
        lastExpiry = nowMs();
        expire(lobby, lastExpiry);
        doors.tick(lastExpiry);
    }
    done = true;
    for (std::thread& t : threads) t.join();
    report(lobby, lim, doors);
    expire(lobby, nowMs() + 24 * 3600 * 1000ull);  // the relays still on end here, and are told
    return 0;
}

int main(int argc, char* argv[]) {
    uint16_t port = LOBBY_PORT;
    LobbyLimits lim;
    WebOptions web;
    Options more;
    int status = readOptions(argc, argv, port, lim, web, more);
    if (status >= 0) return status;
    lim.webPort = web.port;
    lim.udpPort = port;
    std::vector<int> socks = openUdpPort(port, std::max(more.threads, 1), web.address);
    if (socks.empty()) return 1;
    catchSignals();
    status = serve(socks, port, lim, web, more);
    for (int s : socks) close(s);
    return status;
}
