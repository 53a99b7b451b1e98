// enetlink.h: the link over ENet, on one UDP socket: the desktop's way to a desktop, direct or by the UDP relay.
#ifndef KORVADO_ENETLINK_H
#define KORVADO_ENETLINK_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include "link.h"
#include "lobbywire.h"

// ENet's words, as the session hears them through the link:
// - gone: the other side said goodbye (enet_peer_disconnect, its reason in the event), or ENet gave up on him
//   after a reliable message and its resends went unanswered for 8 s;
// - busy: a listening host that has its player turns a second one away with LINK_BUSY as the goodbye's reason;
// - delivered: ENet holds no reliable message unacknowledged nor waiting to go out.
// Its own business beside the link (the tap, raw datagrams, the LAN broadcast, the punches) is below, on the
// game's one UDP socket.
LinkTransport& enetTransport();

bool linkStart();                                 // the network library; false when it cannot start
// Waits for one player on UDP port `port`, any address; one who comes while another plays is told LINK_BUSY.
bool linkListen(uint16_t port);
bool linkConnect(const char* host, uint16_t port);  // starts connecting (IPv4 address or host name)
bool linkOpen();                                  // the joiner's socket, before he knows where to connect
// Starts connecting to `to` from the open socket; `data` goes with ENet's connect (0 for a plain join).
bool linkConnectTo(const Endpoint& to, uint32_t data);
// A listening host takes connects whose data is 0 or `data` (the lobby's session), and turns away the rest.
void linkExpect(uint32_t data);
Endpoint linkPeerAddress();                       // the connected player's address (or the relay's)
uint32_t linkPeerData();                          // the data his connect carried
uint16_t linkLocalPort();                         // the port of the game's socket; 0 before it is open
std::vector<std::string> linkLocalAddresses();    // this machine's IPv4 addresses, loopback last
std::string linkMachineName();                    // this machine's name, printable, at most 32 characters

// Finding a host on the local network. A listening host hands every datagram to `answer` before ENet sees
// it: true means the datagram was a probe (ENet never sees it), and a non-empty `reply` goes back to its
// sender, while nobody is connected.
// Datagrams of our own on ENet's socket (the lobby's, the punches): every datagram goes to `tap` before ENet
// reads it, and true means it was one (ENet never sees it). linkSendRaw sends one from the game's socket.
typedef bool (*LinkTap)(const Endpoint& from, const uint8_t* data, size_t n);
void linkTap(LinkTap tap);
bool linkSendRaw(const Endpoint& to, const uint8_t* data, size_t n);
typedef bool (*LinkAnswerer)(const uint8_t* probe, size_t n, std::vector<uint8_t>& reply);
void linkAnswerProbes(LinkAnswerer answer);
// A probe to `port` at every local network's broadcast address; false when none could be sent.
bool linkBroadcast(uint16_t port, const uint8_t* data, size_t n);
// One datagram sent back to the probes within waitMs, and the IPv4 address it came from.
bool linkHeard(uint32_t waitMs, std::string& from, std::vector<uint8_t>& data);

#endif
