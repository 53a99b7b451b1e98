# leaks.sh: one session of a program under valgrind memcheck (the intro, a short round, the menu's exit
# item) that fails on any byte definitely or indirectly lost, or any other memory error, outside what
# the suppressions in tests/valgrind.supp excuse. Sourced by test_leaks_*.sh after lib.sh.

LEAK_SUPP="$(cd "$(dirname "$E2E_LIB")/.." && pwd)/valgrind.supp"
IMAGES="$KORVADO_BUILD_DIR/images"

# Starts bin/$1 under valgrind as e2e_launch starts the game; the report goes to e2e-shots/valgrind_$1.log.
leak_launch() {
    local prog="$1"
    VG_LOG="$SHOTS/valgrind_$prog.log"
    MENU_SHOT="leak_menu_$prog"  # both leak checks may run at once and share the screenshot folder
    (cd "$KORVADO_BUILD_DIR/bin" && exec env -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy \
        valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
        --errors-for-leak-kinds=definite,indirect --error-exitcode=99 --num-callers=40 \
        --suppressions="$LEAK_SUPP" --gen-suppressions=all --log-file="$VG_LOG" "./$prog") \
        >"$SHOTS/$prog.out" 2>&1 &
    GAME_PID=$!
}

# valgrind slows start-up down many times over: wait up to a minute and a half for the window.
leak_wait_window() {
    local i
    for i in $(seq 1 900); do
        WID=$(xdotool search --name "KORVADO" 2>/dev/null | head -n 1)
        if [ -n "$WID" ]; then
            xdotool windowfocus --sync "$WID" 2>/dev/null || xdotool windowfocus "$WID"
            sleep 1
            return 0
        fi
        kill -0 "$GAME_PID" 2>/dev/null || e2e_fail "the game ended before its window showed: $(cat "$VG_LOG")"
        sleep 0.1
    done
    e2e_fail "no game window within 90 s"
}

# A press held long enough for a slowed-down frame to see it.
leak_press() {
    xdotool keydown "$1"
    sleep "${2:-0.4}"
    xdotool keyup "$1"
    sleep 1
}

# The colour of picture $1 at (x, y) as "r g b".
picture_pixel() {
    "$XSHOT" pixels "$1" "$2,$3"
}

# The screenshot $1 shows picture $2 (drawn at ox, oy) at the picture's point (x, y).
shows_pixel_of() {
    local r g b
    read -r r g b < <(picture_pixel "$2" "$5" "$6")
    e2e_expect_near "$1" $(($3 + $5)) $(($4 + $6)) "$r" "$g" "$b" 12
}

# Taps Escape until the menu's main page shows with its first item lit: a held Escape would take
# turns between the round and the menu, and a slowed-down frame may miss a short tap.
# Each tap is held a little differently: under valgrind a frame is long, so a short tap may fall between two
# frames' looks at the keyboard, and a long one may still be down when the menu looks and hands back.
leak_to_menu() {
    local secs lit
    lit=$(picture_pixel "$IMAGES/menu/nga.png" 35 40)
    for secs in 0.15 0.1 0.25 0.05 0.2 0.3 0.12 0.4 0.08 0.18; do
        xdotool keydown Escape sleep "$secs" keyup Escape
        sleep 1
        e2e_shot "$MENU_SHOT" >/dev/null
        [ "$(e2e_pixel "$MENU_SHOT" 235 190)" = "$lit" ] && return 0
    done
    e2e_fail "Escape did not bring the menu"
}

# On the main page, taps Up until the exit item (slot 3, at 200, 450) is the highlighted one.
leak_choose_exit() {
    local tries lit
    lit=$(picture_pixel "$IMAGES/menu/exa.png" 35 40)
    for tries in 1 2 3 4 5 6 7 8; do
        leak_press Up 0.1
        e2e_shot "$MENU_SHOT" >/dev/null
        [ "$(e2e_pixel "$MENU_SHOT" 235 490)" = "$lit" ] && return 0
    done
    e2e_fail "the exit item never lit up"
}

# Start-up, both intro pictures, a round of game type $2 in which the keys $4... are held for $3
# seconds, Escape back to the menu, the exit item, and valgrind's verdict.
leak_session() {
    local prog="$1" type="$2" hold="$3" k
    shift 3
    e2e_start_x
    leak_launch "$prog"
    leak_wait_window
    leak_press Return  # the studio picture
    leak_press Return  # the title picture
    leak_press Return  # new game: the game types
    for ((k = 0; k < type; k++)); do leak_press Down 0.1; done
    leak_press Return  # the round, with its countdown
    sleep 4
    for k in "$@"; do xdotool keydown "$k"; done
    sleep "$hold"
    for k in "$@"; do xdotool keyup "$k"; done
    e2e_shot "leak_round_$prog" >/dev/null
    shows_pixel_of "leak_round_$prog" "$IMAGES/hud/bp.png" 5 0 27 30  # the round's heads-up display
    leak_to_menu
    leak_choose_exit
    leak_press Return
    leak_verdict 120
}

# The program's end: exit status 0, and no error in valgrind's report.
leak_verdict() {
    local limit=$1 i status
    for i in $(seq 1 $((limit * 10))); do
        kill -0 "$GAME_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$GAME_PID" 2>/dev/null && e2e_fail "the game did not end within $limit s"
    wait "$GAME_PID"
    status=$?
    GAME_PID=""
    grep -E 'definitely lost|indirectly lost|ERROR SUMMARY|suppressed:' "$VG_LOG"
    [ "$status" -eq 99 ] && e2e_fail "valgrind found errors or leaks: see $VG_LOG"
    [ "$status" -eq 0 ] || e2e_fail "the game ended with status $status"
    echo "PASS: no leak and no memory error"
}
