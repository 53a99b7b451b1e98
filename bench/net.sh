#!/bin/bash
# net.sh BUILD_DIR: what a korvado_net session costs and how it feels, headless on this machine: the host and
# the joiner play their scripted rounds of all three game types through tools/relay at a round trip of 0, 100
# and 200 ms (each way half of it, give or take 10 ms of jitter; 5% of the datagrams lost). For each: the round
# trip the host measured and the input delay it chose; how long a key took to the player's own screen and to
# the other's; the corrections (rollbacks) a second, their depth and their cost; the CPU time of a frame; the
# bytes each way. The goals, each checked (the script's status is the number missed): a key on its own screen
# within the input delay and a pass (passes whose screen changes wait for the other's input, by design, and are
# left out); the other's key within half the round trip and two passes (95 of 100 keys; a lost datagram costs
# a pass more); 99 of 100 frames under 13 ms of CPU; under 5 kB/s each way with headers, in the busiest second
# too; and both programs ending by themselves with status 0, no departure, no lost sync.
set -u
BUILD=$(cd "$1" && pwd)
SCRIPTS="$(cd "$(dirname "$0")/../tests/net" && pwd)"
WORK=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$WORK"' EXIT
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
PORT=$((30000 + ($$ % 3000) * 10))
LIMIT=200  # seconds a scripted session may take before it counts as stuck
PASS=13
missed=0

# miss WHAT: a goal not met.
miss() {
    echo "  GOAL MISSED: $*"
    missed=$((missed + 1))
}

# keys FROM TO WHAT: "mean p95 max count" in ms, from each key change FROM sampled to the line WHAT of TO for
# that pass (show: the pass first on the screen; real: the pass first played with the other's own input).
keys() {
    awk -v what="$3" '$1 == "sample" && FILENAME == ARGV[1] { at[$2] = $4 }
        $1 == what && FILENAME == ARGV[2] && ($2 in at) && $4 != "screen" { print ($3 - at[$2]) / 1000 }' "$1" "$2" |
        sort -n | stats 0.95
}

# stats SHARE: of numbers one a line, sorted: "mean the-SHARE-quantile max count" (0 0 0 0 for none).
stats() {
    awk -v q="$1" '{ d[++n] = $1; s += $1 } END { if (!n) { print "0 0 0 0"; exit }
        i = int(n * q + 0.5); if (i < 1) i = 1; printf "%.2f %.2f %.2f %d", s / n, d[i], d[n], n }'
}

# frames FILE: "frames-per-second p99-cpu-ms max-cpu-ms" of one side.
frames() {
    local fps cpu
    fps=$(awk '$1 == "pass" { t = $4 / 1000; if (!p++) first = t; last = t } END { printf "%.0f", (p - 1) * 1000 / (last - first) }' "$1")
    read -r _ p99 worst _ < <(awk '$1 == "frame" { print $2 / 1000 }' "$1" | sort -n | stats 0.99)
    echo "$fps $p99 $worst"
}

# corrections FILE SECONDS: "per-second mean-depth deepest costliest-us".
corrections() {
    awk -v s="$2" '$1 == "rollback" { n++; d += $2; if ($2 > m) m = $2; if ($3 > c) c = $3 }
        END { printf "%.1f %.1f %d %d", n / s, n ? d / n : 0, m, c }' "$1"
}

# session RTT_MS: one scripted session through the relay.
session() {
    local rtt=$1 base=0 jitter=0 host joiner
    rm -f "$WORK"/*.trace  # the program adds to a trace file
    [ "$rtt" -gt 0 ] && jitter=20 base=$((rtt / 2 - 10))
    "$BUILD/tools/relay" $((PORT + 1)) $PORT $base $jitter 5 7 >"$WORK/relay.out" &
    local relay=$!
    (cd "$BUILD/bin" && KORVADO_NET_SCRIPT="$SCRIPTS/host.script" KORVADO_NET_TRACE="$WORK/host.trace" \
        timeout -s KILL $LIMIT ./korvado_net host $PORT --no-port-mapping >"$WORK/host.out" 2>&1) &
    host=$!
    sleep 1
    (cd "$BUILD/bin" && KORVADO_NET_SCRIPT="$SCRIPTS/joiner.script" KORVADO_NET_TRACE="$WORK/joiner.trace" \
        timeout -s KILL $LIMIT ./korvado_net join 127.0.0.1:$((PORT + 1)) >"$WORK/joiner.out" 2>&1) &
    joiner=$!
    local js=0 hs=0
    wait $joiner || js=$?
    wait $host || hs=$?
    kill $relay
    wait $relay
    report "$rtt"
    ended host $hs
    ended joiner $js
}

# ended SIDE STATUS: the program ended by itself, with status 0, and saw nobody leave.
ended() {
    [ "$2" -eq 137 ] && miss "the $1 was still running after $LIMIT s; its trace ends: $(tail -n 2 "$WORK/$1.trace" | tr '\n' ' ')"
    [ "$2" -ne 137 ] && [ "$2" -ne 0 ] && miss "the $1 ended with status $2"
    grep -q "^end gone\|^message" "$WORK/$1.trace" && miss "the $1 saw a departure: $(grep "^end\|^message" "$WORK/$1.trace" | tr '\n' ' ')"
    return 0
}

report() {
    local rtt=$1 measured delay fps p99 worst secs mean p95 max n rate depth deepest cost
    measured=$(awk '$1 == "roundtrip" { print $2 }' "$WORK/host.trace")
    delay=$(awk '$1 == "start" { print $4 }' "$WORK/host.trace")
    echo
    echo "round trip ${rtt} ms (above 0: give or take 10 ms each way), 5% lost: measured ${measured} ms; input delay $delay passes of $PASS ms"
    for side in host joiner; do
        read -r fps p99 worst < <(frames "$WORK/$side.trace")
        secs=$(awk '$1 == "pass" { t = $4; if (!n++) f = t } END { print (t - f) / 1e6 }' "$WORK/$side.trace")
        read -r rate depth deepest cost < <(corrections "$WORK/$side.trace" "$secs")
        printf '  %-7s %3d passes/s; CPU a frame: 99%% under %.2f ms, at most %.2f ms; corrections %.1f a second, mean depth %.1f passes, deepest %d, costliest %d us\n' \
            "$side" "$fps" "$p99" "$worst" "$rate" "$depth" "$deepest" "$cost"
        awk -v p="$p99" 'BEGIN { exit !(p < 13) }' || miss "the $side's frames took $p99 ms of CPU (99th percentile)"
        read -r mean p95 max n < <(keys "$WORK/$side.trace" "$WORK/$side.trace" show)
        printf '  %-7s own key on own screen: mean %.0f ms, at most %.0f ms (%d keys); bound %d ms\n' "$side" "$mean" "$max" "$n" $(((delay + 1) * PASS))
        awk -v m="$max" -v b=$(((delay + 1) * PASS)) 'BEGIN { exit !(m <= b) }' || miss "a key of the $side took $max ms to his own screen"
    done
    local bound=$((rtt / 2 + 2 * PASS))
    for way in "host joiner red" "joiner host blue"; do
        read -r from to colour <<<"$way"
        read -r mean p95 max n < <(keys "$WORK/$from.trace" "$WORK/$to.trace" real)
        printf '  a %-4s key on the %-6s screen: mean %.0f ms, 95%% within %.0f ms, at most %.0f ms (%d keys); bound %d ms\n' \
            "$colour" "$to" "$mean" "$p95" "$max" "$n" "$bound"
        awk -v m="$p95" -v b="$bound" 'BEGIN { exit !(m <= b) }' || miss "a $colour key took $p95 ms to the $to's screen (95th percentile)"
    done
    while read -r line; do
        awk '{ gsub(",", ""); b = $6; s = $11; peak = $15; wire = (b + 28 * $4) / s / 1000; most = (peak + 28 * $4 / s) / 1000
            printf "  towards the %-6s %5.2f kB/s payload, %5.2f kB/s with IP and UDP headers, busiest second %.2f kB\n",
                $3, b / s / 1000, wire, most
            if (wire >= 5 || most >= 5) printf "  GOAL MISSED: 5 kB/s or more towards the %s\n", $3 }' <<<"$line"
    done <"$WORK/relay.out" | tee "$WORK/bytes"
    missed=$((missed + $(grep -c "GOAL MISSED" "$WORK/bytes")))
    grep -q "^end lost-sync" "$WORK/host.trace" "$WORK/joiner.trace" && miss "the two lost sync"
    return 0
}

echo
echo "korvado_net sessions through the relay (three scripted rounds each):"
session 0
session 100
session 200
echo
if [ $missed -eq 0 ]; then echo "korvado_net: every goal met"; else echo "korvado_net: $missed goals missed"; fi
exit $missed
