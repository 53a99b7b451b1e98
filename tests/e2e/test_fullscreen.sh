#!/bin/bash
# test_fullscreen.sh: "fullscreen" opens an 800 x 600 full screen that the game draws and plays in; without it
# the game opens a plain window; any other argument opens nothing and ends the program at once with status 2.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/journeys.sh"
fresh_shots fs

# The full-screen window: a mapped override-redirect window directly under the root, at (0, 0) and of the
# screen's size, on top of every other top-level window. Sets FS_WIN, or fails.
FS_WIN=""
find_fullscreen_window() {
    local w info top
    FS_WIN=""
    for w in $(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1 }'); do
        info=$(xwininfo -id "$w" -all 2>/dev/null)
        grep -q "Override Redirect State: yes" <<<"$info" || continue
        grep -q "Map State: IsViewable" <<<"$info" || continue
        FS_WIN=$w
        grep -q -- "-geometry 800x600+0+0" <<<"$info" || e2e_fail "the full-screen window is not 800x600 at 0,0: $(grep geometry <<<"$info")"
    done
    [ -n "$FS_WIN" ] || e2e_fail "no mapped override-redirect window covers the screen"
    eval "$(xdotool getwindowgeometry --shell "$FS_WIN")"
    [ "$X,$Y,$WIDTH,$HEIGHT" = "0,0,800,600" ] || e2e_fail "xdotool sees the full-screen window at $X,$Y, ${WIDTH}x$HEIGHT"
    # xwininfo lists the root's children from the top of the stack down
    top=$(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1; exit }')
    [ "$top" = "$FS_WIN" ] || e2e_fail "the full-screen window $FS_WIN is not on top ($top is)"
}

# No top-level window is mapped with override-redirect: the game runs in an ordinary window.
expect_no_fullscreen_window() {
    local w info
    for w in $(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1 }'); do
        info=$(xwininfo -id "$w" -all 2>/dev/null)
        if grep -q "Override Redirect State: yes" <<<"$info" && grep -q "Map State: IsViewable" <<<"$info"; then
            e2e_fail "the windowed game shows an override-redirect window $w"
        fi
    done
}

# The number of windows directly under the root.
top_level_count() {
    xwininfo -root -children | awk '/ child(ren)?[:.]/ { print $1; found = 1 } END { if (!found) print 0 }'
}

# no_window_for ARG PROGRAM STATUS: started with ARG the program shows no window (the root window reports every
# window mapped under it) and ends with STATUS, leaving no window behind.
no_window_for() {
    local arg=$1 prog=$2 want=$3 log="$SHOTS/fullscreen-xev-$2$1.log" xev_pid before
    before=$(top_level_count)
    xev -root -event substructure >"$log" 2>&1 &
    xev_pid=$!
    sleep 0.3
    e2e_launch "$prog" "$arg"
    e2e_wait_exit 15 "$want"
    sleep 0.3
    kill "$xev_pid"
    wait "$xev_pid" 2>/dev/null
    ! grep -q "MapNotify" "$log" || e2e_fail "$prog $arg showed a window: $(grep -A1 MapNotify "$log" | head -n 4)"
    [ "$(top_level_count)" = "$before" ] || e2e_fail "$prog $arg left a window behind: $(xwininfo -root -children)"
    echo "$prog $arg: no window shown, none left, status $want"
}

e2e_start_x

# ---- the two-player game in full screen, played from the intro to the exit item ----
launch korvado_mp fullscreen
wait_pic fs-mp-01-studio 20 tolvlogo.png 0 0 $FULL
find_fullscreen_window
echo "full screen: window $FS_WIN, 800x600 at 0,0, override-redirect, on top"
press_until Return fs-mp-02-title shows_title
press_until Return fs-mp-03-menu main_page_shows 0 menu/bgr.png
choose_exit fs-mp-04-exit-lit menu/bgr.png

# ---- the same without the argument: an ordinary window ----
launch korvado_mp
wait_pic fs-mp-05-windowed 20 tolvlogo.png 0 0 $FULL
expect_no_fullscreen_window
eval "$(xdotool getwindowgeometry --shell "$WID")"
[ "$WIDTH,$HEIGHT" = "800,600" ] || e2e_fail "the window is ${WIDTH}x$HEIGHT"
e2e_close
e2e_wait_exit 5

# ---- the one-player game in full screen ----
launch korvado_sp fullscreen
wait_pic fs-sp-01-studio 20 tolvlogo.png 0 0 $FULL
find_fullscreen_window
e2e_close
e2e_wait_exit 5

# ---- wrong arguments: no window, status 2; --help: no window, status 0 ----
no_window_for Fullscreen korvado_mp 2
no_window_for -fullscreen korvado_sp 2
no_window_for --help korvado_sp 0
echo "PASS: full screen with \"fullscreen\", a window without, nothing with a wrong argument"
