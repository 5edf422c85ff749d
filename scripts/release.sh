#!/usr/bin/env bash
# Builds both Windows programs and packs the release bundle:
#   build/release/codeshift-<version>-windows.zip  with codeshift.exe, codeshift32.exe, readme.html
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="$(nproc 2>/dev/null || echo 2)"
version="$(sed -n 's/^project(codeshift VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || { echo "no version in CMakeLists.txt"; exit 1; }

for preset in windows-x64 windows-x86; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

name="codeshift-$version-windows"
stage="build/release/$name"
rm -rf "$stage" "build/release/$name.zip"
mkdir -p "$stage"
cp build/windows-x64/codeshift.exe build/windows-x86/codeshift32.exe docs/readme.html "$stage/"
# A fixed time stamp: the same programs always give the same archive.
(cd "$stage" && cmake -E tar cf "../$name.zip" --format=zip --mtime="2000-01-01 00:00:00 UTC" \
  codeshift.exe codeshift32.exe readme.html)
echo "release bundle: build/release/$name.zip"
