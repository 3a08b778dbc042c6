#!/usr/bin/env bash
# Configures and builds into the folder given (default: build). Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
shift || true
# A compiler cache makes a second build of the same sources (another build folder, a
# rebuild after a pull) cheap; mold links the many test programs in a fraction of ld's time.
speedups=()
if command -v ccache >/dev/null; then
    speedups+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # Lets the cache serve files compiled with the precompiled Qt headers.
    export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}
fi
if command -v mold >/dev/null; then
    speedups+=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=mold)
fi
cmake -S . -B "$build_dir" -G Ninja "${speedups[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
