#!/bin/bash
# soak-net.sh BUILD_DIR [SESSIONS]: korvado_net's rollback under a bad network, at length: SESSIONS (20) scripted
# sessions at a round trip of 100 ms and as many at 200 ms, each way 10 ms of jitter and 5% of the datagrams
# lost, two sessions at a time. Each plays the scripts' three rounds to their ends; every session must end
# with both programs' status 0, the three winners on both sides, no lost sync and no departure. The status is
# the number of sessions that failed; the traces of a failed one are kept and named.
set -u
BUILD=$(cd "$1" && pwd)
COUNT=${2:-20}
SCRIPTS="$(cd "$(dirname "$0")/../tests/net" && pwd)"
WORK=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null' EXIT
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
WINNERS=$'winner type 0 red 1 blue 0\nwinner type 1 red 1 blue 0\nwinner type 2 red 0 blue 1'

# one RTT N: session N at a round trip of RTT ms, in WORK/RTT-N; prints a line, and FAILED when it failed.
one() {
    local rtt=$1 n=$2 dir="$WORK/$1-$2" port=$((20000 + RANDOM % 20000 / 4 * 4)) hs=0 js=0 why=""
    mkdir -p "$dir"
    "$BUILD/tools/relay" $((port + 1)) $port $((rtt / 2 - 10)) 20 5 "$n$rtt" >"$dir/relay.out" &
    local relay=$!
    (cd "$BUILD/bin" && KORVADO_NET_SCRIPT="$SCRIPTS/host.script" KORVADO_NET_TRACE="$dir/host.trace" \
        timeout -s KILL 240 ./korvado_net host $port --no-port-mapping >"$dir/host.out" 2>&1) &
    local host=$!
    sleep 1
    (cd "$BUILD/bin" && KORVADO_NET_SCRIPT="$SCRIPTS/joiner.script" KORVADO_NET_TRACE="$dir/joiner.trace" \
        timeout -s KILL 240 ./korvado_net join 127.0.0.1:$((port + 1)) >"$dir/joiner.out" 2>&1) || js=$?
    wait $host || hs=$?
    kill $relay && wait $relay
    [ $hs = 0 ] && [ $js = 0 ] || why="status host $hs, joiner $js"
    for side in host joiner; do
        grep -q "^end \(gone\|lost-sync\)\|^message" "$dir/$side.trace" && why+=" the $side: $(grep -h '^end [gl]\|^message' "$dir/$side.trace" | tr '\n' ' ')"
        [ "$(grep '^winner' "$dir/$side.trace")" = "$WINNERS" ] || why+=" the $side saw other winners"
    done
    local passes deepest
    passes=$(grep -c '^pass' "$dir/host.trace")
    deepest=$(awk '$1 == "rollbacks" { if ($6 > m) m = $6 } END { print m + 0 }' "$dir/host.trace" "$dir/joiner.trace")
    if [ -z "$why" ]; then
        echo "  $rtt ms #$n: $passes passes, deepest correction $deepest"
    else
        echo "  $rtt ms #$n: FAILED ($why); traces in $dir"
    fi
}

echo "korvado_net soak: $COUNT sessions at 100 ms and $COUNT at 200 ms, 10 ms of jitter each way, 5% lost"
for rtt in 100 200; do
    for n in $(seq 1 2 "$COUNT"); do
        one $rtt $n &
        [ $((n + 1)) -le "$COUNT" ] && one $rtt $((n + 1)) &
        wait
    done
done | tee "$WORK/summary"
failed=$(grep -c FAILED "$WORK/summary")
echo "korvado_net soak: $((2 * COUNT - failed)) of $((2 * COUNT)) sessions played to their end"
[ "$failed" = 0 ] && rm -rf "$WORK"
exit "$failed"
