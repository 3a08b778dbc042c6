#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test through CTest.
# WENDLECOTT_SANITIZE=ON builds into build-sanitize with clang, AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build_dir=build
options=(-DWENDLECOTT_WERROR="${WENDLECOTT_WERROR:-OFF}")
if [[ ${WENDLECOTT_SANITIZE:-OFF} == ON ]]; then
    build_dir=build-sanitize
    # clang compiles the instrumented build in about a third of gcc's time. The code at -O1
    # (a suite at -O0 would spend minutes in the tests of 16 MiB answers), the tests' own
    # files at -O0, and line tables only: the stack traces keep file and line.
    bash scripts/setup-clang.sh
    options+=(-DCMAKE_CXX_COMPILER=clang++ -DWENDLECOTT_SANITIZE=ON -DWENDLECOTT_BUILD_BENCH=OFF
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" -DWENDLECOTT_TEST_OPTIMIZATION=-O0)
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
fi
bash scripts/build.sh "$build_dir" "${options[@]}"
ctest --test-dir "$build_dir" --no-tests=error --output-on-failure -j "$(nproc)"
