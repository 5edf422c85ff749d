#!/usr/bin/env bash
# The conversion alone, in memory, at every kernel level this processor runs: the "kernel" rows
# of codeshift_route_bench, in a few rounds, each round every benchmark several times in turns.
# With --base, another build's route benchmark (say, the one of the commit before a change) runs
# in the same rounds, in alternating order, so that its figures and these come from one sitting.
# Prints the Markdown section of bench/results.md, with the targets of each route and level.
#
#   bash bench/kernels.sh [--base BENCH_BINARY] [--rounds 3] [--repetitions 5] [--no-build]
set -euo pipefail
cd "$(dirname "$0")/.."
base=""
rounds=3
repetitions=5
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --base) base="$2"; shift 2 ;;
    --rounds) rounds="$2"; shift 2 ;;
    --repetitions) repetitions="$2"; shift 2 ;;
    --no-build) build=0; shift ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done
if [ "$build" = 1 ]; then
  cmake --preset bench > /dev/null
  cmake --build --preset bench -j "$(nproc 2> /dev/null || echo 2)" --target codeshift_route_bench >&2
fi
bench="$PWD/build/bench/bench/codeshift_route_bench"
data="$PWD/bench/corpus/kernels"
rm -rf "$data"
mkdir -p "$data"
{
  echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "commit=$(git rev-parse --short HEAD)"
  echo "base=$base"
  echo "load_before=$(cut -d' ' -f1-3 /proc/loadavg)"
} > "$data/meta.txt"
run() {
  "$1" --benchmark_filter='^(utf|cp)[^/]*/[^/]*/(sse2|ssse3|avx2|avx512)$' \
    --benchmark_min_time=0.1 --benchmark_repetitions="$repetitions" \
    --benchmark_enable_random_interleaving=true --benchmark_out="$2" \
    --benchmark_out_format=json > /dev/null
}
for round in $(seq "$rounds"); do
  echo "-- round $round of $rounds" >&2
  if [ -n "$base" ] && [ $((round % 2)) = 1 ]; then
    run "$base" "$data/base.$round.json"
  fi
  run "$bench" "$data/new.$round.json"
  if [ -n "$base" ] && [ $((round % 2)) = 0 ]; then
    run "$base" "$data/base.$round.json"
  fi
done
echo "load_after=$(cut -d' ' -f1-3 /proc/loadavg)" >> "$data/meta.txt"
python3 bench/kernels_report.py "$data"
