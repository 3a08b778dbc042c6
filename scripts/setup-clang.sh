#!/usr/bin/env bash
# Installs what the sanitizer suite and the fuzz targets need besides the usual build: clang
# and its runtime libraries (AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh clang libclang-rt-14-dev
