#!/usr/bin/env bash
# The two Windows programs under Wine on the benchmark's mixed Cyrillic corpus: codeshift.exe
# (x86-64, the vector kernels) against codeshift32.exe (32-bit, the portable kernels), each route
# in one hyperfine run. Wine adds its own start-up and file layer, so only the ratio between the
# two programs says something; the Linux figures stay the reference.
# Run by bench/run.sh; alone:
#   bash bench/windows.sh CORPUS_DIR SIZE DATA_DIR
# Builds both programs (presets windows-x64, windows-x86) and uses the Wine prefix of the tests
# (tests/wine/harness.sh), made in build/bench/wine-prefix. Writes DATA_DIR/wine.<route>.json.
set -euo pipefail
cd "$(dirname "$0")/.."
corpus="$1"
size="$2"
data="$3"
runs=3
mkdir -p "$data"

# Debian keeps the two loaders out of PATH; elsewhere one `wine` may run both kinds.
wine64="$(command -v /usr/lib/wine/wine64 wine64 wine | head -1 || true)"
# Debian's `wine` in PATH only points to the 32-bit package when that is missing.
if [ -x /usr/lib/wine/wine64 ]; then
  wine32="$(command -v /usr/lib/wine/wine || true)"
else
  wine32="$(command -v wine || true)"
fi
if [ -z "$wine64" ] || [ -z "$wine32" ]; then
  echo "no Wine for both programs (32-bit Wine missing?): the Windows programs are not measured" >&2
  exit 0
fi
for compiler in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix; do
  if ! command -v "$compiler" > /dev/null; then
    echo "no $compiler: the Windows programs are not measured (scripts/deps-test.txt)" >&2
    exit 0
  fi
done
for preset in windows-x64 windows-x86; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$(nproc 2> /dev/null || echo 2)" --target codeshift > /dev/null
done
x64="$PWD/build/windows-x64/codeshift.exe"
x86="$PWD/build/windows-x86/codeshift32.exe"

prefix="$PWD/build/bench/wine-prefix"
harness="$PWD/tests/wine/harness.sh"
bash "$harness" prefix "$prefix" "$wine64" > /dev/null 2>&1
trap 'bash "$harness" stop "$prefix" "$wine64" > /dev/null 2>&1' EXIT
# The environment the tests give the Windows programs: no display, no debug output. It is set
# on each command only: the harness's stop step ends every process that names the prefix in
# its environment, and this script must not be one of them.
fixed=0
if setarch -R true 2> /dev/null; then fixed=1; fi
wine_env="env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 WINEPREFIX=$prefix WINEDEBUG=-all"
wine_env="$wine_env WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d"
wine_env="$wine_env CODESHIFT_WINE_FIXED_LAYOUT=$fixed"
launch="$PWD/tests/wine/launch.sh"
run64="$wine_env CODESHIFT_WINE_LOADER=$wine64 $launch $x64"
run32="$wine_env CODESHIFT_WINE_LOADER=$wine32 $launch $x86"

# id | source form | options (the Windows programs take the Linux program's options)
routes=(
  "utf8-utf16le|utf8|-UTF8 -U16-"
  "utf16le-utf8|utf16le|-U16 -U8-"
  "utf8-utf32le|utf8|-UTF8 -U32-"
  "utf16be-utf8|utf16be|-U16BE -U8-"
  "cp1251-utf8|cp1251|-A1251 -U8-"
  "utf8-cp1251|utf8|-UTF8 -A1251"
  "cp1251-cp866|cp1251|-A1251 -CP866"
  "utf16le-utf16be|utf16le|-U16 -U16BE-"
  "utf8-utf8bom|utf8|-UTF8 -UTF8"
)

cd "$corpus"
mkdir -p out
for line in "${routes[@]}"; do
  IFS='|' read -r id form opts <<< "$line"
  in="cyrillic-$size.$form"
  [ -e "$in" ] || continue
  echo "-- wine $id"
  # Relative names: on Windows "/" begins an option.
  hyperfine -N --style basic -w 1 -r "$runs" --prepare "sh -c 'rm -f out/w; sync'" \
    --export-json "$data/wine.$id.json" \
    -n codeshift "$run64 $opts $in out/w" -n codeshift32 "$run32 $opts $in out/w" \
    | grep -E '^(Benchmark|  Time)' || true
  echo "$(stat -c %s "$in")" > "$data/wine.$id.input"
done
rm -rf out
