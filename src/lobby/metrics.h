// metrics.h: korvado_lobby's figures for its operator's monitor: Prometheus' text format over plain HTTP on an
// address of his choice (--metrics ADDR:PORT), off unless asked.
#ifndef KORVADO_LOBBY_METRICS_H
#define KORVADO_LOBBY_METRICS_H

#include <cstdint>
#include <string>
#include <vector>
#include "lobby/lobby.h"
#include "lobby/web.h"

// The page a scrape gets: every figure's name starts korvado_lobby_.
std::string metricsText(Lobby& lobby, const LobbyLimits& lim, size_t webConnections, int threads);

// The scrapes are served from the main loop without ever waiting on one: every connection is non-blocking and
// keeps its own request and answer, a few at once (the oldest dropped for a new one), each closed after 5 s.
class Metrics {
public:
    Metrics(Lobby& lobby, const LobbyLimits& lim, const Doors& doors, int threads)
        : lobby(lobby), lim(lim), doors(doors), threads(threads) {}
    ~Metrics();
    bool open(const std::string& where);  // ADDR:PORT; false (said on stderr) when it cannot listen there
    void serve(uint64_t nowMs);           // what the scrapes have sent read, what they are owed sent; never waits

private:
    struct Scrape {
        int fd;
        uint64_t since;
        std::string request, answer;  // the answer is made once the request's head is in
        size_t sent = 0;
    };
    void admit(uint64_t nowMs);
    bool step(Scrape& s);  // false when it is over
    std::string page(const std::string& request);
    Lobby& lobby;
    const LobbyLimits& lim;
    const Doors& doors;
    int threads;
    int listener = -1;
    std::vector<Scrape> scrapes;
};

#endif
