#!/bin/bash
# demo_outcomes.sh: every demo kept in the source tree plays, as fast as it goes, to the passes and final state
# hash tests/golden/outcomes.txt holds for it (recorded before any change of the game, they are its oracle),
# and holds the sync test: each pass run again from 8 passes back comes to the same state; so do 100,000
# passes of random records in each edition, and 100,000 passes of korvado_net's rollback with the rival's inputs
# 20 passes late, every pass corrected from 20 back (the seed is printed; KORVADO_SYNC_SEED replays one).
set -u
: "${KORVADO_BUILD_DIR:?KORVADO_BUILD_DIR must name the build tree}"
SRC=$(cd "$(dirname "$0")/.." && pwd)
BIN="$KORVADO_BUILD_DIR/bin"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}
while read -r program file passes hash; do
    [[ -z "$program" || "$program" == \#* ]] && continue
    out=$(cd "$BIN" && "./$program" --timedemo "$SRC/$file" 2>&1)
    [[ "$out" == *": $passes passes in "*"final state hash $hash"* ]] ||
        fail "$program $file: wanted $passes passes and hash $hash; got: $out"
    out=$(cd "$BIN" && "./$program" --synctest 8 --timedemo "$SRC/$file" 2>&1) || fail "$program $file: $out"
done <"$SRC/tests/golden/outcomes.txt"
seed=${KORVADO_SYNC_SEED:-$(($(date +%s) % 100000))}
for run in "korvado_mp 8" "korvado_sp 8" "korvado_net 20 --session"; do
    read -r program depth session <<<"$run"
    out=$(cd "$BIN" && "./$program" --synctest "$depth" $session 100000 "$seed" 2>&1) || fail "$program, seed $seed: $out"
    echo "$program: $out"
done
[ $failed = 0 ] && echo "every demo keeps its outcome and holds the sync test"
exit $failed
