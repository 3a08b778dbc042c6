#!/usr/bin/env bash
# Fails when a C++ file is not formatted as .clang-format says, or when a function in src/
# is longer than 80 lines, or when a part of the core includes one it does not link.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
python3 scripts/check-function-length.py
python3 scripts/check-core-layers.py
