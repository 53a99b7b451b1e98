#!/bin/bash
# test_net_session.sh: two korvado_net programs on this machine, headless, play a round of each game type
# against each other through a relay that delays (50 ms each way), reorders and drops (5%) datagrams, their
# inputs played from scripts. Their state hashes agree on every pass, and both see the same winners; each side's
# recording plays every pass it traced (the joiner's in korvado_mp, the host's in korvado_net); a third player
# who joins meanwhile hears that the host is busy. First, joining a port where nobody listens gives a message
# and status 1 within 5 seconds. Last, short sessions that the host's exit item ends, the final inputs of one
# side or the other lost on purpose: both programs end with status 0, neither sees a departure; and a session
# whose games come to disagree (the host sends one input other than he plays it) ends as LOST SYNC on both
# sides, each trace holding both states.
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

# net_run NAME LIMIT SCRIPT ARGS...: starts korvado_net in the background, its trace and output under
# WORK/NAME; one still running after LIMIT seconds is killed.
net_run() {
    local name=$1 limit=$2 script=$3
    shift 3
    rm -f "$WORK/$name.trace"
    (cd "$BIN" && exec env KORVADO_NET_SCRIPT="$SCRIPTS/$script" KORVADO_NET_TRACE="$WORK/$name.trace" \
        timeout -s KILL "$limit" ./korvado_net "$@") >"$WORK/$name.out" 2>&1 &
}

# net_wait NAME PID: its exit status, and a failure with the reason when it had to be killed.
net_wait() {
    local status=0
    wait "$2" || status=$?
    [ $status -ne 137 ] || e2e_fail "the $1 did not end in time; its trace ends: $(tail -n 3 "$WORK/$1.trace" 2>/dev/null)"
    return $status
}

# relay_start DELAY JITTER SEED / relay_stop: the relay between RELAY_PORT and HOST_PORT, 5% lost.
relay_start() {
    "$KORVADO_BUILD_DIR/tools/relay" $RELAY_PORT $HOST_PORT "$1" "$2" 5 "$3" >"$WORK/relay.out" &
    RELAY_PID=$!
}
relay_stop() {
    kill $RELAY_PID
    wait $RELAY_PID
    RELAY_PID=""
}

# trace_time FILE WORD: the clock (microseconds) of the first line starting with WORD.
trace_time() { awk -v w="$2" '$1 == w { print $NF; exit }' "$1"; }

# ---- nobody at the other end ----
net_run nobody 20 intro.script join 127.0.0.1:$NOBODY_PORT
net_wait nobody $! && e2e_fail "joining nobody ended with status 0"
grep -q "^exit 1 " "$WORK/nobody.trace" || e2e_fail "joining nobody: not status 1: $(cat "$WORK/nobody.out")"
grep -q "^message NOBODY ANSWERED" "$WORK/nobody.trace" || e2e_fail "joining nobody showed no message"
ms=$((($(trace_time "$WORK/nobody.trace" exit) - $(trace_time "$WORK/nobody.trace" joining)) / 1000))
echo "joining nobody: the message, then status 1, $ms ms after joining began"
[ $ms -le 5000 ] || e2e_fail "joining nobody took $ms ms"

# ---- a whole session through the relay, and a third player who comes meanwhile ----
relay_start 50 20 11
net_run host 150 host.script --record "$WORK/host.kvd" host $HOST_PORT --no-port-mapping
HOST_PID=$!
sleep 1
net_run joiner 150 joiner.script --record "$WORK/joiner.kvd" join 127.0.0.1:$RELAY_PORT
JOINER_PID=$!
for _ in $(seq 100); do grep -q "^pass 300 " "$WORK/host.trace" 2>/dev/null && break; sleep 0.1; done
net_run third 20 intro.script join 127.0.0.1:$HOST_PORT
net_wait third $! && e2e_fail "the third player's join ended with status 0"
grep -q "^message THE HOST IS BUSY" "$WORK/third.trace" || e2e_fail "the third player was not told the host is busy"
ms=$((($(trace_time "$WORK/third.trace" exit) - $(trace_time "$WORK/third.trace" joining)) / 1000))
echo "a third player: told the host is busy, then status 1, $ms ms after joining began"
[ $ms -le 3000 ] || e2e_fail "the busy answer took $ms ms"
net_wait joiner $JOINER_PID || e2e_fail "the joiner ended with status $?: $(tail -n 20 "$WORK/joiner.out")"
net_wait host $HOST_PID || e2e_fail "the host ended with status $?: $(tail -n 20 "$WORK/host.out")"
relay_stop
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

# ---- sessions the game ends: the host's exit item, the last inputs of one side lost ----
for run in "exit-late.script intro.script" "exit.script intro-late.script" "exit.script intro.script" \
    "exit.script intro-late.script"; do
    read -r hs js <<<"$run"
    relay_start 10 5 $((RANDOM))
    net_run host 30 "$hs" host $HOST_PORT --no-port-mapping
    HOST_PID=$!
    sleep 0.5
    net_run joiner 30 "$js" join 127.0.0.1:$RELAY_PORT
    net_wait joiner $! || e2e_fail "$run: the joiner ended with status $?"
    net_wait host $HOST_PID || e2e_fail "$run: the host ended with status $?"
    relay_stop
    for side in host joiner; do
        grep -q "^end game" "$WORK/$side.trace" || e2e_fail "$run: the $side did not see the game end"
        ! grep -q "^end gone\|^message" "$WORK/$side.trace" || e2e_fail "$run: the $side saw a departure: $(grep "^end\|^message" "$WORK/$side.trace")"
    done
    echo "$run: both ended with status 0, $(grep -h '^linger' "$WORK/host.trace" "$WORK/joiner.trace" | tr '\n' ' ')"
done
echo "PASS: four sessions ended by the exit item, on both sides"

# ---- two games that disagree ----
export KORVADO_NET_SKEW=30
net_run host 30 host.script host $HOST_PORT --no-port-mapping
HOST_PID=$!
unset KORVADO_NET_SKEW
sleep 0.5
net_run joiner 30 joiner.script join 127.0.0.1:$HOST_PORT
net_wait joiner $! && e2e_fail "the joiner of games that disagree ended with status 0"
for _ in $(seq 50); do grep -q "^desync .* theirs" "$WORK/host.trace" && break; sleep 0.1; done
kill $HOST_PID 2>/dev/null
for side in host joiner; do
    grep -q "^end lost-sync" "$WORK/$side.trace" || e2e_fail "the $side did not end the session as lost sync"
    for whose in ours theirs; do
        grep -A1 "^desync 64 $whose" "$WORK/$side.trace" | grep -q "^screen " ||
            e2e_fail "the $side's trace lacks $whose state"
    done
done
grep -q "^message LOST SYNC" "$WORK/joiner.trace" || e2e_fail "the joiner was not told LOST SYNC"
echo "PASS: games that disagree end as LOST SYNC on both sides, with both states in each trace"
