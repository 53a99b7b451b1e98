// lobbywire.h: what korvado_net and korvado_lobby say to each other, and two players' punches: one datagram each.
#ifndef KORVADO_LOBBYWIRE_H
#define KORVADO_LOBBYWIRE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

const uint8_t LOBBY_PROTOCOL = 2;  // 2: the lobby names its web and UDP ports, and a page as such
const uint16_t LOBBY_PORT = 27416;
// Every lobby datagram has this size, requests and answers alike: no answer is larger than its request.
const size_t LOBBY_DATAGRAM = 80;
const int MAX_CANDIDATES = 6;       // a side's addresses in one message: its LAN ones, a mapping, its public one
const uint32_t CODE_COUNT = 1u << 30;  // invite codes: six characters of five bits

// An IPv4 address (host order: 10.0.0.1 is 0x0A000001) and a UDP port.
struct Endpoint {
    uint32_t ip = 0;
    uint16_t port = 0;
    bool operator==(const Endpoint& o) const { return ip == o.ip && port == o.port; }
    bool operator!=(const Endpoint& o) const { return !(*this == o); }
};
std::string endpointText(const Endpoint& e);  // "5.5.5.1:27415"

// Where a side may be reached, in the order a joiner prefers them when several answer.
enum CandidateKind : uint8_t { CAND_LAN = 1, CAND_PUBLIC = 2, CAND_MAPPED = 3 };
struct Candidate {
    CandidateKind kind = CAND_LAN;
    Endpoint at;
};

enum LobbyKind : uint8_t {
    LOBBY_HOST = 1,      // host: I wait here (his id, whether he plays, his LAN and mapped addresses); a refresh
    LOBBY_CODE = 2,      // lobby: the host's invite code, his address as the lobby sees it, its web port
    LOBBY_JOIN = 3,      // joiner: the host with this code, please (his id, the lobby's cookie, his LAN addresses)
    LOBBY_WAIT = 4,      // lobby: heard; send the cookie back (proof that the joiner is at his address)
    LOBBY_REFUSE = 5,    // lobby: no, and why
    LOBBY_PEER = 6,      // lobby: the session's token, the other side's addresses (punch now) or that it is a page
    LOBBY_READY = 7,     // host: I punch too (the token); the lobby may relay from this address (a WebSocket takes over)
    LOBBY_RELAY = 8,     // joiner: no punch came through, relay us (the token; a WebSocket takes over)
    LOBBY_RELAYING = 9,  // lobby: the relay is on (the token)
    LOBBY_PUNCH = 10,    // player to player: the token, the sender's role, the address punched, or the answer
};

enum LobbyRefusal : uint8_t { REFUSE_NO_CODE = 1, REFUSE_BUSY = 2, REFUSE_FULL = 3, REFUSE_NO_RELAY = 4 };

struct LobbyMsg {
    LobbyKind kind = LOBBY_HOST;
    uint64_t id = 0;       // HOST, CODE: the host's; JOIN, WAIT: the joiner's
    uint64_t token = 0;    // PEER, READY, RELAY, RELAYING, PUNCH; JOIN, WAIT: the cookie
    uint32_t code = 0;     // CODE, JOIN, REFUSE, HOST: below CODE_COUNT
    uint8_t busy = 0;      // HOST: 1 while he plays or meets somebody
    uint8_t known = 0;     // HOST: 1 when code is the one a lobby gave him (one that lost it gives it back if free)
    uint8_t reason = 0;    // REFUSE: a LobbyRefusal
    uint8_t joiner = 0;    // PUNCH: 1 when the joiner sent it, 0 the host
    uint8_t answer = 0;    // PUNCH: 1 for the answer to a punch
    uint8_t index = 0;     // PUNCH: which of the other's addresses it was sent to (the answer says it again)
    Endpoint seen;         // CODE: the host's address as the lobby saw his datagram
    uint16_t web = 0;      // CODE, PEER: the lobby's web port (its WebSocket /lobby), 0 when it has none
    uint16_t udp = 0;      // CODE, PEER: the lobby's UDP port (a page's STUN server: stun:HOST:PORT)
    uint8_t page = 0;      // PEER: the other side is reached only through the lobby's WebSocket: 1 a page,
                           // 2 a desktop that took over his end there (no WebRTC with him)
    std::vector<Candidate> cands;  // HOST, JOIN, PEER: at most MAX_CANDIDATES
};

std::vector<uint8_t> encodeLobby(const LobbyMsg& m);
// True only for a whole lobby datagram of this protocol: its size, mark, version, checksum, kind, fields within
// their bounds and zeros after them. Anything else (a game datagram of ENet's too) is not one.
bool decodeLobby(const uint8_t* data, size_t n, LobbyMsg& out);

// "+KX7 M2Q" (spaced, for the screen) or "+KX7M2Q".
std::string codeText(uint32_t code, bool spaced);
// A typed code: '+' and six characters of 0-9 A-Z without I, L, O and U; O reads as 0, I and L as 1, case and
// spaces do not matter. False for anything else.
bool parseCode(const std::string& typed, uint32_t& code);
// The token folded to ENet's 32 bits of connect data; never 0, which a plain join sends.
uint32_t tokenFold(uint64_t token);

#endif
