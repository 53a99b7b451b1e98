// udp.cpp: korvado_lobby's UDP sockets: shared by the threads, read with recvmmsg and written with sendmmsg.
#include "lobby/udp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "lobby/stun.h"
#include "lobby/web.h"

namespace {

const unsigned BATCH = 64;
const int BUFFER_BYTES = 4 << 20;  // a burst of a few thousand datagrams waits here (within net.core.rmem_max)
// After a batch that was not full, the thread lets the next ones gather this long (for each thread on the port)
// before it looks again: a wake-up per datagram cost the lobby more than the datagram itself under load, and a
// relayed datagram waits no more. With N threads each sees a share of the traffic, and waits N times as long for
// a batch as large as one thread's, up to a limit that keeps a game's datagrams prompt on a machine of many cores.
const long GATHER_NS = 100000, GATHER_MOST_NS = 400000;
std::atomic<long> gatherNs{GATHER_NS};

std::atomic<uint64_t> taken[MAX_THREADS];

uint64_t nowMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int openOne(uint16_t port, bool shared, const std::string& address) {
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0), on = 1, bytes = BUFFER_BYTES;
    if (s < 0) return -1;
    if (shared) setsockopt(s, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
    int dontFragment = IP_PMTUDISC_DO;  // a game's datagrams are small; and the kernel draws no IP id for each
    setsockopt(s, IPPROTO_IP, IP_MTU_DISCOVER, &dontFragment, sizeof dontFragment);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    at.sin_port = htons(port);
    if (!address.empty() && inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1) return close(s), -1;
    if (bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0) return s;
    close(s);
    return -1;
}

// The batch's answers: UDP ones out of `fd` at once (all of the port's sockets send from it), pages' to `web`.
void sendBatch(int fd, std::vector<Outgoing>& out, std::vector<Outgoing>& web) {
    mmsghdr msgs[BATCH];
    sockaddr_in to[BATCH];
    iovec iov[BATCH];
    unsigned n = 0;
    auto flush = [&] {
        for (unsigned sent = 0; sent < n;) {
            int k = sendmmsg(fd, msgs + sent, n - sent, 0);
            if (k <= 0) break;  // a full buffer drops the rest, as a single sendto would
            sent += unsigned(k);
        }
        n = 0;
    };
    for (Outgoing& o : out) {
        if (webEnd(o.to)) {
            web.push_back(std::move(o));
            continue;
        }
        to[n] = sockaddr_in{};
        to[n].sin_family = AF_INET, to[n].sin_addr.s_addr = htonl(o.to.ip), to[n].sin_port = htons(o.to.port);
        iov[n] = iovec{o.data.data(), o.data.size()};
        msgs[n] = mmsghdr{};
        msgs[n].msg_hdr.msg_name = &to[n], msgs[n].msg_hdr.msg_namelen = sizeof to[n];
        msgs[n].msg_hdr.msg_iov = &iov[n], msgs[n].msg_hdr.msg_iovlen = 1;
        if (++n == BATCH) flush();
    }
    flush();
    out.clear();
}

// One datagram of a batch, under the lobby's lock.
void take(Lobby& lobby, const Endpoint& at, const uint8_t* data, size_t n, uint64_t now, std::vector<Outgoing>& out,
          std::vector<uint8_t>& stun) {
    if (!lobby.relayEnd(at) && stunBindingAnswer(data, n, at, stun)) {
        if (lobby.admit(at.ip, now)) out.push_back(Outgoing{at, stun});
        return;
    }
    lobby.receive(at, data, n, now, out);
}

}  // namespace

std::vector<int> openUdpPort(uint16_t port, int count, const std::string& address) {
    std::vector<int> socks;
    int probe = count > 1 ? openOne(port, false, address) : -1;  // another program's shared sockets would take our datagrams
    if (count > 1 && probe >= 0) close(probe);
    for (int i = 0; i < count && (count == 1 || probe >= 0); i++) {
        int s = openOne(port, count > 1, address);
        if (s < 0) break;
        socks.push_back(s);
    }
    if (int(socks.size()) == count) return socks;
    fprintf(stderr, "korvado_lobby: cannot use UDP port %u: %s\n", port, strerror(errno));
    for (int s : socks) close(s);
    return {};
}

void setUdpThreads(int count) { gatherNs = std::min(GATHER_NS * std::max(count, 1), GATHER_MOST_NS); }

uint64_t threadDatagrams(int thread) { return taken[thread].load(std::memory_order_relaxed); }

void drainUdp(int fd, Lobby& lobby, std::vector<Outgoing>& web, int thread) {
    static thread_local uint8_t bufs[BATCH][2048];
    static thread_local std::vector<Outgoing> out;
    std::vector<uint8_t> stun;
    for (int round = 0; round < 64; round++) {  // then the web side and the clock get their turn
        mmsghdr msgs[BATCH];
        sockaddr_in from[BATCH];
        iovec iov[BATCH];
        for (unsigned i = 0; i < BATCH; i++) {
            iov[i] = iovec{bufs[i], sizeof bufs[i]};
            msgs[i] = mmsghdr{};
            msgs[i].msg_hdr.msg_name = &from[i], msgs[i].msg_hdr.msg_namelen = sizeof from[i];
            msgs[i].msg_hdr.msg_iov = &iov[i], msgs[i].msg_hdr.msg_iovlen = 1;
        }
        int n = recvmmsg(fd, msgs, BATCH, MSG_DONTWAIT, nullptr);
        if (n <= 0) return;
        taken[thread].fetch_add(uint64_t(n), std::memory_order_relaxed);
        uint64_t now = nowMs();
        {
            auto held = lobby.hold();
            for (int i = 0; i < n; i++) {
                if (msgs[i].msg_hdr.msg_flags & MSG_TRUNC) continue;  // larger than any datagram of a game: not ours
                Endpoint at{ntohl(from[i].sin_addr.s_addr), ntohs(from[i].sin_port)};
                take(lobby, at, bufs[i], msgs[i].msg_len, now, out, stun);
            }
        }
        sendBatch(fd, out, web);
        if (unsigned(n) == BATCH) continue;
        timespec gather{0, gatherNs.load(std::memory_order_relaxed)};
        nanosleep(&gather, nullptr);
    }
}

void WebMail::post(std::vector<Outgoing>& batch) {
    if (batch.empty()) return;
    std::lock_guard<std::mutex> held(guard);
    for (Outgoing& o : batch) waiting.push_back(std::move(o));
    batch.clear();
    if (wake) wake();
}

std::vector<Outgoing> WebMail::take() {
    std::lock_guard<std::mutex> held(guard);
    std::vector<Outgoing> all;
    all.swap(waiting);
    return all;
}

WebMail& webMail() {
    static WebMail mail;
    return mail;
}

void serveUdp(int fd, int thread, Lobby& lobby, const std::atomic<bool>& stop) {
    std::vector<Outgoing> web;
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 200) > 0) drainUdp(fd, lobby, web, thread);
        webMail().post(web);
    }
}
