#!/usr/bin/env bash
# Every code page converts the same on all three programs: all 255 byte values 01 to FF to
# UTF-16LE, and every UTF-16 unit from U+0020 to U+FFFF to the page, through the Linux program
# and both Windows programs, byte for byte (exit codes too). The pages are those the encoding
# table names, and ANSI and MAC in the tests' locale. Started by harness.sh (its Wine settings):
#   same_code_pages.sh SOURCE_DIR NATIVE WIN64 WINE64 WIN32 WINE32
set -uo pipefail
src="$1"
native="$2"
windows=("$3" "$4" "$5" "$6")  # program and loader, twice
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

printf "$(printf '\\%03o' $(seq 1 255))" > bytes.in
python3 -c 'import sys; sys.stdout.buffer.write(b"".join(u.to_bytes(2, "little") for u in range(0x20, 0x10000)))' \
    > units.in
if [ "$(stat -c %s bytes.in)" != 255 ] || [ "$(stat -c %s units.in)" != 131008 ]; then
    echo "the inputs were not made"
    exit 1
fi

# The named byte code pages of the encoding table (rows with a number and a name), and the
# system's own pages.
pages="$(sed -n 's/^ *{\([0-9][0-9]*\), {WSTR("\([^"]*\)").*/\2/p' "$src/src/cmdline/name_table.h") ANSI MAC"
if [ "$(wc -w <<< "$pages")" -lt 26 ]; then
    echo "the encoding table was not read: $pages"
    exit 1
fi

# convert OUTPUT SOURCE TARGET INPUT [LOADER PROGRAM]: the output, then the exit code, in OUTPUT
convert() {
    local out="$1" source="$2" target="$3" input="$4"
    if [ $# -eq 4 ]; then
        "$native" "$source" "$target" "$input" "$out" > /dev/null 2>&1
    else
        CODESHIFT_WINE_LOADER="$5" "$here/launch.sh" "$6" "$source" "$target" "$input" "$out" \
            < /dev/null > /dev/null 2>&1
    fi
    echo "exit $?" >> "$out"
}

# A loader that cannot start its programs here (a kernel without 32-bit support) skips them.
# A loader that cannot even be executed is the machine's limit, said but not failed; a program
# that does not answer under a working loader is a failure where the programs are required.
flavors=()
skipped=""
unable=""
for i in 0 2; do
    if ! "${windows[i + 1]}" --version > /dev/null 2>&1; then
        unable="$unable $(basename "${windows[i]}")"
        continue
    fi
    convert probe.out -U8 -U16 missing.in "${windows[i + 1]}" "${windows[i]}"
    if [ "$(tail -n 1 probe.out)" = "exit 21" ]; then
        flavors+=("$i")
    else
        skipped="$skipped $(basename "${windows[i]}")"
    fi
    rm -f probe.out
done

differ=0
compared=0
for page in $pages; do
    for way in "-$page -U16- bytes.in" "-U16- -$page units.in"; do
        read -r source target input <<< "$way"
        convert native.out "$source" "$target" "$input"
        for i in "${flavors[@]}"; do
            convert windows.out "$source" "$target" "$input" "${windows[i + 1]}" "${windows[i]}"
            compared=$((compared + 1))
            if ! cmp -s native.out windows.out; then
                echo "$source $target: the Linux program and $(basename "${windows[i]}") differ:" \
                     "$(cmp native.out windows.out 2>&1 | head -n 1)"
                differ=$((differ + 1))
            fi
            rm -f windows.out
        done
        rm -f native.out
    done
done
echo "$compared comparisons over $(wc -w <<< "$pages") pages, $differ differing"
[ "$differ" = 0 ] || exit 1
[ "$compared" -gt 0 ] || exit 77
if [ -n "$unable" ]; then
    echo "SKIPPED:$unable: this system cannot execute its Wine loader (not installed, or a kernel without 32-bit support)"
fi
if [ -n "$skipped" ]; then
    echo "Wine could not start$skipped here: not compared"
    [ "${CODESHIFT_WINDOWS_REQUIRED:-0}" = 1 ] && exit 1
    exit 77
fi
