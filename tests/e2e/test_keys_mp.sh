#!/bin/bash
# test_keys_mp.sh: the two-player game's K key ends the program, but only in a round, once the countdown is
# over and while the blue cowboy is on his feet; in the menu, during the countdown and while blue lies
# shot it does nothing.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/journeys.sh"
fresh_shots keys

RED_STANDS=$(solid_points P1/hrac_left.png)
BLUE_STANDS=$(solid_points P2/hrac_right.png)

still_running() {
    sleep 0.3
    kill -0 "$GAME_PID" 2>/dev/null || e2e_fail "K ended the game $1"
}

e2e_start_x
launch korvado_mp
play_intro keys-01 menu/bgr.png

# The menu takes no K.
press k 0.3
still_running "on the menu"
wait_main_page keys-02-menu-after-k 0 menu/bgr.png

# Game type 2: ten lives each, no bottle. Return starts the round and K follows at once, well inside the
# 3.5 s countdown: the game goes on and so does the countdown.
press_until Return keys-03-types on_types_page
step_to keys-03-types 2 3 lit_type
for secs in $HOLDS; do
    press Return "$secs"
    press k 0.3
    still_running "during the countdown"
    e2e_shot keys-04-countdown-after-k >/dev/null
    countdown_digit keys-04-countdown-after-k
    [ "$DIGIT" != none ] && break
    on_types_page keys-04-countdown-after-k || e2e_fail "the countdown was over before K could be checked"
    echo "note: Return (held $secs s) did not start the round, pressed again" >&2
done
[ "$DIGIT" != none ] || e2e_fail "the round did not start"
street_shows keys-04-countdown-after-k || e2e_fail "no street under the countdown"
wait_round_play keys-05-round
still_running "when the countdown ended (a K pressed during it must not be kept)"

# Both up against the street's far edge, level; red (right, facing left) shoots blue, and K comes while
# blue is down: red's shot comes first in the frame, so blue takes no K in it nor for his two seconds.
for try in 1 2 3; do
    hold 2.3 Up w
    e2e_shot keys-06-level >/dev/null
    shows keys-06-level P1/hrac_left.png 700 60 $RED_STANDS && shows keys-06-level P2/hrac_right.png 20 60 $BLUE_STANDS && break
    [ $try -lt 3 ] || e2e_fail "the cowboys did not get level at the street's far edge"
done
e2e_keydown Control_R
sleep 0.15
e2e_keydown k
sleep 0.4
e2e_keyup Control_R
e2e_keyup k
still_running "while the blue cowboy was down"
e2e_shot keys-06-blue-down >/dev/null
expect_pic keys-06-blue-down Hud/wc09.png 10 10 $(solid_points Hud/wc09.png 10 10 hud/bp.png 5 0)
shows keys-06-blue-down P2/hrac_right.png 20 60 $BLUE_STANDS &&
    e2e_fail "the blue cowboy still stands after red's shot"

# Blue is back on his feet two seconds after the shot: now K ends the program.
sleep 2.2
e2e_shot keys-07-blue-back >/dev/null
kill -0 "$GAME_PID" 2>/dev/null || e2e_fail "the game ended before the last K"
press k 0.3
e2e_wait_exit 5
echo "PASS: K ends the two-player game only in a round under way"
