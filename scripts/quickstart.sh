#!/usr/bin/env bash
# From a fresh clone: install what is missing, build, and convert a sample file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default > /dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)"

program="$PWD/build/default/codeshift"
sample="$(mktemp -d)"
cd "$sample"
printf 'Gr\xfc\xdfe aus codeshift: \x80 5\n' > in-1252.txt
# Names are relative: like on Windows, an argument that starts with "/" is an option.
"$program" -A1252 -UTF8 in-1252.txt out-utf8.txt -orun.log && status=0 || status=$?
echo "in $sample:"
echo "exit code: $status"
echo "converted text:"; cat out-utf8.txt 2>/dev/null || true
echo "run log:"; cat run.log 2>/dev/null || true
