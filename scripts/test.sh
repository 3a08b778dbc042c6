#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test through CTest.
# WENDLECOTT_SANITIZE=ON builds into build-sanitize with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build_dir=build
options=(-DWENDLECOTT_WERROR="${WENDLECOTT_WERROR:-OFF}")
if [[ ${WENDLECOTT_SANITIZE:-OFF} == ON ]]; then
    build_dir=build-sanitize
    # Line tables only and -O1: the stack traces keep file and line, the build takes less.
    options+=(-DWENDLECOTT_SANITIZE=ON -DWENDLECOTT_BUILD_BENCH=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1")
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
fi
bash scripts/build.sh "$build_dir" "${options[@]}"
ctest --test-dir "$build_dir" --no-tests=error --output-on-failure -j "$(nproc)"
