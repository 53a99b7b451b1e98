// web.cpp: the lobby's UDP socket and its web port in one libwebsockets loop: the site's files over HTTP (GET and
// HEAD, nothing outside its folder, no listing) and the lobby's datagrams as WebSocket messages, bounded.
#include "lobby/web.h"

#include <arpa/inet.h>
#include <libwebsockets.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "lobby/udp.h"

namespace {

uint64_t nowMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

Doors& doorsOf(struct lws* wsi) { return *static_cast<Doors*>(lws_context_user(lws_get_context(wsi))); }

// The plain HTTP protocol serves the files; a WebSocket that did not ask for ours by name is refused (it would
// open and drop every message).
int httpCallback(struct lws* wsi, enum lws_callback_reasons reason, void* user, void* in, size_t len) {
    if (reason == LWS_CALLBACK_FILTER_PROTOCOL_CONNECTION) return 1;
    return lws_callback_http_dummy(wsi, reason, user, in, len);
}

int lobbyCallback(struct lws* wsi, enum lws_callback_reasons reason, void* user, void* in, size_t len) {
    uint32_t* id = static_cast<uint32_t*>(user);
    switch (reason) {
    case LWS_CALLBACK_FILTER_PROTOCOL_CONNECTION: return doorsOf(wsi).onFilter(wsi);
    case LWS_CALLBACK_ESTABLISHED: return doorsOf(wsi).onOpen(wsi, id), 0;
    case LWS_CALLBACK_RECEIVE: return doorsOf(wsi).onMessage(wsi, *id, static_cast<const uint8_t*>(in), len);
    case LWS_CALLBACK_SERVER_WRITEABLE: return doorsOf(wsi).onWritable(wsi, *id);
    case LWS_CALLBACK_CLOSED: return doorsOf(wsi).onClosed(*id), 0;
    default: return 0;
    }
}

int udpCallback(struct lws* wsi, enum lws_callback_reasons reason, void*, void*, size_t) {
    if (reason == LWS_CALLBACK_RAW_RX_FILE) doorsOf(wsi).receiveUdp();
    return 0;
}

struct lws_protocols protocols[] = {
    {"http", httpCallback, 0, 0, 0, nullptr, 0},
    {LOBBY_WS_PROTOCOL, lobbyCallback, sizeof(uint32_t), 1024, 0, nullptr, 0},
    {"korvado-udp", udpCallback, 0, 0, 0, nullptr, 0},
    {nullptr, nullptr, 0, 0, 0, nullptr, 0},
};

// libwebsockets 4.1 knows neither of these: without them it answers 415 and the page does not load.
const struct lws_protocol_vhost_options dataMime = {nullptr, nullptr, ".data", "application/octet-stream"};
const struct lws_protocol_vhost_options wasmMime = {&dataMime, nullptr, ".wasm", "application/wasm"};

struct lws_http_mount siteMount(const char* folder) {
    struct lws_http_mount m {};
    m.mountpoint = "/";
    m.mountpoint_len = 1;
    m.origin = folder;
    m.def = "index.html";
    m.origin_protocol = LWSMPRO_FILE;
    m.extra_mimetypes = &wasmMime;
    return m;
}

struct lws_http_mount mount;

// A timer every half second, so that the loop returns to expire what has gone quiet even when nothing comes.
lws_sorted_usec_list_t wake;
struct lws_context* woken;

void wakeUp(lws_sorted_usec_list_t*) { lws_sul_schedule(woken, 0, &wake, wakeUp, 500 * LWS_US_PER_MS); }

// A header's text, "" when it is absent.
std::string header(struct lws* wsi, enum lws_token_indexes token) {
    int len = lws_hdr_total_length(wsi, token);
    if (len <= 0 || len > 1024) return "";
    std::string text(size_t(len) + 1, '\0');
    if (lws_hdr_copy(wsi, &text[0], len + 1, token) < 0) return "";
    text.resize(size_t(len));
    return text;
}

uint32_t peerAddress(struct lws* wsi) {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    if (getpeername(lws_get_socket_fd(wsi), reinterpret_cast<sockaddr*>(&a), &n) != 0 || a.sin_family != AF_INET) return 0;
    return ntohl(a.sin_addr.s_addr);
}

}  // namespace

Doors::Doors(Lobby& l, int udpSocket) : lobby(l), udp(udpSocket) {}

Doors::~Doors() {
    webMail().wake = nullptr;
    if (context) lws_context_destroy(context);
}

// The context's settings: the site's mount if any, TLS if asked, IPv4 only (as the UDP side).
static struct lws_context_creation_info contextInfo(const WebOptions& opts, void* user) {
    struct lws_context_creation_info info {};
    info.port = opts.port;
    info.iface = opts.address.empty() ? nullptr : opts.address.c_str();
    info.protocols = protocols;
    mount = siteMount(opts.site.c_str());
    info.mounts = opts.site.empty() ? nullptr : &mount;
    info.options = LWS_SERVER_OPTION_DISABLE_IPV6;
    if (!opts.cert.empty()) {
        info.options |= LWS_SERVER_OPTION_DO_SSL_GLOBAL_INIT;
        info.ssl_cert_filepath = opts.cert.c_str();
        info.ssl_private_key_filepath = opts.key.c_str();
    }
    info.alpn = "http/1.1";  // WebSocket over HTTP/1.1 upgrades only
    info.user = user;
    info.timeout_secs = 10;
    return info;
}

// The web port, and the UDP socket adopted into the same loop.
bool Doors::openWeb(const WebOptions& options) {
    opts = options;
    lws_set_log_level(LLL_ERR, nullptr);
    struct lws_context_creation_info info = contextInfo(opts, this);
    context = lws_create_context(&info);
    lws_sock_file_fd_type fd;
    fd.filefd = udp;
    struct lws_vhost* vh = context ? lws_get_vhost_by_name(context, "default") : nullptr;
    if (vh && lws_adopt_descriptor_vhost(vh, LWS_ADOPT_RAW_FILE_DESC, fd, "korvado-udp", nullptr)) {
        woken = context;
        wakeUp(nullptr);
        struct lws_context* c = context;
        webMail().wake = [c] { lws_cancel_service(c); };
        return true;
    }
    fprintf(stderr, "korvado_lobby: cannot serve the web on TCP port %u%s\n", opts.port,
            opts.cert.empty() ? "" : " (or read the certificate and its key)");
    return false;
}

void Doors::service() {
    if (context) lws_service(context, 0);  // until something happens, at most until its next timer
    else pollUdp();
    for (const Outgoing& o : webMail().take()) send(o);  // the other threads' datagrams for pages
}

void Doors::pollUdp() {
    pollfd p{udp, POLLIN, 0};
    if (poll(&p, 1, 500) > 0) receiveUdp();
}

// Every datagram waiting on the socket (udp.cpp), and what the lobby has for pages after them.
void Doors::receiveUdp() {
    out.clear();
    drainUdp(udp, lobby, out);
    for (const Outgoing& o : out) send(o);
}

void Doors::send(const Outgoing& o) {
    if (!webEnd(o.to)) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(o.to.ip);
        to.sin_port = htons(o.to.port);
        sendto(udp, o.data.data(), o.data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        return;
    }
    auto c = conns.find(o.to.ip);
    if (c == conns.end() || c->second.closing) return;
    Conn& k = c->second;
    if (!k.out.push(o.data.data(), o.data.size(), lim.queuedBytes)) return void(tally.dropped++);
    lws_callback_on_writable(k.wsi);
}

// A browser always names its page's origin: the site's own, or one given by --allow-origin. A program (the
// desktop game) names none.
bool Doors::originTaken(struct lws* wsi) const {
    std::string origin = header(wsi, WSI_TOKEN_ORIGIN);
    if (origin.empty()) return lws_hdr_total_length(wsi, WSI_TOKEN_ORIGIN) <= 0;
    std::string own = (opts.cert.empty() ? "http://" : "https://") + header(wsi, WSI_TOKEN_HOST);
    return origin == own || std::find(opts.origins.begin(), opts.origins.end(), origin) != opts.origins.end();
}

int Doors::onFilter(struct lws* wsi) {
    uint32_t addr = peerAddress(wsi);
    auto here = perAddress.find(addr);
    bool full = conns.size() >= lim.connections || (here != perAddress.end() && here->second >= lim.perAddress);
    if (header(wsi, WSI_TOKEN_GET_URI) == "/lobby" && originTaken(wsi) && addr && !full) return 0;
    tally.refused++;
    return 1;
}

uint32_t Doors::newId() {
    do lastId = (lastId % 0xFFFFFF) + 1;
    while (conns.count(lastId));
    return lastId;
}

void Doors::onOpen(struct lws* wsi, uint32_t* slot) {
    uint32_t id = newId();
    uint64_t now = nowMs();
    uint32_t addr = peerAddress(wsi);
    conns[id] = Conn{wsi, addr, double(lim.burst), now, now, {}, false};
    perAddress[addr]++;
    *slot = id;
    tally.accepted++;
}

void Doors::onClosed(uint32_t id) {
    auto c = conns.find(id);
    if (c == conns.end()) return;
    auto here = perAddress.find(c->second.addr);
    if (here != perAddress.end() && --here->second == 0) perAddress.erase(here);
    conns.erase(c);
}

// Within the connection's allowance of bytes a second (an empty message counts 16)?
bool Doors::withinRate(Conn& k, size_t n, uint64_t now) {
    k.tokens = std::min(double(lim.burst), k.tokens + double(now - k.at) * lim.bytesPerSecond / 1000.0);
    k.at = now;
    double cost = double(std::max<size_t>(n, 16));
    if (k.tokens < cost) return tally.limited++, false;
    k.tokens -= cost;
    return true;
}

// One binary message in one piece, within the size, passed to the lobby as a datagram from the connection's own
// address; anything else ends the connection. An empty message is a ping. Over the rate, messages are dropped.
int Doors::onMessage(struct lws* wsi, uint32_t id, const uint8_t* data, size_t n) {
    auto c = conns.find(id);
    if (c == conns.end()) return -1;
    bool whole = lws_is_first_fragment(wsi) && lws_is_final_fragment(wsi) && !lws_remaining_packet_payload(wsi);
    if (!lws_frame_is_binary(wsi) || !whole || n > lim.messageBytes) {
        tally.closed++;
        lws_close_reason(wsi, LWS_CLOSE_STATUS_POLICY_VIOLATION, nullptr, 0);
        return -1;
    }
    uint64_t now = nowMs();
    c->second.heard = now;
    if (!withinRate(c->second, n, now) || !n) return 0;
    tally.messages++;
    out.clear();
    lobby.receive(Endpoint{id, 1}, data, n, now, out);
    for (const Outgoing& o : out) send(o);
    return 0;
}

int Doors::onWritable(struct lws* wsi, uint32_t id) {
    auto c = conns.find(id);
    if (c == conns.end()) return -1;
    Conn& k = c->second;
    if (k.closing) return lws_close_reason(wsi, LWS_CLOSE_STATUS_GOINGAWAY, nullptr, 0), -1;
    return k.out.writeOne(wsi);
}

void Doors::tick(uint64_t now) {
    for (auto& c : conns) {
        if (c.second.closing || now - c.second.heard < lim.idleMs) continue;
        c.second.closing = true;
        tally.closed++;
        lws_callback_on_writable(c.second.wsi);
    }
}

std::string Doors::report() const {
    if (!context) return "";
    char line[200];
    snprintf(line, sizeof line,
             "; web: %zu WebSockets, %llu taken, %llu refused, %llu closed; %llu messages, %llu over the rate, "
             "%llu dropped for slow readers",
             conns.size(), (unsigned long long)tally.accepted, (unsigned long long)tally.refused,
             (unsigned long long)tally.closed, (unsigned long long)tally.messages, (unsigned long long)tally.limited,
             (unsigned long long)tally.dropped);
    return line;
}
