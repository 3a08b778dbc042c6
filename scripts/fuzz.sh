#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer and UBSan) into build-fuzz, writes
# their first corpus from the test data and runs each for the given number of seconds
# (default 60). A crash, a hang over 10 s or a broken property fails the script; the input
# that caused it is kept in build-fuzz/findings/. Corpora grow in build-fuzz/corpus/.
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
    # Every target there is: one per fuzz/fuzz_*.cpp.
    for source in fuzz/fuzz_*.cpp; do
        name=${source##*/}
        targets+=("${name%.cpp}")
    done
fi

bash scripts/setup-clang.sh
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DWENDLECOTT_FUZZ=ON -DWENDLECOTT_GUI=OFF \
    -DWENDLECOTT_BUILD_TESTS=OFF -DWENDLECOTT_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build-fuzz --target wendlecott_fuzz -j "$(nproc)"

seeds=build-fuzz/seeds
rm -rf "$seeds"
build-fuzz/fuzz/make_seeds . "$seeds"
mkdir -p build-fuzz/findings

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Runs one target and writes what it found to build-fuzz/findings/TARGET.summary; fails
# when it found a fault.
fuzz_one() {
    local target=$1 max_len
    # Pages and whois answers are long; the name operations work on lines.
    case $target in
    fuzz_textops | fuzz_entrydomain | fuzz_tldtable | fuzz_dnsreply) max_len=4096 ;;
    fuzz_rdapbootstrap) max_len=131072 ;; # the whole bootstrap file
    *) max_len=16384 ;;
    esac
    local corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    local log=build-fuzz/findings/$target.log summary=build-fuzz/findings/$target.summary
    echo "== $target: ${seconds} s" >"$summary"
    if build-fuzz/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$max_len" -print_final_stats=1 -artifact_prefix=build-fuzz/findings/"$target"- \
        "$corpus" "$seeds/$target" >"$log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" >>"$summary"
    else
        echo "$target found a fault:" >>"$summary"
        grep -E -A12 '==ERROR|runtime error|property failed|ALARM|out-of-memory' "$log" | head -40 >>"$summary"
        return 1
    fi
}

# As many targets at once as there are processors; each runs single-threaded.
status=0
running=0
for target in "${targets[@]}"; do
    if ((running >= $(nproc))); then
        wait -n || status=1
        running=$((running - 1))
    fi
    fuzz_one "$target" &
    running=$((running + 1))
done
while ((running > 0)); do
    wait -n || status=1
    running=$((running - 1))
done
for target in "${targets[@]}"; do
    cat build-fuzz/findings/"$target".summary
done
exit $status
