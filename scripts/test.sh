#!/usr/bin/env bash
# The whole test suite: what it needs installed first, the format check, the three builds with
# warnings as errors, the installed layout and the Debian package, the sanitizer and fuzzing
# runs, and every test.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="$(nproc 2>/dev/null || echo 2)"
# Each stage's heading says how long the suite has run so far, to see where CI's time goes.
started=$(date +%s)
stage() { echo "== $1 (at $(( $(date +%s) - started )) s)"; }
version="$(sed -n 's/^project(codeshift VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"

stage "packages"
bash scripts/install-deps.sh

stage "format"
files=$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 'tools/*.cpp' 2>/dev/null || true)
if [ -n "$files" ]; then
  clang-format --dry-run --Werror $files
fi

stage "Windows builds"
for preset in windows-x64 windows-x86; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

stage "code page tables"
# The Linux program's tables are what the Windows calls answer today, asked afresh under Wine.
bash scripts/code-pages.sh --check

stage "page model"
# The page guesser's model is what its generator makes from the training packages today.
bash scripts/page-model.sh --check

stage "release archive"
bash scripts/release.sh
version="$(sed -n 's/^project(codeshift VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
archive="build/release/codeshift-$version-windows.zip"
top="codeshift-$version"
listing="$(cmake -E tar tf "$archive" | tr '\n' ' ')"
expected="$top/ $top/LICENSE.txt $top/README.txt $top/codeshift.exe $top/codeshift32.exe $top/readme.html $top/examples/ \
$top/examples/convert-folder.bat $top/examples/convert-folder.ps1 "
if [ "$listing" != "$expected" ]; then
  echo "the release archive holds: $listing"
  exit 1
fi
# Unpacked, every file is the one built or written, and every entry has the commit's time.
unpacked="$(mktemp -d)"
(cd "$unpacked" && cmake -E tar xf "$OLDPWD/$archive")
for pair in codeshift.exe:build/windows-x64/codeshift.exe codeshift32.exe:build/windows-x86/codeshift32.exe \
            readme.html:docs/readme.html LICENSE.txt:LICENSE README.txt:packaging/windows-readme.txt examples/convert-folder.bat:examples/convert-folder.bat \
            examples/convert-folder.ps1:examples/convert-folder.ps1; do
  cmp "$unpacked/$top/${pair%%:*}" "${pair#*:}" || { echo "release: ${pair%%:*} differs"; exit 1; }
done
times="$(find "$unpacked/$top" -exec stat -c %Y {} + | sort -u | tr '\n' ' ')"
if [ "$times" != "$(git log -1 --format=%ct) " ]; then
  echo "the release archive's entries are dated $times, not at the commit"
  exit 1
fi
rm -rf "$unpacked"
# The same commit packs the same bytes, whatever the time zone.
cp "$archive" "$archive.first"
TZ=XYZ-12 bash scripts/release.sh > /dev/null
cmp "$archive" "$archive.first" || { echo "the release archive is not reproducible"; exit 1; }
rm -f "$archive.first"
echo "release archive: $listing"

stage "Linux build"
# Both Windows programs were just built: their checks and Wine runs must not be skipped, unless
# the packages step could not install 32-bit Wine at all.
wine32_required=ON
if ! dpkg-query -W -f='${Status}' wine32:i386 2> /dev/null | grep -q "install ok installed"; then
  echo "!! 32-bit Wine is not installed (see the packages step): the 32-bit Windows program is" \
       "built and checked but not run here"
  wine32_required=OFF
elif ! /usr/lib/wine/wine --version > /dev/null 2>&1; then
  echo "!! 32-bit Wine is installed but this kernel does not start it (no 32-bit support): the" \
       "32-bit Windows program is built and checked but not run here"
  wine32_required=OFF
fi
cmake --preset ci -DCODESHIFT_WINDOWS_REQUIRED=ON -DCODESHIFT_WINE32_REQUIRED=$wine32_required > /dev/null
cmake --build --preset ci -j "$jobs"

stage "install (the GNU layout)"
installed="$(mktemp -d)"
cmake --install build/ci --prefix "$installed" > /dev/null
layout="$(cd "$installed" && find . -type f | sort | tr '\n' ' ')"
expected="./bin/codeshift ./share/doc/codeshift/changelog.gz ./share/doc/codeshift/copyright \
./share/doc/codeshift/readme.html ./share/lintian/overrides/codeshift ./share/man/man1/codeshift.1.gz "
if [ "$layout" != "$expected" ]; then
  echo "installed: $layout"
  exit 1
fi
status=0
CODESHIFT_SHELL_TRACE="$installed/trace" "$installed/bin/codeshift" 2> "$installed/errors" ||
  status=$?
if [ "$status" != 20 ] || [ -e "$installed/trace" ] ||
   ! grep -q "the full guide is $installed/share/doc/codeshift/readme.html;" "$installed/errors" ||
   ! cmp -s docs/readme.html "$installed/share/doc/codeshift/readme.html"; then
  echo "the installed program does not find its guide (exit code $status)"
  exit 1
fi
rm -rf "$installed"
echo "installed: $expected"

stage "Debian package"
cmake --preset release > /dev/null
cmake --build --preset release -j "$jobs"
cpack --preset deb > /dev/null
deb="build/release/codeshift_${version}_amd64.deb"
# Errors and warnings fail; tags of information only (a .comment section the stripping keeps, no
# doc-base entry for the guide) are shown.
lint="$(mktemp)"
if ! lintian --fail-on error,warning --display-info "$deb" > "$lint" 2>&1; then
  cat "$lint"
  exit 1
fi
grep -v '^running with root' "$lint" || true
rm -f "$lint"
bash scripts/check-package.sh "$deb" "$version"

stage "Sanitizers: unit and end-to-end tests under AddressSanitizer and UBSan"
cmake --preset asan > /dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

stage "Fuzzing"
# Half a minute per target in CI (the reliability figures run a minute each); a short smoke run
# elsewhere unless FUZZ_SECONDS says otherwise.
if [ "${CI:-}" = "true" ]; then
  FUZZ_SECONDS="${FUZZ_SECONDS:-30}" bash scripts/fuzz.sh
else
  FUZZ_SECONDS="${FUZZ_SECONDS:-10}" bash scripts/fuzz.sh
fi

stage "tests"
ctest --preset ci -j "$jobs"
echo "== done (at $(( $(date +%s) - started )) s)"
