#!/usr/bin/env bash
# Installs what building, running and testing Wendlecott needs on Debian 12, when missing.
# Packages named as arguments are installed as well (scripts/setup-clang.sh, scripts/package.sh).
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libqt6sql6-sqlite libsqlite3-dev libzstd-dev qt6-webengine-dev libgl-dev libc-ares-dev libpsl-dev
    publicsuffix knot dnsperf xvfb xauth clang-format python3 whois ccache mold "$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} > 0)); then
    sudo=()
    if [[ $(id -u) -ne 0 ]]; then
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt_options=(-o DPkg::Lock::Timeout=300 -o Acquire::Retries=3)
    "${sudo[@]}" apt-get "${apt_options[@]}" update -qq
    "${sudo[@]}" apt-get "${apt_options[@]}" install -y -qq "${missing[@]}"
fi
