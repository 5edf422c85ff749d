#!/usr/bin/env bash
# The whole comparison in one command: codeshift against iconv (glibc) and uconv (ICU) doing the
# same conversions, beside the I/O floor (codeshift_io_floor: the one read, the write of as many
# bytes through a temporary, the rename) and cp, all in one hyperfine run per route; peak memory
# from /usr/bin/time; how the cost grows with the input size; small files (bench/small_files.sh);
# the two Windows programs under Wine (bench/windows.sh); and the conversion alone, in memory, at
# every kernel level this processor runs (codeshift_route_bench). Writes bench/results.md and
# bench/results.svg.
#
#   bash bench/run.sh [--size 256M] [--runs 7] [--kinds "ascii cyrillic cjk"]
#                     [--linear-sizes "1M 16M 256M 1G"] [--no-linearity] [--no-small-files]
#                     [--no-wine] [--no-kernels] [--keep-corpus] [--dir DIR | --disk]
#
# Corpora and outputs go to a memory file system, /dev/shm/codeshift-bench (--dir names another
# folder; --disk puts them in bench/corpus/, not in git, where the disk's write-back shows in
# every figure). The corpora of the main size are kept for the next run; those made only for the
# growth check are deleted unless --keep-corpus. The commands of a route take turns: each round
# runs each of them once, in an order that moves by one every round, so that a disturbance of
# the machine falls on all of them alike.
set -euo pipefail
cd "$(dirname "$0")/.."

size=256M
runs=7
kinds="ascii cyrillic cjk"
dir=/dev/shm/codeshift-bench
kernels=1
linear_sizes="1M 16M 256M 1G"
linearity=1
small_files=1
wine=1
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --kinds) kinds="$2"; shift 2 ;;
    --linear-sizes) linear_sizes="$2"; shift 2 ;;
    --no-linearity) linearity=0; shift ;;
    --no-small-files) small_files=0; shift ;;
    --no-wine) wine=0; shift ;;
    --keep-corpus) keep=1; shift ;;
    --no-kernels) kernels=0; shift ;;
    --dir) dir="$2"; shift 2 ;;
    --disk) dir="$PWD/bench/corpus"; shift ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done

for tool in hyperfine iconv uconv /usr/bin/time python3 cmake; do
  if ! command -v "$tool" > /dev/null; then
    echo "missing $tool: run 'bash scripts/install-deps.sh' (benchmark tools: scripts/deps-bench.txt)" >&2
    exit 1
  fi
done

echo "== build"
cmake --preset bench > /dev/null
cmake --build --preset bench -j "$(nproc 2>/dev/null || echo 2)" --target codeshift codeshift_corpus \
  codeshift_io_floor codeshift_route_bench
# BENCH_PROGRAM measures another build of the program instead of the one built here.
prog="${BENCH_PROGRAM:-$PWD/build/bench/codeshift}"
gen="$PWD/build/bench/bench/codeshift_corpus"
floor="$PWD/build/bench/bench/codeshift_io_floor"

corpus="$dir"
results="$PWD/bench/corpus/results"
data="$results"
rm -rf "$corpus/out" "$data"
mkdir -p "$corpus/out" "$data"
# Every command runs inside the corpus folder, so that the command lines stay short; the Windows
# programs (bench/windows.sh) need the relative names there, where "/" begins an option.
out=out

# id | source form | codeshift options | iconv from | iconv to | uconv from | uconv to | copy route
# The copy routes keep the form: codeshift copies the bytes and adds the mark, removes it or passes
# the text on unchanged. iconv can neither add nor remove a mark, so it converts UTF-8 to UTF-8
# keeping whatever mark the input has there.
routes=(
  "utf8-utf16le|utf8|-UTF8 -U16-|UTF-8|UTF-16LE|utf-8|utf-16le|0"
  "utf16le-utf8|utf16le|-U16 -U8-|UTF-16LE|UTF-8|utf-16le|utf-8|0"
  "utf8-utf32le|utf8|-UTF8 -U32-|UTF-8|UTF-32LE|utf-8|utf-32le|0"
  "utf16be-utf8|utf16be|-U16BE -U8-|UTF-16BE|UTF-8|utf-16be|utf-8|0"
  "cp1251-utf8|cp1251|-A1251 -U8-|CP1251|UTF-8|windows-1251|utf-8|0"
  "utf8-cp1251|utf8|-UTF8 -A1251|UTF-8|CP1251|utf-8|windows-1251|0"
  "cp1251-cp866|cp1251|-A1251 -CP866|CP1251|CP866|windows-1251|ibm-866|0"
  "utf16le-utf16be|utf16le|-U16 -U16BE-|UTF-16LE|UTF-16BE|utf-16le|utf-16be|0"
  "utf8-utf8bom|utf8|-UTF8 -UTF8|UTF-8|UTF-8|utf-8|utf-8|1"
  "utf8bom-utf8|utf8bom|-UTF8 -U8-|UTF-8|UTF-8|utf-8|utf-8|1"
  "utf8-utf8|utf8|-UTF8 -U8-|UTF-8|UTF-8|utf-8|utf-8|1"
)

forms_of() {
  case "$1" in
    cjk) echo "utf8,utf16le,utf16be" ;;
    *) echo "utf8,utf16le,utf16be,cp1251" ;;
  esac
}

make_corpus() {  # kind size
  local first="$corpus/$1-$2.utf8"
  if [ ! -e "$first" ] || [ "$(stat -c %s "$first")" != "$(numfmt --from=iec "$2")" ]; then
    echo "   generating $1 $2"
    "$gen" "$1" "$2" "$corpus" "$(forms_of "$1")"
  fi
  # The same UTF-8 text behind a mark, for the route that removes it.
  if [ ! -e "$corpus/$1-$2.utf8bom" ] || [ "$first" -nt "$corpus/$1-$2.utf8bom" ]; then
    { printf '\357\273\277'; cat "$first"; } > "$corpus/$1-$2.utf8bom"
  fi
}

# Each command writes the same output file, removed before every run; on a disk, the disk is
# settled as well, so that no command pays for another's write-back.
prepare="rm -f $out/o"
if [ "$(df --output=fstype "$corpus" | tail -1)" != tmpfs ]; then
  prepare="sh -c 'rm -f $out/o; sync'"
fi

# The size of codeshift's output for a route, which the floor then writes.
output_bytes() {  # codeshift-options input
  rm -f "$out/o"
  # shellcheck disable=SC2086
  "$prog" $1 "$2" "$out/o" > /dev/null
  stat -c %s "$out/o"
  rm -f "$out/o"
}

commands_for() {  # route-line input -> prints nothing; sets the cmd_* variables
  IFS='|' read -r id form opts ifrom ito ufrom uto copy <<< "$1"
  local in="$2"
  uconv_extra=""
  if [ "$id" = "utf8-utf8bom" ]; then uconv_extra="--add-signature "; fi
  if [ "$id" = "utf8bom-utf8" ]; then uconv_extra="--remove-signature "; fi
  cmd_codeshift="$prog $opts $in $out/o"
  cmd_floor="$floor $in $out/o $(output_bytes "$opts" "$in")"
  # The copy routes copy inside the kernel, and so does their floor.
  if [ "$copy" = 1 ]; then cmd_floor="$cmd_floor copy"; fi
  cmd_iconv="iconv -f $ifrom -t $ito $in -o $out/o"
  cmd_uconv="uconv ${uconv_extra}-f $ufrom -t $uto -o $out/o $in"
  cmd_cp="cp $in $out/o"
}

{
  echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "commit=$(git rev-parse --short HEAD)$(git diff --quiet HEAD -- src bench || echo '+changes')"
  echo "cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
  echo "cores=$(nproc)"
  echo "memory=$(free -g | awk '/Mem:/ {print $2}') GiB"
  echo "kernel=$(uname -r)"
  echo "filesystem=$(df -T "$corpus" | awk 'NR==2 {print $2}')"
  echo "place=$corpus"
  echo "iconv=$(iconv --version | head -1)"
  echo "uconv=$(uconv --version | head -1)"
  echo "hyperfine=$(hyperfine --version)"
  echo "size=$size"
  echo "runs=$runs"
  # Other work on the machine shows in every figure: the load before the run and after it.
  echo "load_before=$(cut -d' ' -f1-3 /proc/loadavg)"
} > "$data/meta.txt"

cd "$corpus"
echo "== corpora ($size)"
for kind in $kinds; do make_corpus "$kind" "$size"; done

echo "== comparison"
for kind in $kinds; do
  for line in "${routes[@]}"; do
    IFS='|' read -r id form _ <<< "$line"
    in="$kind-$size.$form"
    [ -e "$in" ] || continue
    if [ "$kind" = cjk ] && [[ "$id" == *cp1251* ]]; then continue; fi
    commands_for "$line" "$in"
    echo "-- $kind $id"
    tools=(codeshift floor iconv uconv cp)
    for round in $(seq 1 "$runs"); do
      args=()
      for i in 0 1 2 3 4; do
        tool=${tools[$(( (i + round) % 5 ))]}
        var="cmd_$tool"
        args+=(-n "$tool" "${!var}")
      done
      warm=0
      if [ "$round" = 1 ]; then warm=1; fi
      hyperfine -N --style none -w "$warm" -r 1 --prepare "$prepare" \
        --export-json "$data/$kind.$id.round$round.json" "${args[@]}" > /dev/null
    done
    stat -c %s "$in" > "$data/$kind.$id.input"
    for tool in codeshift floor iconv uconv cp; do
      var="cmd_$tool"
      rm -f "$out/o"
      /usr/bin/time -f %M -o "$data/$kind.$id.$tool.mem" ${!var}
      if [ "$tool" = codeshift ] || [ "$tool" = iconv ]; then mv "$out/o" "$out/$tool.o"; fi
    done
    # The same bytes as iconv's, the mark aside (iconv neither adds nor removes one on UTF-8 to
    # UTF-8).
    skip=0:0
    if [ "$id" = "utf8-utf8bom" ]; then skip=3:0; fi
    if [ "$id" = "utf8bom-utf8" ]; then skip=0:3; fi
    if cmp -s -i "$skip" "$out/codeshift.o" "$out/iconv.o"; then
      echo same > "$data/$kind.$id.check"
    else
      echo differs > "$data/$kind.$id.check"
    fi
    rm -f "$out/o" "$out/codeshift.o" "$out/iconv.o"
  done
done

if [ "$linearity" = 1 ]; then
  echo "== growth (cyrillic, codeshift)"
  make_corpus cyrillic 1K
  for s in $linear_sizes; do
    free_bytes=$(df -B1 --output=avail "$corpus" | tail -1)
    if [ "$free_bytes" -lt $(( $(numfmt --from=iec "$s") * 12 )) ]; then
      echo "   skipped $s: not enough room in $corpus (needs about 12 times that)" >&2
      continue
    fi
    make_corpus cyrillic "$s"
    for line in "${routes[@]}"; do
      IFS='|' read -r id form _ <<< "$line"
      in="cyrillic-$s.$form"
      commands_for "$line" "$in"
      bytes=$(stat -c %s "$in")
      # Enough runs for a stable median, fewer as the input grows.
      n=$(( bytes < 4000000 ? 60 : bytes < 64000000 ? 15 : 5 ))
      small="cyrillic-1K.$form"
      hyperfine -N --style none -w 1 -r "$n" --prepare "$prepare" \
        --export-json "$data/growth.$s.$id.json" \
        -n startup "$prog $opts $small $out/o" -n codeshift "$cmd_codeshift" \
        -n floor "$cmd_floor" > /dev/null
      echo "$bytes" > "$data/growth.$s.$id.input"
      echo "-- $s $id done"
    done
    if [ "$keep" = 0 ] && [ "$s" != "$size" ]; then
      rm -f "$corpus/cyrillic-$s".*
    fi
  done
  rm -f "$corpus"/cyrillic-1K.*
fi
rm -rf "$out"
cd - > /dev/null

if [ "$small_files" = 1 ]; then
  echo "== small files"
  bash bench/small_files.sh "$prog" "$gen" "$corpus/small" "$data" "$PWD/bench/corpus"
fi
if [ "$wine" = 1 ]; then
  echo "== Windows programs under Wine"
  bash bench/windows.sh "$corpus" "$size" "$data"
fi

if [ "$kernels" = 1 ]; then
  echo "== kernels, every level, in memory"
  "$PWD/build/bench/bench/codeshift_route_bench" --benchmark_filter='-(plain|portable)$' \
    --benchmark_min_time=0.1 --benchmark_repetitions=5 \
    --benchmark_enable_random_interleaving=true --benchmark_format=json --benchmark_out="$data/kernels.json" \
    --benchmark_out_format=json > /dev/null
fi
echo "load_after=$(cut -d' ' -f1-3 /proc/loadavg)" >> "$data/meta.txt"
echo "== report"
python3 bench/report.py "$data" bench/results.md bench/results.svg
echo "wrote bench/results.md and bench/results.svg"
