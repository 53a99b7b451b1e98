#!/bin/bash
# test_round_mp.sh: two people play the two-player game in a real window: a round of each game type, to the winner.
source "$E2E_LIB"
IMG="$KORVADO_BUILD_DIR/images"
WX=0
WY=0

# The colour of a pixel of one of the generated pictures, as "r g b".
ref_pixel() {
    "$XSHOT" pixels "$IMG/$1" "$2,$3"
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

# expect_pic SHOT PICTURE X Y PX,PY...: the screenshot shows PICTURE drawn at (X, Y) of the window,
# checked at the given points of the picture.
expect_pic() {
    local shot=$1 pic=$2 ox=$3 oy=$4 pt r g b
    shift 4
    [ $# -gt 0 ] || e2e_fail "no points to check $pic at"
    for pt in "$@"; do
        read -r r g b < <(ref_pixel "$pic" "${pt%,*}" "${pt#*,}")
        e2e_expect_near "$shot" $((WX + ox + ${pt%,*})) $((WY + oy + ${pt#*,})) "$r" "$g" "$b"
    done
}

# shows SHOT PICTURE X Y PX,PY...: the same as a test, without failing.
shows() {
    (expect_pic "$@") 2>/dev/null
}

# Screenshots until the picture shows, at most 15 s.
wait_for_pic() {
    local shot=$1 i
    shift
    for i in $(seq 1 30); do
        e2e_shot "$shot" >/dev/null
        shows "$shot" "$@" && return 0
        sleep 0.5
    done
    expect_pic "$shot" "$@"
}

window_corner() {
    eval "$(xdotool getwindowgeometry --shell "$WID")"
    WX=$X
    WY=$Y
}

# A short tap. Escape held past the 100 ms pause of a hand-over would hand the screen back again,
# so Escape between round and menu is tapped, not held.
tap() {
    xdotool key "$1"
    sleep 0.4
}

# Holds the keys for the given seconds, all together.
hold() {
    local secs=$1 k
    shift
    for k in "$@"; do e2e_keydown "$k"; done
    sleep "$secs"
    for k in "$@"; do e2e_keyup "$k"; done
}

# The main page after a round, item 0 highlighted.
expect_menu() {
    expect_pic "$1" menu/bgr.png 0 0 40,40 760,560 100,300
    expect_pic "$1" menu/nga.png 200 150 20,20 100,40
    expect_pic "$1" menu/op.png 200 250 20,20 100,40
}
menu_shows() { (expect_menu "$1") 2>/dev/null; }
street_shows() { shows "$1" bgsml.png 0 0 $STREET; }

# escape_until TEST SHOT: Escape, held briefly, until TEST holds for a fresh screenshot. On a busy machine a
# tap's press and release can reach the game in one frame, which then sees nothing; a hold past the 100 ms
# pause of the hand-over would hand the screen straight back.
escape_until() {
    local test=$1 shot=$2 secs
    for secs in 0.06 0.06 0.09 0.12 0.06 0.09; do
        xdotool keydown Escape sleep "$secs" keyup Escape
        sleep 0.4
        e2e_shot "$shot" >/dev/null
        "$test" "$shot" && return 0
        echo "note: Escape (held $secs s) before $shot did not show, pressed again" >&2
    done
    e2e_fail "$shot: Escape did not lead to the expected screen"
}

# Up to three points where two pictures of the same size differ clearly, as "x,y ...".
differing_points() {
    convert "$IMG/$1" "$IMG/$2" -compose difference -composite -depth 8 txt:- | awk '
        NR > 1 { split($2, c, /[(),]/); if (c[2] + c[3] + c[4] > 120) { split($1, p, /[,:]/); pts[n++] = p[1] "," p[2] } }
        END { for (i = 1; i <= 3 && n > 0; i++) printf "%s ", pts[int(n * i / 4)] }'
}

# The highlighted item of the game-type page in a screenshot, or -1 when that page does not show it.
lit_type() {
    local y=(150 250 350) i
    for i in 0 1 2; do
        shows "$1" "menu/${TYPE_LIT[$i]}.png" 200 "${y[$i]}" ${TYPE_POINTS[$i]} && { echo "$i"; return; }
    done
    echo -1
}

# Starts game type 0, 1 or 2 from the main page, looking at the menu before each key: on a busy machine
# a key can come while the menu's 200 ms key guard is still closed, and then it takes another press.
start_type() {
    local want=$1 i lit
    e2e_key Return
    for i in $(seq 1 8); do
        e2e_shot round-types >/dev/null
        lit=$(lit_type round-types)
        if [ "$lit" = "$want" ]; then
            e2e_key Return
            return 0
        fi
        if [ "$lit" = -1 ]; then e2e_key Return; else e2e_key Down; fi
    done
    e2e_fail "game type $want could not be chosen"
}

# Shoots with FIRE until WINPIC shows or TRIES shots are fired. After each shot that did not end the round,
# the target (TARGET_SIDE walks him off the shooter's side, TARGET_UP walks him up) comes back level with
# the shooter at the top edge of the street.
duel_until() {
    local name=$1 fire=$2 winpic=$3 side=$4 up=$5 tries=$6 i quick
    quick=$(echo $WINPOINTS | cut -d' ' -f1-2)
    for ((i = 1; i <= tries; i++)); do
        e2e_key "$fire"
        e2e_shot "$name-shot$i" >/dev/null
        if shows "$name-shot$i" "$winpic" 200 250 $quick; then
            expect_pic "$name-shot$i" "$winpic" 200 250 $WINPOINTS
            return 0
        fi
        sleep 1.6                   # the target's death, and his return at a random place
        hold 0.7 "$side"            # far enough from the shooter's side
        hold 2.2 "$up"              # up against the top edge: level with the shooter
    done
    e2e_fail "$name: no winner after $tries shots"
}

STREET="600,590 200,590 420,450"
TYPE_LIT=(wha doa sua)
TYPE_POINTS=("$(differing_points menu/wh.png menu/wha.png)" "$(differing_points menu/do.png menu/doa.png)"
    "$(differing_points menu/su.png menu/sua.png)")
COUNT3=$(solid_points Hud/3.png)
RED_STAND=$(solid_points P1/hrac_left.png)
BLUE_STAND=$(solid_points P2/hrac_right.png)

e2e_start_x
e2e_launch korvado_mp
e2e_wait_window
window_corner

wait_for_pic round-01-studio tolvlogo.png 0 0 400,300 100,100
e2e_key Return Return
e2e_shot round-02-menu >/dev/null
expect_pic round-02-menu menu/bgr.png 0 0 40,40 760,560

# ---- game type 0: a few seconds of play, Escape to the menu, Escape back into the same round ----
start_type 0
e2e_shot round-03-type0-countdown >/dev/null
hold 0.5 Left w                     # the countdown holds both still
e2e_shot round-04-type0-held >/dev/null
expect_pic round-03-type0-countdown bgsml.png 0 0 $STREET
expect_pic round-03-type0-countdown Hud/3.png 300 200 $COUNT3
expect_pic round-03-type0-countdown P1/hrac_left.png 700 120 $RED_STAND
expect_pic round-03-type0-countdown P2/hrac_right.png 20 430 $BLUE_STAND
expect_pic round-04-type0-held P1/hrac_left.png 700 120 $RED_STAND
expect_pic round-04-type0-held P2/hrac_right.png 20 430 $BLUE_STAND
sleep 2
hold 1 Left d                       # red walks left, blue walks right
e2e_shot round-05-type0-walked >/dev/null
expect_pic round-05-type0-walked bgsml.png 0 0 $STREET
shows round-05-type0-walked P1/hrac_left.png 700 120 $RED_STAND && e2e_fail "red did not walk"
shows round-05-type0-walked P2/hrac_right.png 20 430 $BLUE_STAND && e2e_fail "blue did not walk"
escape_until menu_shows round-06-type0-left
escape_until street_shows round-07-type0-resumed
for pt in 450,185 520,185 550,185 100,495 230,495 260,495; do   # both cowboys where they stood
    e2e_expect_same round-05-type0-walked round-07-type0-resumed $((WX + ${pt%,*})) $((WY + ${pt#*,}))
done
escape_until menu_shows round-08-type0-left-again

# ---- game type 1: five lives; red shoots blue down ----
WINPOINTS=$(solid_points menu/rpwins.png)
start_type 1
e2e_shot round-09-type1-countdown >/dev/null
expect_pic round-09-type1-countdown Hud/3.png 300 200 $COUNT3
expect_pic round-09-type1-countdown Hud/wc05.png 10 10 $(solid_points Hud/wc05.png 10 10 hud/bp.png 5 0)
sleep 3.3
hold 2.3 Up w                       # both up against the top edge, level
e2e_shot round-10-type1-level >/dev/null
expect_pic round-10-type1-level P1/hrac_left.png 700 60 $RED_STAND
expect_pic round-10-type1-level P2/hrac_right.png 20 60 $BLUE_STAND
duel_until round-11-type1 Control_R menu/rpwins.png a w 12
e2e_key Return
e2e_shot round-12-type1-menu >/dev/null
expect_menu round-12-type1-menu

# ---- game type 2: ten lives, no bottle; blue shoots red down ----
WINPOINTS=$(solid_points menu/bpwins.png)
start_type 2
e2e_shot round-13-type2-countdown >/dev/null
expect_pic round-13-type2-countdown Hud/wc10.png 710 12 $(solid_points Hud/wc10.png 710 12 hud/rp.png 695 0)
sleep 3.3
hold 2.3 Up w
e2e_shot round-14-type2-level >/dev/null
expect_pic round-14-type2-level P1/hrac_left.png 700 60 $RED_STAND
expect_pic round-14-type2-level P2/hrac_right.png 20 60 $BLUE_STAND
duel_until round-15-type2 q menu/bpwins.png Right Up 18
e2e_key Return
e2e_shot round-16-type2-menu >/dev/null
expect_menu round-16-type2-menu

# A finished round cannot be resumed; closing the window ends the program.
tap Escape
e2e_shot round-17-no-resume >/dev/null
expect_menu round-17-no-resume
e2e_close
e2e_wait_exit 5
echo "PASS: rounds of game types 0, 1 and 2 played in the real window"
