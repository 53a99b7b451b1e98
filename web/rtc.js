// rtc.js: the page's WebRTC for rtclink.cpp: one peer connection, two data channels, events polled from C.
// Each channel message starts with its kind: 0 the link's data, 1 a ping, 2 its pong, 3 an acknowledgement
// (the count of reliable data messages come), the rest rtclink.cpp's. Pings, pongs and acknowledgements are
// answered here, from the browser's events, so a page in a background tab (no frames) still answers them.
var LibraryKorvadoRtc = {
  $RTC: {pc: null, chans: [], events: [], chain: null, timer: 0, heard: 0, rtt: 0, acked: 0, come: 0,
         stats: [0, 0, 0, 0]},

  // An event for C: its type (1 our description, 2 our candidate, 3 a channel message, 4 both channels open,
  // 5 a channel closed or the connection failed) and its bytes.
  $rtcEvent: function(type, bytes) { RTC.events.push({type: type, bytes: bytes}); },

  $rtcSend: function(chan, bytes) {
    const c = RTC.chans[chan];
    if (!c || c.readyState !== 'open') return 0;
    c.send(bytes);
    RTC.stats[0] += bytes.length, RTC.stats[2]++;
    return 1;
  },

  // What the browser's statistics say of the pair of candidates in use, e.g. "srflx srflx", for the tests.
  $rtcPair: function(tries) {
    RTC.pc && RTC.pc.getStats().then(report => {
      let pair = null;
      report.forEach(s => { if (s.type === 'transport' && s.selectedCandidatePairId) pair = report.get(s.selectedCandidatePairId); });
      if (!pair) return tries > 0 && setTimeout(() => rtcPair(tries - 1), 100);
      const k = Module.korvado || (Module.korvado = {passes: 0, passMs: 0});
      k.rtcPair = report.get(pair.localCandidateId).candidateType + ' ' + report.get(pair.remoteCandidateId).candidateType;
    }).catch(() => {});  // closed meanwhile
  },

  $rtcMessage__deps: ['$rtcEvent', '$rtcSend', '$rtcPair'],
  $rtcMessage: function(chan, data) {
    const bytes = new Uint8Array(data), now = performance.now();
    RTC.heard = now, RTC.stats[1] += bytes.length, RTC.stats[3]++;
    if (bytes[0] === 1) return rtcSend(0, Uint8Array.of(2, ...bytes.subarray(1)));
    if (bytes[0] === 2 && bytes.length === 9) {
      const sample = now - new DataView(bytes.buffer).getFloat64(1);
      return RTC.rtt = RTC.rtt ? RTC.rtt * 0.875 + sample * 0.125 : sample;
    }
    if (bytes[0] === 3 && bytes.length === 5) return RTC.acked = new DataView(bytes.buffer).getUint32(1);
    if (bytes[0] === 0 && chan === 1) {
      const ack = new Uint8Array(5);
      new DataView(ack.buffer).setUint32(1, ++RTC.come);
      ack[0] = 3, rtcSend(1, ack);
    }
    if (chan === 0 && RTC.events.length > 4096) return;  // a page that has not looked for a long while
    rtcEvent(3, Uint8Array.of(chan, ...bytes));
  },

  rtc_js_begin__deps: ['$RTC', '$rtcMessage'],
  rtc_js_begin: function(host, stunUrl) {
    const stun = UTF8ToString(stunUrl), k = Module.korvado || (Module.korvado = {passes: 0, passMs: 0});
    k.rtcBegunAt = performance.now();  // for the measurements
    const pc = RTC.pc = new RTCPeerConnection({iceServers: stun ? [{urls: stun}] : []});
    RTC.events = [], RTC.heard = RTC.rtt = RTC.acked = RTC.come = 0, RTC.stats = [0, 0, 0, 0];
    RTC.chain = Promise.resolve();
    // Both sides make the same two channels (negotiated, fixed ids): nobody waits for the other's.
    RTC.chans = [pc.createDataChannel('inputs', {negotiated: true, id: 0, ordered: false, maxRetransmits: 0}),
                 pc.createDataChannel('rest', {negotiated: true, id: 1})];
    RTC.chans.forEach((c, i) => {
      c.binaryType = 'arraybuffer';
      c.onmessage = e => pc === RTC.pc && rtcMessage(i, e.data);
      c.onopen = () => {
        if (pc !== RTC.pc || RTC.chans.some(o => o.readyState !== 'open')) return;
        RTC.heard = performance.now();
        rtcEvent(4, new Uint8Array(0));
        rtcPair(20);
      };
      c.onclose = () => pc === RTC.pc && rtcEvent(5, new Uint8Array(0));
    });
    pc.onicecandidate = e => {
      if (e.candidate && e.candidate.candidate)
        rtcEvent(2, new TextEncoder().encode(e.candidate.sdpMid + '\n' + e.candidate.candidate));
    };
    pc.onconnectionstatechange = () => pc === RTC.pc && pc.connectionState === 'failed' && rtcEvent(5, new Uint8Array(0));
    const ping = new Uint8Array(9);
    RTC.timer = setInterval(() => {
      new DataView(ping.buffer).setFloat64(1, performance.now());
      ping[0] = 1, rtcSend(0, ping);
    }, 500);
    if (host) RTC.chain = RTC.chain.then(() => pc.createOffer()).then(d => pc.setLocalDescription(d))
      .then(() => rtcEvent(1, new TextEncoder().encode(pc.localDescription.sdp))).catch(() => rtcEvent(5, new Uint8Array(0)));
  },

  // The other side's description (kind 1: the host's offer, answered here, or the joiner's answer) or candidate
  // (2), in the order they came.
  rtc_js_remote__deps: ['$RTC', '$rtcEvent'],
  rtc_js_remote: function(kind, text) {
    const pc = RTC.pc, s = UTF8ToString(text);
    if (!pc) return;
    if (kind === 2) {
      const cut = s.indexOf('\n');
      RTC.chain = RTC.chain.then(() => pc.addIceCandidate({sdpMid: s.slice(0, cut), candidate: s.slice(cut + 1)})).catch(() => {});
      return;
    }
    const offer = pc.signalingState === 'stable' && !pc.localDescription;
    RTC.chain = RTC.chain.then(() => pc.setRemoteDescription({type: offer ? 'offer' : 'answer', sdp: s}))
      .then(() => offer && pc.createAnswer().then(d => pc.setLocalDescription(d))
        .then(() => pc === RTC.pc && rtcEvent(1, new TextEncoder().encode(pc.localDescription.sdp))))
      .catch(() => pc === RTC.pc && rtcEvent(5, new Uint8Array(0)));
  },

  // The next event into buf (its type first, then its bytes, cut at cap): its length, 0 when none.
  rtc_js_next__deps: ['$RTC'],
  rtc_js_next: function(buf, cap) {
    const e = RTC.events.shift();
    if (!e) return 0;
    const n = Math.min(e.bytes.length + 1, cap);
    HEAPU8[buf] = e.type;
    HEAPU8.set(e.bytes.subarray(0, n - 1), buf + 1);
    return n;
  },

  rtc_js_send__deps: ['$rtcSend'],
  rtc_js_send: function(chan, data, n) { return rtcSend(chan, HEAPU8.slice(data, data + n)); },

  // What came back of the pings and acknowledgements, and the traffic: 0 round trip ms, 1 reliable data
  // messages acknowledged, 2 ms since the other side was last heard, 3-6 bytes and messages out and in.
  rtc_js_stat__deps: ['$RTC'],
  rtc_js_stat: function(what) {
    if (what < 3) return [RTC.rtt, RTC.acked, RTC.heard ? performance.now() - RTC.heard : 0][what];
    return RTC.stats[what - 3];
  },

  rtc_js_now: function() { return performance.now(); },

  // The way the session takes, for the tests and the measurements.
  rtc_js_said: function(way) {
    const k = Module.korvado || (Module.korvado = {passes: 0, passMs: 0});
    k.rtcWay = UTF8ToString(way), k.rtcWayAt = performance.now();
  },

  // Closes the connection, at once or after lingerMs (what was sent last has a moment to leave).
  rtc_js_close__deps: ['$RTC'],
  rtc_js_close: function(lingerMs) {
    const pc = RTC.pc;
    clearInterval(RTC.timer);
    RTC.pc = null, RTC.chans = [], RTC.events = [];
    if (pc) setTimeout(() => pc.close(), lingerMs);
  },
};
mergeInto(LibraryManager.library, LibraryKorvadoRtc);
