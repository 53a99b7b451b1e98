#!/bin/bash
# lobbyload.sh BUILD_DIR: korvado_lobby's capacity on this machine, with made-up players on loopback addresses
# (tools/lobbyload): 500 relayed pairs whose ends each send the game's 77 datagrams of 26 bytes a second
# (154 a session) for 10 s: the lobby's CPU per forwarded datagram (goal: at most 3 us), the delay through the
# relay (goal: 99th percentile at most 1 ms) and no loss; then 100,000 hosts registered at once (goal: within
# 64 MB). Each with one thread and with two. The script's status is the number of goals missed. First, the same
# traffic through a bare relay (reads and sends in batches, nothing else): the kernel's part alone, which no lobby
# goes below on this machine.
set -u
BUILD=$(cd "$1" && pwd)
LOBBY_BIN="$BUILD/bin/korvado_lobby"
LOAD="$BUILD/tools/lobbyload"
PORT=28416
missed=0
LOBBY=""
trap '[ -n "$LOBBY" ] && kill $LOBBY 2>/dev/null' EXIT

miss() {
    echo "  GOAL MISSED: $*"
    missed=$((missed + 1))
}

# start OPTIONS...: a lobby on $PORT, its pid in LOBBY once it says its socket is open.
start() {
    "$LOBBY_BIN" --port $PORT "$@" 2>/tmp/lobbyload.$$.err &
    LOBBY=$!
    for _ in $(seq 50); do [ -s /tmp/lobbyload.$$.err ] && break; sleep 0.1; done
}

stop() {
    kill $LOBBY
    wait $LOBBY 2>/dev/null
    LOBBY=""
    rm -f /tmp/lobbyload.$$.err
}

# field LINE PATTERN: the number before PATTERN in LINE.
field() { sed -n "s/.* \([0-9.]*\) $2.*/\1/p" <<<"$1"; }

relayed() {
    local out cpu p99 lost errors
    start --max-sessions 2000 "$@"
    out=$("$LOAD" relay 127.0.0.1 $PORT 500 10 77 26 $LOBBY)
    stop
    echo "  $out"
    cpu=$(sed -n 's/.*lobby CPU \([0-9.]*\) us.*/\1/p' <<<"$out")
    p99=$(sed -n 's/.*median [0-9]* us, 99th percentile \([0-9]*\) us.*/\1/p' <<<"$out")
    lost=$(sed -n 's/.* \([0-9]*\) lost, \([0-9]*\) kernel.*/\1 \2/p' <<<"$out")
    [ "$(grep -c '500 relayed sessions of 500' <<<"$out")" = 1 ] || miss "not 500 relayed sessions"
    awk -v c="$cpu" 'BEGIN { exit !(c != "" && c <= 3.0) }' ||
        miss "lobby CPU $cpu us a forwarded datagram (goal: 3; the bare relay's here: $FLOOR)"
    [ -n "$p99" ] && [ "$p99" -le 1000 ] || miss "99th percentile of the relay's delay $p99 us (goal: 1000)"
    [ "$lost" = "0 0" ] || miss "losses (ours, the kernel's): $lost"
}

registered() {
    local out kb
    start --max-sessions 256 --max-hosts 100000 "$@"
    out=$("$LOAD" hosts 127.0.0.1 $PORT 100000 $LOBBY)
    stop
    echo "  $out"
    kb=$(sed -n 's/.*peak \([0-9]*\) kB.*/\1/p' <<<"$out")
    grep -q "100000 registered" <<<"$out" || miss "not 100,000 hosts registered"
    [ -n "$kb" ] && [ "$kb" -le 65536 ] || miss "100,000 hosts in $kb kB (goal: 64 MB)"
}

echo
echo "korvado_lobby's capacity (made-up players on loopback addresses):"
floor=$("$LOAD" floor $PORT 500 10 77 26)
echo " $floor"
FLOOR="$(sed -n 's/.*its CPU \([0-9.]*\) us.*/\1/p' <<<"$floor") us"
for threads in 1 2; do
    echo " $threads thread(s):"
    relayed --threads $threads
    registered --threads $threads
done
echo
if [ $missed -eq 0 ]; then echo "korvado_lobby's capacity: every goal met"; else echo "korvado_lobby's capacity: $missed goals missed"; fi
exit $missed
