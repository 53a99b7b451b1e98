#!/bin/bash
# test_install.sh: the game installed (cmake --install into a staging tree, then moved elsewhere) and started
# from / finds its data from its own place: its window, caption, icon and title picture. The working directory's
# ../images still comes first; a missing installed file is named. The launcher entries, the metadata and the
# manual pages pass their validators; the lobby's systemd unit is installed.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/journeys.sh"
fresh_shots install
STAGE="$SCRATCH/stage"
MOVED="$SCRATCH/moved"
PREFIX=/opt/korvado

DESTDIR="$STAGE" cmake --install "$KORVADO_BUILD_DIR" --prefix "$PREFIX" >/dev/null || e2e_fail "cmake --install failed"
mv "$STAGE" "$MOVED"  # a staging tree moved elsewhere must still work: nothing points back into it
ROOT="$MOVED$PREFIX"
GAME="$ROOT/bin/korvado_sp"
[ -x "$GAME" ] && [ -x "$ROOT/bin/korvado_mp" ] && [ -x "$ROOT/bin/korvado_net" ] && [ -x "$ROOT/bin/korvado_lobby" ] ||
    e2e_fail "the programs are not in $ROOT/bin"
[ -f "$ROOT/share/games/korvado/images/menu/loading.png" ] || e2e_fail "the pictures are not in share/games/korvado"
outside=$(cd "$MOVED" && find . -mindepth 1 -maxdepth 2 ! -path "./opt" ! -path ".$PREFIX")
[ -z "$outside" ] || e2e_fail "the install wrote outside its prefix: $outside"

# ---- the launcher entries, the metadata, the manual page ----
desktop-file-validate "$ROOT"/share/applications/*.desktop || e2e_fail "desktop-file-validate found errors"
[ "$(ls "$ROOT"/share/applications/*.desktop | wc -l)" = 3 ] || e2e_fail "not one launcher entry per program"
appstreamcli validate --no-net "$ROOT"/share/metainfo/*.metainfo.xml || e2e_fail "appstreamcli found errors"
for size in 16 22 24 32 48 64 128 256; do
    [ "$(identify -format %wx%h "$ROOT/share/icons/hicolor/${size}x$size/apps/korvado.png")" = "${size}x$size" ] ||
        e2e_fail "no $size pixel icon"
done
for page in korvado_sp korvado_mp korvado_net korvado_lobby; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$ROOT/share/man/man6/$page.6.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || e2e_fail "the manual page of $page renders with warnings: $warnings"
done
[ -f "$ROOT/lib/systemd/system/korvado-lobby.service" ] || e2e_fail "the lobby's systemd unit is not in lib/systemd/system"
echo "launcher entries, metadata, icons and manual pages: valid"

# ---- the installed game, started from / ----
e2e_start_x
launch "$GAME"
title=$(xdotool getwindowname "$WID")
[ "$title" = "KORVADO (SP) v2.2 full - TOLVERANT STUDIO - www.tolverant.example" ] || e2e_fail "caption: $title"
xprop -id "$WID" WM_HINTS _NET_WM_ICON | grep -q -e "bitmap id # to use for icon" -e "^_NET_WM_ICON(CARDINAL)" ||
    e2e_fail "the window has no icon"
wait_pic install-01-studio 20 tolvlogo.png 0 0 $FULL
press_until Return install-02-title shows_title
close_timed "installed game"

# ---- the working directory's ../images wins; a missing installed file is named ----
mkdir -p "$SCRATCH/cwd/images/menu" "$SCRATCH/cwd/bin"
cp "$KORVADO_BUILD_DIR/images/menu/loading.png" "$SCRATCH/cwd/images/menu/"
E2E_GAME_DIR="$SCRATCH/cwd/bin" e2e_launch "$GAME"
e2e_wait_exit 20 1
grep -q "cannot load ../images/icon.png" "$GAME_OUT" || e2e_fail "not the working directory's files: $(cat "$GAME_OUT")"
rm "$ROOT/share/games/korvado/images/hud/bp.png"
e2e_launch "$GAME"
e2e_wait_exit 20 1
grep -q "cannot load $ROOT/bin/../share/games/korvado/images/hud/bp.png" "$GAME_OUT" ||
    e2e_fail "the missing file is not named: $(cat "$GAME_OUT")"
rm -rf "$MOVED"
echo "PASS: installed under $PREFIX, moved, started from /; the working directory first; missing files named"
