#!/bin/bash
# test_package.sh: make package builds the Debian package; lintian finds no error in it; it holds the programs
# (korvado_net and korvado_lobby too) in /usr/games, the data in /usr/share/games/korvado, the desktop files and the
# lobby's systemd unit where they belong, no maintainer script (so the unit is not enabled), and its dependencies
# come from dpkg-shlibdeps.
source "$E2E_LIB"
SRC="$(cd "$(dirname "$E2E_LIB")/../.." && pwd)"
OUT="$KORVADO_BUILD_DIR/package-build"

make -s -C "$SRC" package PACKAGE_BUILD="$OUT" JOBS=2 >"$SHOTS/package-build.log" 2>&1 ||
    e2e_fail "make package failed: $(tail -n 20 "$SHOTS/package-build.log")"
DEB=$(ls "$OUT"/korvado_*.deb)
[ -f "$DEB" ] || e2e_fail "no package was built"

report=$(lintian "$DEB" 2>&1 | grep -v "running with root privileges")
echo "lintian: ${report:-nothing to report}"
! grep -q "^E: " <<<"$report" || e2e_fail "lintian found errors"

files=$(dpkg-deb -c "$DEB" | awk '{ print $6 }' | sed 's|^\./|/|')
for want in /usr/games/korvado_sp /usr/games/korvado_mp /usr/games/korvado_net /usr/games/korvado_lobby \
    /usr/lib/systemd/system/korvado-lobby.service /usr/share/man/man6/korvado_lobby.6.gz \
    /usr/share/games/korvado/images/menu/loading.png /usr/share/games/korvado/music/wildwest.it \
    /usr/share/games/korvado/sfx/gfire.wav /usr/share/games/korvado/images/icon.png \
    /usr/share/applications/example.tolverant.korvado_sp.desktop \
    /usr/share/applications/example.tolverant.korvado_mp.desktop \
    /usr/share/applications/example.tolverant.korvado_net.desktop /usr/share/games/korvado/images/net/ink.png \
    /usr/share/metainfo/example.tolverant.korvado.metainfo.xml \
    /usr/share/icons/hicolor/16x16/apps/korvado.png /usr/share/icons/hicolor/256x256/apps/korvado.png \
    /usr/share/man/man6/korvado_sp.6.gz /usr/share/man/man6/korvado_mp.6.gz /usr/share/man/man6/korvado_net.6.gz \
    /usr/share/doc/korvado/copyright /usr/share/doc/korvado/changelog.gz; do
    grep -qx "$want" <<<"$files" || e2e_fail "the package lacks $want"
done
strays=$(grep -v -e '^/usr/games/' -e '^/usr/share/' -e '^/usr/lib/systemd/system/' -e '^/usr/lib/\(systemd/\)\?$' \
    -e '^/usr/$' -e '^/$' <<<"$files")
[ -z "$strays" ] || e2e_fail "the package puts files outside /usr/games, /usr/share and the unit's folder: $strays"
grep -q "ExecStart=/usr/games/korvado_lobby" <(dpkg-deb --fsys-tarfile "$DEB" | tar -xO ./usr/lib/systemd/system/korvado-lobby.service) ||
    e2e_fail "the unit does not start /usr/games/korvado_lobby"
scripts=$(dpkg-deb -I "$DEB" | grep -E -o "(pre|post)(inst|rm)" | tr '\n' ' ')
[ -z "$scripts" ] || e2e_fail "the package has maintainer scripts ($scripts): the lobby is not to be enabled"
depends=$(dpkg-deb -f "$DEB" Depends)
for lib in libsdl1.2debian libsdl-image1.2 libsdl-mixer1.2 libenet7 libwebsockets17 libc6; do
    grep -q "$lib" <<<"$depends" || e2e_fail "the package does not depend on $lib: $depends"
done
echo "PASS: $(basename "$DEB"), $(wc -l <<<"$files") entries, depends on: $depends"
