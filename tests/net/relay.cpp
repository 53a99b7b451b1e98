// relay.cpp: a UDP relay for the network tests: it passes datagrams between a joiner and a host on this
// machine, late (a delay and a random extra, so that some overtake others) and not always (a share is lost).
//   relay LISTEN_PORT HOST_PORT DELAY_MS JITTER_MS LOSS_PERCENT SEED
// The joiner sends to LISTEN_PORT; the host listens on HOST_PORT. On SIGTERM or SIGINT it prints what it
// carried each way (UDP payload: add 28 bytes of IPv4 and UDP headers a datagram for the wire) and ends.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <queue>
#include <random>
#include <vector>

namespace {

struct Held {
    double due;  // ms on the steady clock
    int towardsHost;
    std::vector<unsigned char> data;
    bool operator<(const Held& o) const { return due > o.due; }  // earliest first
};

struct Way {
    long datagrams = 0, bytes = 0, dropped = 0;
    double first = -1, last = 0;  // ms: the first and the last datagram passed on
    long second = -1, inSecond = 0, peak = 0;  // bytes in the busiest whole second since the first datagram
};

void count(Way& w, size_t n, double now) {
    if (w.first < 0) w.first = now;
    w.last = now;
    w.datagrams++, w.bytes += long(n);
    long s = long((now - w.first) / 1000);
    if (s != w.second) w.second = s, w.inSecond = 0;
    w.inSecond += long(n);
    if (w.inSecond > w.peak) w.peak = w.inSecond;
}

volatile sig_atomic_t stop;

double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

int udpSocket(int port) {
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    if (s < 0 || bind(s, (sockaddr*)&a, sizeof a) != 0) {
        perror("relay: bind");
        exit(1);
    }
    return s;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 7) {
        fprintf(stderr, "usage: relay LISTEN_PORT HOST_PORT DELAY_MS JITTER_MS LOSS_PERCENT SEED\n");
        return 2;
    }
    int listenPort = atoi(argv[1]), hostPort = atoi(argv[2]);
    double delay = atof(argv[3]), jitter = atof(argv[4]), loss = atof(argv[5]) / 100;
    std::mt19937 rng(unsigned(atoi(argv[6])));
    std::uniform_real_distribution<double> unit(0, 1);
    signal(SIGTERM, [](int) { stop = 1; });
    signal(SIGINT, [](int) { stop = 1; });
    int front = udpSocket(listenPort), back = udpSocket(0);
    sockaddr_in host{}, joiner{};
    host.sin_family = AF_INET;
    host.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    host.sin_port = htons(uint16_t(hostPort));
    bool knowJoiner = false;
    std::priority_queue<Held> held;
    Way ways[2];  // [0] towards the joiner, [1] towards the host
    unsigned char buf[65536];
    while (!stop) {
        double wait = held.empty() ? 50 : held.top().due - nowMs();
        pollfd fds[2] = {{front, POLLIN, 0}, {back, POLLIN, 0}};
        poll(fds, 2, wait < 0 ? 0 : int(wait) + 1);
        for (int i = 0; i < 2; i++) {
            if (!(fds[i].revents & POLLIN)) continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n = recvfrom(fds[i].fd, buf, sizeof buf, 0, (sockaddr*)&from, &len);
            if (n < 0) continue;
            if (i == 0) joiner = from, knowJoiner = true;
            Way& w = ways[i == 0];
            if (unit(rng) < loss) {
                w.dropped++;
                continue;
            }
            held.push(Held{nowMs() + delay + jitter * unit(rng), i == 0, std::vector<unsigned char>(buf, buf + n)});
        }
        while (!held.empty() && held.top().due <= nowMs()) {
            const Held& h = held.top();
            count(ways[h.towardsHost], h.data.size(), nowMs());
            if (h.towardsHost) sendto(back, h.data.data(), h.data.size(), 0, (sockaddr*)&host, sizeof host);
            else if (knowJoiner) sendto(front, h.data.data(), h.data.size(), 0, (sockaddr*)&joiner, sizeof joiner);
            held.pop();
        }
    }
    for (int i = 1; i >= 0; i--) {
        const Way& w = ways[i];
        printf("towards the %s: %ld datagrams, %ld bytes, %ld dropped, over %.1f s, busiest second %ld bytes\n",
               i ? "host" : "joiner", w.datagrams, w.bytes, w.dropped, w.first < 0 ? 0 : (w.last - w.first) / 1000,
               w.peak);
    }
    return 0;
}
