#!/bin/bash
# test_pads_mp.sh: a two-player round played on two gamepads and no keyboard at all, on sdl12-compat with two
# virtual controllers (vpad.cpp): pad 1 takes red through the intro and the menu into a SALOON BRAWL, pad 2
# walks blue on the stick, each fires, red wins, Start leaves the winner screen, pad 2 works the menu until
# pulled out, and pad 1 chooses exit.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/journeys.sh"
fresh_shots pads
[ "${KORVADO_SDL:-}" = sdl12-compat ] || e2e_fail "virtual pads exist only on sdl12-compat"

PADS="$SCRATCH/pads.script"
pad() { echo "$*" >>"$PADS"; }
# A virtual pad's axes start in the middle, which on a trigger is half pulled: both triggers of both pads rest.
printf '%s\n' "1 axis 4 -32768" "1 axis 5 -32768" "2 axis 4 -32768" "2 axis 5 -32768" >"$PADS"

# Buttons in SDL2's controller order; a stick's full travel.
A=0 B=1 X=2 START=6 RSHOULDER=10 DPAD_UP=11 DPAD_DOWN=12 FULL_TRAVEL=32767

# pad_hold PAD BUTTON SECONDS
pad_hold() {
    pad "$1 button $2 1"
    sleep "$3"
    pad "$1 button $2 0"
}

# The menu keys of journeys.sh, from pad 1: Return is A, Escape B, Up and Down the D-pad.
press() {
    local b
    case $1 in
    Return) b=$A ;;
    Escape) b=$B ;;
    Up) b=$DPAD_UP ;;
    Down) b=$DPAD_DOWN ;;
    *) e2e_fail "no pad button for $1" ;;
    esac
    pad_hold 1 "$b" "${2:-0.15}"
    sleep 0.3
}

# stick PAD AXIS VALUE SECONDS: a pad's left stick held over, then back in the middle.
stick() {
    pad "$1 axis $2 $3"
    sleep "$4"
    pad "$1 axis $2 0"
}

e2e_start_x
E2E_GAME_ENV="LD_PRELOAD=$KORVADO_BUILD_DIR/tools/libvpad.so KORVADO_VPAD_SCRIPT=$PADS
    SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS=1 ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:verify_asan_link_order=0" \
    launch korvado_mp
play_intro pads-01 menu/bgr.png
start_type 1
wait_round_play pads-02-round

# Blue fires first, from his corner, far below red: a miss, but his gun reloads for two seconds.
pad_hold 2 $X 0.15
e2e_shot pads-03-blue-fired >/dev/null
expect_pic pads-03-blue-fired P2/hrac_right_cs.png 20 430 $(differing_points P2/hrac_right.png P2/hrac_right_cs.png 4)

# Both up against the street's far edge: red on the D-pad, blue on the stick. Red's shots then take blue's
# five lives; each time blue stands up elsewhere, and his stick takes him left, away from red, and up again.
pad "1 button $DPAD_UP 1"
stick 2 1 -$FULL_TRAVEL 2.3
pad "1 button $DPAD_UP 0"
e2e_shot pads-04-level >/dev/null
expect_pic pads-04-level P1/hrac_left.png 700 60 $(solid_points P1/hrac_left.png)
expect_pic pads-04-level P2/hrac_right.png 20 60 $(solid_points P2/hrac_right.png)

# Red's shots take blue's lives until the red cowboy's winner picture shows. A bottle blue picks up on his
# way gives him a life back, and a slow frame may keep him from getting level: so his lives are read off
# the screen after each shot, which may take one or none, and the winner picture ends the shooting.
WINS=$(solid_points menu/rpwins.png)
fire=("button $A" "axis 5" "button $RSHOULDER")
rest=(0 -32768 0)
lives=5
for shot in $(seq 1 12); do
    pad "1 ${fire[shot % 3]} $FULL_TRAVEL"  # a button takes any value but 0 as pressed
    sleep 0.15
    pad "1 ${fire[shot % 3]} ${rest[shot % 3]}"
    fired=$(date +%s%N)
    e2e_shot "pads-05-shot$shot" >/dev/null
    shows "pads-05-shot$shot" menu/rpwins.png 200 250 $WINS && break
    hud_count "pads-05-shot$shot" blue
    [ "$COUNT" -ge 0 ] && [ "$COUNT" -le $((lives + 1)) ] || e2e_fail "pads-05-shot$shot: blue has $COUNT lives, had $lives"
    [ "$COUNT" -lt "$lives" ] || echo "note: red's shot $shot did not take a life (blue had $lives, has $COUNT)" >&2
    lives=$COUNT
    sleep "$(awk -v ns=$(($(date +%s%N) - fired)) 'BEGIN { s = 2.1 - ns / 1e9; print s > 0 ? s : 0 }')"  # he is down for 2 s
    stick 2 0 -$FULL_TRAVEL 0.8
    stick 2 1 -$FULL_TRAVEL 2.3
done
expect_pic "pads-05-shot$shot" menu/rpwins.png 200 250 $WINS
expect_counts "pads-05-shot$shot" 0 5

pad_hold 1 $START 0.15
wait_main_page pads-07-menu 0 menu/bgr.png

# Pad 2 works the menu too: held Down steps the highlight each time the key guard opens (a little over
# 200 ms). Pulled out, the pad lets go, and the highlight stays where it is.
pad "2 button $DPAD_DOWN 1"
sleep 0.3
pad "2 detach"
e2e_shot pads-08-pulled-out >/dev/null
main_lit pads-08-pulled-out menu/bgr.png
[ "$LIT" -gt 0 ] || e2e_fail "pads-08-pulled-out: pad 2's Down did not move the highlight (item $LIT)"
stayed=$LIT
sleep 0.5
e2e_shot pads-09-let-go >/dev/null
main_lit pads-09-let-go menu/bgr.png
[ "$LIT" = "$stayed" ] || e2e_fail "pads-09-let-go: the pulled-out pad still holds Down (item $stayed, then $LIT)"
choose_exit pads-10-exit menu/bgr.png
echo "PASS: a round played to its winner on two pads, no keyboard"
