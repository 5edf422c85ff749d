#!/usr/bin/env bash
# From a fresh clone: install what is missing, build, and convert a sample file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default > /dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)"

sample="$(mktemp -d)"
printf 'Gr\xfc\xdfe aus codeshift: \x80 5\n' > "$sample/in-1252.txt"
./build/default/codeshift -A1252 -UTF8 "$sample/in-1252.txt" "$sample/out-utf8.txt" -o"$sample/run.log" && status=0 || status=$?
echo "exit code: $status"
echo "converted text:"; cat "$sample/out-utf8.txt" 2>/dev/null || true
echo "run log:"; cat "$sample/run.log" 2>/dev/null || true
