// metrics.h: korvado_lobby's figures for its operator's monitor: Prometheus' text format over plain HTTP on an
// address of his choice (--metrics ADDR:PORT), off unless asked.
#ifndef KORVADO_LOBBY_METRICS_H
#define KORVADO_LOBBY_METRICS_H

#include <string>
#include "lobby/lobby.h"
#include "lobby/web.h"

// The page a scrape gets: every figure's name starts korvado_lobby_.
std::string metricsText(Lobby& lobby, const LobbyLimits& lim, size_t webConnections, int threads);

class Metrics {
public:
    Metrics(Lobby& lobby, const LobbyLimits& lim, const Doors& doors, int threads)
        : lobby(lobby), lim(lim), doors(doors), threads(threads) {}
    ~Metrics();
    bool open(const std::string& where);  // ADDR:PORT; false (said on stderr) when it cannot listen there
    void serve();                         // the scrapes waiting, answered; never blocks for long

private:
    void answer(int fd);
    Lobby& lobby;
    const LobbyLimits& lim;
    const Doors& doors;
    int threads;
    int listener = -1;
};

#endif
