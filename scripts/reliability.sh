#!/usr/bin/env bash
# Reproduces the figures of docs/reliability.md in one go: the whole unit and end-to-end suites
# under AddressSanitizer and UBSan, every fuzz target for FUZZ_SECONDS (default 60) each, and
# the fault scenarios one by one (under the sanitizers). Prints the tables in Markdown and
# keeps them in build/reliability.md.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="$(nproc 2>/dev/null || echo 2)"
out="build/reliability.md"
mkdir -p build
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS="exitcode=99:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="exitcode=99:print_stacktrace=1:halt_on_error=1"

echo "== Sanitizer build" >&2
cmake --preset asan > /dev/null
cmake --build --preset asan -j "$jobs" > "$work/asan-build.log" 2>&1 || { tail -n 40 "$work/asan-build.log"; exit 1; }
start=$(date +%s)
ctest --preset asan -j "$jobs" > "$work/asan-ctest.log" 2>&1 || true
asan_seconds=$(( $(date +%s) - start ))
asan_summary="$(grep -E 'tests passed|tests failed' "$work/asan-ctest.log" | tail -n 1)"

echo "== Fuzzing" >&2
FUZZ_SECONDS="${FUZZ_SECONDS:-60}" bash scripts/fuzz.sh > "$work/fuzz.log" 2>&1 || true

echo "== Fault scenarios" >&2
filter='Faults/*:*Faults.*:FaultRun.*:*WriteFailure*:*HugeInput*:ReplacementFile*:*RefusedTargets*'
CODESHIFT_PROGRAM="$PWD/build/asan/codeshift" CODESHIFT_FLAVOR=native \
  build/asan/tests/codeshift_e2e --gtest_filter="$filter" > "$work/faults-e2e.log" 2>&1 || true
build/asan/tests/codeshift_tests --gtest_filter="$filter" > "$work/faults-unit.log" 2>&1 || true

{
  echo "Run of $(date -u '+%Y-%m-%d %H:%M UTC') at commit $(git rev-parse --short HEAD), $(nproc) cores."
  echo
  echo "### Sanitizers (AddressSanitizer + UndefinedBehaviorSanitizer, preset asan)"
  echo
  echo "| Suite | Result | Seconds |"
  echo "|---|---|---|"
  echo "| unit and end-to-end tests (ctest --preset asan) | ${asan_summary:-no summary} | $asan_seconds |"
  echo
  echo "### Fuzz targets (libFuzzer, preset fuzz)"
  echo
  echo "| Target | Executions | Seconds | New corpus units | Result |"
  echo "|---|---|---|---|---|"
  grep '^fuzz [a-z_]* ' "$work/fuzz.log" | while read -r _ name runs took added result; do
    echo "| $name | $runs | $took | $added | $result |"
  done
  echo
  cat "$work/faults-unit.log" "$work/faults-e2e.log" |
    sed -n 's/^\[ *\(OK\|FAILED\|SKIPPED\) *\] \([^ ]*\)\( (\([0-9]*\) ms)\)\{0,1\}$/\1 \2 \4/p' |
    while read -r result name ms; do
      [ -n "$ms" ] && echo "$result $name $ms"
    done > "$work/faults.txt"
  echo "### Fault scenarios (under the sanitizers), by group"
  echo
  echo "| Group | Scenarios | OK | Failed | Skipped | ms |"
  echo "|---|---|---|---|---|---|"
  # The group: a parameterised suite's instantiation, or the fixture of a plain test.
  awk '{ if (index($2, "/")) { split($2, p, "/"); split(p[2], q, "."); g = p[1] "/" q[1] }
         else { g = $2; sub(/\.[^.]*$/, "", g) }
         n[g]++; r[g, $1]++; ms[g] += $3; if (!(g in seen)) { seen[g] = 1; order[++k] = g } }
       END { for (i = 1; i <= k; i++) { g = order[i];
               printf "| %s | %d | %d | %d | %d | %d |\n", g, n[g], r[g, "OK"], r[g, "FAILED"],
                      r[g, "SKIPPED"], ms[g] } }' "$work/faults.txt"
  echo
  echo "### Fault scenarios, one by one"
  echo
  echo "| Scenario | Result | ms |"
  echo "|---|---|---|"
  while read -r result name ms; do
    echo "| $name | $result | $ms |"
  done < "$work/faults.txt"
} | tee "$out"
