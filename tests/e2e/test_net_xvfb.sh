#!/bin/bash
# test_net_xvfb.sh: korvado_net on two displays, a player at each: the host starts the saloon brawl, blue shoots
# red once, red shoots blue until he wins, both screens show the winner, the joiner's Return takes both to the
# menu; then the joiner closes his window and the host shows that his rival left within 3 seconds.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/journeys.sh"
fresh_shots net
PORT=$((20005 + ($$ % 4000) * 10))
declare -A DISP WIN PID OUTF CX CY XPID
trap 'kill ${PID[host]:-} ${PID[joiner]:-} ${XPID[host]:-} ${XPID[joiner]:-} 2>/dev/null; wait 2>/dev/null' EXIT

# on SIDE: what follows acts on that player's display, window and program.
on() {
    SIDE=$1
    export DISPLAY=${DISP[$1]}
    WID=${WIN[$1]:-} WX=${CX[$1]:-0} WY=${CY[$1]:-0} GAME_PID=${PID[$1]:-} GAME_OUT=${OUTF[$1]:-}
}
keep() { WIN[$SIDE]=$WID CX[$SIDE]=$WX CY[$SIDE]=$WY PID[$SIDE]=$GAME_PID OUTF[$SIDE]=$GAME_OUT; }

# start SIDE ARGS...: a private X server for the player, and his korvado_net on it, through the intro.
start() {
    local side=$1
    shift
    e2e_start_x
    DISP[$side]=$DISPLAY XPID[$side]=$XVFB_PID
    XVFB_PID=""
    on "$side"
    E2E_OUT_NAME=$side E2E_GAME_ENV="KORVADO_NET_TRACE=$SHOTS/net-$side.trace" launch korvado_net "$@"
    keep
    wait_pic "net-$side-1-studio" 20 tolvlogo.png 0 0 $FULL
    press_until Return "net-$side-2-title" shows_title
}
PAPER="8,8 792,8 8,592 792,592 400,592 20,300"
shows_paper() { shows "$1" net/paper.png 0 0 $PAPER; }

# counts SIDE WHO N: within 3 s that player's screen shows N as WHO's count.
counts() {
    local end=$((SECONDS + 3))
    on "$1"
    while :; do
        e2e_shot "net-$1-count" >/dev/null
        hud_count "net-$1-count" "$2"
        [ "$COUNT" = "$3" ] && return 0
        [ $SECONDS -lt $end ] || e2e_fail "$1's screen: $2's count is $COUNT, expected $3"
        sleep 0.2
    done
}

start host host $PORT --no-port-mapping
press_until Return net-host-3-waiting shows_paper
start joiner join 127.0.0.1:$PORT
press_until Return net-joiner-3-menu main_page_shows 0 menu/bgr.png
on host
wait_main_page net-host-4-menu 0 menu/bgr.png 10

# The host leads the menu; the round starts on both screens.
SHOT_PREFIX=net-host
start_type 1
on joiner
wait_round_play net-joiner-5-round
on host
wait_round_play net-host-5-round
RED_STAND=$(solid_points P1/hrac_left.png)
BLUE_STAND=$(solid_points P2/hrac_right.png)
for s in host joiner; do DISPLAY=${DISP[$s]} xdotool keydown Up; done
sleep 2.3
for s in host joiner; do DISPLAY=${DISP[$s]} xdotool keyup Up; done
for s in host joiner; do            # each walked his own cowboy up against the top edge: level
    on $s
    e2e_shot "net-$s-6-level" >/dev/null
    expect_pic "net-$s-6-level" P1/hrac_left.png 700 60 $RED_STAND
    expect_pic "net-$s-6-level" P2/hrac_right.png 20 60 $BLUE_STAND
done

# Blue's Right Ctrl, on the joiner's keyboard, fires: red is hit on both screens.
on joiner
press Control_R
counts joiner red 4
counts host red 4
# Red comes back somewhere, walks off to the right, up to the edge, turns left and fires: blue is hit.
sleep 1.6
on host
hold 0.7 Right
hold 2.2 Up
press Left 0.04
press Control_R
counts host blue 4
counts joiner blue 4

# Blue comes back level each time; red fires until he has won.
WIN_POINTS=$(solid_points menu/rpwins.png)
for i in $(seq 1 14); do
    sleep 1.6
    on joiner
    hold 0.7 Left
    hold 2.2 Up
    on host
    press Control_R
    e2e_shot net-host-7-shot >/dev/null
    shows net-host-7-shot menu/rpwins.png 200 250 $WIN_POINTS && break
done
wait_pic net-host-7-shot 3 menu/rpwins.png 200 250 $WIN_POINTS
on joiner
wait_pic net-joiner-7-winner 3 menu/rpwins.png 200 250 $WIN_POINTS

# The joiner's Return ends the winner screen on both.
press_until Return net-joiner-8-menu main_page_shows 0 menu/bgr.png
on host
wait_main_page net-host-8-menu 0 menu/bgr.png

# The joiner closes his window: he ends with status 0, and the host says so within 3 s, then waits again.
on joiner
t0=$(date +%s%N)
e2e_close
e2e_wait_exit 5 0
PID[joiner]=""
while ! grep -q "^message YOUR RIVAL LEFT" "$SHOTS/net-host.trace"; do
    [ $((($(date +%s%N) - t0) / 1000000)) -le 3000 ] || e2e_fail "3 s after the joiner left, the host has said nothing"
    sleep 0.05
done
ms=$((($(date +%s%N) - t0) / 1000000))
on host
wait_pic net-host-9-rival-left 2 net/paper.png 0 0 $PAPER
echo "the host showed that his rival left $ms ms after the joiner's window was closed"
e2e_close
e2e_wait_exit 5 0
PID[host]=""
echo "PASS: a round across two displays, a hit each way, the winner on both screens, the joiner's leaving shown"
