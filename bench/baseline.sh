#!/bin/bash
# baseline.sh BUILD_DIR: this build against the game as it was before it became a ticker and a drawer over one
# game state (commit 98200c2, built once into BUILD_DIR/baseline), both measured in the same run: the round
# frame (a pass of the rules and its drawing) and --timedemo of each shipped demo, turn about, three times.
# Goal: this build no slower than the baseline (5% allowed for a busy machine).
set -u
REF=98200c2
SRC=$(cd "$(dirname "$0")/.." && pwd)
NEW=$(cd "$1" && pwd)
BASE="$NEW/baseline"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
if ! [ -x "$BASE/build/bench/korvado_bench" ]; then
    echo "baseline: building commit $REF once into $BASE"
    rm -rf "$BASE/src" && mkdir -p "$BASE/src"
    git -C "$SRC" archive "$REF" | tar -x -C "$BASE/src" || { echo "baseline: commit $REF is not in this clone"; exit 1; }
    cmake -S "$BASE/src" -B "$BASE/build" -DCMAKE_BUILD_TYPE=Release -DKORVADO_TESTS=OFF -DKORVADO_BENCH=ON >/dev/null &&
        cmake --build "$BASE/build" -j2 --target korvado_bench korvado_mp korvado_sp >/dev/null ||
        { echo "baseline: the build failed"; exit 1; }
fi

# The median CPU microseconds of the round frame, from a benchmark program's JSON report.
round_frame() {
    local json
    json=$(mktemp)
    (cd "$1/bin" && ../bench/korvado_bench --benchmark_filter=roundFrame --benchmark_out="$json" \
        --benchmark_out_format=json >/dev/null 2>&1)
    python3 -c 'import json,sys; print([b["cpu_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b["name"].endswith("_median")][0])' "$json"
    rm -f "$json"
}

# CPU seconds of --timedemo over every shipped demo, by the program of its edition.
timedemos() {
    local demo edition line total=0
    for demo in "$SRC"/demos/*.kvd; do
        edition=$(basename "$demo" | cut -d- -f1)
        line=$(cd "$1/bin" && "./korvado_$edition" --timedemo "$demo")
        total=$(awk -v t="$total" -v l="$line" 'BEGIN { split(l, w, " "); for (i = 1; i < length(w); i++)
            if (w[i + 1] == "passes" && w[i + 2] == "in") p = w[i]; else if (w[i + 1] == "per" && w[i + 2] == "CPU") r = substr(w[i], 2);
            printf "%.6f", t + p / r }')
    done
    echo "$total"
}

status=0
old=0 new=0 oldt=0 newt=0
for turn in 1 2 3; do
    old=$(awk -v a="$old" -v b="$(round_frame "$BASE/build")" 'BEGIN { print a + b }')
    new=$(awk -v a="$new" -v b="$(round_frame "$NEW")" 'BEGIN { print a + b }')
    oldt=$(awk -v a="$oldt" -v b="$(timedemos "$BASE/build")" 'BEGIN { print a + b }')
    newt=$(awk -v a="$newt" -v b="$(timedemos "$NEW")" 'BEGIN { print a + b }')
done
for what in "round frame:$old:$new:us CPU (median of 5, summed over 3 turns)" \
    "timedemo of the shipped demos:$oldt:$newt:CPU seconds (3 turns)"; do
    IFS=: read -r name o n unit <<<"$what"
    ratio=$(awk -v o="$o" -v n="$n" 'BEGIN { printf "%.3f", (o > 0 ? n / o : 0) }')
    verdict=met
    awk -v o="$o" -v n="$n" 'BEGIN { exit !(o > 0 && n > 0 && n / o <= 1.05) }' || verdict=MISSED status=1
    printf 'goal %s not slower than before the ticker (%s): %s %s against %s, ratio %s: %s\n' "$name" "$REF" \
        "$n" "$unit" "$o" "$ratio" "$verdict"
done
exit $status
