#!/usr/bin/env bash
# Sets up what is missing, builds, and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
if [[ $(id -u) -eq 0 ]]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1  # the web view's sandbox refuses to run as root
fi
exec ./build/wendlecott "$@"
