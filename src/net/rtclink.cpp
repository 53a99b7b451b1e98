// rtclink.cpp: the page's WebRTC link and the choice of the way; web/rtc.js does the browser's part.
#include "rtclink.h"

#include <algorithm>
#include <deque>
#include <vector>

// The browser's side (web/rtc.js): events polled, never called back.
extern "C" {
double rtc_js_now();  // ms
void rtc_js_begin(int host, const char* stunUrl);
void rtc_js_remote(int kind, const char* text);
int rtc_js_next(uint8_t* buf, int cap);
int rtc_js_send(int chan, const uint8_t* data, int n);
double rtc_js_stat(int what);
void rtc_js_said(const char* way);
void rtc_js_close(int lingerMs);
}

namespace {

// Signals over the relay.
enum : uint8_t { SIG_DESCRIPTION = 0x80, SIG_CANDIDATE = 0x81, SIG_WAY = 0x82, SIG_ASK = 0x83 };
// The channels' messages (web/rtc.js answers kinds 1 to 3 itself).
enum : uint8_t { CH_DATA = 0, CH_BYE = 4, CH_WAY = 5 };
enum : int { EV_DESCRIPTION = 1, EV_CANDIDATE = 2, EV_MESSAGE = 3, EV_OPEN = 4, EV_CLOSED = 5 };
enum Way { WAY_UNKNOWN = -1, WAY_DIRECT = 0, WAY_LOBBY = 1 };

const double CHOICE_MS = 3000, ASK_EVERY_MS = 500, NO_OFFER_MS = 6000, GIVE_UP_MS = 10000, SILENCE_MS = 8000;
const size_t PIECE = 1000;  // a description's piece: its frame stays within the relay's 1 kB

struct Rtc {
    bool begun = false, host = false, open = false, closed = false, goneSaid = false;
    bool handed = false;       // moved, and the relay's reliable messages all delivered: the channels' from now
    LinkTransport* relay = nullptr;
    std::deque<std::vector<uint8_t>> waiting;  // reliable messages sent after the move, before the hand-over
    RtcState state = RTC_TRYING;
    Way heard = WAY_UNKNOWN;   // the joiner: what the host said
    double since = 0, asked = 0;
    RtcSignalOut out;
    std::string description;   // the other side's, as its pieces come
    std::vector<std::vector<uint8_t>> early;  // signals come before rtcBegin
    std::deque<LinkEvent> inbox;
    uint32_t reliableSent = 0, goneReason = LINK_BYE;
    bool byeHeard = false, offered = false;  // offered: the other side's description came whole
};
Rtc rtc;

double now() { return rtc_js_now(); }

void sendSignal(std::initializer_list<uint8_t> head, const char* text = "", size_t n = 0) {
    std::vector<uint8_t> f(head);
    f.insert(f.end(), text, text + n);
    if (rtc.out) rtc.out(f.data(), f.size());
}

void sendDescription(const std::string& sdp) {
    size_t count = (sdp.size() + PIECE - 1) / PIECE;
    for (size_t i = 0; i < count; i++) {
        size_t n = std::min(PIECE, sdp.size() - i * PIECE);
        sendSignal({SIG_DESCRIPTION, uint8_t(i), uint8_t(count)}, sdp.data() + i * PIECE, n);
    }
}

void channelMessage(const uint8_t* d, size_t n) {
    if (n < 2) return;
    if (d[1] == CH_DATA) {
        LinkEvent e;
        e.kind = LINK_RECEIVED;
        e.data.assign(d + 2, d + n);
        rtc.inbox.push_back(e);
    } else if (d[1] == CH_BYE && n >= 6) {
        rtc.byeHeard = true;
        rtc.goneReason = uint32_t(d[2]) << 24 | uint32_t(d[3]) << 16 | uint32_t(d[4]) << 8 | d[5];
    } else if (d[1] == CH_WAY && !rtc.host) {
        rtc.heard = WAY_DIRECT;
    }
}

// What the browser said since last asked.
void pump() {
    static uint8_t buf[16384];
    for (int n = rtc_js_next(buf, sizeof buf); n > 0; n = rtc_js_next(buf, sizeof buf)) {
        if (buf[0] == EV_DESCRIPTION) sendDescription(std::string((const char*)buf + 1, n - 1));
        if (buf[0] == EV_CANDIDATE) sendSignal({SIG_CANDIDATE}, (const char*)buf + 1, n - 1);
        if (buf[0] == EV_MESSAGE) channelMessage(buf + 1, n - 1);
        if (buf[0] == EV_OPEN) rtc.open = true;
        if (buf[0] == EV_CLOSED) rtc.closed = true;
    }
}

void sayWay(Way way) {
    sendSignal({SIG_WAY, uint8_t(way)});
    if (way == WAY_DIRECT) {
        const uint8_t m[] = {CH_WAY};
        rtc_js_send(1, m, 1);
    }
}

void choose(Way way) {
    rtc.state = way == WAY_DIRECT ? RTC_OPEN : RTC_FAILED;
    rtc_js_said(way == WAY_DIRECT ? "direct" : "lobby");
    if (way == WAY_LOBBY) rtc_js_close(0);
}

// The host: direct once both channels are open, the lobby when they are not within 3 s.
void hostChooses() {
    if (rtc.open || now() - rtc.since >= CHOICE_MS) {
        choose(rtc.open ? WAY_DIRECT : WAY_LOBBY);
        sayWay(rtc.open ? WAY_DIRECT : WAY_LOBBY);
    }
}

// The joiner: as the host said (direct once his own channels are open too); he asks when the host's word is
// late, and takes the lobby when it never comes, or when no offer came in time: without his answer no channel
// can open, so the host cannot take another way.
void joinerFollows() {
    double t = now() - rtc.since;
    if (rtc.heard == WAY_DIRECT && rtc.open) return choose(WAY_DIRECT);
    if (rtc.heard == WAY_LOBBY || t >= GIVE_UP_MS || (!rtc.offered && t >= NO_OFFER_MS))
        return choose(WAY_LOBBY);
    if (t >= CHOICE_MS + ASK_EVERY_MS && now() - rtc.asked >= ASK_EVERY_MS) sendSignal({SIG_ASK}), rtc.asked = now();
}

void takeDescriptionPiece(const uint8_t* d, size_t n) {
    if (n < 3 || d[2] == 0 || d[1] >= d[2]) return;
    if (d[1] == 0) rtc.description.clear();
    rtc.description.append((const char*)d + 3, n - 3);
    if (d[1] + 1 == d[2]) rtc_js_remote(1, rtc.description.c_str()), rtc.offered = true;
}

void takeSignal(const uint8_t* d, size_t n) {
    if (d[0] == SIG_DESCRIPTION) return takeDescriptionPiece(d, n);
    if (d[0] == SIG_CANDIDATE) return rtc_js_remote(2, std::string((const char*)d + 1, n - 1).c_str());
    if (d[0] == SIG_WAY && !rtc.host && n >= 2 && rtc.heard == WAY_UNKNOWN)
        rtc.heard = d[1] == WAY_DIRECT ? WAY_DIRECT : WAY_LOBBY;
    if (d[0] == SIG_ASK && rtc.host && rtc.state != RTC_TRYING) sayWay(rtc.state == RTC_OPEN ? WAY_DIRECT : WAY_LOBBY);
}

bool moved() { return rtc.state == RTC_OPEN; }

bool sendOnChannel(int chan, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> m(data.size() + 1, CH_DATA);
    std::copy(data.begin(), data.end(), m.begin() + 1);
    bool sent = rtc_js_send(chan, m.data(), int(m.size())) != 0;
    if (sent && chan == 1) rtc.reliableSent++;
    return sent;
}

// Once the relay has delivered every reliable message sent on it, those that waited go on the channel, in order.
void handOver() {
    if (!moved() || rtc.handed || !rtc.relay->delivered()) return;
    for (const std::vector<uint8_t>& m : rtc.waiting) sendOnChannel(1, m);
    rtc.waiting.clear();
    rtc.handed = true;
}

// The channels' word once the session has moved to them: the other side's goodbye, a closed channel, silence.
LinkEvent channelsGone() {
    LinkEvent e;
    bool gone = rtc.byeHeard || rtc.closed || rtc_js_stat(2) >= SILENCE_MS;
    if (!moved() || !gone || rtc.goneSaid) return e;
    rtc.goneSaid = true, e.kind = LINK_GONE, e.reason = rtc.byeHeard ? rtc.goneReason : LINK_BYE;
    return e;
}

class RtcTransport : public LinkTransport {
public:
    // The relay's events first, then the channels': their messages come only after the relay's before them.
    LinkEvent service(uint32_t) override {
        if (!rtc.relay) return LinkEvent();
        rtcState();  // the choice goes on while the session plays
        handOver();
        LinkEvent e = rtc.relay->service(0);
        if (e.kind == LINK_GONE && rtc.handed) e = LinkEvent();  // the channels say who is gone from now
        if (e.kind != LINK_NOTHING) return e;
        if (moved()) pump();
        if (!rtc.inbox.empty()) return e = rtc.inbox.front(), rtc.inbox.pop_front(), e;
        return channelsGone();
    }
    void send(const uint8_t* data, size_t n, bool reliable) override {
        if (!rtc.relay) return;
        if (!moved()) return rtc.relay->send(data, n, reliable);
        handOver();
        if (!reliable) sendOnChannel(0, std::vector<uint8_t>(data, data + n));
        else if (rtc.handed) sendOnChannel(1, std::vector<uint8_t>(data, data + n));
        else rtc.waiting.emplace_back(data, data + n);
    }
    uint32_t roundTripMs() override {
        uint32_t direct = uint32_t(rtc_js_stat(0) + 0.5);
        return moved() && direct ? direct : rtc.relay ? rtc.relay->roundTripMs() : 0;
    }
    bool delivered() override {
        if (!rtc.relay) return true;
        handOver();
        return rtc.relay->delivered() && rtc.waiting.empty() && rtc_js_stat(1) >= rtc.reliableSent;
    }
    // Goodbye both ways (the other side may not have moved yet), and WebRTC forgotten: the next rival's signals
    // wait for his rtcBegin.
    void drop() override {
        const uint8_t bye[] = {CH_BYE, 0, 0, 0, LINK_BYE};
        if (rtc.open) rtc_js_send(1, bye, sizeof bye), rtc_js_close(200);
        if (rtc.relay) rtc.relay->drop();
        rtcEnd();
    }
    void stop() override { drop(); }
    LinkStats stats() override {
        LinkStats s = rtc.relay ? rtc.relay->stats() : LinkStats{0, 0, 0, 0};
        return {s.sentBytes + uint64_t(rtc_js_stat(3)), s.receivedBytes + uint64_t(rtc_js_stat(4)),
                s.sentDatagrams + uint64_t(rtc_js_stat(5)), s.receivedDatagrams + uint64_t(rtc_js_stat(6))};
    }
};
RtcTransport transport;

}  // namespace

void rtcBegin(bool host, const std::string& stunUrl, RtcSignalOut out, LinkTransport& relay) {
    std::vector<std::vector<uint8_t>> early;
    early.swap(rtc.early);
    rtcEnd();
    rtc.begun = true, rtc.host = host, rtc.out = out, rtc.since = now(), rtc.relay = &relay;
    rtc_js_begin(host, stunUrl.c_str());
    for (const std::vector<uint8_t>& s : early) takeSignal(s.data(), s.size());
}

bool rtcTakeSignal(const uint8_t* data, size_t n) {
    if (n < 1 || data[0] < SIG_DESCRIPTION || data[0] > SIG_ASK) return false;
    if (!rtc.begun) {
        if (rtc.early.size() < 64) rtc.early.emplace_back(data, data + n);
        return true;
    }
    takeSignal(data, n);
    return true;
}

RtcState rtcState() {
    if (!rtc.begun || rtc.state != RTC_TRYING) return rtc.state;
    pump();
    if (rtc.host) hostChooses();
    else joinerFollows();
    return rtc.state;
}

LinkTransport& rtcTransport() { return transport; }

void rtcEnd() {
    if (rtc.begun) rtc_js_close(0);
    rtc = Rtc();
}
