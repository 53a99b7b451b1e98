// lobbyload.cpp: a crowd for korvado_lobby, from one socket that speaks for many loopback addresses (each of its
// datagrams carries the address it leaves from, and says which one an answer came to), so that no address's rate
// limit or cap throttles it:
//   lobbyload relay LOBBY PORT PAIRS SECONDS RATE BYTES [PID]   pairs (hosts on 127.20.x.y, joiners on 127.21.x.y)
//       register, meet and take the relay, then each end sends RATE datagrams of BYTES a second through it for
//       SECONDS; prints the sessions held, the datagrams forwarded a second, the delay through the relay (median,
//       99th percentile, from the send to the kernel's arrival stamp), the losses (ours and the kernel's UDP
//       receive-buffer errors), and with the lobby's PID its CPU per forwarded datagram and its memory
//   lobbyload floor PORT PAIRS SECONDS RATE BYTES   the same traffic through a bare relay of its own on 127.0.0.1:PORT
//       (a thread that only reads datagrams in batches and sends each to its pair's other end, as the lobby's
//       sockets do): the kernel's share of a forwarded datagram on this machine, which no lobby goes below
//   lobbyload hosts LOBBY PORT HOSTS [PID]   hosts, 8 on each address from 127.64.0.1 on, register; prints how
//       many got a code and the lobby's memory
#include "net/lobbywire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

Endpoint lobby;
int sock = -1;
std::mt19937_64 rng(20261209);
const int BATCH = 64;

uint32_t ipOf(const char* dotted) {
    in_addr a{};
    if (inet_pton(AF_INET, dotted, &a) != 1) fprintf(stderr, "lobbyload: not an address: %s\n", dotted), exit(2);
    return ntohl(a.s_addr);
}

double nowUs() {
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);  // the clock of the kernel's arrival stamps
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

// One socket on an ephemeral port of every address: it tells each datagram's destination and arrival time.
void openSocket() {
    sock = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    int on = 1, size = 8 << 20;
    setsockopt(sock, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    setsockopt(sock, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    setsockopt(sock, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) == 0 ||
        setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    if (sock < 0 || bind(sock, (sockaddr*)&a, sizeof a) != 0) perror("lobbyload: socket"), exit(1);
}

struct Datagram {
    uint32_t from;  // our address it leaves from
    std::vector<uint8_t> data;
};

// Sends a batch, each datagram from its own address, to the lobby; with `stampAt`, each group of `group` gets the
// time it leaves at that offset, just before it goes.
void sendAll(std::vector<Datagram>& batch, size_t stampAt = 0, size_t group = BATCH) {
    sockaddr_in to{};
    to.sin_family = AF_INET, to.sin_addr.s_addr = htonl(lobby.ip), to.sin_port = htons(lobby.port);
    for (size_t at = 0; at < batch.size(); at += group) {
        mmsghdr msgs[BATCH]{};
        iovec iov[BATCH];
        alignas(cmsghdr) char ctl[BATCH][CMSG_SPACE(sizeof(in_pktinfo))];
        unsigned n = unsigned(std::min(batch.size() - at, group));
        double now = nowUs();
        for (unsigned i = 0; i < n; i++) {
            if (stampAt) memcpy(batch[at + i].data.data() + stampAt, &now, sizeof now);
            iov[i] = iovec{batch[at + i].data.data(), batch[at + i].data.size()};
            msghdr& h = msgs[i].msg_hdr;
            h.msg_name = &to, h.msg_namelen = sizeof to, h.msg_iov = &iov[i], h.msg_iovlen = 1;
            h.msg_control = ctl[i], h.msg_controllen = sizeof ctl[i];
            cmsghdr* c = CMSG_FIRSTHDR(&h);
            c->cmsg_level = IPPROTO_IP, c->cmsg_type = IP_PKTINFO, c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
            in_pktinfo info{};
            info.ipi_spec_dst.s_addr = htonl(batch[at + i].from);
            memcpy(CMSG_DATA(c), &info, sizeof info);
        }
        for (unsigned sent = 0; sent < n;) {
            int k = sendmmsg(sock, msgs + sent, n - sent, 0);
            if (k > 0) sent += unsigned(k);
            else if (errno == EAGAIN || errno == ENOBUFS) poll(nullptr, 0, 1);
            else perror("lobbyload: sendmmsg"), exit(1);
        }
    }
    batch.clear();
}

struct Arrival {
    uint32_t to;     // our address it came to
    double atUs;     // the kernel's stamp
    size_t n;
    uint8_t data[2048];
};

// What waits on the socket, up to BATCH datagrams; their count.
int receiveSome(Arrival* got) {
    mmsghdr msgs[BATCH]{};
    iovec iov[BATCH];
    alignas(cmsghdr) static char ctl[BATCH][256];
    for (int i = 0; i < BATCH; i++) {
        iov[i] = iovec{got[i].data, sizeof got[i].data};
        msgs[i].msg_hdr.msg_iov = &iov[i], msgs[i].msg_hdr.msg_iovlen = 1;
        msgs[i].msg_hdr.msg_control = ctl[i], msgs[i].msg_hdr.msg_controllen = sizeof ctl[i];
    }
    int n = recvmmsg(sock, msgs, BATCH, MSG_DONTWAIT, nullptr);
    for (int i = 0; i < n; i++) {
        got[i].n = msgs[i].msg_len, got[i].to = 0, got[i].atUs = nowUs();
        for (cmsghdr* c = CMSG_FIRSTHDR(&msgs[i].msg_hdr); c; c = CMSG_NXTHDR(&msgs[i].msg_hdr, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
                got[i].to = ntohl(reinterpret_cast<in_pktinfo*>(CMSG_DATA(c))->ipi_addr.s_addr);
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec t;
                memcpy(&t, CMSG_DATA(c), sizeof t);
                got[i].atUs = double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
            }
        }
    }
    return n < 0 ? 0 : n;
}

Datagram message(uint32_t from, const LobbyMsg& m) { return Datagram{from, encodeLobby(m)}; }

// ---- the lobby's process, seen from outside ----

// The process's CPU seconds: in its own code (user) and in the kernel's on its behalf (system).
struct CpuTimes {
    double user = 0, system = 0;
};

CpuTimes cpuSeconds(long pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::istringstream in(s.substr(s.rfind(')') + 2));
    std::string field;
    CpuTimes t;
    for (int i = 3; i <= 15 && in >> field; i++)
        if (i >= 14) (i == 14 ? t.user : t.system) = atof(field.c_str()) / double(sysconf(_SC_CLK_TCK));
    return t;
}

long statusKb(long pid, const char* key) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string name;
    long kb = 0;
    while (f >> name)
        if (name == key && f >> kb) return kb;
    return 0;
}

long udpReceiveErrors() {
    std::ifstream f("/proc/net/snmp");
    std::string head, values;
    while (std::getline(f, head) && std::getline(f, values)) {
        if (head.compare(0, 4, "Udp:") != 0) continue;
        std::istringstream h(head), v(values);
        std::string name, value;
        while (h >> name && v >> value)
            if (name == "RcvbufErrors") return atol(value.c_str());
    }
    return 0;
}

// ---- meetings ----

struct Pair {
    uint32_t hostIp, joinerIp, code = 0;
    uint64_t hostId, joinerId, cookie = 0, token = 0;
    bool coded = false, peered = false, relayed = false;
};

std::vector<Pair> pairs;
uint32_t hostBase, joinerBase;

// The lobby's answer to one of our hosts or joiners, answered as korvado_net would.
void hear(const Arrival& a, std::vector<Datagram>& out) {
    LobbyMsg m, next;
    if (!decodeLobby(a.data, a.n, m)) return;
    bool host = a.to - hostBase < pairs.size(), joiner = a.to - joinerBase < pairs.size();
    Pair& p = pairs[host ? a.to - hostBase : joiner ? a.to - joinerBase : 0];
    if (!host && !joiner) return;
    if (host && m.kind == LOBBY_CODE) p.code = m.code, p.coded = true;
    if (host && m.kind == LOBBY_PEER) next.kind = LOBBY_READY, next.token = m.token, out.push_back(message(p.hostIp, next));
    if (joiner && m.kind == LOBBY_WAIT && m.token != p.cookie) {
        p.cookie = m.token;
        next.kind = LOBBY_JOIN, next.code = p.code, next.id = p.joinerId, next.token = m.token;
        out.push_back(message(p.joinerIp, next));
    }
    if (joiner && m.kind == LOBBY_PEER && !p.peered) {
        p.peered = true, p.token = m.token;
        next.kind = LOBBY_RELAY, next.token = m.token;
        out.push_back(message(p.joinerIp, next));
    }
    if (joiner && m.kind == LOBBY_RELAYING) p.relayed = true;
}

// Everything the lobby says until it has been quiet `ms`, answered.
void converse(int ms) {
    static Arrival got[BATCH];
    std::vector<Datagram> out;
    pollfd p{sock, POLLIN, 0};
    while (poll(&p, 1, ms) > 0) {
        for (int n; (n = receiveSome(got)) > 0;)
            for (int i = 0; i < n; i++) hear(got[i], out);
        sendAll(out);
    }
}

// Requests in bursts the lobby's socket holds, each followed by the answers.
void inBursts(std::vector<Datagram>& requests) {
    for (size_t at = 0; at < requests.size(); at += 256) {
        std::vector<Datagram> burst(requests.begin() + long(at), requests.begin() + long(std::min(at + 256, requests.size())));
        sendAll(burst);
        converse(5);
    }
    requests.clear();
    converse(300);
}

size_t meet(long count) {
    hostBase = ipOf("127.20.0.1"), joinerBase = ipOf("127.21.0.1");
    std::vector<Datagram> requests;
    for (long i = 0; i < count; i++) {
        Pair p;
        p.hostIp = hostBase + uint32_t(i), p.joinerIp = joinerBase + uint32_t(i), p.hostId = rng(), p.joinerId = rng();
        pairs.push_back(p);
        LobbyMsg m;
        m.kind = LOBBY_HOST, m.id = p.hostId;
        requests.push_back(message(p.hostIp, m));
    }
    inBursts(requests);
    for (const Pair& p : pairs) {
        LobbyMsg m;
        m.kind = LOBBY_JOIN, m.code = p.code, m.id = p.joinerId;
        if (p.coded) requests.push_back(message(p.joinerIp, m));
    }
    inBursts(requests);
    return size_t(std::count_if(pairs.begin(), pairs.end(), [](const Pair& p) { return p.relayed; }));
}

// ---- traffic ----

struct Stamp {  // a relayed datagram's first bytes
    uint32_t pair, seq;
    uint8_t side;
    double sentUs;
};

struct Traffic {
    std::vector<float> delays;
    long sent = 0, received = 0;
};

void take(const Arrival& a, Traffic& t) {
    Stamp s;
    if (a.n < sizeof s) return;
    memcpy(&s, a.data, sizeof s);
    t.received++;
    t.delays.push_back(float(a.atUs - s.sentUs));
}

// Every relayed end sends `rate` datagrams of `bytes` a second for `seconds`, spread evenly over the ends.
void run(const std::vector<size_t>& on, double seconds, double rate, size_t bytes, Traffic& t) {
    static Arrival got[BATCH];
    size_t ends = 2 * on.size();
    double period = 1e6 / rate, start = nowUs(), end = start + seconds * 1e6;
    std::vector<long> sent(ends, 0);
    std::vector<Datagram> batch;
    for (double now = start; now < end + 300000; now = nowUs()) {
        for (size_t e = 0; e < ends && now < end; e++) {
            long due = long((now - start) / period + double(e) / double(ends));
            for (; sent[e] < due; sent[e]++) {
                const Pair& pr = pairs[on[e / 2]];
                Stamp s{uint32_t(on[e / 2]), uint32_t(sent[e]), uint8_t(e & 1), 0};
                Datagram d{e & 1 ? pr.joinerIp : pr.hostIp, std::vector<uint8_t>(std::max(bytes, sizeof s), 0)};
                memcpy(d.data.data(), &s, sizeof s);
                batch.push_back(std::move(d));
                t.sent++;
            }
        }
        sendAll(batch, offsetof(Stamp, sentUs), 8);  // stamped as they leave, a few at a time
        // A sleep, not a wait on the socket: the lobby's sends would pay for waking us up, as no network card
        // makes them pay (the kernel's arrival stamps keep the delays exact).
        timespec nap{0, 200000};
        nanosleep(&nap, nullptr);
        for (int n; (n = receiveSome(got)) > 0;)
            for (int i = 0; i < n; i++) take(got[i], t);
    }
}

double quantile(std::vector<float>& v, double q) {
    if (v.empty()) return 0;
    size_t k = size_t(q * double(v.size() - 1));
    std::nth_element(v.begin(), v.begin() + long(k), v.end());
    return v[k];
}

double perDatagram(double seconds, long datagrams) { return datagrams ? seconds * 1e6 / double(datagrams) : 0.0; }

int relay(long count, double seconds, double rate, size_t bytes, long pid) {
    openSocket();
    size_t held = meet(count);
    std::vector<size_t> on;
    for (size_t i = 0; i < pairs.size(); i++)
        if (pairs[i].relayed) on.push_back(i);
    Traffic t;
    long errors = udpReceiveErrors();
    CpuTimes before = pid ? cpuSeconds(pid) : CpuTimes{};
    rusage ours0, ours1;
    getrusage(RUSAGE_SELF, &ours0);
    run(on, seconds, rate, bytes, t);
    getrusage(RUSAGE_SELF, &ours1);
    CpuTimes after = pid ? cpuSeconds(pid) : CpuTimes{};
    double user = after.user - before.user, cpu = user + after.system - before.system;
    errors = udpReceiveErrors() - errors;
    double mine = double(ours1.ru_utime.tv_sec - ours0.ru_utime.tv_sec + ours1.ru_stime.tv_sec - ours0.ru_stime.tv_sec) +
                  double(ours1.ru_utime.tv_usec - ours0.ru_utime.tv_usec + ours1.ru_stime.tv_usec - ours0.ru_stime.tv_usec) / 1e6;
    printf("load: %zu relayed sessions of %ld asked; %.0f datagrams forwarded a second (%ld sent, %ld lost, %ld kernel "
           "receive-buffer errors); delay through the relay median %.0f us, 99th percentile %.0f us",
           held, count, double(t.received) / seconds, t.sent, t.sent - t.received, errors, quantile(t.delays, 0.5),
           quantile(t.delays, 0.99));
    if (pid)
        printf("; lobby CPU %.2f us a forwarded datagram (%.2f s; its own code %.2f us, the kernel's on its behalf %.2f us), "
               "memory %ld kB (peak %ld kB)", perDatagram(cpu, t.received), cpu, perDatagram(user, t.received),
               perDatagram(cpu - user, t.received), statusKb(pid, "VmRSS:"), statusKb(pid, "VmHWM:"));
    printf("; this generator's CPU %.1f s\n", mine);
    return held == size_t(count) ? 0 : 1;
}

// ---- the floor ----

// The bare relay: a datagram from a host's address goes to his joiner's, and back, from the port's one socket, with
// the lobby's batches and gathering sleep.
void bareRelay(int fd, const std::atomic<bool>& stop) {
    static uint8_t bufs[BATCH][2048];
    while (!stop) {
        mmsghdr msgs[BATCH]{};
        sockaddr_in peer[BATCH];
        iovec iov[BATCH];
        for (int i = 0; i < BATCH; i++) {
            iov[i] = iovec{bufs[i], sizeof bufs[i]};
            msgs[i].msg_hdr.msg_name = &peer[i], msgs[i].msg_hdr.msg_namelen = sizeof peer[i];
            msgs[i].msg_hdr.msg_iov = &iov[i], msgs[i].msg_hdr.msg_iovlen = 1;
        }
        int n = recvmmsg(fd, msgs, BATCH, MSG_DONTWAIT, nullptr);
        for (int i = 0; i < n; i++) {
            uint32_t ip = ntohl(peer[i].sin_addr.s_addr);
            peer[i].sin_addr.s_addr = htonl(ip - hostBase < pairs.size() ? ip - hostBase + joinerBase : ip - joinerBase + hostBase);
            iov[i].iov_len = msgs[i].msg_len;
        }
        for (int sent = 0; sent < n;) {
            int k = sendmmsg(fd, msgs + sent, unsigned(n - sent), 0);
            if (k <= 0) break;
            sent += k;
        }
        timespec gather{0, n == BATCH ? 0 : 100000};
        nanosleep(&gather, nullptr);
    }
}

double threadCpu(pthread_t t) {
    clockid_t c;
    timespec ts{};
    if (pthread_getcpuclockid(t, &c) == 0) clock_gettime(c, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

int floorRelay(uint16_t port, long count, double seconds, double rate, size_t bytes) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0), size = 4 << 20, dontFragment = IP_PMTUDISC_DO;  // as the lobby's
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    setsockopt(fd, IPPROTO_IP, IP_MTU_DISCOVER, &dontFragment, sizeof dontFragment);
    sockaddr_in at{};
    at.sin_family = AF_INET, at.sin_addr.s_addr = htonl(INADDR_LOOPBACK), at.sin_port = htons(port);
    if (fd < 0 || bind(fd, (sockaddr*)&at, sizeof at) != 0) perror("lobbyload: floor's port"), exit(1);
    openSocket();
    hostBase = ipOf("127.20.0.1"), joinerBase = ipOf("127.21.0.1");
    std::vector<size_t> on;
    for (long i = 0; i < count; i++) {
        pairs.push_back(Pair{hostBase + uint32_t(i), joinerBase + uint32_t(i), 0, 0, 0});
        on.push_back(size_t(i));
    }
    std::atomic<bool> stop{false};
    std::thread relayThread(bareRelay, fd, std::cref(stop));
    Traffic t;
    double before = threadCpu(relayThread.native_handle());
    run(on, seconds, rate, bytes, t);
    double cpu = threadCpu(relayThread.native_handle()) - before;
    stop = true;
    relayThread.join();
    printf("floor: %.0f datagrams forwarded a second (%ld lost) by a bare relay; its CPU %.2f us a forwarded datagram\n",
           double(t.received) / seconds, t.sent - t.received, perDatagram(cpu, t.received));
    return 0;
}

// ---- hosts ----

int hosts(long count, long pid) {
    openSocket();
    hostBase = ipOf("127.64.0.1");
    std::vector<Datagram> requests;
    std::vector<uint32_t> codes;
    long coded = 0;
    static Arrival got[BATCH];
    for (long i = 0; i < count; i++) {
        LobbyMsg m;
        m.kind = LOBBY_HOST, m.id = rng();
        requests.push_back(message(hostBase + uint32_t(i / 8), m));
        if (requests.size() < 256 && i + 1 < count) continue;
        sendAll(requests);
        pollfd p{sock, POLLIN, 0};
        for (int wait = 5; poll(&p, 1, wait) > 0; wait = i + 1 < count ? 5 : 300)
            for (int n; (n = receiveSome(got)) > 0;)
                for (int k = 0; k < n; k++) {
                    LobbyMsg a;
                    coded += decodeLobby(got[k].data, got[k].n, a) && a.kind == LOBBY_CODE;
                }
    }
    printf("hosts: %ld registered of %ld", coded, count);
    if (pid) printf("; lobby memory %ld kB (peak %ld kB)", statusKb(pid, "VmRSS:"), statusKb(pid, "VmHWM:"));
    printf("\n");
    return coded == count ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::string mode = argc > 3 ? argv[1] : "";
    if (mode == "floor") lobby = Endpoint{ipOf("127.0.0.1"), uint16_t(atoi(argv[2]))};
    else if (argc > 3) lobby = Endpoint{ipOf(argv[2]), uint16_t(atoi(argv[3]))};
    if (mode == "relay" && (argc == 8 || argc == 9))
        return relay(atol(argv[4]), atof(argv[5]), atof(argv[6]), size_t(atol(argv[7])), argc == 9 ? atol(argv[8]) : 0);
    if (mode == "floor" && argc == 7)
        return floorRelay(uint16_t(atoi(argv[2])), atol(argv[3]), atof(argv[4]), atof(argv[5]), size_t(atol(argv[6])));
    if (mode == "hosts" && (argc == 5 || argc == 6)) return hosts(atol(argv[4]), argc == 6 ? atol(argv[5]) : 0);
    fprintf(stderr, "usage: lobbyload relay|hosts LOBBY PORT ... (see the source)\n");
    return 2;
}
