// msglink.h: the link's messages over a channel of whole messages that may drop some (the lobby's relay).
#ifndef KORVADO_MSGLINK_H
#define KORVADO_MSGLINK_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>
#include "link.h"

const size_t MSGLINK_FRAME = 1024;  // no frame is larger (the lobby closes a connection for a larger message)
const uint8_t MSGLINK_FOREIGN = 0x80;  // frames of this kind and above are somebody else's on the same channel

// The link's messages over a channel of whole messages that may drop some (the lobby's relay over WebSocket):
// hello, sequence numbers, acknowledgements, resends, keep-alive, goodbye with a reason. No socket here.
// Frames: the first byte is the frame's kind; kinds 0x80 and above are not the link's (take() returns false),
// so other business (WebRTC's signalling) can share the channel.
// - gone: the other side said goodbye (its reason in the event), or nothing came from him for 8 s (he pings
//   every second), or nothing answered the hello for 8 s;
// - delivered: every reliable message sent has been acknowledged;
// - a reliable message larger than a frame goes in pieces, each acknowledged; an unreliable one that does not fit
//   one frame is dropped. Unreliable messages that come late (after a later one) are dropped too.
class MessageLink {
public:
    typedef std::function<bool(const uint8_t* data, size_t n)> Out;  // one frame out; false: not sent now
    explicit MessageLink(Out out);
    void begin(uint64_t nowMs);                                 // says hello until the other side answers
    bool take(const uint8_t* data, size_t n, uint64_t nowMs);  // one frame in; false: not the link's
    void tick(uint64_t nowMs);           // resends, acks, keep-alive; gone after a silence (as ENet: 8 s)
    bool next(LinkEvent& e);             // CONNECTED (both said hello), RECEIVED, GONE, in order
    void send(const uint8_t* data, size_t n, bool reliable, uint64_t nowMs);
    uint32_t roundTripMs() const { return rtt; }
    bool delivered() const { return unacked.empty(); }
    void bye(uint32_t reason, uint64_t nowMs);  // GONE with this reason at the other side
    LinkStats stats() const { return tally; }
    bool connected() const { return heard && !ended; }
    bool met() const { return heard; }  // the other side spoke once (it may have gone since)
    bool over() const { return ended; }  // gone, or said goodbye
    void cut();                          // the channel itself closed: GONE now, if not yet

private:
    struct Piece {
        uint32_t seq;
        std::vector<uint8_t> frame;
        uint64_t sentAt;  // 0: not sent yet
        int sends;
    };
    bool put(const std::vector<uint8_t>& frame, uint64_t now);
    void sendHello(uint64_t now);
    void takeData(const uint8_t* data, size_t n, uint64_t now);
    void takeControl(uint8_t kind, uint32_t value, uint64_t now);
    void takeAck(uint32_t ack, uint64_t now);
    void deliver(const uint8_t* data, size_t n, bool more);
    void heardFrom(uint64_t now);
    void gone(uint32_t reason);
    void resend(uint64_t now);

    Out out;
    std::deque<LinkEvent> events;
    std::deque<Piece> unacked;                          // reliable pieces in order, the oldest first
    std::map<uint32_t, std::vector<uint8_t>> early;     // reliable frames that came before their turn
    std::vector<uint8_t> partial;                       // a reliable message's pieces so far
    uint32_t nextSeq = 1, nextUnreliable = 1;           // ours
    uint32_t expected = 1, lastUnreliable = 0;          // theirs
    bool began = false, heard = false, answered = false, ended = false, ackDue = false, helloDue = false;
    uint64_t lastIn = 0, lastOut = 0, lastHello = 0, lastPing = 0;
    uint32_t rtt = 0;
    LinkStats tally = {0, 0, 0, 0};
};

#endif
