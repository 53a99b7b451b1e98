// udp.h: korvado_lobby's UDP port: one socket for each thread, all on the same port (SO_REUSEPORT: the kernel
// gives each sender's datagrams to one of them), read and written in batches, the lobby's lock taken once a batch.
#ifndef KORVADO_LOBBY_UDP_H
#define KORVADO_LOBBY_UDP_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>
#include "lobby/lobby.h"

// `count` sockets on UDP port `port` (none when it is taken: said on stderr).
std::vector<int> openUdpPort(uint16_t port, int count);

// Every datagram waiting on `fd`, what the lobby answers sent from it; answers for a WebSocket (a page) go into
// `web`. A STUN binding request from no relay's end is answered within its address's rate.
void drainUdp(int fd, Lobby& lobby, std::vector<Outgoing>& web);

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
void serveUdp(int fd, Lobby& lobby, const std::atomic<bool>& stop);

#endif
