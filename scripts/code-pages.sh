#!/usr/bin/env bash
# The Linux program's code page tables, asked afresh from the Windows calls under Wine:
#   bash scripts/code-pages.sh           rewrite src/platform/posix/code_pages.txt
#   bash scripts/code-pages.sh --check   fail when a fresh run differs from that file
# Builds the asking program with the windows-x64 preset and runs it in a Wine prefix of its own
# in that build folder (made on first use, about 20 seconds).
set -euo pipefail
cd "$(dirname "$0")/.."

data=src/platform/posix/code_pages.txt
build=build/windows-x64
wine64="$(command -v /usr/lib/wine/wine64 wine64 wine 2> /dev/null | head -n 1 || true)"
if [ -z "$wine64" ]; then
  echo "code pages: no Wine (wine64), cannot ask the Windows calls"
  exit 1
fi
cmake --preset windows-x64 > /dev/null
cmake --build --preset windows-x64 --target code_page_answers > /dev/null

prefix="$PWD/$build/code-page-prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
fresh="$(mktemp)"
trap 'rm -f "$fresh"' EXIT
"$wine64" "$build/code_page_answers.exe" < /dev/null > "$fresh"
server="$(dirname "$wine64")/wineserver"
[ -x "$server" ] || server=wineserver
"$server" -w

if [ "${1:-}" = --check ]; then
  if ! cmp -s "$fresh" "$data"; then
    echo "code pages: $data differs from what the Windows calls answer now:"
    diff "$data" "$fresh" | head -n 40
    exit 1
  fi
  echo "code pages: $data is what the Windows calls answer"
else
  cp "$fresh" "$data"
  echo "code pages: wrote $data ($(grep -c '^page ' "$data") pages)"
fi
