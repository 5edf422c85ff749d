#!/usr/bin/env bash
# From a fresh clone: install what building needs (nothing for the tests), build the Linux
# program, and convert a sample file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh build
cmake --preset release > /dev/null
cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)"

program="$PWD/build/release/codeshift"
sample="$(mktemp -d)"
printf 'Gr\xfc\xdfe aus codeshift: \x80 5\n' > "$sample/in-1252.txt"
"$program" -A1252 -U8- "$sample/in-1252.txt" "$sample/out-utf8.txt" -o "$sample/run.log" &&
  status=0 || status=$?
echo "program: $program ($("$program" --version))"
echo "in $sample:"
echo "exit code: $status"
echo "converted text:"; cat "$sample/out-utf8.txt" 2>/dev/null || true
echo "run log:"; cat "$sample/run.log" 2>/dev/null || true
