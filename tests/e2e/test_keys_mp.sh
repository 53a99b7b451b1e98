#!/bin/bash
# test_keys_mp.sh: the player's own keys and the two-player game's K key. On the settings page (F2) red's fire
# goes to X and the music to 0; X fires in a round and again after the game is started anew, and the music
# plays silence. K ends the program, but only in a round, once the countdown is over and while the blue cowboy
# is on his feet; in the menu, during the countdown and while blue lies shot it does nothing.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/journeys.sh"
fresh_shots keys

RED_STANDS=$(solid_points P1/hrac_left.png)
BLUE_STANDS=$(solid_points P2/hrac_right.png)
PAPER="20,300 780,300 400,594 400,300 700,40"
SETTINGS="$XDG_CONFIG_HOME/korvado/settings"

still_running() {
    sleep 0.3
    kill -0 "$GAME_PID" 2>/dev/null || e2e_fail "K ended the game $1"
}

# Game type 2 (ten lives each, no bottle) from the main page; Return is pressed until the countdown shows.
start_type2() {
    press_until Return "$1-types" on_types_page
    step_to "$1-types" 2 3 lit_type
    for secs in $HOLDS; do
        press Return "$secs"
        e2e_shot "$1-countdown" >/dev/null
        countdown_digit "$1-countdown"
        [ "$DIGIT" != none ] && return 0
        on_types_page "$1-countdown" || e2e_fail "the countdown did not show ($1-countdown)"
    done
    e2e_fail "the round did not start"
}

# Both up against the street's far edge, level: red (right, facing left) has blue in his sights.
get_level() {
    local try
    for try in 1 2 3; do
        hold 2.3 Up w
        e2e_shot "$1" >/dev/null
        shows "$1" P1/hrac_left.png 700 60 $RED_STANDS && shows "$1" P2/hrac_right.png 20 60 $BLUE_STANDS && return 0
    done
    e2e_fail "the cowboys did not get level at the street's far edge ($1)"
}

# The loudest sample of the disk audio driver's output so far (16-bit stereo at 44.1 kHz), 0 to 1.
loudest() {
    sox -t raw -r 44100 -e signed -b 16 -c 2 "$1" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }'
}

e2e_start_x
launch korvado_mp
play_intro keys-01 menu/bgr.png

# The settings page: red's fire to X (its first key, Right Ctrl, goes), then the music down to 0. The page
# takes every key press, so the presses may come quickly.
press F2
wait_pic keys-01-settings 5 net/plain.png 0 0 $PAPER
xdotool key --delay 40 Down Down Down Down Return x
xdotool key --delay 40 Down Down Down Down Down Down Down Left Left Left Left Left Left Left Left Left Left
sleep 0.3
e2e_shot keys-01-settings-set >/dev/null
press Escape
wait_main_page keys-01-menu-again 0 menu/bgr.png
grep -qx "red.fire = x, right shift" "$SETTINGS" && grep -qx "music = 0" "$SETTINGS" ||
    e2e_fail "the settings page kept no red fire on X, music at 0: $(cat "$SETTINGS" 2>&1)"

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
e2e_keydown x
sleep 0.15
e2e_keydown k
sleep 0.4
e2e_keyup x
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

# Started anew, X is still red's fire, and the music (started on the title) plays silence at 0 until the shot,
# whose sounds are heard: the disk audio driver writes what the mixer plays.
AUDIO="$SCRATCH/audio.raw"
E2E_AUDIO=disk E2E_GAME_ENV="SDL_DISKAUDIOFILE=$AUDIO SDL_DISKAUDIODELAY=20" launch korvado_mp
play_intro keys-10 menu/bgr.png
start_type2 keys-11
wait_round_play keys-12-round
get_level keys-13-level
head -c "$(stat -c %s "$AUDIO")" "$AUDIO" >"$SCRATCH/before-shot.raw"
press x 0.2
sleep 1
e2e_shot keys-14-shot >/dev/null
expect_pic keys-14-shot Hud/wc09.png 10 10 $(solid_points Hud/wc09.png 10 10 hud/bp.png 5 0)
before=$(loudest "$SCRATCH/before-shot.raw")
after=$(loudest "$AUDIO")
echo "loudest sample: $before with the music at 0 before the shot (of $(stat -c %s "$SCRATCH/before-shot.raw") bytes), $after after it"
awk -v b="$before" -v a="$after" 'BEGIN { exit !(b != "" && b + 0 <= 0.001 && a + 0 >= 0.05) }' ||
    e2e_fail "the music at 0 was not silent (loudest $before) or the shot was not heard (loudest $after)"
e2e_close
e2e_wait_exit 10
echo "PASS: red's own fire key kept between runs, the music at 0 silent; K ends the two-player game only in a round under way"
