#!/bin/bash
# test_menu.sh: the two-player game in a real window: studio picture, title, every menu page, back, and exit.
source "$E2E_LIB"
IMG="$KORVADO_BUILD_DIR/images"
WX=0
WY=0

# The colour of a pixel of one of the generated pictures, as "r g b".
ref_pixel() {
    convert "$IMG/$1" -format '%[fx:int(255*p{'"$2,$3"'}.r)] %[fx:int(255*p{'"$2,$3"'}.g)] %[fx:int(255*p{'"$2,$3"'}.b)]' info:
}

# expect_pic SHOT PICTURE X Y PX,PY...: the screenshot shows PICTURE drawn at (X, Y) of the window,
# checked at the given points of the picture.
expect_pic() {
    local shot=$1 pic=$2 ox=$3 oy=$4 pt r g b
    shift 4
    for pt in "$@"; do
        read -r r g b < <(ref_pixel "$pic" "${pt%,*}" "${pt#*,}")
        e2e_expect_near "$shot" $((WX + ox + ${pt%,*})) $((WY + oy + ${pt#*,})) "$r" "$g" "$b"
    done
}

# shows SHOT PICTURE X Y PX,PY...: the same as a test, without failing.
shows() {
    (expect_pic "$@") 2>/dev/null
}

# Screenshots until the picture shows (the game loads everything before the intro), at most 15 s.
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

# Presses and releases one key, briefly: the menu's key guard opens after 200 ms of frame time counted
# from the start of the frame that took the key, so a long press can take two steps on a slow machine.
tap() {
    e2e_key "$1"
}

# step SHOT KEY: presses KEY and takes SHOT, which must differ from the previous one. The game reads the
# keyboard once a frame, and on a busy machine a frame can outlast a short press: when the screen has not
# changed a second later, the press is tried again.
LAST=""
step() {
    local shot=$1 key=$2 try
    for try in 1 2 3; do
        [ "$try" = 1 ] || echo "note: $key before $shot did not show, pressed again" >&2
        tap "$key"
        e2e_shot "$shot" >/dev/null
        [ -z "$LAST" ] && break
        changed "$LAST" "$shot" && break
        sleep 1
        e2e_shot "$shot" >/dev/null
        changed "$LAST" "$shot" && break
    done
    LAST=$shot
}

changed() {
    [ "$(compare -metric AE "$SHOTS/$1.png" "$SHOTS/$2.png" null: 2>&1)" != "0" ]
}

# The game loads every picture and sound before its window has a name: give a slow machine time.
wait_window() {
    local i
    for i in $(seq 1 120); do
        xdotool search --name "KORVADO" >/dev/null 2>&1 && break
        kill -0 "$GAME_PID" 2>/dev/null || break
        sleep 0.5
    done
    e2e_wait_window
}

# Where the window's corner lies on the X screen.
window_corner() {
    eval "$(xdotool getwindowgeometry --shell "$WID")"
    WX=$X
    WY=$Y
}

# Points inside every item picture where the plain and the highlighted one differ, on the menu background
# beside the items, and on the full-screen pictures where the studio, title, credits, instructions and menu
# pictures all differ from each other.
ITEM="395,40 200,40 10,10 20,20"
BACKDROP="40,40 760,560 100,300"
FULL="600,100 620,120 660,120 360,140 40,40 760,560 400,300"

# The main page with item LIT highlighted.
expect_main_page() {
    local shot=$1 lit=$2 plain=(ng op cr ex) y=(150 250 350 450) i
    expect_pic "$shot" menu/bgr.png 0 0 $BACKDROP
    for i in 0 1 2 3; do
        if [ "$i" = "$lit" ]; then
            expect_pic "$shot" "menu/${plain[$i]}a.png" 200 "${y[$i]}" $ITEM
        else
            expect_pic "$shot" "menu/${plain[$i]}.png" 200 "${y[$i]}" $ITEM
        fi
    done
}

e2e_start_x
e2e_launch korvado_mp
wait_window
window_corner

# The studio picture stays until a key; the title needs a key of its own.
wait_for_pic 01-studio tolvlogo.png 0 0 $FULL
sleep 0.5
e2e_shot 01-studio-still >/dev/null
expect_pic 01-studio-still tolvlogo.png 0 0 $FULL
LAST=01-studio-still
step 02-title Return
expect_pic 02-title kvdlogo.png 0 0 $FULL
sleep 0.5
e2e_shot 02-title-still >/dev/null
expect_pic 02-title-still kvdlogo.png 0 0 $FULL
LAST=02-title-still
step 03-menu Escape
expect_main_page 03-menu 0

# Up and Down, with the wrap from the first item to the last and back.
step 04-menu-down Down
expect_main_page 04-menu-down 1
step 05-menu-up Up
expect_main_page 05-menu-up 0
step 06-menu-wrapped Up
expect_main_page 06-menu-wrapped 3
step 07-menu-wrapped-back Down
expect_main_page 07-menu-wrapped-back 0

# Game types, and back with Escape.
step 08-game-types Return
expect_pic 08-game-types menu/bgr.png 0 0 $BACKDROP
expect_pic 08-game-types menu/wha.png 200 150 $ITEM
expect_pic 08-game-types menu/do.png 200 250 $ITEM
expect_pic 08-game-types menu/su.png 200 350 $ITEM
expect_pic 08-game-types menu/bgr.png 0 0 595,490 400,490 210,460  # no fourth item
step 09-game-types-down Down
expect_pic 09-game-types-down menu/wh.png 200 150 $ITEM
expect_pic 09-game-types-down menu/doa.png 200 250 $ITEM
expect_pic 09-game-types-down menu/su.png 200 350 $ITEM
step 10-back Escape
expect_main_page 10-back 1

# Credits and instructions, each left with Escape.
step 11-credits-lit Down
expect_main_page 11-credits-lit 2
step 12-credits Return
expect_pic 12-credits menu/cred.png 0 0 $FULL
step 13-back Escape
expect_main_page 13-back 2
step 14-instructions-lit Up
step 15-instructions Return
expect_pic 15-instructions menu/ins.png 0 0 $FULL
step 16-back Escape
expect_main_page 16-back 1

# Exit from the menu.
step 17-exit-lit Up
step 18-exit-lit Up
expect_main_page 18-exit-lit 3
tap Return
e2e_wait_exit 15

# Closing the window on the studio picture ends the game too.
e2e_launch korvado_mp
wait_window
window_corner
wait_for_pic 19-studio-again tolvlogo.png 0 0 $FULL
e2e_close
e2e_wait_exit 15
echo "menu end to end: ok"
