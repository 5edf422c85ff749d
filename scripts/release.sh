#!/usr/bin/env bash
# Builds both Windows programs and packs the release:
#   build/release/codeshift-<version>-windows.zip, holding one folder codeshift-<version>/ with
#   LICENSE.txt, README.txt (what the programs are, how to call them, how to see their messages),
#   codeshift.exe, codeshift32.exe, readme.html and examples/ (a batch file and a
#   PowerShell script that convert a folder and act on the exit code).
# Every entry carries the time of the commit being built, so that the same commit always gives
# the same archive.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="$(nproc 2>/dev/null || echo 2)"
version="$(sed -n 's/^project(codeshift VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || { echo "no version in CMakeLists.txt"; exit 1; }
stamp="$(git log -1 --format=%ct)"

for preset in windows-x64 windows-x86; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

folder="codeshift-$version"
archive="build/release/codeshift-$version-windows.zip"
mkdir -p build/release
rm -f "$archive"
# Python's zipfile writes exactly what is asked: the entries in this order, each with the
# commit's time (as the zip's local time and, exactly, as UTC in a timestamp field) and fixed
# permissions, and nothing of the machine that packs them (owner, access times).
python3 - "$archive" "$stamp" "$folder" <<'PACK'
import struct, sys, time, zipfile

archive, stamp, folder = sys.argv[1], int(sys.argv[2]), sys.argv[3]
entries = [
    (folder + "/", None, 0o755),
    (folder + "/LICENSE.txt", "LICENSE", 0o644),
    (folder + "/README.txt", "packaging/windows-readme.txt", 0o644),
    (folder + "/codeshift.exe", "build/windows-x64/codeshift.exe", 0o755),
    (folder + "/codeshift32.exe", "build/windows-x86/codeshift32.exe", 0o755),
    (folder + "/readme.html", "docs/readme.html", 0o644),
    (folder + "/examples/", None, 0o755),
    (folder + "/examples/convert-folder.bat", "examples/convert-folder.bat", 0o644),
    (folder + "/examples/convert-folder.ps1", "examples/convert-folder.ps1", 0o644),
]
with zipfile.ZipFile(archive, "w") as zip:
    for name, source, mode in entries:
        info = zipfile.ZipInfo(name, time.gmtime(stamp)[:6])
        info.create_system = 3  # the permissions below are Unix ones
        info.extra = struct.pack("<HHBl", 0x5455, 5, 1, stamp)
        if source is None:
            info.external_attr = (0o040000 | mode) << 16 | 0x10
            zip.writestr(info, b"")
        else:
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(source, "rb") as f:
                zip.writestr(info, f.read())
PACK
echo "release: $archive"
