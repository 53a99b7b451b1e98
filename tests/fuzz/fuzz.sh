#!/usr/bin/env bash
# fuzz.sh: builds the fuzz targets with clang and runs them.
#   fuzz.sh build BUILD_DIR                          configures and builds them in BUILD_DIR
#   fuzz.sh run BUILD_DIR SECONDS KEEP [TARGET...]   runs each target (every one when none is named) for SECONDS
#       (with the libFuzzer options of NAME.options, when there is one)
#       on its corpus in the tree; the inputs that grew it go to KEEP/TARGET (outside the tree), a fault's input to
#       KEEP/faults, the whole output to KEEP/logs. Shown: libFuzzer's opening and closing lines, any report, and
#       a line a target: executions a second, edges covered, features, the corpus. Status 1 when any failed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

build() {
    cmake -S "$source_dir" -B "$1" -DKORVADO_FUZZ=ON -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++-14}" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" >/dev/null
    cmake --build "$1" -j "${JOBS:-2}"
}

# One target: its output to its log, then what matters of it on stdout.
run_one() {
    local bin=$1/tests/fuzz/fuzz_$2 seconds=$3 keep=$4 name=$2 status=0
    local args=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1 -close_fd_mask=3
        -artifact_prefix="$keep/faults/$name-")
    if [ -f "$here/$name.dict" ]; then args+=(-dict="$here/$name.dict"); fi
    if [ -f "$here/$name.options" ]; then read -r -a more <"$here/$name.options" && args+=("${more[@]}"); fi
    mkdir -p "$keep/$name" "$keep/faults" "$keep/logs"
    "$bin" "${args[@]}" "$keep/$name" "$here/corpus/$name" >"$keep/logs/$name.log" 2>&1 || status=$?
    grep -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse|RELOAD)|^[[:space:]]NEW_FUNC' "$keep/logs/$name.log" | sed "s/^/[$name] /"
    local last
    last=$(grep -E '^#[0-9]+[[:space:]]+(DONE|NEW|REDUCE|pulse|INITED)' "$keep/logs/$name.log" | tail -n 1)
    printf 'fuzz %-10s %s exec/s, %s edges, %s features, corpus %s, %s\n' "$name" \
        "$(sed -n 's/^stat::average_exec_per_sec:[[:space:]]*//p' "$keep/logs/$name.log")" \
        "$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")" "$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")" \
        "$(sed -n 's/.* corp: \([0-9/a-zA-Z]*\).*/\1/p' <<<"$last")" \
        "$([ "$status" -eq 0 ] && echo "no fault" || echo "FAULT (status $status, input in $keep/faults)")"
    return "$status"
}

case "${1:-}" in
build) build "$2" ;;
run)
    build_dir=$2 seconds=$3 keep=$4
    shift 4
    targets=("$@")
    if [ ${#targets[@]} -eq 0 ]; then
        for f in "$here"/corpus/*/; do targets+=("$(basename "$f")"); done
    fi
    status=0
    for t in "${targets[@]}"; do run_one "$build_dir" "$t" "$seconds" "$keep" || status=1; done
    exit $status ;;
*) echo "usage: fuzz.sh build BUILD_DIR | run BUILD_DIR SECONDS KEEP [TARGET...]" >&2; exit 2 ;;
esac
