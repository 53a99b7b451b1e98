#!/bin/bash
# test_net_session.sh: two korvado_net programs on this machine, headless, play a round of each game type
# against each other through a relay that delays (50 ms each way), reorders and drops (5%) datagrams, their
# inputs played from scripts. Their state hashes agree on every pass, and both see the same winners; each side's
# recording plays every pass it traced (the joiner's in korvado_mp, the host's in korvado_net). First,
# joining a port where nobody listens gives a message and status 1 within 5 seconds.
source "$E2E_LIB"
BIN="$KORVADO_BUILD_DIR/bin"
SCRIPTS="$(cd "$(dirname "$E2E_LIB")/../net" && pwd)"
WORK="$SHOTS/net-session"
rm -rf "$WORK"
mkdir -p "$WORK"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
BASE=$((20000 + ($$ % 4000) * 10))  # ports of this run's own: HOST, RELAY, NOBODY
HOST_PORT=$BASE RELAY_PORT=$((BASE + 1)) NOBODY_PORT=$((BASE + 2))
RELAY_PID=""
finals=""
trap '[ -n "$RELAY_PID" ] && kill $RELAY_PID 2>/dev/null; e2e_cleanup' EXIT

# net_run NAME SCRIPT ARGS...: starts korvado_net in the background, its trace and output under WORK/NAME.
net_run() {
    local name=$1 script=$2
    shift 2
    (cd "$BIN" && exec env KORVADO_NET_SCRIPT="$SCRIPTS/$script" KORVADO_NET_TRACE="$WORK/$name.trace" \
        timeout -s KILL 300 ./korvado_net "$@") >"$WORK/$name.out" 2>&1 &
}

# trace_time FILE WORD: the clock (microseconds) of the first line starting with WORD.
trace_time() { awk -v w="$2" '$1 == w { print $NF; exit }' "$1"; }

# ---- nobody at the other end ----
net_run nobody intro.script join 127.0.0.1:$NOBODY_PORT
wait $! && e2e_fail "joining nobody ended with status 0"
grep -q "^exit 1 " "$WORK/nobody.trace" || e2e_fail "joining nobody: not status 1: $(cat "$WORK/nobody.out")"
grep -q "^message NOBODY ANSWERED" "$WORK/nobody.trace" || e2e_fail "joining nobody showed no message"
ms=$((($(trace_time "$WORK/nobody.trace" exit) - $(trace_time "$WORK/nobody.trace" joining)) / 1000))
echo "joining nobody: the message, then status 1, $ms ms after joining began"
[ $ms -le 5000 ] || e2e_fail "joining nobody took $ms ms"

# ---- a whole session through the relay ----
"$KORVADO_BUILD_DIR/tools/relay" $RELAY_PORT $HOST_PORT 50 20 5 11 >"$WORK/relay.out" &
RELAY_PID=$!
net_run host host.script --record "$WORK/host.kvd" host $HOST_PORT
HOST_PID=$!
sleep 1
net_run joiner joiner.script --record "$WORK/joiner.kvd" join 127.0.0.1:$RELAY_PORT
JOINER_PID=$!
wait $JOINER_PID || e2e_fail "the joiner ended with status $?: $(tail -n 20 "$WORK/joiner.out")"
wait $HOST_PID || e2e_fail "the host ended with status $?: $(tail -n 20 "$WORK/host.out")"
kill $RELAY_PID
wait $RELAY_PID
RELAY_PID=""
cat "$WORK/relay.out"

for side in host joiner; do
    grep '^pass' "$WORK/$side.trace" | awk '{ print $2, $3 }' >"$WORK/$side.hashes"
    grep '^winner' "$WORK/$side.trace" >"$WORK/$side.winners"
    ! grep -q "^end lost-sync" "$WORK/$side.trace" || e2e_fail "the $side lost sync"
done
passes=$(wc -l <"$WORK/joiner.hashes")
[ "$passes" -gt 3000 ] || e2e_fail "only $passes passes were played"
cmp -s <(head -n "$passes" "$WORK/host.hashes") "$WORK/joiner.hashes" ||
    e2e_fail "the hashes differ: $(diff <(head -n "$passes" "$WORK/host.hashes") "$WORK/joiner.hashes" | head -n 3)"
expected=$'winner type 0 red 1 blue 0\nwinner type 1 red 1 blue 0\nwinner type 2 red 0 blue 1'
[ "$(cat "$WORK/host.winners")" = "$expected" ] || e2e_fail "the host saw other winners: $(cat "$WORK/host.winners")"
cmp -s "$WORK/host.winners" "$WORK/joiner.winners" || e2e_fail "the two saw different winners"
for side in host:korvado_net joiner:korvado_mp; do
    name=${side%%:*}
    out=$(cd "$BIN" && ./${side#*:} --timedemo "$WORK/$name.kvd") || e2e_fail "the $name's recording: $out"
    echo "$out"
    [[ "$out" == *" $(wc -l <"$WORK/$name.hashes") passes in "* ]] || e2e_fail "the $name's recording lacks passes"
    finals+=" ${out##* }"
done
[ "$(echo $finals | tr ' ' '\n' | uniq | wc -l)" = 1 ] || e2e_fail "the two recordings end in other states:$finals"
echo "PASS: $passes passes with the same state on both sides; winners: red, red, blue on both"
