#!/bin/bash
# test_fullscreen.sh: "fullscreen" gives the game the whole screen, as either SDL 1.2 does it; without it the
# game opens a plain window, which F11 turns into the full screen and back; a wrong argument opens nothing and ends the program at once with status 2.
# The screen is 1024x768 with a window manager, so that a full screen shows for what it is.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/journeys.sh"
fresh_shots fs
SW=1024
SH=768

# The full screen, as either SDL 1.2 makes it: classic SDL maps an override-redirect window over the whole
# screen and shows the picture at its middle (or switches the display to 800x600, where it can); sdl12-compat
# asks the window manager for its desktop full screen and scales the picture to the screen. Waits up to 10 s
# for a window that covers the screen; sets FS_WIN and FS_KIND (override-redirect or desktop).
find_fullscreen_window() {
    local w info end=$((SECONDS + 10))
    while :; do
        FS_WIN=""
        for w in $(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1 }'); do
            info=$(xwininfo -id "$w" -all 2>/dev/null)
            grep -q "Override Redirect State: yes" <<<"$info" || continue
            grep -q "Map State: IsViewable" <<<"$info" || continue
            grep -q -- "-geometry ${SW}x$SH+0+0" <<<"$info" && { FS_WIN=$w; FS_KIND=override-redirect; return 0; }
        done
        eval "$(xdotool getwindowgeometry --shell "$WID")"
        if [ "$X,$Y,$WIDTH,$HEIGHT" = "0,0,$SW,$SH" ] && xprop -id "$WID" _NET_WM_STATE | grep -q FULLSCREEN; then
            FS_WIN=$WID
            FS_KIND=desktop
            return 0
        fi
        [ $SECONDS -lt $end ] || e2e_fail "no window covers the screen (the game's is ${WIDTH}x$HEIGHT at $X,$Y)"
        sleep 0.3
    done
}

# shows_fitted SHOT PICTURE: the screenshot shows the whole 800x600 PICTURE scaled to the whole screen
# (compared as a whole, back at 800x600: scaling blurs edges, so single pixels would not do).
shows_fitted() {
    local err
    convert "$SHOTS/$1.png" -resize 800x600! "$SCRATCH/fitted.png"
    err=$(compare -metric RMSE "$SCRATCH/fitted.png" "$IMG/$2" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/')
    awk -v e="$err" 'BEGIN { exit !(e < 0.04) }'
}

# wait_fitted SHOT PICTURE: screenshots until the scaled picture shows; fails after 20 s.
wait_fitted() {
    local end=$((SECONDS + 20))
    until e2e_shot "$1" >/dev/null && shows_fitted "$1" "$2"; do
        [ $SECONDS -lt $end ] || e2e_fail "$1: $2 does not fill the screen"
        sleep 0.3
    done
}

# A full screen of either kind, with the studio picture on it. Where the picture is not scaled, WX and WY
# become its corner, so the journey's pixel checks find it.
expect_fullscreen_studio() {
    local shot=$1
    find_fullscreen_window
    if [ "$FS_KIND" = desktop ]; then
        wait_fitted "$shot" tolvlogo.png
        echo "full screen: desktop full screen, window $FS_WIN covers the ${SW}x$SH screen, picture scaled"
    else
        WX=$(((SW - 800) / 2))
        WY=$(((SH - 600) / 2))
        wait_pic "$shot" 20 tolvlogo.png 0 0 $FULL
        local top
        top=$(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1; exit }')  # the top of the stack
        [ "$top" = "$FS_WIN" ] || e2e_fail "the full-screen window $FS_WIN is not on top ($top is)"
        echo "full screen: override-redirect window $FS_WIN over the ${SW}x$SH screen, on top, picture at $WX,$WY"
    fi
}

# No window covers the screen: the game runs in an ordinary window.
expect_no_fullscreen_window() {
    local w info
    for w in $(xwininfo -root -children | awk '$1 ~ /^0x/ { print $1 }'); do
        info=$(xwininfo -id "$w" -all 2>/dev/null)
        grep -q "Map State: IsViewable" <<<"$info" || continue
        if grep -q -- "-geometry ${SW}x$SH+0+0" <<<"$info"; then
            e2e_fail "the windowed game shows a window $w over the whole screen"
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

e2e_start_x ${SW}x$SH
e2e_start_wm

# ---- the two-player game in full screen: played from the intro to the exit item, or, where the picture is
# scaled (and single pixels cannot be compared), through the intro to a close request ----
launch korvado_mp fullscreen
expect_fullscreen_studio fs-mp-01-studio
if [ "$FS_KIND" = desktop ]; then
    press Return
    wait_fitted fs-mp-02-title kvdlogo.png
    close_timed "title in full screen (MP)"
else
    press_until Return fs-mp-02-title shows_title
    press_until Return fs-mp-03-menu main_page_shows 0 menu/bgr.png
    choose_exit fs-mp-04-exit-lit menu/bgr.png
fi

SETTINGS="$XDG_CONFIG_HOME/korvado/settings"
[ ! -e "$SETTINGS" ] || e2e_fail "the argument changed the kept settings: $(cat "$SETTINGS")"

# The window is 800x600 and no window covers the screen, within 10 s.
expect_windowed() {
    local i
    for i in $(seq 1 30); do
        eval "$(xdotool getwindowgeometry --shell "$WID")"
        [ "$WIDTH,$HEIGHT" = "800,600" ] && (expect_no_fullscreen_window) 2>/dev/null && return 0
        sleep 0.3
    done
    expect_no_fullscreen_window
    e2e_fail "the window is ${WIDTH}x$HEIGHT"
}

# ---- the same without the argument: an ordinary window; F11 gives it the whole screen with the studio picture
# drawn again, and back, each kept ----
launch korvado_mp
wait_pic fs-mp-05-windowed 20 tolvlogo.png 0 0 $FULL
expect_windowed
press F11
expect_fullscreen_studio fs-mp-06-f11
grep -qx "fullscreen = on" "$SETTINGS" || e2e_fail "F11's full screen is not kept: $(cat "$SETTINGS" 2>&1)"
press F11
expect_windowed
grep -qx "fullscreen = off" "$SETTINGS" || e2e_fail "F11's window is not kept: $(cat "$SETTINGS" 2>&1)"
e2e_close
e2e_wait_exit 5

# ---- the one-player game in full screen ----
launch korvado_sp fullscreen
expect_fullscreen_studio fs-sp-01-studio
e2e_close
e2e_wait_exit 5

# ---- wrong arguments: no window, status 2; --help: no window, status 0 ----
no_window_for Fullscreen korvado_mp 2
no_window_for -fullscreen korvado_sp 2
no_window_for --help korvado_sp 0
echo "PASS: full screen with \"fullscreen\", a window without, nothing with a wrong argument"
