#!/bin/bash
# test_net_lobby.sh: korvado_net through korvado_lobby, in an internet of network namespaces (lobbylab.sh; it needs
# root, as CI has). In four pairs of homes, all on 192.168.1.0/24 with each player at 192.168.1.10, a host gets an
# invite code and a joiner comes with it: behind two common routers they meet directly; behind a router that gives a
# new port for each destination, one that drops UDP to the other home, or a carrier-grade NAT, through the lobby's
# relay; each pair plays a round. A third player with the first pair's code hears that the host is busy; a made-up
# code, a lobby that does not answer (joiner and host), a lobby that relays nothing get their sentences. Meanwhile
# the lobby takes a flood of garbage and made-up codes from four addresses and answers within its rate and never with
# more bytes; a second lobby with room for 2 sessions (8 hosts) takes no more; a burst through a relay passes only
# the session's 16,000 bytes. A lobby of two threads killed and started again keeps a host's code for the joiner who
# has it, carries relayed pairs split over its threads, and its metrics count them. Two players of plain korvado_net,
# each on a display of his own, meet from their front pages with keys pressed as a hand presses them: the host takes
# "Host a duel", the joiner types a made-up code (its sentence, Return back to his line as he left it), then the
# host's, and they play a round; the host's exit item takes both back to their front pages, and Escape from his
# waiting screen him too. "Join on this network" lists the one host of a home by his machine's name and joins him;
# the host's leaving is told, and Return goes to the front page. Everything is removed however it ends; a failed run
# keeps its files (net-lobby.failed) and shows the players' outputs and traces. A third lobby with a web port serves
# a site's files (GET, HEAD, the wasm type, nothing outside its folder, no listing; https with a certificate) and its
# WebSockets (lobbyflood web): a page host and a desktop joiner, two pages, relayed while garbage, oversized and text
# messages close their own connections; the cap per address; a STUN binding answered; and Chromium, in a home of its
# own, opens a page of that site: its WebSocket opens and its WebRTC learns the home's public address from the
# lobby's STUN answer. Two pairs of desktops meet on a lobby's WebSocket as a desktop and a page do (in each one
# player told to speak as a page: the host, then the joiner) and start a session (the first pair) or play a round
# (the second) through its relay.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/lobbylab.sh"
BIN="$KORVADO_BUILD_DIR/bin"
FLOOD="$KORVADO_BUILD_DIR/tools/lobbyflood"
RESTARTED=""
SCRIPTS="$(cd "$(dirname "$E2E_LIB")/../net" && pwd)"
WEB_TESTS="$(cd "$(dirname "$E2E_LIB")/../web" && pwd)"
WORK="$SHOTS/net-lobby"
rm -rf "$WORK"
mkdir -p "$WORK"
LAB_TAG="kvl$$"
JOBS=""

cleanup() {
    local status=$? f
    [ -n "$JOBS" ] && kill $JOBS 2>/dev/null
    [ -f "$WORK/xvfb.pids" ] && kill $(cat "$WORK/xvfb.pids") 2>/dev/null
    lab_down
    wait 2>/dev/null
    e2e_cleanup
    [ $status = 0 ] && return 0
    for f in "$WORK"/*.out "$WORK"/*.trace; do  # what the players said and did, at the end
        [ -s "$f" ] && { echo "--- $(basename "$f"), its end:"; tail -n 8 "$f"; }
    done >&2
    rm -rf "$WORK.failed"
    cp -a "$WORK" "$WORK.failed"  # the next run starts afresh; this one's files stay here
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP  # a test stopped from outside cleans up too

# pair CASE WAY: the host in CASE-a, the joiner in CASE-b with his code; a round played, both went WAY.
pair() {
    local c=$1 host joiner code side
    lab_run $c-a host-$c router-host.script host --no-port-mapping --lobby $LOBBY_IP
    host=$LAST
    code=$(lab_code host-$c)
    lab_run $c-b joiner-$c router-joiner.script join "$code" --lobby $LOBBY_IP
    joiner=$LAST
    trace_await joiner-$c "^start joiner" 20 >/dev/null
    [ $c = direct ] && busy "$code"
    trace_await joiner-$c "^winner type 1 red 1 blue 0" 90 >/dev/null
    trace_await host-$c "^winner type 1 red 1 blue 0" 5 >/dev/null
    for side in host joiner; do
        grep -q "^way $2 " "$WORK/$side-$c.trace" || e2e_fail "$c: the $side's way: $(grep '^way' "$WORK/$side-$c.trace")"
    done
    kill -TERM $host
    net_ends $host 0 host-$c
    net_ends $joiner 0 joiner-$c
    echo "$c: $code, a round played, the way: $2; $(lab_join_ms joiner-$c) ms from the join to the first pass"
}

# busy CODE: a third player with the code of a host at play: told so, status 1.
busy() {
    lab_run inet third intro.script join "$1" --lobby $LOBBY_IP
    net_ends $LAST 1 third
    grep -q "^message THE HOST IS BUSY" "$WORK/third.trace" || e2e_fail "the third player was not told the host is busy"
    echo "a third player with $1: the host is busy, status 1"
}

# A made-up code; a lobby that is not there, for a joiner and for a host (who goes on hosting).
sentences() {
    local lonely
    lab_run inet lonely intro.script host --no-port-mapping --lobby 5.5.5.99
    lonely=$LAST
    lab_run inet nocode intro.script join +ZZZZZZ --lobby $LOBBY_IP
    net_ends $LAST 1 nocode
    grep -q "^message NO SUCH CODE" "$WORK/nocode.trace" || e2e_fail "a made-up code: $(cat "$WORK/nocode.out")"
    lab_run inet nolobby intro.script join +ZZZZZZ --lobby 5.5.5.99
    net_ends $LAST 1 nolobby
    grep -q "^message NO LOBBY" "$WORK/nolobby.trace" || e2e_fail "no lobby: $(cat "$WORK/nolobby.out")"
    norelay
    trace_await lonely "^lobby silent" 10 >/dev/null
    kill -0 $lonely || e2e_fail "the host whose lobby does not answer stopped hosting"
    kill -TERM $lonely
    net_ends $lonely 0 lonely
    echo "sentences: $(cat "$WORK/nocode.out" "$WORK/nolobby.out" | grep '^korvado:' | tr '\n' ' ')"
    echo "a host whose lobby does not answer: said so, hosted on until told to end"
}

# Behind routers that keep them apart, with a lobby that relays nothing: no way through, status 1.
norelay() {
    local lobby host
    ip netns exec "$(lab_ns inet)" "$BIN/korvado_lobby" --port 27419 --no-relay 2>"$WORK/norelay-lobby.err" &
    lobby=$!
    lab_run random-a norelay-host intro.script host 27420 --no-port-mapping --lobby $LOBBY_IP:27419
    host=$LAST
    lab_run random-b norelay intro.script join "$(lab_code norelay-host)" --lobby $LOBBY_IP:27419
    net_ends $LAST 1 norelay
    grep -q "^message NO WAY THROUGH" "$WORK/norelay.trace" || e2e_fail "no relay: $(cat "$WORK/norelay.out")"
    kill -TERM $host $lobby
    net_ends $host 0 norelay-host
    wait $lobby
    echo "a lobby that relays nothing, routers that keep the players apart: no way through, status 1"
}

# A second lobby with room for 2 sessions and 8 hosts, and 12 hosts and 4 joiners who want in.
caps() {
    local lobby filler out
    ip netns exec "$(lab_ns inet)" "$BIN/korvado_lobby" --port 27417 --max-sessions 2 2>"$WORK/small-lobby.err" &
    lobby=$!
    # the lobby's socket is open once it says so, and the fill waits only half a second for answers: on a busy
    # machine neither is long, and a fill begun too early or cut off found fewer hosts
    for _ in $(seq 100); do [ -s "$WORK/small-lobby.err" ] && break; sleep 0.1; done
    ip netns exec "$(lab_ns inet)" "$FLOOD" fill 127.0.0.1 27417 12 4 >"$WORK/fill.out" &
    filler=$!
    for _ in $(seq 200); do [ -s "$WORK/fill.out" ] && break; sleep 0.1; done
    kill $filler $lobby
    wait $filler
    wait $lobby || e2e_fail "the small lobby ended with status $?: $(tail -n 3 "$WORK/small-lobby.err")"
    out=$(cat "$WORK/fill.out")
    [ "$out" = "fill: hosts 8, refused 4; meetings 2, refused 2 (full) 0 (busy); relays 2" ] || e2e_fail "caps: $out"
    echo "caps: $out"
    out=$(ip netns exec "$(lab_ns inet)" "$FLOOD" relay 127.0.0.1 27416 20 | tail -n 1)
    [[ "$out" =~ ([0-9]+)\ passed ]] && [ "${BASH_REMATCH[1]}" -ge 1 ] && [ "${BASH_REMATCH[1]}" -le 17 ] ||
        e2e_fail "the relay's cap: $out"
    echo "$out"
}

# metric NAME: the figure korvado_lobby_NAME on the metrics page of the lobby of restart().
metric() {
    ip netns exec "$(lab_ns inet)" bash -c 'exec 3<>/dev/tcp/127.0.0.1/27422 &&
        printf "GET /metrics HTTP/1.1\r\nHost: lobby\r\n\r\n" >&3 && timeout 5 cat <&3' 2>/dev/null |
        awk -v name="korvado_lobby_$1" '$1 == name { print $2 }'
}

# silent_scrapers: while the lobby of restart() relays, six connections to its metrics port that send nothing, then
# a scrape beside them whose time (ms) goes to scrape.ms; they stay open until the relaying is over.
silent_scrapers() {
    ip netns exec "$(lab_ns inet)" bash -c 'sleep 1
        for _ in 1 2 3 4 5 6; do exec {fd}<>/dev/tcp/127.0.0.1/27422; done
        sleep 0.2
        start=$(date +%s%N)
        exec 3<>/dev/tcp/127.0.0.1/27422 && printf "GET /metrics HTTP/1.1\r\n\r\n" >&3 && timeout 5 cat <&3 >/dev/null
        echo $((($(date +%s%N) - start) / 1000000)) >"$1"
        sleep 2' sh "$WORK/scrape.ms"
}

restart_lobby() {
    ip netns exec "$(lab_ns inet)" "$BIN/korvado_lobby" --port 27421 --threads 2 --metrics 127.0.0.1:27422 \
        2>>"$WORK/restart-lobby.err" &
    RESTARTED=$!
}

# A lobby of two threads killed (SIGKILL) and started again at its address: the joiner with the code the host had
# before meets him after the host's next refresh and they play a round. Then relayed pairs, whose ends the kernel
# spreads over the two threads' sockets, carry every datagram both ways, and the metrics count them; silent
# connections to the metrics port meanwhile hold up neither the relayed datagrams nor another scrape.
restart() {
    local host code out forwarded spread silent scrape
    restart_lobby
    lab_run direct-a restart-host router-host.script host 27423 --no-port-mapping --lobby $LOBBY_IP:27421
    host=$LAST
    code=$(lab_code restart-host)
    kill -KILL $RESTARTED
    wait $RESTARTED 2>/dev/null
    restart_lobby
    for _ in $(seq 100); do [ "$(metric hosts)" = 1 ] && break; sleep 0.2; done
    [ "$(metric hosts)" = 1 ] || e2e_fail "the host did not come back to the restarted lobby"
    lab_run direct-b restart-joiner router-joiner.script join "$code" --lobby $LOBBY_IP:27421
    trace_await restart-joiner "^winner type 1 red 1 blue 0" 90 >/dev/null
    [ "$(awk '$1 == "invite" { print $3 }' "$WORK/restart-host.out" | sort -u)" = "$code" ] ||
        e2e_fail "the host's code changed: $(grep invite "$WORK/restart-host.out")"
    kill -TERM $host
    net_ends $host 0 restart-host
    net_ends $LAST 0 restart-joiner
    echo "a lobby killed and started again: $code kept, a joiner with it met the host, a round played"
    [ "$(metric forwarded_datagrams_total)" = 0 ] || e2e_fail "datagrams forwarded before any relay"
    silent_scrapers &
    silent=$!
    out=$(ip netns exec "$(lab_ns inet)" "$KORVADO_BUILD_DIR/tools/lobbyload" relay 127.0.0.1 27421 16 2 77 26)
    wait $silent
    [[ "$out" =~ "16 relayed sessions of 16".*" 0 lost".*"99th percentile "([0-9]+)" us" ]] &&
        [ "${BASH_REMATCH[1]}" -lt 200000 ] || e2e_fail "two threads, six silent scrapers: $out"
    scrape=$(cat "$WORK/scrape.ms")
    [ "$scrape" -lt 1500 ] || e2e_fail "a scrape beside six silent ones took $scrape ms"
    out=${out#*delay through the relay }
    echo "six silent connections on the metrics port: a scrape beside them took $scrape ms; the relay's delay ${out%%;*}"
    forwarded=$(metric forwarded_datagrams_total)
    [ "$(metric relays)" = 16 ] && [ "$forwarded" -ge 4900 ] || e2e_fail "metrics: $forwarded forwarded, $(metric relays) relays"
    spread="$(metric 'thread_datagrams_total{thread="0"}') $(metric 'thread_datagrams_total{thread="1"}')"
    [[ "$spread" =~ ^[0-9]{3,}\ [0-9]{3,}$ ]] || e2e_fail "the relayed datagrams did not come to both threads: $spread"
    echo "two threads: 16 relayed pairs, every datagram both ways; the metrics count $forwarded forwarded, $spread by thread"
    kill -TERM $RESTARTED
    wait $RESTARTED || e2e_fail "the restarted lobby ended with status $?"
}

# webport: the lobby's web port on loopback in the internet namespace, its files and its WebSockets.
webport() {
    local site="$WORK/site" lobby tls status
    mkdir -p "$site/sub" && echo duel >"$site/index.html" && printf '\0asm' >"$site/korvado.wasm"
    echo secret >"$WORK/secret.txt"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=lobby -days 2 \
        -keyout "$WORK/key.pem" -out "$WORK/cert.pem" 2>/dev/null || e2e_fail "no certificate made"
    ip netns exec "$(lab_ns inet)" "$BIN/korvado_lobby" --port 27418 --web 8080 --site "$site" 2>"$WORK/web-lobby.err" &
    lobby=$!
    ip netns exec "$(lab_ns inet)" "$BIN/korvado_lobby" --port 27424 --web 8443 --site "$site" \
        --tls-cert "$WORK/cert.pem" --tls-key "$WORK/key.pem" 2>"$WORK/tls-lobby.err" &
    tls=$!
    for _ in $(seq 100); do [ -s "$WORK/web-lobby.err" ] && [ -s "$WORK/tls-lobby.err" ] && break; sleep 0.1; done
    get() { ip netns exec "$(lab_ns inet)" curl -s --path-as-is -k -o /dev/null -w '%{http_code} %{content_type}' "$@"; }
    [ "$(get http://127.0.0.1:8080/)" = "200 text/html" ] || e2e_fail "the site's index: $(get http://127.0.0.1:8080/)"
    [ "$(get -I http://127.0.0.1:8080/korvado.wasm)" = "200 application/wasm" ] || e2e_fail "HEAD of the wasm file"
    for path in /../secret.txt /sub/../../secret.txt /%2e%2e/secret.txt /sub/; do
        status=$(get "http://127.0.0.1:8080$path")
        [ "${status%% *}" = 404 ] || e2e_fail "$path: $status"
    done
    [ "$(get https://127.0.0.1:8443/)" = "200 text/html" ] || e2e_fail "https: $(get https://127.0.0.1:8443/)"
    echo "web port: the index and the wasm file (GET, HEAD, its type), nothing outside the folder, no listing, https"
    ip netns exec "$(lab_ns inet)" "$FLOOD" web 127.0.0.1 27418 8080 || e2e_fail "the web port's WebSockets (above)"
    cp "$WEB_TESTS/lobby_probe.html" "$site/"
    ip netns exec "$(lab_ns browser)" /usr/bin/python3 "$WEB_TESTS/lobby_probe.py" \
        "http://$LOBBY_IP:8080/lobby_probe.html?stun=27418" 5.5.5.11 || e2e_fail "the browser's probe (above)"
    kill -TERM $lobby $tls
    wait $lobby || e2e_fail "the web lobby ended with status $?: $(tail -n 3 "$WORK/web-lobby.err")"
    wait $tls
}

# wspair NAME HOME JOINER_HOME PORT HOST_AS_PAGE JOINER_AS_PAGE UNTIL: a host in HOME on PORT and a joiner in
# JOINER_HOME with his code meet on the WebSocket of the lobby on 27426 (one of them told to speak as a page) and
# play until the trace line UNTIL (the first pass on the screen, or the round's winner).
wspair() {
    local host joiner code side
    KORVADO_NET_AS_PAGE=$5 lab_run $2 $1-host router-host.script host $4 --no-port-mapping --lobby $LOBBY_IP:27426
    host=$LAST
    code=$(lab_code $1-host)
    KORVADO_NET_AS_PAGE=$6 lab_run $3 $1-joiner router-joiner.script join "$code" --lobby $LOBBY_IP:27426
    joiner=$LAST
    trace_await $1-joiner "$7" 60 >/dev/null
    trace_await $1-host "$7" 5 >/dev/null
    for side in host joiner; do
        grep -q "^way lobby " "$WORK/$1-$side.trace" || e2e_fail "$1: the $side's way: $(grep '^way' "$WORK/$1-$side.trace")"
    done
    kill -TERM $host
    net_ends $host 0 $1-host
    net_ends $joiner 0 $1-joiner
    echo "$1: $code, through the lobby's WebSocket until $7, $(lab_join_ms $1-joiner) ms from the join to the first pass"
}

# wsrelay: desktops on the lobby's WebSocket, as a desktop and a page meet. No real way sends two desktops there:
# KORVADO_NET_AS_PAGE (a seam for the tests only) has one of them speak to the lobby as a page does, over its
# WebSocket. A joiner with the code of a host who is a page asks for the relay there, and their session starts; a
# host told that his joiner is a page meets him there, and they play a round through the relay.
wsrelay() {
    local lobby
    ip netns exec "$(lab_ns inet)" "$BIN/korvado_lobby" --port 27426 --web 8091 2>"$WORK/ws-lobby.err" &
    lobby=$!
    for _ in $(seq 100); do [ -s "$WORK/ws-lobby.err" ] && break; sleep 0.1; done
    # one after the other: four players at once slowed the other cases
    wspair wshost page-b page-a 27428 8091 "" "^show "
    wspair wsjoin page-a page-b 27427 "" 8091 "^winner type 1 red 1 blue 0"
    kill -USR1 $lobby
    sleep 0.3
    kill -TERM $lobby
    wait $lobby || e2e_fail "the WebSocket's lobby ended with status $?"
    grep -q "web: 0 WebSockets, 4 taken" "$WORK/ws-lobby.err" || e2e_fail "wsrelay: $(tail -n 1 "$WORK/ws-lobby.err")"
    grep -o 'relay ended.*' "$WORK/ws-lobby.err"
}

# page_x: a private X server for a player of the front pages (stopped by cleanup), in DISPLAY.
page_x() {
    XVFB_PID=""
    e2e_start_x
    echo "$XVFB_PID" >>"$WORK/xvfb.pids"
}

# page_run NS NAME SCRIPT: plain korvado_net on DISPLAY in that namespace, its intro and rounds played by SCRIPT,
# its front page by the keys sent; its pid in LAST, its window found.
page_run() {
    rm -f "$WORK/$2.trace"
    (cd "$BIN" && exec ip netns exec "$(lab_ns "$1")" env --default-signal=INT,TERM SDL_VIDEODRIVER=x11 \
        SDL_AUDIODRIVER=dummy KORVADO_NET_SCRIPT="$SCRIPTS/$3" KORVADO_NET_TRACE="$WORK/$2.trace" \
        ./korvado_net --lobby $LOBBY_IP) >"$WORK/$2.out" 2>&1 &
    LAST=$!
    GAME_PID=$LAST
    e2e_wait_window
    GAME_PID=""
    trace_await "$2" "^front" 30 >/dev/null
}

# fronts NAME N: NAME's trace shows his front page N times within 10 s.
fronts() {
    local i
    for i in $(seq 100); do [ "$(grep -c '^front' "$WORK/$1.trace")" -ge "$2" ] && return 0; sleep 0.1; done
    e2e_fail "$1 is not back on his front page: $(tail -n 3 "$WORK/$1.trace")"
}

# type_code CODE: an invite code's characters, lower case, each pressed and let go.
type_code() {
    local code=${1#+} i
    for ((i = 0; i < ${#code}; i++)); do e2e_key "${code:i:1}"; done
}

# Both players at their front pages: a made-up code, then the host's code, a round, and back.
pages() {
    local hx jx host joiner code
    page_x
    hx=$DISPLAY
    page_run page-a page-host page-host.script
    host=$LAST
    page_x
    jx=$DISPLAY
    page_run page-b page-joiner router-joiner.script
    joiner=$LAST
    DISPLAY=$hx e2e_key Return  # Host a duel
    code=$(lab_code page-host)
    code=${code,,}
    export DISPLAY=$jx
    e2e_key Down Return
    type_code zzzzzz
    e2e_key Return
    trace_await page-joiner "^message NO SUCH CODE" 10 >/dev/null
    e2e_key Return Return  # back to the line, which kept what he typed: the same sentence again
    for _ in $(seq 30); do [ "$(grep -c '^message NO SUCH CODE' "$WORK/page-joiner.trace")" = 2 ] && break; sleep 0.1; done
    [ "$(grep -c '^message NO SUCH CODE' "$WORK/page-joiner.trace")" = 2 ] || e2e_fail "the line did not keep the code"
    e2e_key Return BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
    type_code "$code"
    e2e_key Return
    trace_await page-joiner "^start joiner" 20 >/dev/null
    trace_await page-joiner "^winner type 1 red 1 blue 0" 90 >/dev/null
    fronts page-host 2
    fronts page-joiner 2
    DISPLAY=$hx e2e_key Return  # hosting again, and Escape from the waiting screen: back to the front page
    for _ in $(seq 30); do [ "$(grep -c '^hosting' "$WORK/page-host.trace")" = 2 ] && break; sleep 0.1; done
    DISPLAY=$hx e2e_key Escape
    fronts page-host 3
    kill -TERM $host $joiner
    net_ends $host 0 page-host
    net_ends $joiner 0 page-joiner
    echo "front pages: a made-up code told and kept, $code typed, a round played, both back on their front pages;" \
        "$(awk '$1 == "joining" { x = $NF } $1 == "show" { print int(($NF - x) / 1000); exit }' "$WORK/page-joiner.trace")" \
        "ms from Return on the line to the first pass"
}

# Join on this network: the one host of a home (a machine named duel-ranch) is listed by name, and joined.
lan() {
    local host
    (cd "$BIN" && exec ip netns exec "$(lab_ns lan)" unshare --uts sh -c 'echo duel-ranch >/proc/sys/kernel/hostname &&
        exec env --default-signal=INT,TERM SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy KORVADO_NET_SCRIPT="$1" \
        KORVADO_NET_TRACE="$2" ./korvado_net host --no-port-mapping --no-lobby' sh "$SCRIPTS/router-host.script" \
        "$WORK/lan-host.trace") >"$WORK/lan-host.out" 2>&1 &
    host=$!
    page_x
    page_run lan lan-joiner router-joiner.script
    trace_await lan-host "^hosting" 10 >/dev/null
    e2e_key Down Down Return
    trace_await lan-joiner "^listed [0-9.]+ duel-ranch$" 10 >/dev/null
    [ "$(awk '$1 == "found" { print $2 }' "$WORK/lan-joiner.trace")" = 1 ] || e2e_fail "not one host on the LAN"
    e2e_key Return
    trace_await lan-joiner "^start joiner" 10 >/dev/null
    trace_await lan-host "^start host" 5 >/dev/null
    kill -TERM $host  # the host leaves: the joiner is told so, and Return takes him to his front page
    net_ends $host 0 lan-host
    trace_await lan-joiner "^message THE HOST LEFT" 10 >/dev/null
    e2e_key Return
    fronts lan-joiner 2
    kill -TERM $LAST
    net_ends $LAST 0 lan-joiner
    echo "join on this network: $(grep '^listed' "$WORK/lan-joiner.trace") listed and joined; his leaving told"

}

lab_build
lab_home page-a inet br0 5.5.5.8/24 ""
lab_home page-b inet br0 5.5.5.9/24 ""
lab_home lan inet br0 5.5.5.10/24 ""
lab_home browser inet br0 5.5.5.11/24 ""
ip -n "$(lab_ns inet)" addr add 5.5.5.200/24 dev br0
for a in 201 202 203; do ip -n "$(lab_ns inet)" addr add 5.5.5.$a/24 dev br0; done
ip netns exec "$(lab_ns inet)" "$BIN/korvado_lobby" --max-sessions 8 2>"$WORK/lobby.err" &
LOBBY=$!
ip netns exec "$(lab_ns inet)" "$FLOOD" flood $LOBBY_IP 27416 10 5.5.5.200 5.5.5.201 5.5.5.202 5.5.5.203 >"$WORK/flood.out" &
FLOODER=$!
for c in direct random blocked cgn; do
    way=lobby
    [ $c = direct ] && way=direct
    pair $c $way >"$WORK/$c.log" 2>&1 &
    JOBS+=" $!"
done
for c in sentences caps restart pages lan webport wsrelay; do
    $c >"$WORK/$c.log" 2>&1 &
    JOBS+=" $!"
done
failed=0
for job in $JOBS; do wait $job || failed=1; done
JOBS=""
wait $FLOODER
cat "$WORK"/{direct,random,blocked,cgn,sentences,caps,restart,pages,lan,webport,wsrelay}.log "$WORK/flood.out"
[ $failed = 0 ] || e2e_fail "a case failed (above)"

# The flood: answers only to made-up codes, within 40 at once and 20 a second from each of the four addresses.
read -r sent sentBytes answered answeredBytes < <(awk '{ gsub(",", ""); print $3, $5, $8, $10 }' "$WORK/flood.out")
[ "$answered" -gt 0 ] && [ "$answered" -le $((4 * (40 + 20 * 10))) ] || e2e_fail "the flood was answered $answered times"
[ "$answeredBytes" -le "$sentBytes" ] || e2e_fail "the answers to the flood ($answeredBytes bytes) outweigh it ($sentBytes)"
kill -USR1 $LOBBY
sleep 0.3
kill -TERM $LOBBY
wait $LOBBY || e2e_fail "the lobby ended with status $?: $(tail -n 5 "$WORK/lobby.err")"
grep "relay ended\|hosts of" "$WORK/lobby.err"
[ "$(grep -c "relay ended: 5\.5\.5" "$WORK/lobby.err")" = 3 ] || e2e_fail "not three relayed sessions"
echo "PASS: direct behind common routers, relayed behind the others; a flood of $sent datagrams answered $answered times"
