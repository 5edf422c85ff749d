#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `fuzz`, clang) and runs each one for a bounded time,
# starting from its seed corpus in fuzz/corpus/<target>. Inputs that once failed, kept in
# fuzz/regressions/<target>, are replayed first. A failure leaves its input in build/fuzz/crashes.
# fuzz/<target>.dict is the target's dictionary, fuzz/<target>.options its extra flags.
#   FUZZ_SECONDS   time per target (default 60)
#   FUZZ_TARGETS   space-separated subset of targets (default all)
# Prints one line per target: "fuzz <target> <executions> <seconds> <new units> <result>".
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
jobs="$(nproc 2>/dev/null || echo 2)"
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j "$jobs"

crashes="build/fuzz/crashes"
mkdir -p "$crashes"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

targets="${FUZZ_TARGETS:-}"
if [ -z "$targets" ]; then
  for binary in build/fuzz/fuzz/fuzz_*; do
    targets="$targets ${binary##*/fuzz_}"
  done
fi

passed=0
failed=0
for name in $targets; do
  binary="build/fuzz/fuzz/fuzz_$name"
  options=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$crashes/$name-")
  if [ -f "fuzz/$name.dict" ]; then
    options+=(-dict="fuzz/$name.dict")
  fi
  if [ -f "fuzz/$name.options" ]; then
    read -r -a extra < "fuzz/$name.options"
    options+=("${extra[@]}")
  fi
  result="ok"
  if [ -d "fuzz/regressions/$name" ] && [ -n "$(ls -A "fuzz/regressions/$name")" ]; then
    if ! "$binary" "${options[@]}" "fuzz/regressions/$name"/* > "$work/$name.replay" 2>&1; then
      tail -n 40 "$work/$name.replay"
      result="regression-failed"
    fi
  fi
  mkdir -p "$work/$name"
  if [ "$result" = "ok" ]; then
    if ! "$binary" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        "$work/$name" "fuzz/corpus/$name" > "$work/$name.log" 2>&1; then
      tail -n 60 "$work/$name.log"
      result="failed"
    fi
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log" 2>/dev/null | tail -n 1)"
  added="$(sed -n 's/^stat::new_units_added: *//p' "$work/$name.log" 2>/dev/null | tail -n 1)"
  took="$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$work/$name.log" 2>/dev/null | tail -n 1)"
  echo "fuzz $name ${runs:-0} ${took:-0} ${added:-0} $result"
  if [ "$result" = "ok" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
