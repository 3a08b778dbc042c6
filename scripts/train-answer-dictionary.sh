#!/usr/bin/env bash
# Trains the zstd dictionary that the answer store compresses answer texts with, from the real
# whois answers in tests/data/whois, and writes it to data/answer-text-<ID>.zdict.
#
# A dictionary that was ever shipped must never change: the stored answers it compressed can
# only be read with the same bytes. A better one gets a new ID (the next number after the last
# shipped one) and a new file; the program keeps every old dictionary for reading.
#
# Usage: scripts/train-answer-dictionary.sh ID     (ID: 1464008705 is the first, 0x57430001)
set -euo pipefail
cd "$(dirname "$0")/.."
id=${1:?the dictionary ID is needed}
output=data/answer-text-$id.zdict
if [[ -e $output ]]; then
    echo "$output exists; a shipped dictionary is never retrained" >&2
    exit 1
fi
# The same files in the same order give the same dictionary, byte for byte.
mapfile -t answers < <(find tests/data/whois -name '*.txt' | LC_ALL=C sort)
zstd --train "${answers[@]}" --maxdict=32768 --dictID="$id" -q -o "$output"
echo "$output: $(stat -c %s "$output") bytes from ${#answers[@]} answers"
