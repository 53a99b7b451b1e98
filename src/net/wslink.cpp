// wslink.cpp: the link through the lobby's WebSocket: a libwebsockets client serviced a step at a time, the
// lobby's datagrams and the message link's frames over it.
#include "net/wslink.h"

#include <libwebsockets.h>
#include <unistd.h>

#include <chrono>
#include <memory>

#include "net/enetlink.h"
#include "net/msglink.h"
#include "net/wsqueue.h"

namespace {

const char PROTOCOL[] = "korvado-lobby-1";
const size_t QUEUE_LIMIT = 32768;  // bytes waiting for the socket; more is refused (the link sends it again)
const uint64_t FLUSH_MS = 200;     // a goodbye's time to leave before the WebSocket closes

struct Socket {
    struct lws_context* context = nullptr;
    struct lws* wsi = nullptr;
    WsState state = WS_CLOSED;
    WsQueue out;
    std::vector<uint8_t> rx;  // a message's fragments so far
    WsLobbyHeard heard;
    std::unique_ptr<MessageLink> link;
} ws;

uint64_t nowMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool queueFrame(const uint8_t* d, size_t n) {
    if (ws.state == WS_CLOSED || !ws.out.push(d, n, QUEUE_LIMIT)) return false;
    if (ws.state == WS_OPEN) lws_callback_on_writable(ws.wsi);
    return true;
}

// A whole message: a lobby datagram, or the link's frame.
void dispatch(const std::vector<uint8_t>& m) {
    LobbyMsg lobby;
    if (decodeLobby(m.data(), m.size(), lobby)) {
        if (ws.heard) ws.heard(lobby);
    } else if (ws.link) {
        ws.link->take(m.data(), m.size(), nowMs());
    }
}

int received(struct lws* wsi, const void* in, size_t len) {
    const uint8_t* d = static_cast<const uint8_t*>(in);
    if (ws.rx.size() + len > 2 * MSGLINK_FRAME) return -1;  // the lobby sends nothing this large
    ws.rx.insert(ws.rx.end(), d, d + len);
    if (!lws_is_final_fragment(wsi) || lws_remaining_packet_payload(wsi)) return 0;
    std::vector<uint8_t> m;
    m.swap(ws.rx);
    dispatch(m);
    return 0;
}

void closed() {
    ws.state = WS_CLOSED;
    ws.wsi = nullptr;
    if (ws.link) ws.link->cut();
}

int callback(struct lws* wsi, enum lws_callback_reasons reason, void*, void* in, size_t len) {
    switch (reason) {
    case LWS_CALLBACK_CLIENT_ESTABLISHED:
        ws.state = WS_OPEN;
        if (!ws.out.frames.empty()) lws_callback_on_writable(wsi);
        return 0;
    case LWS_CALLBACK_CLIENT_RECEIVE: return received(wsi, in, len);
    case LWS_CALLBACK_CLIENT_WRITEABLE: return ws.out.writeOne(wsi);
    case LWS_CALLBACK_CLIENT_CONNECTION_ERROR:
    case LWS_CALLBACK_CLIENT_CLOSED: return closed(), 0;
    default: return 0;
    }
}

struct lws_protocols protocols[] = {
    {PROTOCOL, callback, 0, 2048, 0, nullptr, 0},
    {nullptr, nullptr, 0, 0, 0, nullptr, 0},
};

// One turn of everything: the WebSocket's traffic (never waiting), ENet's socket, the link's timers.
void pump() {
    wsService();
    for (int i = 0; i < 16; i++) {
        LinkEvent e = enetTransport().service(0);
        if (e.kind == LINK_NOTHING) break;
        if (e.kind == LINK_CONNECTED) enetTransport().drop();  // the player is on the WebSocket
    }
    if (ws.link) ws.link->tick(nowMs());
}

struct WsTransport : LinkTransport {
    LinkEvent service(uint32_t waitMs) override {
        LinkEvent e;
        for (uint64_t until = nowMs() + waitMs;; usleep(1000)) {
            pump();
            if ((ws.link && ws.link->next(e)) || nowMs() >= until) return e;
        }
    }
    void send(const uint8_t* data, size_t n, bool reliable) override {
        if (ws.link) ws.link->send(data, n, reliable, nowMs());
    }
    uint32_t roundTripMs() override { return ws.link ? ws.link->roundTripMs() : 0; }
    bool delivered() override { return !ws.link || ws.link->delivered(); }
    void drop() override { wsClose(); }
    void stop() override { wsClose(); }
    LinkStats stats() override { return ws.link ? ws.link->stats() : LinkStats{0, 0, 0, 0}; }
};

WsTransport transport;

}  // namespace

LinkTransport& wsTransport() { return transport; }

// A context of libwebsockets for one client connection, listening nowhere.
static struct lws_context* clientContext() {
    lws_set_log_level(LLL_ERR, nullptr);
    struct lws_context_creation_info info {};
    info.port = CONTEXT_PORT_NO_LISTEN;
    info.protocols = protocols;
    info.gid = info.uid = -1;
    return lws_create_context(&info);
}

bool wsOpen(const std::string& address, uint16_t port, WsLobbyHeard heard) {
    wsClose();
    ws.context = clientContext();
    if (!ws.context) return false;
    ws.heard = heard;
    ws.state = WS_CONNECTING;
    struct lws_client_connect_info ci {};
    ci.context = ws.context;
    ci.address = address.c_str();
    ci.port = port;
    ci.path = "/lobby";
    ci.host = address.c_str();
    ci.protocol = PROTOCOL;
    ci.local_protocol_name = PROTOCOL;
    ci.pwsi = &ws.wsi;
    if (!lws_client_connect_via_info(&ci)) ws.state = WS_CLOSED;
    return ws.state != WS_CLOSED;
}

WsState wsState() { return ws.state; }

void wsService() {
    if (ws.context) lws_service(ws.context, -1);
}

void wsSendLobby(const LobbyMsg& m) {
    std::vector<uint8_t> d = encodeLobby(m);
    queueFrame(d.data(), d.size());
}

void wsBeginLink() {
    ws.link.reset(new MessageLink(queueFrame));
    ws.link->begin(nowMs());
}

bool wsLinkMet() { return ws.link && ws.link->met(); }
bool wsLinkOver() { return (ws.link && ws.link->over()) || ws.state == WS_CLOSED; }

// A goodbye to the player first (a moment for it to leave), then the socket.
void wsClose() {
    if (&linkTransport() == &transport) linkUse(nullptr);
    if (ws.link && ws.state == WS_OPEN) {
        ws.link->bye(LINK_BYE, nowMs());
        for (uint64_t until = nowMs() + FLUSH_MS; !ws.out.frames.empty() && ws.state == WS_OPEN && nowMs() < until; usleep(1000))
            lws_service(ws.context, -1);
    }
    if (ws.context) lws_context_destroy(ws.context);
    ws = Socket{};
}
