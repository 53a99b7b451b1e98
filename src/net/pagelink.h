// pagelink.h: a web page's one WebSocket to its lobby: the lobby's datagrams both ways, and once the lobby relays
// the pair, the link's frames over it (a MessageLink) as the link's transport "through the lobby".
#ifndef KORVADO_PAGELINK_H
#define KORVADO_PAGELINK_H

#include <cstddef>
#include <cstdint>
#include <string>
#include "link.h"

// The relay's words, as the session hears them through the link:
// - gone: the other side said goodbye, or nothing came from him for 8 s (the link's keep-alives answered), or
//   this page's WebSocket closed;
// - busy: never (the lobby refuses a busy host's code before any relay);
// - delivered: every reliable frame has been acknowledged by the other side.

// Opens the socket to `url` (ws:// or wss://, the subprotocol korvado-lobby-1); false when the browser refuses
// the URL. The lobby's datagrams go to `heard` from now on.
typedef void (*PageHeard)(const uint8_t* data, size_t n);
bool pageSocketOpen(const std::string& url, PageHeard heard);
bool pageSocketUp();      // open now
bool pageSocketLost();    // it failed to open, or closed
void pageSocketClose();   // closed, the relay forgotten
bool pageSocketSend(const uint8_t* data, size_t n);  // one message; false when the socket is not open

// The relay: the host expects it once he has told the lobby he is ready (the joiner's first frame begins it
// there), the joiner begins it when the lobby says it relays. Either way the link's transport from then on.
void pageRelayExpect();
void pageRelayBegin();
bool pageRelaying();
// Frames of the relay that are not the link's (kinds 0x80 and above: WebRTC's signals) go to `other`.
typedef void (*PageFrames)(const uint8_t* data, size_t n);
void pageRelayOthers(PageFrames other);
bool pageRelaySend(const uint8_t* data, size_t n);  // such a frame out over the relay, beside the link's
LinkTransport& pageRelay();

// A tab in the background gets no frames: the socket's own events (and a timer) keep the link answered, and
// call `idle` when no frame has run for a while, for the session to say it is still there.
void pageFrameRan();
void pageWhenIdle(void (*idle)());

#endif
