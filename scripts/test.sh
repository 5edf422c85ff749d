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

echo "== Linux build and tests"
cmake --preset ci > /dev/null
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"
