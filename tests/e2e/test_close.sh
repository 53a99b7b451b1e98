#!/bin/bash
# test_close.sh: closing the window ends the game at once, with status 0, on every screen: the studio picture,
# the title, the menu, the countdown and the round of the two-player game, and the studio picture and the round
# of the single-player game. (The winner screen is closed the same way at the end of test_bottles_mp.sh, which
# plays a round to its winner anyway.)
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/journeys.sh"
fresh_shots close

e2e_start_x

# ---- two players ----
launch korvado_mp
wait_pic close-mp-01-studio 20 tolvlogo.png 0 0 $FULL
close_timed "studio picture (MP)"

launch korvado_mp
wait_pic close-mp-02-studio 20 tolvlogo.png 0 0 $FULL
press_until Return close-mp-02-title shows_title
close_timed "title picture (MP)"

launch korvado_mp
play_intro close-mp-03 menu/bgr.png
close_timed "menu (MP)"

launch korvado_mp
play_intro close-mp-04 menu/bgr.png
start_type 2
e2e_shot close-mp-04-countdown >/dev/null
street_shows close-mp-04-countdown || e2e_fail "no street under the countdown"
countdown_digit close-mp-04-countdown
[ "$DIGIT" != none ] || e2e_fail "no countdown digit after the round started"
close_timed "countdown (MP)"

# Game type 1, once the countdown is over.
launch korvado_mp
play_intro close-mp-05 menu/bgr.png
start_type 1
wait_round_play close-mp-05-round
expect_counts close-mp-05-round 5 5
hold 0.5 Left
e2e_shot close-mp-05-walked >/dev/null
shows close-mp-05-walked P1/hrac_left.png 700 120 $(solid_points P1/hrac_left.png) && e2e_fail "the round did not take the red cowboy's walk"
close_timed "round (MP)"

# ---- one player against the computer ----
launch korvado_sp
wait_pic close-sp-01-studio 20 tolvlogo.png 0 0 $FULL
close_timed "studio picture (SP)"

launch korvado_sp
play_intro close-sp-02 menu/bgrsp.png
start_type 2
wait_round_play close-sp-02-round
close_timed "round (SP)"

echo "PASS: a close request ends either program within a second on every screen"
