#!/usr/bin/env bash
# Reproduces the figures of docs/reliability.md in one go: the whole unit and end-to-end suites
# under AddressSanitizer and UBSan, every fuzz target for FUZZ_SECONDS (default 60) each, the
# fault scenarios one by one (under the sanitizers), and the faults at the edges on the Linux
# program and, where Wine and the Windows presets are at hand, on both Windows programs. Prints
# the tables in Markdown and keeps them in build/reliability.md.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="$(nproc 2>/dev/null || echo 2)"
out="build/reliability.md"
mkdir -p build
work="$(mktemp -d)"
# The logs stay in build/reliability-logs, so that a case that failed can be read afterwards.
trap 'rm -rf build/reliability-logs; cp -r "$work" build/reliability-logs; rm -rf "$work"' EXIT

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
edges='*Edges.*:*Owners.*:*Signals.*:*LogLinks.*:*FolderLinks.*:*CommandLine.*:*LogSlips.*'
edges+=':*KeptAttributes.*:HardLinks.*:*StreamRun.*:*Durability.*:*StreamTargets.*:*Dash.*'
edges+=':*ChangeDuringRun.*:*ReaderLeaves.*:*OutputOntoInput.*:*KeptRights.*:*KeptRules.*'
edges+=':ForgingNames/*'
# The cases that hold the program under strace cannot run under the sanitizers (their leak check
# ends a traced program with an error of its own): they run on the plain build below.
traced='*Durability.*:*ChangeDuringRun.*'
filter="Faults/*:*Faults.*:FaultRun.*:*WriteFailure*:*HugeInput*:ReplacementFile*:*RefusedTargets*:$edges"
CODESHIFT_PROGRAM="$PWD/build/asan/codeshift" CODESHIFT_FLAVOR=native \
  build/asan/tests/codeshift_e2e --gtest_filter="$filter" > "$work/faults-e2e.log" 2>&1 || true
build/asan/tests/codeshift_tests --gtest_filter="$filter" > "$work/faults-unit.log" 2>&1 || true
cp "$work/faults-e2e.log" "$work/edges-native.log"

echo "== Traced cases on the plain build" >&2
cmake --preset default > /dev/null
cmake --build --preset default -j "$jobs" > "$work/default-build.log" 2>&1 || { tail -n 40 "$work/default-build.log"; exit 1; }
CODESHIFT_PROGRAM="$PWD/build/default/codeshift" CODESHIFT_FLAVOR=native \
  build/default/tests/codeshift_e2e --gtest_filter="$traced" > "$work/traced-e2e.log" 2>&1 || true
cat "$work/traced-e2e.log" >> "$work/edges-native.log"

echo "== Faults at the edges under Wine" >&2
# The same case tables against both Windows programs, in a Wine prefix of this script's own.
wine_prefix="$PWD/build/reliability-wine-prefix"
wine64="$(ls /usr/lib/wine/wine64 2> /dev/null || command -v wine64 || true)"
wine32="$(ls /usr/lib/wine/wine 2> /dev/null || command -v wine || true)"
# A kernel without 32-bit support cannot start the 32-bit loader at all: that program is not tried.
if [ -n "$wine32" ] && ! "$wine32" --version > /dev/null 2>&1; then
  echo "!! this kernel does not start 32-bit programs: the 32-bit Windows program is not tried" >&2
  wine32_note="The 32-bit Windows program was not tried: this kernel does not start 32-bit programs."
  wine32=""
fi
if [ -n "$wine64" ]; then
  for preset in windows-x64 windows-x86; do
    cmake --preset "$preset" > /dev/null
    cmake --build --preset "$preset" -j "$jobs" > "$work/$preset-build.log" 2>&1 || true
  done
  bash tests/wine/harness.sh prefix "$wine_prefix" "$wine64" > "$work/wine-prefix.log" 2>&1 || true
  runs=("win64 $wine64 build/windows-x64/codeshift.exe")
  if [ -n "$wine32" ]; then runs+=("win32 $wine32 build/windows-x86/codeshift32.exe"); fi
  for run in "${runs[@]}"; do
    read -r flavor launcher program <<< "$run"
    # The Windows cases that hold files open or read their access rules need the file helper.
    GTEST_FILTER="$edges" CODESHIFT_HELPER="$PWD/build/asan/tests/file_helper_$flavor.exe" \
      bash tests/wine/harness.sh suite "$wine_prefix" "$launcher" "$PWD/$program" \
      "$flavor" "$PWD/build/asan/tests/codeshift_e2e" > "$work/edges-$flavor.log" 2>&1 || true
  done
  bash tests/wine/harness.sh stop "$wine_prefix" "$wine64" > /dev/null 2>&1 || true
fi

# The faults at the edges, each with the cases that try it (gtest name patterns, ":" between).
edge_themes=(
  "The C library's converter modules hidden, or few descriptors left|Converters/Edges.*"
  "A file the runner may write but does not own|Files/Owners.*"
  "A size limit (ulimit -f) on the output and the log|SizeLimits/Edges.*:Limits/WriteFailure.*"
  "A signal while the output is written|MidWrite/Signals.*"
  "A link in the log's place|InTheLogsPlace/LogLinks.*"
  "Another user's folder link along the path|InASharedFolder/FolderLinks.*"
  "The log's output size after a failed run|SizeLimits/Edges.*OverTheLimit"
  "A command line that could be read two ways|*/CommandLine.*"
  "A log option naming the run's own text or a user's file|OfTheRun/LogSlips.*"
  "ACLs, user attributes and hard links of a replaced file|OnReplacedFiles/KeptAttributes.*:HardLinks.*"
  "Messages nobody can read (stream closed, reader gone, disk full)|Linux/StreamRun.*"
  "The flushes around the commit, traced|Commits/Durability.*"
  "A stream or device as the output|*StreamTargets.*"
  "\"-\" as standard input or output|Linux/Dash.*"
  "The input changed, replaced or its folder moved while -r converts (traced)|Linux/ChangeDuringRun.*"
  "A reader of standard output that leaves mid-write|Linux/ReaderLeaves.*"
  "Standard output opened onto the input|Linux/OutputOntoInput.*"
  "Set-id bits, capabilities, inode flags and Windows attributes of a replaced file|Linux/KeptRights.*:Windows/KeptRules.*"
  "Names that would forge a log record|ForgingNames/LogCases.*"
)
# "Held": the case passed; "tried": it ran (cases that do not apply to a build are skipped).
edge_rows() {
  local theme patterns flavor log name result tried held pattern
  for entry in "${edge_themes[@]}"; do
    theme="${entry%%|*}"
    patterns="${entry#*|}"
    for flavor in native win64 win32; do
      log="$work/edges-$flavor.log"
      [ -f "$log" ] || continue
      tried=0
      held=0
      while read -r result name; do
        for pattern in ${patterns//:/ }; do
          # shellcheck disable=SC2053
          if [[ "$name" == $pattern ]]; then
            tried=$((tried + 1))
            if [ "$result" = OK ]; then held=$((held + 1)); fi
            break
          fi
        done
      done < <(sed -n 's/^\[ *\(OK\|FAILED\) *\] \([^ ,]*\).* ([0-9]* ms)$/\1 \2/p' "$log")
      if [ "$tried" -gt 0 ]; then echo "| $theme | $flavor | $tried | $held |"; fi
    done
  done
  # Runs killed around the commit, tried and held per build (scripts/commit-kills.sh).
  awk -F' *[|] *' '$3 ~ /^(native|win64|win32)$/ && $4 ~ /^[0-9]+$/ {
         printf "| Kills around the commit | %s | %s | %s |\n", $3, $4, $5 }' "$work/kills.md"
}

echo "== Kills around the commit" >&2
KILLS="${KILLS:-100}" bash scripts/commit-kills.sh build/asan > "$work/kills.md" 2>&1 || true

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
    sed -n 's/^\[ *\(OK\|FAILED\|SKIPPED\) *\] \([^ ,]*\)\(, where .*\)\{0,1\} (\([0-9]*\) ms)$/\1 \2 \4/p' \
    > "$work/faults.txt"
  echo "### Faults at the edges, tried and held (Linux program under the sanitizers; Windows programs under Wine)"
  echo
  echo "Cases held under strace run on the plain build. ${wine32_note:-}"
  echo
  echo "| Fault | Build | Tried | Held |"
  echo "|---|---|---|---|"
  edge_rows
  echo
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
  echo "### Kills around the commit (${KILLS:-100} per program; Windows programs under Wine)"
  echo
  cat "$work/kills.md"
  echo
  echo "### Fault scenarios, one by one"
  echo
  echo "| Scenario | Result | ms |"
  echo "|---|---|---|"
  while read -r result name ms; do
    echo "| $name | $result | $ms |"
  done < "$work/faults.txt"
} | tee "$out"
