#!/bin/bash
# test_journey_sp.sh: one player against the computer, from the start to the exit item: the intro, the credits
# and instructions pages, a round of game type 2 left with Escape and taken up again, then a round of type 0
# and one of type 1, each played by the computer to its winner screen while the red cowboy stands idle.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/journeys.sh"
fresh_shots jsp
BG=menu/bgrsp.png
BLUE_WINS=$(solid_points menu/bpwins.png)

# wait_blue_wins NAME SECONDS: screenshots until the blue cowboy's winner picture shows over the round.
# While it hunts a bottle the computer may stand in a standoff, facing a red cowboy level with it but
# firing the way it last walked, for as long as red stands still; so every 15 s red takes one short step
# up or down, out of its sights, and the hunt goes on.
wait_blue_wins() {
    local name=$1 end=$((SECONDS + $2)) start=$SECONDS nudge=$((SECONDS + 15)) step=Down
    while :; do
        sleep 1.5
        if [ $SECONDS -ge $nudge ]; then
            press "$step" 0.3
            if [ $step = Down ]; then step=Up; else step=Down; fi
            nudge=$((SECONDS + 15))
        fi
        e2e_shot "$name" >/dev/null
        shows "$name" menu/bpwins.png 200 250 $BLUE_WINS && break
        [ $SECONDS -lt $end ] || e2e_fail "$name: no winner within $2 s"
        kill -0 "$GAME_PID" 2>/dev/null || e2e_fail "the game ended during the round"
    done
    echo "$name: the computer won after about $((SECONDS - start)) s"
}

# A fresh round: the countdown over the street, both cowboys at their starting places, the counts of its type.
expect_fresh_round() {
    local shot=$1 count=$2
    e2e_shot "$shot" >/dev/null
    countdown_digit "$shot"
    [ "$DIGIT" != none ] || e2e_fail "$shot: no countdown at the start of the round"
    expect_pic "$shot" P1/hrac_left.png 700 120 $(solid_points P1/hrac_left.png)
    expect_pic "$shot" P2/hrac_right.png 20 430 $(solid_points P2/hrac_right.png)
    expect_counts "$shot" "$count" "$count"
}

e2e_start_x
launch korvado_sp
play_intro jsp-01 $BG

# ---- credits and instructions, each left with Escape ----
step_to jsp-02-credits-lit 2 4 main_lit $BG
press_until Return jsp-04-credits shows menu/cred.png 0 0 $FULL
press_until Escape jsp-05-back main_page_shows 2 $BG
step_to jsp-06-instructions-lit 1 4 main_lit $BG
press_until Return jsp-07-instructions shows menu/ins.png 0 0 $FULL
press_until Escape jsp-08-back main_page_shows 1 $BG
step_to jsp-09-new-game-lit 0 4 main_lit $BG

# ---- game type 2: the computer hits red; Escape to the menu at once, while its gun reloads (2 s), and
# Escape back into the same round: the counts are those the round was left with, and no countdown. ----
start_type 2
expect_fresh_round jsp-10-type2-countdown 10
red_before=10
for try in 1 2 3 4 5 6; do
    end=$((SECONDS + 60))
    while :; do
        e2e_shot jsp-11-type2-hit >/dev/null
        hud_count jsp-11-type2-hit red
        [ "$COUNT" -ge 0 ] && [ "$COUNT" -lt "$red_before" ] && break
        [ $SECONDS -lt $end ] || e2e_fail "the computer did not hit the red cowboy within 60 s"
    done
    red=$COUNT
    USE_HOLDS=ESC_HOLDS press_until Escape jsp-13-type2-left main_page_shows 0 $BG
    cp "$SHOTS/jsp-11-type2-hit.png" "$SHOTS/jsp-12-type2-left-at.png"
    hud_count jsp-12-type2-left-at blue
    blue=$COUNT
    USE_HOLDS=ESC_HOLDS press_until Escape jsp-14-type2-resumed street_shows
    countdown_digit jsp-14-type2-resumed
    [ "$DIGIT" = none ] || e2e_fail "the resumed round starts its countdown again"
    hud_count jsp-14-type2-resumed blue
    [ "$COUNT" = "$blue" ] || e2e_fail "blue's count was $blue when the round was left, $COUNT after it was taken up"
    hud_count jsp-14-type2-resumed red
    [ "$COUNT" = "$red" ] && break
    # a shot that fell between the screenshot and the Escape takes one more; anything else is a fault
    [ "$COUNT" = $((red - 1)) ] || e2e_fail "red's count was $red when the round was left, $COUNT after it was taken up"
    echo "note: red was hit again just before the Escape; tried with the next hit" >&2
    red_before=$COUNT
done
[ "$COUNT" = "$red" ] || e2e_fail "red's count kept changing around the Escape"
echo "type 2 left with Escape and taken up again at blue $blue, red $red"
USE_HOLDS=ESC_HOLDS press_until Escape jsp-15-type2-left-again main_page_shows 0 $BG

# ---- game type 0: a new round starts afresh; the computer collects five bottles ----
start_type 0
expect_fresh_round jsp-16-type0-countdown 0
wait_blue_wins jsp-17-type0-won 150
hud_count jsp-17-type0-won blue
[ "$COUNT" = 5 ] || e2e_fail "blue won type 0 holding $COUNT bottles"
press_until Return jsp-18-menu main_page_shows 0 $BG

# ---- game type 1: the computer shoots the red cowboy's five lives; Escape closes the winner screen ----
start_type 1
expect_fresh_round jsp-19-type1-countdown 5
wait_blue_wins jsp-20-type1-won 150
hud_count jsp-20-type1-won red
[ "$COUNT" = 0 ] || e2e_fail "blue won type 1 with red holding $COUNT lives"
hud_count jsp-20-type1-won blue
[ "$COUNT" -ge 1 ] && [ "$COUNT" -le 5 ] || e2e_fail "blue won type 1 with $COUNT lives"
press_until Escape jsp-21-menu main_page_shows 0 $BG
# The round is over: Escape on the main page does not take it up again.
press Escape 0.3
e2e_shot jsp-22-no-resume >/dev/null
main_page_shows jsp-22-no-resume 0 $BG || e2e_fail "Escape after the winner screen left the main page"

# ---- the exit item ----
choose_exit jsp-23-exit-lit $BG
echo "PASS: the one-player journey from the studio picture to the exit item"
