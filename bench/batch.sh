#!/usr/bin/env bash
# Many files converted in place in one command, as a user moves a folder of old Windows text to
# UTF-8: 10,000 files of Windows-1251 text (cut from the seeded Cyrillic corpus, up to 64 KiB
# each), converted to UTF-8 over themselves, in memory (/dev/shm) and on the disk, by
#  - codeshift, many names a run:
#      find … -print0 | xargs -0 -n 1000 -P "$(nproc)" codeshift -A1251 -U8- -r
#  - iconv, once per file the way a script does it, into a temporary, then mv (given the same
#    xargs -P, so the scripts run as many at a time as codeshift does);
#  - recode, which converts the files it is given in place, through the same xargs, as
#    `recode cp1251/..utf8`: the "/" says the lines end in LF, as they do here (plain
#    cp1251..utf8 expects CR LF and refuses these files);
#  - the floor (codeshift_batch_floor, bench/batch_floor.cpp): each file read, written to a
#    temporary with as many bytes as its UTF-8 form has, flushed to the disk before its rename
#    and its folder after it, where codeshift's commit flushes, and renamed; through the same
#    xargs.
# Each contender gets a fresh copy of the files before every run (and the disk is synced), in a
# folder of its own; the four take turns, one run each per round, the order moving by one every
# round, so that what else the machine does falls on all of them alike. After the last round
# every contender's files are compared with the expected UTF-8 (the floor's only counted).
#
#   bash bench/batch.sh [--runs 3] [--files 10000] [--shm DIR] [--disk DIR] [--no-build]
#
# Writes bench/corpus/batch/round<N>.<place>.json and prints a Markdown section for
# bench/results.md on standard output (progress on standard error).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

runs=3
files=10000
shm=/dev/shm/codeshift-batch
disk=/var/tmp/codeshift-batch
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --files) files="$2"; shift 2 ;;
    --shm) shm="$2"; shift 2 ;;
    --disk) disk="$2"; shift 2 ;;
    --no-build) build=0; shift ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done
for tool in hyperfine iconv recode python3 cmake; do
  if ! command -v "$tool" > /dev/null; then
    echo "missing $tool: run 'bash scripts/install-deps.sh' (benchmark tools: scripts/deps-bench.txt)" >&2
    exit 1
  fi
done

if [ "$build" = 1 ]; then
  echo "== build" >&2
  cmake --preset bench > /dev/null
  cmake --build --preset bench -j "$(nproc 2> /dev/null || echo 2)" --target codeshift \
    codeshift_corpus codeshift_batch_floor >&2
fi
prog="${BENCH_PROGRAM:-$root/build/bench/codeshift}"
gen="$root/build/bench/bench/codeshift_corpus"
floor="$root/build/bench/bench/codeshift_batch_floor"
data="$root/bench/corpus/batch"
jobs="$(nproc 2> /dev/null || echo 2)"
rm -rf "$data"
mkdir -p "$data" "$shm" "$disk"

# The files, made once and kept in memory: the contenders' copies are made from them.
set_dir="$shm/set-$files"
if [ ! -f "$set_dir/.complete" ]; then
  echo "== making $files files" >&2
  rm -rf "$set_dir"
  mkdir -p "$set_dir"
  "$gen" cyrillic 16M "$set_dir" utf8
  python3 bench/batch_files.py "$files" "$set_dir/cyrillic-16M.utf8" "$set_dir"
  rm -f "$set_dir/cyrillic-16M.utf8"
  touch "$set_dir/.complete"
fi

tools=(codeshift iconv recode floor)
# The command each contender runs over its own folder ($1), as a user would type it.
command_for() {  # tool folder
  local list="find $2 -type f -name '*.txt' -print0 | xargs -0 -n 1000 -P $jobs"
  case "$1" in
    codeshift) echo "$list $prog -A1251 -U8- -r" ;;
    iconv) echo "$list sh -c 'for f; do iconv -f CP1251 -t UTF-8 \"\$f\" > \"\$f.tmp\" && mv \"\$f.tmp\" \"\$f\"; done' sh" ;;
    recode) echo "$list recode cp1251/..utf8" ;;
    floor) echo "$list $floor" ;;
  esac
}

{
  echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "commit=$(git rev-parse --short HEAD)$(git diff --quiet HEAD -- src bench || echo '+changes')"
  echo "cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
  echo "cores=$jobs"
  echo "files=$(find "$set_dir/cp1251" -type f | wc -l)"
  echo "bytes=$(du -sb "$set_dir/cp1251" | cut -f1)"
  echo "smallest=$(find "$set_dir/cp1251" -type f -printf '%s\n' | sort -n | head -1)"
  echo "largest=$(find "$set_dir/cp1251" -type f -printf '%s\n' | sort -n | tail -1)"
  echo "iconv=$(iconv --version | head -1)"
  echo "recode=$(recode --version | head -1)"
  echo "hyperfine=$(hyperfine --version)"
  echo "runs=$runs"
  echo "load_before=$(cut -d' ' -f1-3 /proc/loadavg)"
  # What else the machine was doing: the busiest processes over a second as the run began.
  echo "beside=$(top -b -n 2 -d 1 -o %CPU -w 200 | awk '/^top -/ {n++}
    n == 2 && $1 ~ /^[0-9]+$/ && $9 + 0 >= 5 {printf "%s %s%%; ", $12, $9}')"
} > "$data/meta.txt"

for place in shm disk; do
  base="${!place}"
  echo "== $place ($base), $runs rounds" >&2
  echo "${place}_fs=$(df --output=fstype "$base" | tail -1)" >> "$data/meta.txt"
  for round in $(seq 1 "$runs"); do
    args=()
    for i in 0 1 2 3; do
      tool=${tools[$(( (i + round) % 4 ))]}
      folder="$base/$tool"
      args+=(--prepare "sh -c 'rm -rf $folder; cp -r $set_dir/cp1251 $folder; sync'"
             -n "$tool" "$(command_for "$tool" "$folder")")
    done
    hyperfine --style none -w 0 -r 1 --export-json "$data/round$round.$place.json" \
      "${args[@]}" > /dev/null
    echo "   round $round done" >&2
  done
  # The last round's files: each converted once, into the expected bytes, no temporary left.
  for tool in "${tools[@]}"; do
    left=$(find "$base/$tool" -type f ! -name '*.txt' | wc -l)
    if [ "$tool" = floor ]; then
      result=$([ "$left" = 0 ] && echo "no temporary left" || echo "$left temporaries left")
    elif diff -rq "$base/$tool" "$set_dir/utf8" > /dev/null && [ "$left" = 0 ]; then
      result="same"
    else
      result="differs"
    fi
    echo "$result" > "$data/check.$place.$tool"
  done
  rm -rf "${base:?}"/codeshift "${base:?}"/iconv "${base:?}"/recode "${base:?}"/floor
done
echo "load_after=$(cut -d' ' -f1-3 /proc/loadavg)" >> "$data/meta.txt"

python3 - "$data" << 'EOF'
import glob
import json
import statistics
import sys

data = sys.argv[1]
meta = dict(line.rstrip("\n").split("=", 1) for line in open(f"{data}/meta.txt"))
files = int(meta["files"])
tools = ["codeshift", "iconv", "recode", "floor"]
print("## Many files in one command\n")
print(f"From one run of `bash bench/batch.sh --runs {meta['runs']}` on {meta['date']} "
      f"(commit {meta['commit']}), on the shared machine ({meta['cpu']}, {meta['cores']} cores, "
      "other sessions compiling beside it: the load average was "
      f"{meta['load_before']} before and {meta['load_after']} after; processes busy over a second at "
      f"the start, by share of a core: {meta['beside'].rstrip('; ')}). Peers: {meta['iconv']}; {meta['recode']}; "
      f"{meta['hyperfine']}.\n")
print(f"{files} files of Windows-1251 text, {int(meta['smallest'])} to {int(meta['largest'])} "
      f"bytes each ({int(meta['bytes']) / 2**20:.0f} MiB in all), converted to UTF-8 in place, "
      f"every command through `find DIR -type f -name '*.txt' -print0 | xargs -0 -n 1000 -P "
      f"{meta['cores']}`: codeshift `-A1251 -U8- -r` with many names a run; iconv once per file "
      "as a script does it (`iconv -f CP1251 -t UTF-8 \"$f\" > \"$f.tmp\" && mv \"$f.tmp\" "
      "\"$f\"`); `recode cp1251/..utf8` (the \"/\": lines end in LF; `cp1251..utf8` expects CR LF and refuses these files); the floor (`codeshift_batch_floor`, `bench/batch_floor.cpp`: "
      "each file read, written to a temporary as long as its UTF-8 form, flushed to the disk "
      "before the rename and its folder after it, where codeshift's commit flushes, and "
      "renamed). Each command starts from a fresh copy of the files and a synced disk; the four "
      "take turns a round at a time, the order moving every round. Median of "
      f"{meta['runs']} rounds; ratios are of medians from the same rounds.\n")
print("| Where | codeshift | iconv per file | recode | floor | codeshift ÷ iconv (files/s) "
      "| codeshift ÷ recode | codeshift time ÷ floor | Output |")
print("|---|--:|--:|--:|--:|--:|--:|--:|---|")
verdicts = []
for place, title in (("shm", "memory (/dev/shm)"), ("disk", f"disk ({meta['disk_fs']})")):
    times = {t: [] for t in tools}
    for path in sorted(glob.glob(f"{data}/round*.{place}.json")):
        for result in json.load(open(path))["results"]:
            times[result["command"]].extend(result["times"])
    med = {t: statistics.median(times[t]) for t in tools}
    rate = {t: files / med[t] for t in tools}
    checks = {t: open(f"{data}/check.{place}.{t}").read().strip() for t in tools}
    cells = " | ".join(f"{med[t]:.2f} s ({rate[t]:.0f} files/s)" for t in tools)
    vs_iconv = rate["codeshift"] / rate["iconv"]
    vs_recode = rate["codeshift"] / rate["recode"]
    vs_floor = med["codeshift"] / med["floor"]
    out = ", ".join(f"{t} {checks[t]}" for t in tools)
    print(f"| {title} | {cells} | {vs_iconv:.1f} × | {vs_recode:.2f} × | {vs_floor:.2f} × "
          f"| {out} |")
    spread = ", ".join(f"{t} {min(times[t]):.2f}–{max(times[t]):.2f} s" for t in tools)
    verdicts.append(f"- {title}: at least 10 × iconv's files per second: {vs_iconv:.1f} × "
                    f"({'met' if vs_iconv >= 10 else 'missed'}); at least recode's: "
                    f"{vs_recode:.2f} × ({'met' if vs_recode >= 1 else 'missed'}); within 2 × the "
                    f"floor's time: {vs_floor:.2f} × ({'met' if vs_floor <= 2 else 'missed'}). "
                    f"Fastest–slowest round: {spread}.")
print("\nTargets:\n")
print("\n".join(verdicts))
EOF
