#!/usr/bin/env bash
# The whole test suite: format check, the three builds with warnings as errors, every test.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="$(nproc 2>/dev/null || echo 2)"

echo "== format"
files=$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 2>/dev/null || true)
if [ -n "$files" ]; then
  clang-format --dry-run --Werror $files
fi

echo "== Windows builds"
for preset in windows-x64 windows-x86; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

echo "== release bundle"
bash scripts/release.sh
bundle="$(cmake -E tar tf build/release/codeshift-*-windows.zip | sort | tr '\n' ' ')"
if [ "$bundle" != "codeshift.exe codeshift32.exe readme.html " ]; then
  echo "the release bundle holds: $bundle"
  exit 1
fi

echo "== Linux build"
# Both Windows programs were just built: their checks and Wine runs must not be skipped.
cmake --preset ci -DCODESHIFT_WINDOWS_REQUIRED=ON > /dev/null
cmake --build --preset ci -j "$jobs"

echo "== install (the native program with its readme)"
installed="$(mktemp -d)"
cmake --install build/ci --prefix "$installed" > /dev/null
status=0
CODESHIFT_SHELL_TRACE="$installed/trace" "$installed/bin/codeshift" || status=$?
if [ "$status" != 20 ] || [ "$(cat "$installed/trace")" != "open $installed/bin/readme.html" ] ||
   ! cmp -s docs/readme.html "$installed/bin/readme.html"; then
  echo "the installed program does not find the readme beside it (exit code $status)"
  exit 1
fi
rm -rf "$installed"
echo "installed: bin/codeshift and bin/readme.html"

echo "== Sanitizers: unit and end-to-end tests under AddressSanitizer and UBSan"
cmake --preset asan > /dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

echo "== Fuzzing"
# A minute per target in CI; a short smoke run elsewhere unless FUZZ_SECONDS says otherwise.
if [ "${CI:-}" = "true" ]; then
  FUZZ_SECONDS="${FUZZ_SECONDS:-60}" bash scripts/fuzz.sh
else
  FUZZ_SECONDS="${FUZZ_SECONDS:-10}" bash scripts/fuzz.sh
fi

echo "== tests"
ctest --preset ci -j "$jobs"
