#!/bin/bash
# pacing.sh BUILD_DIR: what a round costs the machine under Xvfb, on each SDL 1.2 implementation, paced and
# unpaced (KORVADO_NO_PACING=1): the game process's CPU (user + system, of one core) and its frames per
# second over ten seconds of a round of game type 2, counted by bench/flipcount preloaded into korvado_mp.
set -u
BUILD=$(cd "$1" && pwd)
export KORVADO_BUILD_DIR=$BUILD
export E2E_LIB="$(cd "$(dirname "$0")/../tests/e2e" && pwd)/lib.sh"
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/journeys.sh"
COMPAT_DIR=/usr/lib/$(gcc -print-multiarch)/sdl12-compat
COUNTER="$SCRATCH/flips"
SECONDS_MEASURED=10
HZ=$(getconf CLK_TCK)

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$GAME_PID/stat"; }
flips() { od -An -tu8 "$COUNTER" | tr -d ' '; }

# measure LABEL PACED ENV...: one round; sets FPS and CPU (percent of one core) and prints them.
measure() {
    local label=$1 paced=$2 t0 t1 f0 f1
    shift 2
    rm -f "$COUNTER"
    E2E_GAME_ENV="KORVADO_FLIPCOUNT=$COUNTER LD_PRELOAD=$BUILD/bench/libflipcount.so $*"
    [ "$paced" = paced ] || E2E_GAME_ENV+=" KORVADO_NO_PACING=1"
    launch korvado_mp
    play_intro "pace-$label" menu/bgr.png
    start_type 2
    wait_round_play "pace-$label-round"
    t0=$(cpu_ticks) f0=$(flips)
    sleep $SECONDS_MEASURED
    t1=$(cpu_ticks) f1=$(flips)
    e2e_close
    e2e_wait_exit 10
    FPS=$(((f1 - f0) / SECONDS_MEASURED))
    CPU=$(((t1 - t0) * 100 / HZ / SECONDS_MEASURED))
    printf '%-44s %6d frames/s %5d%% CPU\n' "$label, $paced" "$FPS" "$CPU"
}

verdict() { if [ "$1" = 1 ]; then echo "met"; else echo "MISSED"; fi; }

e2e_start_x
echo
echo "a round of korvado_mp under Xvfb, ${SECONDS_MEASURED} s each:"
measure classic paced
CP_FPS=$FPS CP_CPU=$CPU
measure classic unpaced
measure sdl12-compat paced LD_LIBRARY_PATH=$COMPAT_DIR
SP_FPS=$FPS SP_CPU=$CPU
measure sdl12-compat unpaced LD_LIBRARY_PATH=$COMPAT_DIR
SU_CPU=$CPU
soft="SDL12COMPAT_OPENGL_SCALING=0 SDL_FRAMEBUFFER_ACCELERATION=0 SDL_RENDER_DRIVER=software"
measure "sdl12-compat, software framebuffer" paced LD_LIBRARY_PATH=$COMPAT_DIR $soft
measure "sdl12-compat, software framebuffer" unpaced LD_LIBRARY_PATH=$COMPAT_DIR $soft
echo "goal classic paced: at most 10% CPU, at least 60 frames/s: $(verdict $((CP_CPU <= 10 && CP_FPS >= 60)))"
echo "goal sdl12-compat paced: at most a third of unpaced CPU ($SU_CPU%), at least 60 frames/s:" \
    "$(verdict $((SP_CPU * 3 <= SU_CPU && SP_FPS >= 60)))"
[ $((CP_CPU <= 10 && CP_FPS >= 60 && SP_CPU * 3 <= SU_CPU && SP_FPS >= 60)) = 1 ]  # the status: both goals met
