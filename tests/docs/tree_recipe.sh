#!/usr/bin/env bash
# The README's recipe for a whole tree, run as written on 1,000 small files in nested folders:
# every output must hold the right text, and the one shared log exactly 1,000 whole records.
#   tree_recipe.sh PROGRAM README
set -euo pipefail
program="$(realpath "$1")"
readme="$2"
count=1000
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

recipe="$(awk '/<!-- recipe: tree -->/ { on = 1; next }
               on && /^```sh/ { inside = 1; next }
               inside && /^```/ { exit }
               inside' "$readme")"
[ -n "$recipe" ] || { echo "no tree recipe in $readme"; exit 1; }

# "Привет, N" in Windows-1251 and in UTF-8, in folders two levels deep, some with spaces.
mkdir -p "$work/texts-1251" "$work/expected"
for ((i = 0; i < count; ++i)); do
  folder="part $((i % 7))/$((i % 3))"
  mkdir -p "$work/texts-1251/$folder" "$work/expected/$folder"
  printf '\xcf\xf0\xe8\xe2\xe5\xf2, %d\n' "$i" > "$work/texts-1251/$folder/file $i.txt"
  printf '\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82, %d\n' "$i" > "$work/expected/$folder/file $i.txt"
done

# The user's home and the program on the path, as after installing it.
started=$SECONDS
HOME="$work" PATH="$(dirname "$program"):$PATH" bash -c "$recipe" 2> "$work/errors" ||
  { echo "the recipe failed:"; head -20 "$work/errors"; exit 1; }
[ ! -s "$work/errors" ] || { echo "messages from the runs:"; head -20 "$work/errors"; exit 1; }

diff -r "$work/expected" "$work/texts-utf8" > "$work/differences" ||
  { echo "outputs differ:"; head -20 "$work/differences"; exit 1; }

# Every record whole and in order: an empty line, the rule, the time, then the captions.
log="$work/convert.log"
[ "$(head -c 3 "$log" | od -An -tx1 | tr -d ' ')" = efbbbf ] || { echo "no mark"; exit 1; }
# (No interval expressions: Debian's awk has none.)
awk -v count="$count" '
  BEGIN { rule = "^"; for (i = 0; i < 52; ++i) rule = rule "-"
          d = "[0-9][0-9]"
          split("^$|" rule "$|^" d "-" d "-" d d " " d ":" d ":" d "$|CurrentDir: |CommandLine: " \
                "|Input  File:  \\./part |Output File:  .*/texts-utf8/\\./part " \
                "|CodePage:  A1251 ==>> UTF-8n$|Size:  1[0-9] ==>> 1[0-9]$" \
                "|Return Code:  0 \\(0x00\\)  $", shape, "|") }
  NR == 1 { sub(/^\xef\xbb\xbf/, "") }
  { line = (NR - 1) % 10 + 1
    if ($0 !~ shape[line]) { print "record " int((NR - 1) / 10) + 1 " line " line ": " $0; bad = 1 } }
  /Input  File:/ { inputs[$0] = 1 }
  END { n = 0; for (i in inputs) ++n
        if (NR != 10 * count || n != count) { print NR " lines, " n " inputs"; bad = 1 }
        exit bad }' "$log" | head -20
[ "${PIPESTATUS[0]}" = 0 ] || exit 1
echo "$count files converted with parallel runs in $((SECONDS - started)) s; $count whole records"
