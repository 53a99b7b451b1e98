// pagelink.cpp: the page's WebSocket to its lobby (emscripten's, -lwebsocket.js): lobby datagrams, then the relay's
// frames read by a MessageLink. Every callback comes between two of the browser's frames, or in their stead when
// the tab is in the background.
#include "pagelink.h"
#include "lobbywire.h"
#include "msglink.h"

#include <emscripten.h>
#include <emscripten/eventloop.h>
#include <emscripten/websocket.h>

#include <memory>

namespace {

const char SUBPROTOCOL[] = "korvado-lobby-1";
const double TIMER_MS = 250;       // the link's resends and keep-alives when no frame runs (1 s in a hidden tab)
const double PING_MS = 10000;      // an empty message when nothing else went out: the lobby closes 30 s silences
const double IDLE_AFTER_MS = 200;  // no frame for this long: the page is in the background

EMSCRIPTEN_WEBSOCKET_T sock;
bool up, lost;
PageHeard heard;
PageFrames others;
std::unique_ptr<MessageLink> link;
bool expected, lostEventDue;
double lastSent, lastFrame;
long timer;
void (*whenIdle)();

uint64_t nowMs() { return uint64_t(emscripten_get_now()); }

bool sendNow(const uint8_t* data, size_t n) {
    if (!up) return false;
    lastSent = emscripten_get_now();
    return emscripten_websocket_send_binary(sock, const_cast<uint8_t*>(data), uint32_t(n)) == EMSCRIPTEN_RESULT_SUCCESS;
}

// The page is in the background once its frames have stopped: the session is asked to speak for it.
void idleCheck() {
    if (whenIdle && emscripten_get_now() - lastFrame > IDLE_AFTER_MS) whenIdle();
}

void tickLink() {
    if (link) link->tick(nowMs());
}

// One message from the lobby: its datagram, or the relay's frame (the host's first one begins his relay).
void take(const uint8_t* data, size_t n) {
    LobbyMsg m;
    if (decodeLobby(data, n, m) || (!link && !expected)) {
        if (heard) heard(data, n);
        return;
    }
    if (!link) pageRelayBegin();
    if (!link->take(data, n, nowMs()) && others) others(data, n);
    tickLink();
}

EM_BOOL onOpen(int, const EmscriptenWebSocketOpenEvent*, void*) {
    up = true;
    return EM_TRUE;
}

EM_BOOL onMessage(int, const EmscriptenWebSocketMessageEvent* e, void*) {
    if (!e->isText) take(e->data, e->numBytes);
    idleCheck();
    return EM_TRUE;
}

// A socket that could not open is closed too: the close says it, and the error (already on the console) nothing.
EM_BOOL onError(int, const EmscriptenWebSocketErrorEvent*, void*) { return EM_TRUE; }

EM_BOOL onClose(int, const EmscriptenWebSocketCloseEvent*, void*) {
    up = false, lost = true;
    lostEventDue = link != nullptr;
    return EM_TRUE;
}

// The session speaks for a background tab even once the socket has closed: it may play over WebRTC's channels.
void onTimer(void*) {
    if (up) tickLink();
    if (up && emscripten_get_now() - lastSent >= PING_MS) sendNow(nullptr, 0);
    idleCheck();
}

LinkEvent relayService(uint32_t) {
    LinkEvent e;
    tickLink();
    if (link && link->next(e)) return e;
    if (lostEventDue) lostEventDue = false, e.kind = LINK_GONE, e.reason = LINK_BYE;
    return e;
}

void relayDrop() {
    if (link) link->bye(LINK_BYE, nowMs());
    link.reset();
    expected = lostEventDue = false;
    linkUse(nullptr);
}

struct RelayTransport : LinkTransport {
    LinkEvent service(uint32_t waitMs) override { return relayService(waitMs); }
    void send(const uint8_t* data, size_t n, bool reliable) override {
        if (link) link->send(data, n, reliable, nowMs());
    }
    uint32_t roundTripMs() override { return link ? link->roundTripMs() : 0; }
    bool delivered() override { return !link || link->delivered(); }
    void drop() override { relayDrop(); }
    void stop() override { relayDrop(); }  // the socket is the lobby conversation's, closed with it
    LinkStats stats() override { return link ? link->stats() : LinkStats{}; }
};

}  // namespace

bool pageSocketOpen(const std::string& url, PageHeard h) {
    pageSocketClose();
    EmscriptenWebSocketCreateAttributes a;
    emscripten_websocket_init_create_attributes(&a);
    a.url = url.c_str();
    a.protocols = SUBPROTOCOL;
    a.createOnMainThread = EM_TRUE;
    sock = emscripten_websocket_new(&a);
    if (sock <= 0) return sock = 0, lost = true, false;
    heard = h;
    emscripten_websocket_set_onopen_callback(sock, nullptr, onOpen);
    emscripten_websocket_set_onmessage_callback(sock, nullptr, onMessage);
    emscripten_websocket_set_onerror_callback(sock, nullptr, onError);
    emscripten_websocket_set_onclose_callback(sock, nullptr, onClose);
    lastSent = emscripten_get_now();
    timer = emscripten_set_interval(onTimer, TIMER_MS, nullptr);
    return true;
}

bool pageSocketUp() { return up; }
bool pageSocketLost() { return lost; }

void pageSocketClose() {
    if (link || expected) relayDrop();
    if (timer) emscripten_clear_interval(timer);
    if (sock > 0) {
        emscripten_websocket_close(sock, 1000, "");
        emscripten_websocket_delete(sock);  // its callbacks with it
    }
    sock = 0, timer = 0, up = lost = false, heard = nullptr;
}

bool pageSocketSend(const uint8_t* data, size_t n) { return sendNow(data, n); }

void pageRelayExpect() { expected = true; }

void pageRelayBegin() {
    link.reset(new MessageLink([](const uint8_t* d, size_t n) { return sendNow(d, n); }));
    link->begin(nowMs());
    linkUse(&pageRelay());
}

bool pageRelaying() { return link != nullptr; }
void pageRelayOthers(PageFrames other) { others = other; }
bool pageRelaySend(const uint8_t* data, size_t n) { return link && sendNow(data, n); }

LinkTransport& pageRelay() {
    static RelayTransport relay;
    return relay;
}

void pageFrameRan() { lastFrame = emscripten_get_now(); }
void pageWhenIdle(void (*idle)()) { whenIdle = idle; }
