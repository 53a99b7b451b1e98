#!/bin/bash
# test_menu.sh: the two-player game in a real window: studio picture, title, every menu page, back, and exit.
source "$E2E_LIB"
IMG="$KORVADO_BUILD_DIR/images"
WX=0
WY=0

# The colour of a pixel of one of the generated pictures, as "r g b", into RGB (read once, then kept).
declare -A REF
ref_pixel() {
    local key="$1:$2,$3"
    [ -n "${REF[$key]:-}" ] || REF[$key]=$("$XSHOT" pixels "$IMG/$1" "$2,$3")
    RGB=${REF[$key]}
}

# shot NAME: a screenshot, also kept as raw RGB bytes so that its pixels are quick to read.
shot() {
    e2e_shot "$1" >/dev/null
    "$XSHOT" raw "$SHOTS/$1.png" "$SHOTS/$1.rgb" || e2e_fail "screenshot $1 unreadable"
}

# expect_pic SHOT PICTURE X Y PX,PY...: the screenshot shows PICTURE drawn at (X, Y) of the window,
# checked at the given points of the picture, each colour channel within 8.
expect_pic() {
    local shot=$1 pic=$2 ox=$3 oy=$4 pt x y r g b sr sg sb
    shift 4
    for pt in "$@"; do
        ref_pixel "$pic" "${pt%,*}" "${pt#*,}"
        read -r r g b <<<"$RGB"
        x=$((WX + ox + ${pt%,*}))
        y=$((WY + oy + ${pt#*,}))
        read -r sr sg sb < <(od -An -tu1 -j $(((y * 800 + x) * 3)) -N3 "$SHOTS/$shot.rgb")
        if [ $((sr - r)) -gt 8 ] || [ $((r - sr)) -gt 8 ] || [ $((sg - g)) -gt 8 ] || [ $((g - sg)) -gt 8 ] ||
            [ $((sb - b)) -gt 8 ] || [ $((b - sb)) -gt 8 ]; then
            e2e_fail "$shot at ($x,$y) is ($sr,$sg,$sb), expected ($r,$g,$b) of $pic"
        fi
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
        shot "$shot"
        shows "$shot" "$@" && return 0
        sleep 0.5
    done
    expect_pic "$shot" "$@"
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

changed() {
    ! cmp -s "$SHOTS/$1.rgb" "$SHOTS/$2.rgb"
}

# step SHOT KEY: presses KEY briefly and takes SHOT, which must differ from the previous shot. The game
# reads the keyboard once a frame, and on a busy machine a frame can outlast a short press: when the
# screen has not changed a second later, the press is tried again.
LAST=""
step() {
    local shot=$1 key=$2 try
    for try in 1 2 3 4; do
        [ "$try" = 1 ] || echo "note: $key before $shot did not show, pressed again" >&2
        e2e_key "$key"
        shot "$shot"
        changed "$LAST" "$shot" && break
        sleep 1
        shot "$shot"
        changed "$LAST" "$shot" && break
    done
    LAST=$shot
}

# Points inside every item picture where the plain and the highlighted one differ, on the menu background
# beside the items, and on the full-screen pictures where the studio, title, credits, instructions and menu
# pictures all differ from each other.
ITEM="395,40 200,40 20,20"
BACKDROP="40,40 100,300"
FULL="600,100 620,120 660,120 360,140 40,40 760,560 400,300"
SLOT_Y=(150 250 350 450)

# The number of the highlighted slot of a list page (the gold frame of a highlighted item), or -1.
lit_slot() {
    local i
    for i in 0 1 2 3; do
        shows "$1" menu/nga.png 200 "${SLOT_Y[$i]}" 395,40 && echo "$i" && return
    done
    echo -1
}

# expect_page SHOT PAGE LIT: the main page ("main": new game, instructions, credits, exit) or the game
# types ("types": whiskey hunt, saloon brawl, showdown) with item LIT highlighted and the others plain.
expect_page() {
    local shot=$1 lit=$3 items i
    if [ "$2" = main ]; then items=(ng op cr ex); else items=(wh do su); fi
    expect_pic "$shot" menu/bgr.png 0 0 $BACKDROP
    for i in "${!items[@]}"; do
        if [ "$i" = "$lit" ]; then
            expect_pic "$shot" "menu/${items[$i]}a.png" 200 "${SLOT_Y[$i]}" $ITEM
        else
            expect_pic "$shot" "menu/${items[$i]}.png" 200 "${SLOT_Y[$i]}" $ITEM
        fi
    done
    [ "$2" = main ] || expect_pic "$shot" menu/bgr.png 0 0 595,490 400,490 210,460  # no fourth item
}

# move PAGE KEY: Up or Down on a list page; the highlight must move one item, wrapping round the ends.
# A frame before the press that took longer than the key guard lets a short press take a second step
# on a busy machine; that is allowed and noted. Sets LIT.
N=0
LIT=0
move() {
    local page=$1 key=$2 items=4 dir=1 now k
    [ "$page" = main ] || items=3
    [ "$key" = Up ] && dir=-1
    N=$((N + 1))
    step "$(printf 'move%02d-%s-%s' "$N" "$page" "$key")" "$key"
    now=$(lit_slot "$LAST")
    [ "$now" -ge 0 ] && [ "$now" -lt "$items" ] || e2e_fail "$key on the $page page left no item highlighted ($LAST)"
    k=$(( ((now - LIT) * dir + items) % items ))
    [ "$k" = 2 ] && echo "note: $key took two steps in $LAST" >&2
    [ "$k" = 1 ] || [ "$k" = 2 ] || e2e_fail "$key on the $page page went from item $LIT to $now ($LAST)"
    LIT=$now
    expect_page "$LAST" "$page" "$LIT"
}

# go_to PAGE KEY ITEM: moves with KEY until ITEM is highlighted.
go_to() {
    local i
    for i in 1 2 3 4 5 6; do
        [ "$LIT" = "$3" ] && return
        move "$1" "$2"
    done
    e2e_fail "item $3 of the $1 page not reached with $2"
}

ref_pixel menu/nga.png 395 40  # read once here: lit_slot runs in subshells, which keep nothing
e2e_start_x
e2e_launch korvado_mp
wait_window
window_corner

# The studio picture stays until a key; the title needs a key of its own.
wait_for_pic 01-studio tolvlogo.png 0 0 $FULL
sleep 0.5
shot 01-studio-still
expect_pic 01-studio-still tolvlogo.png 0 0 $FULL
LAST=01-studio-still
step 02-title Return
expect_pic 02-title kvdlogo.png 0 0 $FULL
sleep 0.5
shot 02-title-still
expect_pic 02-title-still kvdlogo.png 0 0 $FULL
LAST=02-title-still
step 03-menu Escape
expect_page 03-menu main 0

# Up and Down, with the wrap from the first item to the last and back.
move main Down
go_to main Up 0
move main Up  # from the first item: exit (or credits, after a double step)
go_to main Up 3
move main Down  # from exit: the first item again (or the second)

# Game types, and back with Escape: the main page keeps the number that was highlighted.
go_to main Up 0
step 10-game-types Return
expect_page 10-game-types types 0
LIT=0
move types Down
move types Down
go_to types Down 0  # the game types wrap over three
move types Down
step 11-back Escape
expect_page 11-back main "$LIT"

# Credits and instructions, each left with Escape.
go_to main Down 2
step 12-credits Return
expect_pic 12-credits menu/cred.png 0 0 $FULL
step 13-back Escape
expect_page 13-back main 2
go_to main Up 1
step 14-instructions Return
expect_pic 14-instructions menu/ins.png 0 0 $FULL
step 15-back Escape
expect_page 15-back main 1

# Exit from the menu.
go_to main Up 3
e2e_key Return
e2e_wait_exit 15

# Attract mode as a player meets it: Return through the studio picture and the title (a hand holds a key
# about a tenth of a second), then nothing at all, not even the pointer: the last key the game saw is the
# press of Return that the title took. A demo shows the street within 35 s; a key brings back the same page.
e2e_launch korvado_mp
wait_window
window_corner
wait_for_pic 20-studio tolvlogo.png 0 0 $FULL
LAST=20-studio
step 21-title Return
expect_pic 21-title kvdlogo.png 0 0 $FULL
step 22-menu Return
expect_page 22-menu main 0
LIT=0
left_alone=$SECONDS
STREET="150,10 300,30 400,20 500,40 640,25"
shot 23-attract
until shows 23-attract bgsml.png 0 0 $STREET; do
    [ $((SECONDS - left_alone)) -le 35 ] || e2e_fail "no demo within 35 s of the last key (23-attract)"
    sleep 1
    shot 23-attract
done
[ $((SECONDS - left_alone)) -ge 29 ] || e2e_fail "the demo came after $((SECONDS - left_alone)) s, before the 30 s"
echo "attract mode: a demo $((SECONDS - left_alone)) s after the last key"
LAST=23-attract
step 24-back-from-demo space
expect_page 24-back-from-demo main "$LIT"
e2e_close
e2e_wait_exit 15

# Closing the window on the studio picture ends the game too.
e2e_launch korvado_mp
wait_window
window_corner
wait_for_pic 16-studio-again tolvlogo.png 0 0 $FULL
e2e_close
e2e_wait_exit 15
echo "menu end to end: ok"
