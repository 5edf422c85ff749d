#!/usr/bin/env bash
# Kills runs of all three programs (SIGKILL) at random moments around the commit of their output
# and prints, as a Markdown table, how often the file being replaced then held its whole old or
# its whole new content: KILLS runs per program (100 unless set). The Windows programs run
# under Wine, in the Wine prefix of the build folder.
#   bash scripts/commit-kills.sh [BUILD]    BUILD: the build folder with the test driver and the
#                                           Linux program (build/ci unless given)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/ci}"
kills="${KILLS:-100}"
jobs="$(nproc 2>/dev/null || echo 2)"
driver="$PWD/$build/tests/codeshift_e2e"
[ -x "$driver" ] || { echo "no test driver at $driver: build $build first" >&2; exit 1; }
for preset in windows-x64 windows-x86; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$jobs" > /dev/null
done
loader() {
  if [ -x "/usr/lib/wine/$1" ]; then echo "/usr/lib/wine/$1"; else command -v "$1"; fi
}
wine64="$(loader wine64)"
wine32="$(loader wine)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

CODESHIFT_KILLS="$kills" CODESHIFT_PROGRAM="$PWD/$build/codeshift" CODESHIFT_FLAVOR=native \
  "$driver" --gtest_filter='CommitKills.*' > "$work/native.log" 2>&1 || true
prefix="$PWD/$build/wine-prefix"
harness=tests/wine/harness.sh
bash "$harness" prefix "$prefix" "$wine64" > "$work/prefix.log" 2>&1
GTEST_FILTER='CommitKills.*' CODESHIFT_KILLS="$kills" bash "$harness" suite "$prefix" "$wine64" \
  "$PWD/build/windows-x64/codeshift.exe" win64 "$driver" > "$work/win64.log" 2>&1 || true
GTEST_FILTER='CommitKills.*' CODESHIFT_KILLS="$kills" bash "$harness" suite "$prefix" "$wine32" \
  "$PWD/build/windows-x86/codeshift32.exe" win32 "$driver" > "$work/win32.log" 2>&1 || true
bash "$harness" stop "$prefix" "$wine64" > /dev/null 2>&1 || true

echo "| Program | Build | Runs killed | Held | Old content kept | New content in place | Result |"
echo "|---|---|---|---|---|---|---|"
for flavor in native win64 win32; do
  case "$flavor" in
    native) name="codeshift (Linux)" ;;
    win64) name="codeshift.exe (Wine)" ;;
    win32) name="codeshift32.exe (Wine)" ;;
  esac
  line="$(grep -m1 "^kills around the commit ($flavor)" "$work/$flavor.log" || true)"
  result="$(grep -q '^\[       OK \] CommitKills' "$work/$flavor.log" && echo ok || echo FAILED)"
  if [ -z "$line" ]; then
    echo "| $name | $flavor | - | - | - | - | did not run |"
    continue
  fi
  echo "$line" | sed -n "s/.*tried \([0-9]*\), held \([0-9]*\); the file was old \([0-9]*\) times, new \([0-9]*\) times.*/| $name | $flavor | \1 | \2 | \3 | \4 | $result |/p"
done
