# lib.sh: the end-to-end kit: a private X server, the real game, keys through xdotool, screenshots and pixels.
# Sourced by tests/e2e/test_*.sh; CTest sets KORVADO_BUILD_DIR.
set -u

: "${KORVADO_BUILD_DIR:?KORVADO_BUILD_DIR must name the build tree}"
SHOTS="$KORVADO_BUILD_DIR/e2e-shots"
# A script's sdl12-compat pass may run beside its classic pass: it keeps its screenshots and files apart.
[ "${KORVADO_SDL:-}" != sdl12-compat ] || SHOTS+="/sdl12-compat"
mkdir -p "$SHOTS"
# The games' kept settings: each script's own, starting from none (the defaults), never the home's.
export XDG_CONFIG_HOME="$SHOTS/.config-$(basename "$0" .sh)"
rm -rf "$XDG_CONFIG_HOME"
XVFB_PID=""
WM_PID=""
GAME_PID=""
WID=""
GAME_OUT=""  # what the running game printed; one file per test script, as tests run side by side

e2e_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

e2e_cleanup() {
    [ -n "$GAME_PID" ] && kill "$GAME_PID" 2>/dev/null
    [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    return 0
}
trap e2e_cleanup EXIT

# e2e_start_x [WxH]: a private X server (800x600 unless told) on a display number that the server itself
# picks as free.
e2e_start_x() {
    local numfile i
    numfile=$(mktemp)
    DISPLAY_NUM=""
    # -noreset: the server must not restart when its last client (our xdpyinfo probe) leaves,
    # or the game, connecting just then, finds no display.
    Xvfb -displayfd 3 -screen 0 "${1:-800x600}x24" -nolisten tcp -noreset 3>"$numfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    for i in $(seq 1 100); do
        if [ -z "${DISPLAY_NUM:-}" ] && [ -s "$numfile" ]; then
            DISPLAY_NUM=$(head -n 1 "$numfile" | tr -d '[:space:]')
            export DISPLAY=":$DISPLAY_NUM"
        fi
        if [ -n "${DISPLAY_NUM:-}" ] && xdpyinfo >/dev/null 2>&1; then
            rm -f "$numfile"
            return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$numfile"
    e2e_fail "no X server could be started"
}

# A window manager on the private X server, for what only a window manager does (a desktop full screen).
e2e_start_wm() {
    local i
    openbox >/dev/null 2>&1 &
    WM_PID=$!
    for i in $(seq 1 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
        sleep 0.1
    done
    e2e_fail "the window manager did not start"
}

# Starts the real program in bin/, so that it finds ../images as a player's copy does; a program given by its
# full path starts from E2E_GAME_DIR instead. E2E_GAME_ENV may add variables (NAME=value, split at spaces)
# for the game alone; E2E_OUT_NAME names its output file, where two copies of one program run.
e2e_launch() {
    local prog="$1" exe="./$1" dir="$KORVADO_BUILD_DIR/bin"
    shift
    [[ $prog == /* ]] && exe=$prog dir=${E2E_GAME_DIR:-/}
    GAME_OUT="$SHOTS/$(basename "$0" .sh).${E2E_OUT_NAME:-$(basename "$prog")}.out"
    # shellcheck disable=SC2086
    (cd "$dir" &&
        exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER="${E2E_AUDIO:-dummy}" ${E2E_GAME_ENV:-} "$exe" "$@") \
        >"$GAME_OUT" 2>&1 &
    GAME_PID=$!
}

e2e_wait_window() {
    local i
    for i in $(seq 1 600); do
        WID=$(xdotool search --name "KORVADO" 2>/dev/null | head -n 1)
        if [ -n "$WID" ]; then
            xdotool windowfocus --sync "$WID" 2>/dev/null || xdotool windowfocus "$WID"
            sleep 0.5
            return 0
        fi
        kill -0 "$GAME_PID" 2>/dev/null || e2e_fail "the game ended before its window showed: $(cat "$GAME_OUT" 2>/dev/null)"
        sleep 0.1
    done
    e2e_fail "no game window within 60 s"
}

e2e_key() {
    local k
    for k in "$@"; do
        xdotool keydown "$k"
        sleep 0.08
        xdotool keyup "$k"
        sleep 0.35
    done
}

e2e_keydown() { xdotool keydown "$1"; }
e2e_keyup() { xdotool keyup "$1"; }

# Screenshots and their pixels through tools/xshot: the suite takes hundreds of them, and ImageMagick's import
# and convert cost a core's tens of milliseconds each.
XSHOT="$KORVADO_BUILD_DIR/tools/xshot"

e2e_shot() {
    local f="$SHOTS/$1.png"
    sleep 0.2
    "$XSHOT" grab "$f" || e2e_fail "screenshot $1 failed"
    echo "$f"
}

e2e_pixel() {
    "$XSHOT" pixels "$SHOTS/$1.png" "$2,$3"
}

e2e_expect_near() {
    local name=$1 x=$2 y=$3 er=$4 eg=$5 eb=$6 tol=${7:-8}
    read -r pr pg pb < <(e2e_pixel "$name" "$x" "$y")
    local dr=$((pr - er)) dg=$((pg - eg)) db=$((pb - eb))
    if [ ${dr#-} -gt "$tol" ] || [ ${dg#-} -gt "$tol" ] || [ ${db#-} -gt "$tol" ]; then
        e2e_fail "$name at ($x,$y) is ($pr,$pg,$pb), expected ($er,$eg,$eb) within $tol"
    fi
}

e2e_expect_same() {
    [ "$(e2e_pixel "$1" "$3" "$4")" = "$(e2e_pixel "$2" "$3" "$4")" ] || e2e_fail "$1 and $2 differ at ($3,$4)"
}

e2e_expect_differ() {
    [ "$(e2e_pixel "$1" "$3" "$4")" != "$(e2e_pixel "$2" "$3" "$4")" ] || e2e_fail "$1 and $2 are the same at ($3,$4)"
}

# The close button of a window manager: a WM_DELETE_WINDOW client message.
e2e_close() {
    "$KORVADO_BUILD_DIR/tools/xclose" "$WID" || e2e_fail "could not send the close request"
}

# e2e_wait_exit [SECONDS] [STATUS]: the game ends within SECONDS (5) with STATUS (0).
e2e_wait_exit() {
    local limit=${1:-5} want=${2:-0} i status
    for i in $(seq 1 $((limit * 10))); do
        if ! kill -0 "$GAME_PID" 2>/dev/null; then
            wait "$GAME_PID"
            status=$?
            GAME_PID=""
            [ "$status" -eq "$want" ] || e2e_fail "the game ended with status $status, expected $want"
            return 0
        fi
        sleep 0.1
    done
    e2e_fail "the game did not end within $limit s"
}

# ns_net NAMESPACE NAME SCRIPT ARGS...: korvado_net from BIN in that network namespace, played by SCRIPT from
# SCRIPTS, its trace and output under WORK/NAME, with SIGINT and SIGTERM as by default (a background job of a
# script ignores SIGINT); its pid in LAST.
ns_net() {
    local ns=$1 name=$2 script=$3
    shift 3
    rm -f "$WORK/$name.trace"
    (cd "$BIN" && exec ip netns exec "$ns" env --default-signal=INT,TERM SDL_VIDEODRIVER=dummy \
        SDL_AUDIODRIVER=dummy KORVADO_NET_SCRIPT="$SCRIPTS/$script" KORVADO_NET_TRACE="$WORK/$name.trace" \
        ./korvado_net "$@") >"$WORK/$name.out" 2>&1 &
    LAST=$!
}

# trace_await NAME PATTERN SECONDS: the first line of WORK/NAME.trace that matches PATTERN, within SECONDS.
trace_await() {
    local end=$((SECONDS + $3)) line
    while [ $SECONDS -lt $end ]; do
        line=$(grep -m 1 -E "$2" "$WORK/$1.trace" 2>/dev/null) && { echo "$line"; return 0; }
        sleep 0.1
    done
    e2e_fail "$1: no '$2' within $3 s: $(tail -n 5 "$WORK/$1.out")"
}

# trace_since NAME FROM TO: ms between the first lines of WORK/NAME.trace starting with FROM and TO.
trace_since() {
    awk -v a="$2" -v b="$3" '$1 == a && !x { x = $NF } $1 == b && !y { y = $NF } END { print int((y - x) / 1000) }' \
        "$WORK/$1.trace"
}

# net_ends PID STATUS NAME: the program NAME ends within 10 s with that status.
net_ends() {
    local i got
    for i in $(seq 1 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$1" 2>/dev/null && e2e_fail "$3 did not end"
    wait "$1"
    got=$?
    [ $got -eq "$2" ] || e2e_fail "$3 ended with status $got: $(tail -n 5 "$WORK/$3.out")"
}
