#!/bin/bash
# test_net_pages.sh: net.html in headless Chromium, each browser in a home of the lobby lab (lobbylab.sh; it needs
# root, as CI has) with no route out of the lab, and the lobby on the lab's internet serving the site. Two pages
# behind common routers: one hosts, his lobby restarts and his page gets its code back, the other opens his invite
# link, they meet directly over WebRTC (the pages say "direct", the browsers' statistics a pair of the routers'
# public addresses), play a round and the joiner's walk shows on the host's canvas; the joiner's tab goes to the
# background for 10 s, the host's page shows "Waiting for the network" and the session goes on once he is back.
# Two more behind a router that gives a new port per destination: WebRTC cannot get through, their session stays
# on the lobby's relay where it started, and they play a round through the lobby, while another client of its web
# port sends garbage frames (lobbyflood web). Beside them, a desktop korvado_net on an X server of its own hosts and
# a page joins by his code on its front page: a round through the lobby. Each page's console stays clean. Everything is removed however it ends; a
# failed run keeps its files (net-pages.failed).
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/lobbylab.sh"
BIN="$KORVADO_BUILD_DIR/bin"
FLOOD="$KORVADO_BUILD_DIR/tools/lobbyflood"
SCRIPTS="$(cd "$(dirname "$E2E_LIB")/../net" && pwd)"
WEB_TESTS="$(cd "$(dirname "$E2E_LIB")/../web" && pwd)"
SITE="${KORVADO_WEB_SITE:-}"
WORK="$SHOTS/net-pages"
rm -rf "$WORK"
mkdir -p "$WORK"
LAB_TAG="kvp$$"
[ -f "$SITE/net.html" ] || e2e_fail "no net.html in \"$SITE\": make web builds it"

cleanup() {
    local status=$? f
    [ -f "$WORK/xvfb.pids" ] && kill $(cat "$WORK/xvfb.pids") 2>/dev/null
    lab_down
    wait 2>/dev/null
    e2e_cleanup
    [ $status = 0 ] && return 0
    for f in "$WORK"/*.out "$WORK"/*.trace "$WORK"/*.err; do
        [ -s "$f" ] && { echo "--- $(basename "$f"), its end:"; tail -n 8 "$f"; }
    done >&2
    rm -rf "$WORK.failed"
    cp -a "$WORK" "$WORK.failed"
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP

# pages_lobby UDP WEB: a lobby on the internet on those ports, its web port serving the site; its pid in LOBBY_PID.
pages_lobby() {
    ip netns exec "$(lab_ns inet)" "$BIN/korvado_lobby" --port $1 --web $2 --site "$SITE" 2>"$WORK/lobby-$2.err" &
    LOBBY_PID=$!
    for _ in $(seq 50); do grep -qs "web on TCP" "$WORK/lobby-$2.err" && return 0; sleep 0.1; done
    e2e_fail "the lobby did not start: $(cat "$WORK/lobby-$2.err")"
}

# page_play HOME ROLE URL DIR NAME [WAY [round]]: one player of net.html (net_page.py's roles) in that home; his
# pid in LAST.
page_play() {
    mkdir -p "$4"
    ip netns exec "$(lab_ns "$1")" env KORVADO_BUILD_DIR="$KORVADO_BUILD_DIR" \
        /usr/bin/python3 "$WEB_TESTS/net_page.py" "$2" "$3" "$4" "${@:6}" >"$WORK/$5.out" 2>&1 &
    LAST=$!
}

# page_ends PID NAME: that player ends well within 60 s.
page_ends() {
    local i
    for i in $(seq 600); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    wait "$1" || e2e_fail "$2: $(grep FAIL "$WORK/$2.out" || tail -n 3 "$WORK/$2.out")"
}

# Two pages in two homes: the host's lobby restarts before the joiner opens his link (the host's page gets its
# code back), and ends once they play direct.
two_pages() {
    local url="http://$LOBBY_IP:8080/net.html" host joiner
    pages_lobby 27416 8080
    page_play pages-a host "$url" "$WORK/two" page-host direct
    host=$LAST
    while [ ! -e "$WORK/two/link" ] && kill -0 $host 2>/dev/null; do sleep 0.2; done
    kill $LOBBY_PID
    wait $LOBBY_PID 2>/dev/null
    pages_lobby 27416 8080
    sleep 4  # the host's page opens its socket again within 3 s
    cp "$WORK/two/link" "$WORK/two/invite"
    page_play pages-b link "$url" "$WORK/two" page-joiner direct
    joiner=$LAST
    while [ ! -e "$WORK/two/walked" ] && kill -0 $joiner 2>/dev/null; do sleep 0.2; done
    kill $LOBBY_PID  # the relay's end: the session that plays direct goes on, the joiner's background too
    wait $LOBBY_PID 2>/dev/null
    page_ends $joiner page-joiner
    page_ends $host page-host
    cat "$WORK/page-host.out" "$WORK/page-joiner.out"
    echo "two pages: the host's code kept through the lobby's restart, and a round direct"
}

# Two pages, the host's router giving a new port per destination (a lobby of their own): no channel opens, the
# lobby carries a round, while another client of its web port sends garbage frames.
random_pages() {
    local url="http://$LOBBY_IP:8082/net.html" host joiner flood
    pages_lobby 27418 8082
    page_play random-a host "$url" "$WORK/random" random-host "through the lobby" round
    host=$LAST
    while [ ! -e "$WORK/random/link" ] && kill -0 $host 2>/dev/null; do sleep 0.2; done
    cp "$WORK/random/link" "$WORK/random/invite"
    page_play random-b link "$url" "$WORK/random" random-joiner "through the lobby" round
    joiner=$LAST
    while [ ! -e "$WORK/random/round" ] && kill -0 $host 2>/dev/null; do sleep 0.2; done
    ip netns exec "$(lab_ns inet)" stdbuf -oL "$FLOOD" web 127.0.0.1 27418 8082 >"$WORK/flood.out" 2>&1 &
    flood=$!
    page_ends $joiner random-joiner
    page_ends $host random-host
    kill $flood 2>/dev/null
    grep -q "garbage frames close their connection: yes" "$WORK/flood.out" ||
        e2e_fail "no garbage frames were sent beside the pair: $(cat "$WORK/flood.out")"
    cat "$WORK/random-host.out" "$WORK/random-joiner.out"
    echo "two pages behind a router that gives a new port per destination: a round through the lobby, played on"
    echo "while another client's garbage frames closed its own connection"
}

# A desktop host on an X server of his own, with the script of a round; a page joins by his code.
desktop_and_page() {
    local host page
    pages_lobby 27417 8081
    XVFB_PID=""
    e2e_start_x
    echo "$XVFB_PID" >>"$WORK/xvfb.pids"
    (cd "$BIN" && exec ip netns exec "$(lab_ns desk-a)" env --default-signal=INT,TERM SDL_VIDEODRIVER=x11 \
        SDL_AUDIODRIVER=dummy KORVADO_NET_SCRIPT="$SCRIPTS/router-host.script" KORVADO_NET_TRACE="$WORK/desk.trace" \
        ./korvado_net host --no-port-mapping --lobby $LOBBY_IP:27417) >"$WORK/desk.out" 2>&1 &
    host=$!
    mkdir -p "$WORK/desk"
    lab_code desk | tr -d + >"$WORK/desk/code"
    page_play desk-b code "http://$LOBBY_IP:8081/net.html" "$WORK/desk" desk-page
    page=$LAST
    trace_await desk "^winner type 1 red 1 blue 0" 60 >/dev/null
    grep -q "^way lobby " "$WORK/desk.trace" || e2e_fail "the desktop's way: $(grep '^way' "$WORK/desk.trace")"
    touch "$WORK/desk/over"
    page_ends $page desk-page
    kill -TERM $host
    net_ends $host 0 desk
    cat "$WORK/desk-page.out"
    echo "a desktop host and a page: $(cat "$WORK/desk/code"), a round played through the lobby"
}

# pages_lab: the internet, and a home for each player of the cases here: behind common routers, but random-a's,
# which gives a new port per destination.
pages_lab() {
    lab_internet
    lab_home pages-a inet br0 5.5.5.1/24 ""
    lab_home pages-b inet br0 5.5.5.2/24 ""
    lab_home desk-a inet br0 5.5.5.3/24 ""
    lab_home desk-b inet br0 5.5.5.4/24 ""
    lab_home random-a inet br0 5.5.5.5/24 "" fully-random
    lab_home random-b inet br0 5.5.5.6/24 ""
}

pages_lab
two_pages >"$WORK/two.log" 2>&1 &
pair=$!
random_pages >"$WORK/random.log" 2>&1 &
relayed=$!
(desktop_and_page) >"$WORK/desk.log" 2>&1 || { cat "$WORK/desk.log"; e2e_fail "a desktop and a page (above)"; }
wait $pair || { cat "$WORK/two.log"; e2e_fail "two pages (above)"; }
wait $relayed || { cat "$WORK/random.log"; e2e_fail "two pages behind a router of new ports (above)"; }
cat "$WORK/two.log" "$WORK/random.log" "$WORK/desk.log"
echo "site: $(du -sk "$SITE" | cut -f1) kB"
echo PASS
