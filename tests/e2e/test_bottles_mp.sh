#!/bin/bash
# test_bottles_mp.sh: a two-player round of game type 0 won by the red cowboy with five bottles: each time the
# bottle shows, find it on the screen, walk red onto it with the arrow keys, see his count go up by one and the
# bottle come back somewhere else; the fifth ends the round with red's winner picture, closed with the window.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/journeys.sh"
fresh_shots bottles

# Colours that only the bottle has, and colours that only the red cowboy has (against the blue cowboy, the
# heads-up display and each other), one "r,g,b" a line.
unique_colours() {
    convert "$@" -background '#00ff00' -append -unique-colors -depth 8 txt:- |
        awk 'NR > 1 { gsub(/[()]/, "", $2); print $2 }' | sort -u
}
BOTTLE_ONLY="$SCRATCH/bottle-colours"
RED_ONLY="$SCRATCH/red-colours"
unique_colours "$IMG"/Obs/*.png >"$SCRATCH/bottle-all"
unique_colours "$IMG"/P1/*.png >"$SCRATCH/red-all"
unique_colours "$IMG"/P2/*.png "$IMG"/Hud/*.png "$IMG"/hud/*.png >"$SCRATCH/others"
comm -23 "$SCRATCH/bottle-all" <(sort -u "$SCRATCH/red-all" "$SCRATCH/others") >"$BOTTLE_ONLY"
comm -23 "$SCRATCH/red-all" <(sort -u "$SCRATCH/bottle-all" "$SCRATCH/others") >"$RED_ONLY"

# locate SHOT: finds the bottle and the red cowboy among the pixels where the screenshot differs from the
# street. The bottle's own colours start 5 pixels right of and 1 below the corner of its picture; red's start
# 2 below the top of his, and 23 pixels in when he faces left, 14 when he faces right (FACING).
# Sets BOTTLE ("x y", or "" when fewer than 300 of its pixels show) and RED ("x y", or "").
FACING=l
locate() {
    local nb bx by nr rx ry
    read -r nb bx by nr rx ry < <(convert "$SHOTS/$1.png" "$IMG/bgsml.png" -compose ChangeMask -composite -depth 8 \
        sparse-color:- | tr ' ' '\n' | awk -v bfile="$BOTTLE_ONLY" -v rfile="$RED_ONLY" '
        FILENAME == bfile { B[$0] = 1; next }
        FILENAME == rfile { R[$0] = 1; next }
        {
            split($0, a, /[,()]/)
            x = a[1] + 0; y = a[2] + 0; key = a[4] "," a[5] "," a[6]
            if (y >= 150 && (key in B)) {
                if (!nb++) { bx = x; by = y }
                if (x < bx) bx = x
                if (y < by) by = y
            }
            if (y >= 60 && (key in R)) {
                if (!nr++) { rx = x; ry = y }
                if (x < rx) rx = x
                if (y < ry) ry = y
            }
        }
        END { printf "%d %d %d %d %d %d\n", nb, bx, by, nr, rx, ry }' "$BOTTLE_ONLY" "$RED_ONLY" -)
    BOTTLE=""
    RED=""
    [ "$nb" -lt 300 ] || BOTTLE="$((bx - 5)) $((by - 1))"
    if [ "$nr" -ge 400 ]; then
        if [ "$FACING" = l ]; then RED="$((rx - 23)) $((ry - 2))"; else RED="$((rx - 14)) $((ry - 2))"; fi
    fi
}

# walk KEY PIXELS: holds an arrow key for as long as red needs to walk that far (0.2 px/ms, down 0.17 px/ms).
walk() {
    local key=$1 px=$2 speed=200 secs
    [ "$key" = Down ] && speed=170
    secs=$(awk -v p="$px" -v s="$speed" 'BEGIN { printf "%.3f", p / s }')
    case $key in Left) FACING=l ;; Right) FACING=r ;; esac
    xdotool keydown "$key" sleep "$secs" keyup "$key"
    sleep 0.1
}

# Red's count from the heads-up display, as a number (-1 when unreadable).
red_count() {
    hud_count "$1" red
    RED_COUNT=$COUNT
}

# pick_up N: walks red onto the bottle until his count reads N. His left edge aims 20 pixels left of the
# bottle's, his feet 57 below its top: the middle of where a pickup happens. The bottle stays where it is
# until it is picked up, so once seen its place is kept while red hides it. Sets PLACE to that place.
pick_up() {
    local n=$1 step shot bx by rx ry tx ty dx dy
    PLACE=""
    for step in $(seq 1 30); do
        shot=bottles-$n-$(printf %02d "$step")
        e2e_shot "$shot" >/dev/null
        red_count "$shot"
        [ "$RED_COUNT" = "$n" ] && { LAST_SHOT=$shot; return 0; }
        [ "$RED_COUNT" = $((n - 1)) ] || e2e_fail "$shot: red's count reads $RED_COUNT while he went for bottle $n"
        locate "$shot"
        [ -n "$RED" ] || e2e_fail "$shot: the red cowboy cannot be found"
        [ -z "$BOTTLE" ] || [ -n "$PLACE" ] || { PLACE=$BOTTLE; SEEN_AT=$(date +%s%N); }
        if [ -z "$PLACE" ]; then
            sleep 0.3  # still hidden since the last pickup
            continue
        fi
        read -r bx by <<<"$PLACE"
        read -r rx ry <<<"$RED"
        ty=$((by - 73))
        [ $ty -le 470 ] || ty=470
        tx=$((bx - 20))
        [ $tx -ge 0 ] || tx=0
        [ $tx -le 720 ] || tx=720
        dx=$((tx - rx))
        dy=$((ty - ry))
        if [ ${dy#-} -gt 8 ]; then
            if [ $dy -gt 0 ]; then walk Down $dy; else walk Up ${dy#-}; fi
        elif [ ${dx#-} -gt 15 ]; then
            if [ $dx -gt 0 ]; then walk Right $dx; else walk Left ${dx#-}; fi
        else
            sleep 0.2  # on the spot: the pickup shows in the next frames
        fi
    done
    e2e_fail "red did not get bottle $n in 30 steps"
}

# A bottle's place: within a pixel of its grid, x = 57 + 7 i, y = 154 + 4 j (i, j from 0 to 99).
expect_on_grid() {
    local x=${1% *} y=${1#* } ok=""
    for d in -1 0 1; do
        [ $(((x + d - 57) % 7)) = 0 ] && [ $((x + d)) -ge 57 ] && [ $((x + d)) -le 750 ] && ok=x
    done
    [ -n "$ok" ] || e2e_fail "the bottle stands at x $x, off its grid"
    ok=""
    for d in -1 0 1; do
        [ $(((y + d - 154) % 4)) = 0 ] && [ $((y + d)) -ge 154 ] && [ $((y + d)) -le 550 ] && ok=y
    done
    [ -n "$ok" ] || e2e_fail "the bottle stands at y $y, off its grid"
}

e2e_start_x
launch korvado_mp
play_intro bottles-00 menu/bgr.png
start_type 0
wait_round_play bottles-00-round
expect_counts bottles-00-round 0 0

# Blue goes to the street's top-left corner, where no bottle can reach him (a bottle stands 57 pixels or
# more from the left edge) and where every bottle is drawn in front of him; red goes up to the far edge,
# where every bottle is drawn in front of him too.
hold 0.3 a
for try in 1 2 3; do
    hold 2.2 Up w
    e2e_shot bottles-00-parked >/dev/null
    shows bottles-00-parked P2/hrac_left.png 0 60 $(solid_points P2/hrac_left.png) && break
    [ $try -lt 3 ] || e2e_fail "the blue cowboy did not reach the top-left corner"
done

PICKED_AT=""
OLD_PLACE=""
for n in 1 2 3 4 5; do
    pick_up $n
    echo "bottle $n: at $PLACE, picked up ($LAST_SHOT)"
    if [ $n = 1 ]; then
        # the first bottle of a round stands at (360, 300)
        read -r bx by <<<"$PLACE"
        [ ${bx#-} -ge 359 ] && [ $bx -le 361 ] && [ $by -ge 299 ] && [ $by -le 301 ] ||
            e2e_fail "the round's first bottle stood at $PLACE, not at 360 300"
    else
        expect_on_grid "$PLACE"
        [ "$PLACE" != "$OLD_PLACE" ] || e2e_fail "bottle $n came back where the last one was picked up"
        # It hides for 4 s of drawing time, which runs twice as fast while the bottle stands above both cowboys' feet.
        wait_ms=$(((SEEN_AT - PICKED_AT) / 1000000))
        echo "bottle $n showed again about $wait_ms ms after the pickup was seen"
        [ $wait_ms -ge 1500 ] || e2e_fail "bottle $n came back $wait_ms ms after the last pickup"
    fi
    [ $n = 5 ] && break
    locate "$LAST_SHOT"
    [ -z "$BOTTLE" ] || e2e_fail "the bottle still shows after its pickup ($LAST_SHOT)"
    PICKED_AT=$(date +%s%N)
    OLD_PLACE=$PLACE
    # The bottle comes back at a new place: red waits for it at the far edge.
    hold 2.2 Up
done

# The fifth bottle ends the round with red's winner picture, the counts 0 for blue, 5 for red. A close request
# ends the game on the winner screen too, within a second.
wait_pic bottles-06-winner 5 menu/rpwins.png 200 250 $(solid_points menu/rpwins.png)
expect_counts bottles-06-winner 0 5
close_timed "winner screen (MP)"
echo "PASS: red collected five bottles and won game type 0"
