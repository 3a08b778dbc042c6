#!/usr/bin/env bash
# Makes the Debian package of a build folder (default: build, built already) with CPack and
# tries it: the package is unpacked into a scratch root (dpkg -x), `wendlecott-cli --help`
# runs from there, and the desktop program, when built, is started under xvfb-run with
# --measure-startup. Prints the package's size, its dependencies and its files.
#   bash scripts/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
bash scripts/setup.sh dpkg-dev file

(cd "$build_dir" && cpack -G DEB >/dev/null)
package=$(ls -t "$build_dir"/wendlecott_*.deb | head -n 1)
echo "package: $package ($(stat -c %s "$package") bytes)"
dpkg-deb --field "$package" Package Version Architecture Section Maintainer Depends Recommends

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$package" "$scratch/root"
echo "files:"
(cd "$scratch/root" && find . -type f -printf '%s\t%P\n' | sort -k2)

# The programs keep their files in the per-user folders; here those are scratch folders.
export XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config
timeout 60 "$scratch/root/usr/bin/wendlecott-cli" --help >"$scratch/help.txt"
head -n 1 "$scratch/help.txt"
# The program ends itself once its main window is shown; a program that never shows it is
# stopped after two minutes and fails the script.
if [[ -x $scratch/root/usr/bin/wendlecott ]]; then
    timeout 120 xvfb-run -a "$scratch/root/usr/bin/wendlecott" --no-splash --measure-startup
    timeout 120 xvfb-run -a "$scratch/root/usr/bin/wendlecott" --measure-startup
fi
