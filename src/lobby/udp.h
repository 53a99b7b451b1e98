// udp.h: korvado_lobby's UDP port: one socket for each thread, all on the same port (SO_REUSEPORT: the kernel
// gives each sender's datagrams to one of them), read and written in batches, the lobby's lock taken once a batch.
#ifndef KORVADO_LOBBY_UDP_H
#define KORVADO_LOBBY_UDP_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "lobby/lobby.h"

// `count` sockets on UDP port `port` of `address` (empty: all of them); none when it is taken (said on stderr).
std::vector<int> openUdpPort(uint16_t port, int count, const std::string& address = "");

// How many threads share the port (their batches gather for longer the more there are).
void setUdpThreads(int count);

// Every datagram waiting on `fd`, the socket of thread `thread`, what the lobby answers sent from it; answers for
// a WebSocket (a page) go into `web`. A STUN binding request from no relay's end is answered within its
// address's rate.
void drainUdp(int fd, Lobby& lobby, std::vector<Outgoing>& web, int thread = 0);

// The datagrams each thread's socket has taken (the kernel's spread of the senders over the threads).
const int MAX_THREADS = 256;
uint64_t threadDatagrams(int thread);

// The web side's mail from the other threads: what they have for pages, and how to wake the web side's loop.
struct WebMail {
    std::mutex guard;
    std::vector<Outgoing> waiting;
    std::function<void()> wake;
    void post(std::vector<Outgoing>& batch);
    std::vector<Outgoing> take();
};
WebMail& webMail();

// A thread's loop on its socket until `stop`.
void serveUdp(int fd, int thread, Lobby& lobby, const std::atomic<bool>& stop);

#endif
