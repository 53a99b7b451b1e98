// wsqueue.h: a WebSocket's messages waiting to go, one written each time libwebsockets says the socket may take it.
#ifndef KORVADO_WSQUEUE_H
#define KORVADO_WSQUEUE_H

#include <libwebsockets.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

struct WsQueue {
    std::deque<std::vector<uint8_t>> frames;
    size_t bytes = 0;

    // False, and nothing queued, when it would hold more than `limit` bytes.
    bool push(const uint8_t* d, size_t n, size_t limit) {
        if (bytes + n > limit) return false;
        frames.emplace_back(d, d + n);
        bytes += n;
        return true;
    }

    // The oldest message out (asking to be called again while more wait); -1 when the socket failed.
    int writeOne(struct lws* wsi) {
        if (frames.empty()) return 0;
        size_t n = frames.front().size();
        std::vector<uint8_t> buf(LWS_PRE + n);
        std::copy(frames.front().begin(), frames.front().end(), buf.begin() + LWS_PRE);
        if (lws_write(wsi, buf.data() + LWS_PRE, n, LWS_WRITE_BINARY) < int(n)) return -1;
        bytes -= n;
        frames.pop_front();
        if (!frames.empty()) lws_callback_on_writable(wsi);
        return 0;
    }
};

#endif
