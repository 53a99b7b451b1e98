#!/bin/bash
# demo_outcomes.sh: every demo kept in the source tree plays, as fast as it goes, to the passes and final state
# hash tests/golden/outcomes.txt holds for it; recorded before any change of the game, they are its oracle.
set -u
: "${KORVADO_BUILD_DIR:?KORVADO_BUILD_DIR must name the build tree}"
SRC=$(cd "$(dirname "$0")/.." && pwd)
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
failed=0
while read -r program file passes hash; do
    [[ -z "$program" || "$program" == \#* ]] && continue
    out=$(cd "$KORVADO_BUILD_DIR/bin" && "./$program" --timedemo "$SRC/$file" 2>&1)
    if [[ "$out" != *": $passes passes in "*"final state hash $hash"* ]]; then
        echo "FAIL: $program $file: wanted $passes passes and hash $hash; got: $out"
        failed=1
    fi
done <"$SRC/tests/golden/outcomes.txt"
[ $failed = 0 ] && echo "every demo keeps its outcome"
exit $failed
