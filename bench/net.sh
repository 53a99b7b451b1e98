#!/bin/bash
# net.sh BUILD_DIR: what a korvado_net session costs and how it feels, headless on this machine: the host and
# the joiner play their scripted rounds of all three game types through tools/relay, at a round trip of 0 and
# of 100 ms, with 5% of the datagrams lost. For each: the round trip the host measured and the input delay it
# chose, the passes (frames) per second each side played and its longest pass, the bytes each way, and how
# long a key took from the keyboard of one player to the screen of the other, against half the round trip
# plus two frames. Each goal is checked: at least 60 passes a second, every key within its bound, under 5 kB/s
# each way with headers, in the busiest second too, and both programs ending by themselves with status 0 and
# no departure; the script's status is the number of goals missed.
set -u
BUILD=$(cd "$1" && pwd)
SCRIPTS="$(cd "$(dirname "$0")/../tests/net" && pwd)"
WORK=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$WORK"' EXIT
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
PORT=$((30000 + ($$ % 3000) * 10))
LIMIT=150  # seconds a scripted session may take before it counts as stuck
missed=0

# miss WHAT: a goal not met.
miss() {
    echo "  GOAL MISSED: $*"
    missed=$((missed + 1))
}

# passes FILE: "passes/s longest-pass-ms" over the session's passes.
passes() {
    awk '$1 == "pass" { t = $4 / 1000; if (n++) { g = t - last; if (g > worst) worst = g } else first = t; last = t }
        END { printf "%.0f %.0f", (n - 1) * 1000 / (last - first), worst }' "$1"
}

# latency FROM TO: "mean max count" in ms, from each key change FROM sampled to TO playing that pass.
latency() {
    awk '$1 == "sample" && FILENAME == ARGV[1] { at[$2] = $4 }
        $1 == "pass" && FILENAME == ARGV[2] && ($2 in at) { d = ($4 - at[$2]) / 1000; s += d; n++; if (d > m) m = d }
        END { printf "%.0f %.0f %d", s / n, m, n }' "$1" "$2"
}

# session RTT_MS: one scripted session through the relay (each way: half the round trip, up to 10 ms later
# for some datagrams so that they overtake others, 5% lost).
session() {
    local rtt=$1 half=$(($1 / 2)) jitter=0 host joiner
    rm -f "$WORK"/*.trace  # the program adds to a trace file
    [ "$rtt" -gt 0 ] && jitter=10 half=$((half - 5))
    "$BUILD/tools/relay" $((PORT + 1)) $PORT $half $jitter 5 7 >"$WORK/relay.out" &
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
    local rtt=$1 measured delay budget p line
    measured=$(awk '$1 == "roundtrip" { print $2 }' "$WORK/host.trace")
    read -r delay budget < <(awk '$1 == "start" { print $4, $6 }' "$WORK/host.trace")
    echo
    echo "round trip ${rtt} ms, 5% lost: measured ${measured} ms; input delay $delay passes of $budget ms ($((delay * budget)) ms)"
    for side in host joiner; do
        read -r p worst < <(passes "$WORK/$side.trace")
        printf '  %-7s %4d passes/s, longest pass %d ms\n' "$side" "$p" "$worst"
        [ "$p" -ge 60 ] || miss "the $side played $p passes a second, fewer than 60"
    done
    while read -r line; do
        awk '{ gsub(",", ""); b = $6; s = $11; peak = $15; wire = (b + 28 * $4) / s / 1000; most = (peak + 28 * $4 / s) / 1000
            printf "  towards the %-6s %5.2f kB/s payload, %5.2f kB/s with IP and UDP headers, busiest second %.2f kB\n",
                $3, b / s / 1000, wire, most
            if (wire >= 5 || most >= 5) printf "  GOAL MISSED: 5 kB/s or more towards the %s\n", $3 }' <<<"$line"
    done <"$WORK/relay.out" | tee "$WORK/bytes"
    missed=$((missed + $(grep -c "GOAL MISSED" "$WORK/bytes")))
    local bound=$((rtt / 2 + 2 * budget))
    read -r mean max n < <(latency "$WORK/host.trace" "$WORK/joiner.trace")
    printf '  a red key on the joiner'"'"'s screen: mean %d ms, at most %d ms (%d keys); bound %d ms\n' "$mean" "$max" "$n" "$bound"
    [ "$max" -le "$bound" ] || miss "a red key took $max ms to the joiner's screen"
    read -r mean max n < <(latency "$WORK/joiner.trace" "$WORK/host.trace")
    printf '  a blue key on the host'"'"'s screen:  mean %d ms, at most %d ms (%d keys); bound %d ms\n' "$mean" "$max" "$n" "$bound"
    [ "$max" -le "$bound" ] || miss "a blue key took $max ms to the host's screen"
    read -r mean max n < <(latency "$WORK/host.trace" "$WORK/host.trace")
    printf '  a key on its own screen:           mean %d ms, at most %d ms\n' "$mean" "$max"
    grep -q "^end lost-sync" "$WORK/host.trace" "$WORK/joiner.trace" && miss "the two lost sync"
    return 0
}

echo
echo "korvado_net sessions through the relay (three scripted rounds each):"
session 0
session 100
echo
if [ $missed -eq 0 ]; then echo "korvado_net: every goal met"; else echo "korvado_net: $missed goals missed"; fi
exit $missed
