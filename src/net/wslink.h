// wslink.h: the link through the lobby's WebSocket: the desktop's way to a page (and a page's way to it).
#ifndef KORVADO_WSLINK_H
#define KORVADO_WSLINK_H

#include <cstdint>
#include <functional>
#include <string>
#include "link.h"
#include "lobbywire.h"

// One WebSocket to the lobby's web port (ws://HOST:PORT/lobby, subprotocol korvado-lobby-1), a client of
// libwebsockets serviced only from service() and never waited for. It carries the lobby's datagrams (READY,
// RELAY, RELAYING: each one message) and, once the lobby relays the pair, the link's frames (msglink.h).
// Its words, as the session hears them through the link:
// - gone: the other side said goodbye (its reason in the event), or nothing came from him for 8 s (he pings
//   every second), or the WebSocket closed;
// - busy: never said here: the lobby turns a joiner away while the host plays (the host's refreshes say so);
// - delivered: every reliable message sent has been acknowledged by the other side (through the relay, which
//   drops what passes its rate: the link sends again what goes unacknowledged).
// While it is in use, ENet's socket is still serviced (the lobby's answers to the host's refreshes); a player who
// connects over ENet meanwhile is let go. Dropping the player closes the WebSocket and gives ENet's transport back.
LinkTransport& wsTransport();

enum WsState { WS_CLOSED, WS_CONNECTING, WS_OPEN };

typedef std::function<void(const LobbyMsg& m)> WsLobbyHeard;
// Starts connecting to the lobby's web port at `address` (an IPv4 address); the lobby's datagrams that come over
// it go to `heard`. False when it cannot even start.
bool wsOpen(const std::string& address, uint16_t port, WsLobbyHeard heard);
WsState wsState();
void wsService();  // the WebSocket's traffic alone, never waiting (the lobby's answers before a session is on it)
void wsSendLobby(const LobbyMsg& m);  // one datagram to the lobby (held until the WebSocket is open)
void wsBeginLink();                   // the relay is on, or soon: the link says hello to the other side
bool wsLinkMet();                     // the other side said hello (he may have gone since)
bool wsLinkOver();                    // the link ended (gone, or dropped) or the WebSocket closed
void wsClose();                       // closes the WebSocket, the link with it; ENet's transport in use again

#endif
