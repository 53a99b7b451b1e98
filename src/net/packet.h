// packet.h: what two korvado_net programs say to each other, and its encoding in one datagram.
#ifndef KORVADO_PACKET_H
#define KORVADO_PACKET_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

const uint8_t PROTOCOL = 3;          // the session's own version, beside the game's
const int MAX_RECORDS = 128;         // input records in one message
const int MAX_RUNS = MAX_RECORDS;    // runs of equal values in one message
const uint32_t MAX_PASS = 1u << 30;  // pass numbers stay below this
const int8_t SLACK_UNKNOWN = -128;  // INPUT: too few passes yet to tell the sender's advantage
const size_t MAX_DUMP = 1200;        // DESYNC: the bytes of a state's dump
const size_t MAX_NAME = 32;          // HERE: the characters of the host's machine's name
const size_t LOOK_SIZE = 64;         // LOOK: its whole size, as large as any HERE: no answer outgrows its probe

enum MsgKind : uint8_t {
    MSG_HELLO = 1,   // joiner: who he is (protocol and game version)
    MSG_REFUSE = 2,  // host: another version plays here
    MSG_PROBE = 3,   // host: a stamp for the round trip
    MSG_ECHO = 4,    // joiner: the probe sent back
    MSG_START = 5,   // host: the session's seed and input delay
    MSG_INPUT = 6,   // either: inputs of a run of passes, and what the sender holds of the other's
    MSG_HASH = 7,    // either: the game state's hash at the start of a confirmed pass
    MSG_LOOK = 8,    // a joiner, broadcast on the local network: is a game waiting here? (protocol, version,
                     // zeros up to LOOK_SIZE bytes: room for the answer)
    MSG_HERE = 9,    // a waiting host, to the LOOK's sender: his protocol, version and machine's name
    MSG_DESYNC = 10, // either: the two hashes of a pass differ; the sender's state then, as text
};

// Input bits of one player in one pass.
enum : uint8_t { IN_UP = 1, IN_DOWN = 2, IN_LEFT = 4, IN_RIGHT = 8, IN_FIRE = 16, IN_RETURN = 32, IN_ESCAPE = 64 };

// One player's record of a pass in a demo: his bits, and in red's the frame time.
struct InputRecord {
    uint8_t bits = 0;  // IN_ bits
    uint16_t dt = 0;   // red's: ms since the previous pass of the frame loop
    bool operator==(const InputRecord& o) const { return bits == o.bits && dt == o.dt; }
};

struct Message {
    MsgKind kind = MSG_HELLO;
    uint8_t protocol = PROTOCOL;  // HELLO, LOOK, HERE
    std::string version;          // HELLO, REFUSE, LOOK, HERE: the game's version, at most 15 characters
    uint8_t seq = 0;              // PROBE, ECHO
    uint32_t stamp = 0;           // PROBE, ECHO
    uint32_t seed = 0;            // START
    uint8_t delay = 0;            // START: input delay in passes, 0 to 60
    uint8_t budget = 0;           // START: the pass's frame budget in ms, 1 to 100
    uint32_t ack = 0;             // INPUT: passes of the other's inputs the sender holds, from 0 without a gap
    uint32_t first = 0;           // INPUT: the pass of inputs[0]
    std::vector<uint8_t> inputs;  // INPUT: 1 to MAX_RECORDS players' bits (IN_ bits), a pass each
    int8_t advantage = SLACK_UNKNOWN;  // INPUT: passes the sender plays ahead of the other, lately
    uint32_t pass = 0;            // HASH, DESYNC
    uint32_t hash = 0;            // HASH, DESYNC: the sender's
    std::string dump;             // DESYNC: the sender's state at the pass, as text (at most MAX_DUMP bytes)
    std::string name;             // HERE: the host's machine's name, printable, at most MAX_NAME characters
};

std::vector<uint8_t> encodeMessage(const Message& m);
// True only for a whole, well-formed message: its mark and checksum, its kind, every field within its bounds
// and nothing after the end. Anything else leaves `out` unspecified and is to be dropped.
bool decodeMessage(const uint8_t* data, size_t n, Message& out);

#endif
