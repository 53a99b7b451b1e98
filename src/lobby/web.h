// web.h: korvado_lobby's doors: its UDP socket and, when asked, one TCP port that serves the site's files and
// carries the lobby's conversation over WebSocket (path /lobby) for pages and the players who talk with them.
#ifndef KORVADO_LOBBY_WEB_H
#define KORVADO_LOBBY_WEB_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>
#include "lobby/lobby.h"
#include "net/wsqueue.h"

// Pages ask for this subprotocol by name; its number follows the lobby's datagrams.
#define LOBBY_WS_PROTOCOL "korvado-lobby-1"

struct WebOptions {
    uint16_t port = 0;                  // 0: no web side
    std::string address;                // the one address to listen on (both ports); "": all
    std::string site, cert, key;        // the folder served (none: WebSocket only); https and wss when both files
    std::vector<std::string> origins;   // pages of these origins may connect, besides the site's own
};

struct WebLimits {
    size_t connections = 1024;          // WebSockets at once
    size_t perAddress = 16;             // from one address (a few browsers behind one router, each with tabs)
    size_t messageBytes = 1024;         // a larger message closes its connection
    uint32_t bytesPerSecond = 16000, burst = 32000;  // from one connection, as the UDP relay's cap
    size_t queuedBytes = 32768;         // waiting for a slow reader; more is dropped
    uint64_t idleMs = 30000;            // a connection silent this long is closed (a waiting page pings)
};

struct WebCounts {
    uint64_t accepted = 0, refused = 0, closed = 0, messages = 0, limited = 0, dropped = 0;
};

class Doors {
public:
    Doors(Lobby& lobby, int udpSocket);
    ~Doors();
    // The web side on its port; false (said on stderr) when it cannot be opened.
    bool openWeb(const WebOptions& options);
    // Waits up to half a second for datagrams or the web side's events and handles them.
    void service();
    void send(const Outgoing& o);
    void receiveUdp();
    void tick(uint64_t now);  // every half second: silent connections closed
    std::string report() const;
    size_t webConnections() const { return conns.size(); }

    // The web side's callbacks (libwebsockets calls them through plain functions).
    int onFilter(struct lws* wsi);
    void onOpen(struct lws* wsi, uint32_t* slot);
    int onMessage(struct lws* wsi, uint32_t id, const uint8_t* data, size_t n);
    int onWritable(struct lws* wsi, uint32_t id);
    void onClosed(uint32_t id);

private:
    struct Conn {
        struct lws* wsi;
        uint32_t addr;
        double tokens;
        uint64_t at, heard;
        WsQueue out;
        bool closing;
    };

    bool originTaken(struct lws* wsi) const;
    bool withinRate(Conn& k, size_t n, uint64_t now);
    uint32_t newId();
    void pollUdp();

    Lobby& lobby;
    int udp;
    WebOptions opts;
    WebLimits lim;
    WebCounts tally;
    struct lws_context* context = nullptr;
    std::unordered_map<uint32_t, Conn> conns;
    std::unordered_map<uint32_t, size_t> perAddress;
    uint32_t lastId = 0;
    std::vector<Outgoing> out;
};

#endif
