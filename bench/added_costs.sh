#!/usr/bin/env bash
# What two options add to a run, each beside the same run without it:
#  - line ends: CP1251 -> UTF-8 and UTF-8 -> UTF-16LE on large ASCII and Cyrillic text, every
#    line end rewritten (-CRLF over LF lines, -LF over CR LF lines) beside the same text with
#    its line ends kept;
#  - the page guess: a 1 KiB Windows-1251 file converted to UTF-8 with its source guessed (-T)
#    beside the same file with its source named (-A1251).
# Then the in-memory figures: the "lineends/" rows of codeshift_route_bench and
# codeshift_guess_bench (the guesser on large texts), and the size of the guesser's model in the
# program. Prints Markdown for bench/results.md.
#
#   bash bench/added_costs.sh [--size 64M] [--runs 100] [--dir DIR] [--no-build]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
size=64M
# The system's part of a 64 MiB run in memory moves by some 6% from run to run, and this machine
# has a slow mode in which the same run takes a third longer, for stretches of a few runs: the
# four runs of a row take turns, a round at a time in an order drawn for each round, so that a
# change of sitting falls on all of them. With 30 rounds a row's cost still moved between -21% and
# +35% from one run of the script to the next. With 100 rounds in an order drawn for each round,
# two runs put every row between -4% and +5%.
runs=100
dir=/dev/shm/codeshift-costs
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --dir) dir="$2"; shift 2 ;;
    --no-build) build=0; shift ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done
if [ "$build" = 1 ]; then
  cmake --preset bench > /dev/null
  cmake --build --preset bench -j "$(nproc 2> /dev/null || echo 2)" --target codeshift \
    codeshift_corpus codeshift_route_bench codeshift_guess_bench >&2
fi
prog="${BENCH_PROGRAM:-$root/build/bench/codeshift}"
bin="$root/build/bench/bench"
data="$root/bench/corpus/costs"
rm -rf "$data"
mkdir -p "$data" "$dir"
cd "$dir"
for kind in ascii cyrillic; do
  "$bin/codeshift_corpus" "$kind" "$size" . utf8,cp1251
  for form in utf8 cp1251; do
    sed 's/$/\r/' "$kind-$size.$form" > "$kind-$size.crlf.$form"
  done
done
"$bin/codeshift_corpus" cyrillic 1K . cp1251

# The order in which round $1 takes its $2 commands (0 to $2 - 1), drawn afresh each round from a
# seed of its own. On this machine a slow run and a fast one often take turns: with an order that
# only moved by one each round, the slow runs fell on every other command for a stretch of
# rounds, and a row's cost came out between -9% and +31%.
turns() {
  local -a order
  local i j t
  for ((i = 0; i < $2; i++)); do order[i]=$i; done
  RANDOM=$1
  for ((i = $2 - 1; i > 0; i--)); do
    j=$((RANDOM % (i + 1)))
    t=${order[i]}
    order[i]=${order[j]}
    order[j]=$t
  done
  echo "${order[@]}"
}

# Runs the commands given as name and command pairs for $runs rounds, each round in an order of
# its own (turns): `each` runs of every command a round, after `warm` runs of each in the first.
# Each round's times go to PREFIX.roundN.json.
take_turns() {
  local prefix=$1 warm=$2 each=$3
  shift 3
  local -a pairs=("$@") args
  local round j
  for round in $(seq 1 "$runs"); do
    args=()
    for j in $(turns "$round" $(($# / 2))); do
      args+=(-n "${pairs[2 * j]}" "${pairs[2 * j + 1]}")
    done
    hyperfine -N --style none -w "$warm" -r "$each" --prepare "rm -f o" \
      --export-json "$prefix.round$round.json" "${args[@]}" > /dev/null
    warm=0
  done
}

echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')" > "$data/meta.txt"
echo "commit=$(git -C "$root" rev-parse --short HEAD)" >> "$data/meta.txt"
echo "load_before=$(cut -d' ' -f1-3 /proc/loadavg)" >> "$data/meta.txt"
for kind in ascii cyrillic; do
  for route in "cp1251|-A1251 -U8-" "utf8|-UTF8 -U16-"; do
    IFS='|' read -r form opts <<< "$route"
    echo "-- line ends, $kind, $opts" >&2
    take_turns "$data/lineends.$kind.$form" 2 1 \
      "lf kept" "$prog $opts $kind-$size.$form o" \
      "lf to crlf" "$prog $opts -CRLF $kind-$size.$form o" \
      "crlf kept" "$prog $opts $kind-$size.crlf.$form o" \
      "crlf to lf" "$prog $opts -LF $kind-$size.crlf.$form o"
  done
done
echo "-- guess, 1 KiB" >&2
# A 1 KiB run takes a few milliseconds: 300 of one command, then 300 of the other, fell on
# different sittings often enough to move the cost by ten points. They take turns as well.
take_turns "$data/guess" 20 3 \
  named "$prog -A1251 -U8- cyrillic-1K.cp1251 o" \
  guessed "$prog -T -U8- cyrillic-1K.cp1251 o"
"$prog" -A1251 -U8- cyrillic-1K.cp1251 o1 2> /dev/null
"$prog" -T -U8- cyrillic-1K.cp1251 o2 2> /dev/null
cmp -s o1 o2 || { echo "the guessed source read the file otherwise" >&2; exit 1; }
rm -f o1 o2
echo "load_after=$(cut -d' ' -f1-3 /proc/loadavg)" >> "$data/meta.txt"
echo "-- in memory" >&2
"$bin/codeshift_route_bench" --benchmark_filter='^lineends/' --benchmark_min_time=0.2 \
  --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
  --benchmark_out="$data/lineends.memory.json" --benchmark_out_format=json > /dev/null
"$bin/codeshift_guess_bench" --benchmark_min_time=0.2 --benchmark_repetitions=5 \
  --benchmark_out="$data/guess.memory.json" --benchmark_out_format=json > /dev/null
{
  echo "program_bytes=$(stat -c %s "$prog")"
  model=$(nm -S "$root/build/bench/CMakeFiles/codeshift_core.dir/src/input/guess_page.cpp.o" |
    awk '/kPageModel/ {print $2; exit}')
  echo "model_bytes=$(( 16#$model ))"
  echo "model_file_bytes=$(stat -c %s "$root/src/input/page_model.bin")"
  echo "guesser_text_bytes=$(size -A "$root/build/bench/CMakeFiles/codeshift_core.dir/src/input/guess_page.cpp.o" | awk '$1 ~ /^\.(text|rodata)/ {s += $2} END {print s}')"
} >> "$data/meta.txt"
rm -f o
cd "$root"
python3 bench/added_costs_report.py "$data" "$size"
