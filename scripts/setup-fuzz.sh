#!/usr/bin/env bash
# Installs what the fuzz targets need besides the usual build: clang and its runtime
# libraries (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh clang libclang-rt-14-dev
