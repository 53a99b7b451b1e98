# journeys.sh: what the journey scripts share: starting the game, looking for pictures on the screen,
# walking the menu, reading the heads-up display and timing how fast a close request ends the game.
# Sourced after lib.sh by test_close.sh, test_fullscreen.sh, test_keys_mp.sh, test_journey_sp.sh, test_bottles_mp.sh,
# test_pads_mp.sh.
IMG="$KORVADO_BUILD_DIR/images"
WX=0
WY=0
# The scripts may run side by side and share the screenshot folder: each keeps its working files apart,
# and names its screenshots after itself.
JOURNEY=$(basename "$0" .sh)
SCRATCH="$SHOTS/.$JOURNEY"
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"

# fresh_shots PREFIX: the script's screenshots start with PREFIX-; those a previous run left are removed.
SHOT_PREFIX=${JOURNEY#test_}
fresh_shots() {
    SHOT_PREFIX=$1
    rm -f "$SHOTS/$1"-*.png
}

# pixels FILE X,Y...: the colours of those pixels of a picture file, "r g b" each, in one pass over the file.
pixels() {
    "$XSHOT" pixels "$@"
}

# The reference colours of a generated picture at the given points; each picture is read once per set of points.
declare -A REF_CACHE
# Sets REF.
ref_pixels() {
    local key="$*"
    [ -n "${REF_CACHE[$key]:-}" ] || REF_CACHE[$key]=$(pixels "$IMG/$1" "${@:2}")
    REF=${REF_CACHE[$key]}
}

# pic_check SHOT PICTURE X Y PX,PY...: whether the screenshot shows PICTURE drawn at (X, Y) of the window,
# looked at in the given points of the picture (each colour within 8 of the picture's). Sets MISMATCHES to
# the number of points that differ and PIC_ERR to the first of them.
pic_check() {
    local shot=$1 pic=$2 ox=$3 oy=$4 pt i d
    shift 4
    [ $# -gt 0 ] || e2e_fail "no points to check $pic at"
    ref_pixels "$pic" "$@"
    local want=($REF) at=()
    for pt in "$@"; do at+=("$((WX + ox + ${pt%,*})),$((WY + oy + ${pt#*,}))"); done
    local got=($(pixels "$SHOTS/$shot.png" "${at[@]}"))
    MISMATCHES=0
    PIC_ERR=""
    for ((i = 0; i < ${#at[@]}; i++)); do
        for d in 0 1 2; do
            d=$((got[3 * i + d] - want[3 * i + d]))
            if [ ${d#-} -gt 8 ]; then
                MISMATCHES=$((MISMATCHES + 1))
                [ -n "$PIC_ERR" ] || PIC_ERR="$shot at (${at[i]}) is (${got[*]:3*i:3}), expected $pic's (${want[*]:3*i:3})"
                break
            fi
        done
    done
    [ $MISMATCHES -eq 0 ]
}

# expect_pic: pic_check as a test.
expect_pic() {
    pic_check "$@" || e2e_fail "$PIC_ERR"
}

# shows: pic_check without a word.
shows() {
    pic_check "$@"
}

# mismatches WANT GOT: sets MISMATCHES to how many points of two lists of "r g b" colours differ by more than
# 8 in a channel.
mismatches() {
    local want=($1) got=($2) i c d
    MISMATCHES=0
    for ((i = 0; i < ${#want[@]}; i += 3)); do
        for c in 0 1 2; do
            d=$((got[i + c] - want[i + c]))
            if [ ${d#-} -gt 8 ]; then
                MISMATCHES=$((MISMATCHES + 1))
                break
            fi
        done
    done
}

# slots_at OX OY PX,PY...: the points moved by (OX, OY) and by the window's corner, as "x,y ...".
slots_at() {
    local ox=$1 oy=$2 pt
    shift 2
    for pt in "$@"; do printf '%s ' "$((WX + ox + ${pt%,*})),$((WY + oy + ${pt#*,}))"; done
}

# wait_pic SHOT SECONDS PICTURE X Y PX,PY...: screenshots until the picture shows; fails after SECONDS.
wait_pic() {
    local shot=$1 secs=$2 end
    shift 2
    end=$((SECONDS + secs))
    while :; do
        e2e_shot "$shot" >/dev/null
        shows "$shot" "$@" && return 0
        [ $SECONDS -lt $end ] || break
        kill -0 "$GAME_PID" 2>/dev/null || e2e_fail "the game ended while $shot was awaited"
        sleep 0.3
    done
    expect_pic "$shot" "$@"
}

# Up to five points of a picture that are not see-through (pure green is), spread over it, as "x,y ...".
# With X Y COVER CX CY: the picture drawn at (X, Y), leaving out what the picture COVER at (CX, CY) hides.
solid_points() {
    local ox=${2:-0} oy=${3:-0} cx=0 cy=0 cw=0 ch=0
    if [ $# -ge 6 ]; then
        read -r cw ch < <(identify -format '%w %h\n' "$IMG/$4")
        cx=$5
        cy=$6
    fi
    convert "$IMG/$1" -depth 8 txt:- | awk -v ox="$ox" -v oy="$oy" -v cx="$cx" -v cy="$cy" -v cw="$cw" -v ch="$ch" '
        NR > 1 {
            split($1, p, /[,:]/)
            hex = toupper($3)
            sx = ox + p[1]
            sy = oy + p[2]
            hidden = sx >= cx && sx < cx + cw && sy >= cy && sy < cy + ch
            if (!hidden && substr(hex, 2, 6) != "00FF00" && (length(hex) < 9 || substr(hex, 8, 2) == "FF"))
                pts[n++] = p[1] "," p[2]
        }
        END { for (i = 1; i <= 5 && n > 0; i++) printf "%s ", pts[int(n * i / 6)] }'
}

# Up to COUNT (default 3) points where two pictures of the same size differ clearly, as "x,y ...".
differing_points() {
    convert "$IMG/$1" "$IMG/$2" -compose difference -composite -depth 8 txt:- | awk -v want="${3:-3}" '
        NR > 1 { split($2, c, /[(),]/); if (c[2] + c[3] + c[4] > 120) { split($1, p, /[,:]/); pts[n++] = p[1] "," p[2] } }
        END { for (i = 1; i <= want && n > 0; i++) printf "%s ", pts[int(n * i / (want + 1))] }'
}

# Starts the program and waits for its window; it loads every picture and sound first, so a busy machine
# gets 30 s. Sets WID and the window's corner WX, WY.
launch() {
    local i
    e2e_launch "$@"
    for i in $(seq 1 300); do
        xdotool search --name "KORVADO" >/dev/null 2>&1 && break
        kill -0 "$GAME_PID" 2>/dev/null || break
        sleep 0.1
    done
    e2e_wait_window
    window_corner
}

# Sets WX, WY to where the game's picture is on the screen: the window's corner, once it has stopped moving
# (a window manager may place it, or frame it, just after it shows).
window_corner() {
    local i was=""
    for i in $(seq 1 20); do
        # xwininfo's absolute corner is the picture's; xdotool counts a window manager's frame in twice
        read -r X Y < <(xwininfo -id "$WID" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }')
        [ "$X,$Y" = "$was" ] && break
        was="$X,$Y"
        sleep 0.2
    done
    WX=$X
    WY=$Y
}

# press KEY [SECONDS]: holds a key for 0.15 s (or SECONDS), in one xdotool call so that the hold is what it
# says, then gives the game time to draw what it did. A menu key is taken once per press: the menu's key guard
# stays closed for more than 200 ms of frames after it.
press() {
    xdotool keydown "$1" sleep "${2:-0.15}" keyup "$1"
    sleep 0.3
}

# On a busy machine the X server can hand a short press and its release to the game together, and the game,
# reading the keyboard once a frame, never sees the key down. So a press that showed nothing is tried again,
# held longer each time (HOLDS), and the screen is looked at after each.
HOLDS="0.15 0.2 0.3 0.4"
# Escape between round and menu is held briefly: long enough for a frame to see it, but not beyond the 100 ms
# pause of the hand-over, after which the other side would take it and hand the screen straight back.
ESC_HOLDS="0.06 0.06 0.09 0.12 0.06"

# hold SECONDS KEY...: holds the keys together for that long.
hold() {
    local secs=$1 k
    shift
    for k in "$@"; do e2e_keydown "$k"; done
    sleep "$secs"
    for k in "$@"; do e2e_keyup "$k"; done
}

# Points that tell the full-screen pictures apart from each other (the same as the menu test uses).
FULL="600,100 620,120 660,120 360,140 40,40 760,560 400,300"
# The menu's backdrop: a few points beside the items, and points where the two editions' backgrounds differ
# (outside the item slots, x 200 to 600 from y 150 down).
MENU_BACKDROP="40,40 760,560 100,300 $(differing_points menu/bgr.png menu/bgrsp.png 12 |
    tr ' ' '\n' | awk -F, 'NF == 2 && ($1 < 200 || $1 >= 600 || $2 < 150) { printf "%s ", $0 }')"
NB=$(($(wc -w <<<"$MENU_BACKDROP") * 3))
ITEM="395,40 200,40 10,10 20,20"

# main_lit SHOT BG: sets LIT to the highlighted item of the main page over background BG (menu/bgr.png or
# menu/bgrsp.png), or to -1 when the screenshot does not show the main page with exactly one item highlighted.
# The screenshot is read once, at the backdrop's points and at the points of the four item slots.
MAIN_ITEMS=(ng op cr ex)
main_lit() {
    local shot=$1 bg=$2 y=(150 250 350 450) i lit=-1 got
    got=($(pixels "$SHOTS/$shot.png" $(slots_at 0 0 $MENU_BACKDROP) $(slots_at 200 150 $ITEM) \
        $(slots_at 200 250 $ITEM) $(slots_at 200 350 $ITEM) $(slots_at 200 450 $ITEM)))
    LIT=-1
    ref_pixels "$bg" $MENU_BACKDROP
    mismatches "$REF" "${got[*]:0:NB}"
    [ $MISMATCHES = 0 ] || return 0
    for i in 0 1 2 3; do
        ref_pixels "menu/${MAIN_ITEMS[$i]}a.png" $ITEM
        mismatches "$REF" "${got[*]:NB+12*i:12}"
        if [ $MISMATCHES = 0 ]; then
            [ $lit = -1 ] || return 0
            lit=$i
            continue
        fi
        ref_pixels "menu/${MAIN_ITEMS[$i]}.png" $ITEM
        mismatches "$REF" "${got[*]:NB+12*i:12}"
        [ $MISMATCHES = 0 ] || return 0
    done
    LIT=$lit
}

# main_page_shows SHOT LIT BG: the main page with item LIT highlighted.
main_page_shows() {
    main_lit "$1" "$3"
    [ "$LIT" = "$2" ] && [ "$LIT" != -1 ]
}

# wait_main_page SHOT LIT BG [SECONDS]: screenshots until the main page shows with item LIT highlighted.
wait_main_page() {
    local shot=$1 lit=$2 bg=$3 end=$((SECONDS + ${4:-5}))
    while :; do
        e2e_shot "$shot" >/dev/null
        main_page_shows "$shot" "$lit" "$bg" && return 0
        [ $SECONDS -lt $end ] || e2e_fail "$shot: the main page with item $lit highlighted did not show"
        sleep 0.3
    done
}

# press_until KEY SHOT TEST ARGS...: presses KEY until TEST SHOT ARGS... succeeds on a fresh screenshot, with
# the holds of HOLDS (or of the variable named by USE_HOLDS).
press_until() {
    local key=$1 shot=$2 test=$3 secs holds=${USE_HOLDS:-HOLDS}
    shift 3
    for secs in ${!holds}; do
        press "$key" "$secs"
        e2e_shot "$shot" >/dev/null
        "$test" "$shot" "$@" && return 0
        sleep 0.5
        e2e_shot "$shot" >/dev/null
        "$test" "$shot" "$@" && return 0
        echo "note: $key (held $secs s) before $shot did not show, pressed again" >&2
    done
    e2e_fail "$shot: $key did not lead to the expected screen"
}

# The studio picture, the title picture, then the main page: the intro as a player goes through it.
play_intro() {
    local prefix=$1 bg=$2
    wait_pic "$prefix-studio" 20 tolvlogo.png 0 0 $FULL
    press_until Return "$prefix-title" shows_title
    press_until Return "$prefix-menu" main_page_shows 0 "$bg"
}
shows_title() { shows "$1" kvdlogo.png 0 0 $FULL; }

# The highlighted item of the game-type page in a screenshot; -1 when that page does not show. Sets LIT.
TYPE_LIT=(wha doa sua)
TYPE_POINTS=("$(differing_points menu/wh.png menu/wha.png)" "$(differing_points menu/do.png menu/doa.png)"
    "$(differing_points menu/su.png menu/sua.png)")
lit_type() {
    local y=(150 250 350) i got bg
    got=($(pixels "$SHOTS/$1.png" $(slots_at 0 0 $MENU_BACKDROP) $(slots_at 200 150 ${TYPE_POINTS[0]}) \
        $(slots_at 200 250 ${TYPE_POINTS[1]}) $(slots_at 200 350 ${TYPE_POINTS[2]})))
    LIT=-1
    for bg in menu/bgr.png menu/bgrsp.png; do
        ref_pixels "$bg" $MENU_BACKDROP
        mismatches "$REF" "${got[*]:0:NB}"
        [ $MISMATCHES = 0 ] && break
    done
    [ $MISMATCHES = 0 ] || return 0
    for i in 0 1 2; do
        ref_pixels "menu/${TYPE_LIT[$i]}.png" ${TYPE_POINTS[$i]}
        mismatches "$REF" "${got[*]:NB+9*i:9}"
        [ $MISMATCHES = 0 ] && { LIT=$i; return 0; }
    done
}

# step_to SHOT WANT ITEMS LITFUNC ARGS...: Up and Down until LITFUNC says item WANT of a list of ITEMS items
# is highlighted. Each key is chosen by looking at the screen first, so a press the game missed is simply
# made again (held longer), and one taken twice is walked back.
step_to() {
    local shot=$1 want=$2 items=$3 litf=$4 i last=-2 n=0 holds=($HOLDS) key
    shift 4
    for i in $(seq 1 12); do
        e2e_shot "$shot" >/dev/null
        "$litf" "$shot" "$@"
        [ "$LIT" = "$want" ] && return 0
        [ "$LIT" != -1 ] || e2e_fail "$shot: no highlighted item while stepping to item $want"
        if [ "$LIT" = "$last" ]; then n=$((n + 1)); else n=0; fi
        [ $n -lt ${#holds[@]} ] || e2e_fail "$shot: Up and Down no longer move the highlight"
        last=$LIT
        if [ $(((want - LIT + items) % items)) -le $((items / 2)) ]; then key=Down; else key=Up; fi
        press "$key" "${holds[$n]}"
    done
    e2e_fail "$shot: item $want could not be highlighted"
}

# The game-type page shows (or does not) in a screenshot.
on_types_page() { lit_type "$1"; [ "$LIT" != -1 ]; }
off_types_page() { lit_type "$1"; [ "$LIT" = -1 ]; }

# Starts game type 0, 1 or 2 from the main page with item 0 highlighted.
start_type() {
    press_until Return "$SHOT_PREFIX-types" on_types_page
    step_to "$SHOT_PREFIX-types" "$1" 3 lit_type
    press_until Return "$SHOT_PREFIX-types-started" off_types_page
}

# The round's street: shown when most of these points match it (a cowboy may stand on one or two).
STREET_POINTS="600,590 200,590 420,450 130,260 560,230 250,380 740,420 40,300"
street_shows() {
    pic_check "$1" bgsml.png 0 0 $STREET_POINTS
    [ $MISMATCHES -le 2 ]
}

# Sets DIGIT to the countdown digit (3, 2, 1, 0) a screenshot shows at (300, 200), or to "none".
DIGIT_POINTS=("$(solid_points Hud/0.png)" "$(solid_points Hud/1.png)" "$(solid_points Hud/2.png)"
    "$(solid_points Hud/3.png)")
DIGIT=none
countdown_digit() {
    local d
    for d in 3 2 1 0; do
        shows "$1" "Hud/$d.png" 300 200 ${DIGIT_POINTS[$d]} && { DIGIT=$d; return; }
    done
    DIGIT=none
}

# wait_round_play SHOT [SECONDS]: screenshots until the countdown is over (no digit over the street).
wait_round_play() {
    local shot=$1 end=$((SECONDS + ${2:-8}))
    while :; do
        e2e_shot "$shot" >/dev/null
        countdown_digit "$shot"
        street_shows "$shot" && [ "$DIGIT" = none ] && return 0
        [ $SECONDS -lt $end ] || e2e_fail "$shot: the countdown did not end"
        sleep 0.3
    done
}

# The heads-up display: blue's count at (10, 10) under his portrait at (5, 0), red's at (710, 12) under his at
# (695, 0). The corners of the street with each count drawn as the round draws them, made once.
HUD_REFS="$SCRATCH/hud-refs"
make_hud_refs() {
    local n
    mkdir -p "$HUD_REFS"
    for n in 00 01 02 03 04 05 06 07 08 09 10; do
        convert "$IMG/bgsml.png" -crop 100x60+0+0 +repage \( "$IMG/Hud/wc$n.png" -transparent '#00ff00' \) \
            -geometry +10+10 -composite "$IMG/hud/bp.png" -geometry +5+0 -composite "$HUD_REFS/blue$n.png"
        convert "$IMG/bgsml.png" -crop 105x60+695+0 +repage \( "$IMG/Hud/wc$n.png" -transparent '#00ff00' \) \
            -geometry +15+12 -composite "$IMG/hud/rp.png" -geometry +0+0 -composite "$HUD_REFS/red$n.png"
    done
}

# hud_count SHOT blue|red: sets COUNT to the count that cowboy's corner of the screenshot shows, or -1.
hud_count() {
    local shot=$1 side=$2 crop="$SCRATCH/hud-$2.png" n diff
    [ -f "$HUD_REFS/red10.png" ] || make_hud_refs
    if [ "$side" = blue ]; then
        convert "$SHOTS/$shot.png" -crop "100x60+$WX+$WY" +repage "$crop"
    else
        convert "$SHOTS/$shot.png" -crop "105x60+$((WX + 695))+$WY" +repage "$crop"
    fi
    COUNT=-1
    for n in 00 01 02 03 04 05 06 07 08 09 10; do
        diff=$(compare -metric AE -fuzz 4% "$crop" "$HUD_REFS/$side$n.png" null: 2>&1 | cut -d' ' -f1)
        if [ "${diff%.*}" -lt 20 ]; then
            COUNT=$((10#$n))
            return 0
        fi
    done
}

# expect_counts SHOT BLUE RED: the heads-up display shows these counts.
expect_counts() {
    local blue red
    hud_count "$1" blue
    blue=$COUNT
    hud_count "$1" red
    red=$COUNT
    [ "$blue,$red" = "$2,$3" ] || e2e_fail "$1: the counts are blue $blue, red $red (-1: none readable); expected $2 and $3"
}

# close_timed LABEL: sends the close request and measures how long the game takes to take its window down and
# to end. The window must be gone within a second, and the program must end with status 0, normally within a
# second too; it is given three on a busy machine, since the sanitizers' leak check runs after the game's own
# shutdown.
close_timed() {
    local label=$1 t0 now gone="" ms_gone ms_end status
    t0=$(date +%s%N)
    e2e_close
    while kill -0 "$GAME_PID" 2>/dev/null; do
        now=$(date +%s%N)
        [ -n "$gone" ] || xwininfo -id "$WID" >/dev/null 2>&1 || gone=$now
        [ $(((now - t0) / 1000000)) -lt 5000 ] || e2e_fail "$label: the game still runs 5 s after the close request"
        sleep 0.02
    done
    now=$(date +%s%N)
    [ -n "$gone" ] || gone=$now
    wait "$GAME_PID"
    status=$?
    GAME_PID=""
    ms_gone=$(((gone - t0) / 1000000))
    ms_end=$(((now - t0) / 1000000))
    echo "$label: window gone $ms_gone ms, program ended $ms_end ms after the close request, status $status"
    [ "$status" -eq 0 ] || e2e_fail "$label: the game ended with status $status: $(tail -n 20 "$GAME_OUT")"
    [ "$ms_gone" -le 1000 ] || e2e_fail "$label: the window stayed $ms_gone ms after the close request"
    [ "$ms_end" -le 3000 ] || e2e_fail "$label: the game took $ms_end ms to end after the close request"
    [ "$ms_end" -le 1000 ] || echo "note: $label: more than a second to end, on a busy machine" >&2
}

# choose_exit SHOT BG: highlights the exit item of the main page and presses Return until the game ends,
# which it must do with status 0.
choose_exit() {
    local secs i
    step_to "$1" 3 4 main_lit "$2"
    for secs in $HOLDS; do
        press Return "$secs"
        for i in $(seq 1 30); do
            kill -0 "$GAME_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$GAME_PID" 2>/dev/null || { e2e_wait_exit 5; return 0; }
        echo "note: Return (held $secs s) on the exit item did not end the game, pressed again" >&2
    done
    e2e_fail "Return on the exit item does not end the game"
}
