// msglink.cpp: the link's messages over a channel that may drop some: hello, ordered acknowledged pieces, pings.
#include "net/msglink.h"

namespace {

// The frames: the kind, then its fields (little-endian).
enum FrameKind : uint8_t { F_HELLO = 1, F_DATA = 2, F_ACK = 3, F_BYE = 4, F_PING = 5, F_PONG = 6 };
const uint8_t RELIABLE = 1, MORE = 2;  // DATA's flags: acknowledged and resent; more pieces of it follow
const size_t DATA_HEAD = 10;           // kind, ack, flags, sequence number
const size_t MAX_MESSAGE = 65536;      // a reliable message in pieces: more is somebody's mistake, dropped
const size_t MAX_EARLY = 256;          // reliable frames kept ahead of the one awaited
const uint64_t SILENCE_MS = 8000, HELLO_MS = 250, PING_MS = 1000;

void put32(std::vector<uint8_t>& f, uint32_t v) {
    for (int i = 0; i < 4; i++) f.push_back(uint8_t(v >> (8 * i)));
}

uint32_t get32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

std::vector<uint8_t> frame32(uint8_t kind, uint32_t v) {
    std::vector<uint8_t> f{kind};
    put32(f, v);
    return f;
}

}  // namespace

MessageLink::MessageLink(Out o) : out(o) {}

bool MessageLink::put(const std::vector<uint8_t>& f, uint64_t) {
    if (!out(f.data(), f.size())) return false;
    tally.sentBytes += f.size(), tally.sentDatagrams++;
    return true;
}

void MessageLink::begin(uint64_t now) {
    began = true;
    lastIn = lastPing = now;
    sendHello(now);
}

void MessageLink::sendHello(uint64_t now) {
    if (put(std::vector<uint8_t>{F_HELLO, uint8_t(heard)}, now)) helloDue = false;
    lastHello = now;
}

void MessageLink::heardFrom(uint64_t now) {
    lastIn = now;
    if (heard) return;
    heard = true;
    events.push_back(LinkEvent{LINK_CONNECTED, {}, LINK_BYE});
}

void MessageLink::gone(uint32_t reason) {
    if (ended) return;
    ended = true;
    events.push_back(LinkEvent{LINK_GONE, {}, reason});
}

bool MessageLink::take(const uint8_t* d, size_t n, uint64_t now) {
    if (n == 0 || d[0] >= MSGLINK_FOREIGN) return false;
    if (!began || ended) return true;
    tally.receivedBytes += n, tally.receivedDatagrams++;
    uint8_t kind = d[0];
    if (kind == F_HELLO && n == 2) {
        heardFrom(now);
        answered = answered || d[1];
        helloDue = helloDue || !d[1];
    } else if (kind == F_DATA && n >= DATA_HEAD) {
        takeData(d, n, now);
    } else if (kind == F_BYE && n == 5) {
        gone(get32(d + 1));
    } else if ((kind == F_ACK || kind == F_PONG || kind == F_PING) && n == 5) {
        takeControl(kind, get32(d + 1), now);
    }
    return true;
}

// An acknowledgement, a ping (answered at once) or the answer to ours (a round trip).
void MessageLink::takeControl(uint8_t kind, uint32_t v, uint64_t now) {
    heardFrom(now);
    answered = true;
    if (kind == F_ACK) takeAck(v, now);
    if (kind == F_PING) put(frame32(F_PONG, v), now);
    if (kind != F_PONG) return;
    uint32_t sample = uint32_t(now) - v;
    rtt = rtt ? (7 * rtt + sample) / 8 : (sample ? sample : 1);
}

void MessageLink::takeData(const uint8_t* d, size_t n, uint64_t now) {
    heardFrom(now);
    answered = true;
    takeAck(get32(d + 1), now);
    uint8_t flags = d[5];
    uint32_t seq = get32(d + 6);
    if (!(flags & RELIABLE)) {
        if (seq <= lastUnreliable) return;
        lastUnreliable = seq;
        events.push_back(LinkEvent{LINK_RECEIVED, std::vector<uint8_t>(d + DATA_HEAD, d + n), LINK_BYE});
        return;
    }
    ackDue = true;
    if (seq != expected) {
        if (seq > expected && early.size() < MAX_EARLY) early[seq].assign(d, d + n);
        return;
    }
    deliver(d + DATA_HEAD, n - DATA_HEAD, flags & MORE);
    expected++;
    for (auto e = early.begin(); e != early.end() && e->first <= expected; e = early.erase(e))
        if (e->first == expected) deliver(e->second.data() + DATA_HEAD, e->second.size() - DATA_HEAD, e->second[5] & MORE), expected++;
}

// A reliable piece in its turn: a whole message with the last.
void MessageLink::deliver(const uint8_t* d, size_t n, bool more) {
    if (partial.size() + n > MAX_MESSAGE) partial.clear();
    partial.insert(partial.end(), d, d + n);
    if (more) return;
    events.push_back(LinkEvent{LINK_RECEIVED, partial, LINK_BYE});
    partial.clear();
}

// The other side has every reliable piece before `ack`.
void MessageLink::takeAck(uint32_t ack, uint64_t) {
    while (!unacked.empty() && unacked.front().seq < ack) unacked.pop_front();
}

void MessageLink::send(const uint8_t* data, size_t n, bool reliable, uint64_t now) {
    if (ended) return;
    size_t room = MSGLINK_FRAME - DATA_HEAD;
    if (!reliable) {
        if (n == 0 || n > room) return;
        std::vector<uint8_t> f{F_DATA};
        put32(f, expected);
        f.push_back(0);
        put32(f, nextUnreliable++);
        f.insert(f.end(), data, data + n);
        if (put(f, now)) ackDue = false;  // it carries the acknowledgement
        return;
    }
    size_t at = 0;
    do {
        size_t len = n - at < room ? n - at : room;
        std::vector<uint8_t> f{F_DATA, 0, 0, 0, 0, uint8_t(RELIABLE | (at + len < n ? MORE : 0))};
        put32(f, nextSeq);
        f.insert(f.end(), data + at, data + at + len);
        unacked.push_back(Piece{nextSeq++, f, 0, 0});
        at += len;
    } while (at < n);
    resend(now);
}

// Each piece not acknowledged goes again after a while that doubles with each try; those never sent go now.
void MessageLink::resend(uint64_t now) {
    uint64_t rto = rtt ? 2 * uint64_t(rtt) + 100 : 300;
    if (rto > 2000) rto = 2000;
    for (Piece& p : unacked) {
        uint64_t wait = rto << (p.sends < 4 ? p.sends : 4) >> 1;
        if (p.sentAt && now - p.sentAt < wait) continue;
        for (int i = 1; i < 5; i++) p.frame[i] = uint8_t(expected >> (8 * (i - 1)));
        if (!put(p.frame, now)) return;
        p.sentAt = now | 1, p.sends++;
        ackDue = false;
    }
}

void MessageLink::tick(uint64_t now) {
    if (!began || ended) return;
    if (now - lastIn >= SILENCE_MS) return gone(LINK_BYE);
    if ((!answered && now - lastHello >= HELLO_MS) || helloDue) sendHello(now);
    resend(now);
    if (ackDue && put(frame32(F_ACK, expected), now)) ackDue = false;
    if (heard && now - lastPing >= PING_MS) {
        put(frame32(F_PING, uint32_t(now)), now);
        lastPing = now;
    }
}

bool MessageLink::next(LinkEvent& e) {
    if (events.empty()) return false;
    e = events.front();
    events.pop_front();
    return true;
}

// Said twice: the relay may drop one, and nothing comes after it.
void MessageLink::bye(uint32_t reason, uint64_t now) {
    if (ended || !began) return;
    put(frame32(F_BYE, reason), now);
    put(frame32(F_BYE, reason), now);
    ended = true;
}

void MessageLink::cut() {
    if (began) gone(LINK_BYE);
}
