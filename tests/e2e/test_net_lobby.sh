#!/bin/bash
# test_net_lobby.sh: korvado_net through korvado_lobby, in an internet of network namespaces (lobbylab.sh; it needs
# root, as CI has). In four pairs of homes, all on 192.168.1.0/24 with each player at 192.168.1.10, a host gets an
# invite code and a joiner comes with it: behind two common routers they meet directly; behind a router that
# gives a new port for each destination, one that drops UDP to the other home, or a carrier-grade NAT, through the
# lobby's relay; each pair plays a round. A third player with the first pair's code hears that the host is busy;
# a made-up code, a lobby that does not answer (joiner and host), a lobby that relays nothing get their sentences.
# Meanwhile the lobby takes a flood of garbage and made-up codes from four addresses and answers within its rate
# and never with more bytes; a second lobby with room for 2 sessions (8 hosts) takes no more; a burst through a
# relay passes only the session's 16,000 bytes. Everything is removed however it ends.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/lobbylab.sh"
BIN="$KORVADO_BUILD_DIR/bin"
FLOOD="$KORVADO_BUILD_DIR/tools/lobbyflood"
SCRIPTS="$(cd "$(dirname "$E2E_LIB")/../net" && pwd)"
WORK="$SHOTS/net-lobby"
rm -rf "$WORK"
mkdir -p "$WORK"
LAB_TAG="kvl$$"
JOBS=""

cleanup() {
    [ -n "$JOBS" ] && kill $JOBS 2>/dev/null
    lab_down
    wait 2>/dev/null
    e2e_cleanup
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
    sleep 0.5
    ip netns exec "$(lab_ns inet)" "$FLOOD" fill 127.0.0.1 27417 12 4 >"$WORK/fill.out" &
    filler=$!
    for _ in $(seq 50); do [ -s "$WORK/fill.out" ] && break; sleep 0.1; done
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

lab_build
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
sentences >"$WORK/sentences.log" 2>&1 &
JOBS+=" $!"
caps >"$WORK/caps.log" 2>&1 &
JOBS+=" $!"
failed=0
for job in $JOBS; do wait $job || failed=1; done
JOBS=""
wait $FLOODER
cat "$WORK"/{direct,random,blocked,cgn,sentences,caps}.log "$WORK/flood.out"
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
