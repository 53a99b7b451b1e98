#!/bin/bash
# test_sp.sh: the single-player edition end to end: a type 2 round against an idle red cowboy,
# which the computer wins by shooting him ten times.
source "$E2E_LIB"

IMAGES="$KORVADO_BUILD_DIR/images"

# How many pixels of the w x h area at (x, y) of screenshot $1 change when picture $2 (pure green
# transparent) is laid over it: 0 when the screen already shows that picture there.
pixels_changed_by() {
    local shot="$SHOTS/$1.png" pic="$2" x=$3 y=$4 w h
    read -r w h < <(identify -format '%w %h' "$pic")
    local crop="$SHOTS/.crop.png" over="$SHOTS/.over.png"
    convert "$shot" -crop "${w}x${h}+$x+$y" +repage "$crop"
    convert "$crop" \( "$pic" -transparent '#00ff00' \) -composite "$over"
    compare -metric AE -fuzz 4% "$crop" "$over" null: 2>&1 | cut -d' ' -f1
}

# The screenshot shows picture $2 at (x, y): it matches it, and it does not match picture $5.
shows_picture() {
    local a b
    a=$(pixels_changed_by "$1" "$2" "$3" "$4")
    b=$(pixels_changed_by "$1" "$5" "$3" "$4")
    [ "${a%.*}" -lt 50 ] && [ "${b%.*}" -gt 500 ]
}

# The 110 x 60 corner of screenshot $1 from x0 shows the street with counter $3 at ($4, $5) and
# portrait $6 at ($7, $8) over it, as the round draws its heads-up display.
hud_shows() {
    local shot="$SHOTS/$1.png" x0=$2 crop="$SHOTS/.hud.png" want="$SHOTS/.hudwant.png" n
    convert "$shot" -crop "110x60+$x0+0" +repage "$crop"
    convert "$IMAGES/bgsml.png" -crop "110x60+$x0+0" +repage \
        \( "$3" -transparent '#00ff00' \) -geometry "+$(($4 - x0))+$5" -composite \
        \( "$6" -transparent '#00ff00' \) -geometry "+$(($7 - x0))+$8" -composite "$want"
    n=$(compare -metric AE -fuzz 4% "$crop" "$want" null: 2>&1 | cut -d' ' -f1)
    [ "${n%.*}" -lt 30 ]
}

# The menu is walked by looking at the screen: under load the game may miss a short key press.
source "$(dirname "$E2E_LIB")/journeys.sh"
fresh_shots sp
e2e_start_x
launch korvado_sp
play_intro sp-01 menu/bgrsp.png
step_to sp-02-new-game-lit 0 4 main_lit menu/bgrsp.png
start_type 2  # game type 2: ten lives each, no bottle
start=$SECONDS

sleep 8
e2e_shot sp_round >/dev/null
kill -0 "$GAME_PID" 2>/dev/null || e2e_fail "the game ended during the round"
shows_picture sp_round "$IMAGES/menu/bpwins.png" 200 250 "$IMAGES/menu/rpwins.png" &&
    e2e_fail "the round was over after 8 s"

# Red never moves; the blue cowboy must line up and shoot him down ten times.
won=""
while [ $((SECONDS - start)) -lt 100 ]; do
    sleep 2
    e2e_shot sp_late >/dev/null
    if shows_picture sp_late "$IMAGES/menu/bpwins.png" 200 250 "$IMAGES/menu/rpwins.png"; then
        won=$((SECONDS - start))
        break
    fi
    kill -0 "$GAME_PID" 2>/dev/null || e2e_fail "the game ended during the round"
done
[ -n "$won" ] || e2e_fail "no blue winner picture within 100 s of the round's start"
cp "$SHOTS/sp_late.png" "$SHOTS/sp_blue_wins.png"
echo "the blue cowboy won after about $won s"
[ "$won" -gt 20 ] || e2e_fail "blue won after $won s: faster than ten reloads allow"
# Blue's counter (top left) still shows all ten lives, red's (top right) none.
hud_shows sp_blue_wins 0 "$IMAGES/Hud/wc10.png" 10 10 "$IMAGES/hud/bp.png" 5 0 ||
    e2e_fail "blue's counter does not show 10"
hud_shows sp_blue_wins 690 "$IMAGES/Hud/wc00.png" 710 12 "$IMAGES/hud/rp.png" 695 0 ||
    e2e_fail "red's counter does not show 0"

e2e_key Return  # the winner screen hands over to the menu
e2e_shot sp_after >/dev/null
shows_picture sp_after "$IMAGES/menu/bpwins.png" 200 250 "$IMAGES/menu/rpwins.png" &&
    e2e_fail "the winner picture stayed after Return"
e2e_close
e2e_wait_exit 5
echo "PASS"
