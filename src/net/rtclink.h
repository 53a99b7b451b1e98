// rtclink.h: the link between two pages over WebRTC's data channels, and the choice between it and the lobby.
#ifndef KORVADO_RTCLINK_H
#define KORVADO_RTCLINK_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include "link.h"

// The two pages trade their descriptions and candidates over the lobby's relay, as frames of kinds 0x80 and
// above (a description in pieces, each frame within the relay's 1 kB). The host chooses the way and says it:
// direct once both channels are open, through the lobby when they are not within 3 s of rtcBegin (the browser's
// own failure takes some 15 s). The joiner follows; one who has not heard the host by then asks again, and
// takes the lobby when the host's offer has not come within 6 s or his word within 10 s. Keep handing the relay's
// frames to rtcTakeSignal until rtcEnd, even once the way is chosen: the other side may still ask.
typedef std::function<void(const uint8_t* data, size_t n)> RtcSignalOut;
void rtcBegin(bool host, const std::string& stunUrl, RtcSignalOut out, LinkTransport& relay);  // "": no STUN
bool rtcTakeSignal(const uint8_t* data, size_t n);  // one relayed frame; false: not one of ours
enum RtcState { RTC_TRYING, RTC_OPEN, RTC_FAILED };
RtcState rtcState();  // OPEN: moved to the channels; FAILED: through the lobby (both sides agree)

// The session's link between two pages, from rtcBegin on: the relay's (`relay`, a MessageLink) until the way is
// chosen direct, then the channels', moved during the session:
// - after the move the inputs go on a channel unordered and without resends at once; the other messages go on
//   a reliable ordered one once the relay has delivered every reliable message sent on it (they wait till then,
//   in order). The relay's events are taken before the channels', so nothing is reordered across the move, and
//   what still comes by the relay is taken too;
// - gone: the relay's word until the move is handed over; then the other side's goodbye, a channel closed (his
//   page closed the connection, or the browser gave it up), or nothing on the channels for 8 s (each page pings
//   every half second from the browser's own timer, and answers pings from the channel's events, so a tab in
//   the background stays heard). The relay stays up, but its silence or its end ends nothing then;
// - busy: never (the lobby pairs the two pages: no third one reaches these channels);
// - delivered: the relay's delivered, and the other page acknowledged every reliable message on the channel
//   (its browser does, as each arrives).
LinkTransport& rtcTransport();
void rtcEnd();  // closes the connection and forgets everything; rtcBegin may follow

#endif
