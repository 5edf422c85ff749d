#!/usr/bin/env bash
# The cost of a small file, which is what a user with many files meets most:
#  - latency: one 1 KiB file through four runs of codeshift (UTF-8 to UTF-16, CP1251 to UTF-8,
#    UTF-8 to CP1251, recognition only) and the same conversions by iconv, with /bin/true as the
#    cost of starting any program at all, all in one hyperfine run;
#  - batch: 10,000 files of 1 to 64 KiB converted from CP1251 to UTF-8 by parallel runs
#    (xargs -P, one per core), codeshift against iconv, in one hyperfine run; and once more with
#    the outputs on a disk (DISK_DIR), where codeshift's flush of each replaced file to the disk
#    before its rename costs what it costs (a memory file system has nothing to flush);
#  - flush: on the disk, codeshift alone, the same batch into new outputs (nothing to flush)
#    against the same outputs already there and against -r over copies of the inputs (each
#    replaced file flushed before its rename, its folder after it), FLUSH_ROUNDS (5) rounds in
#    which the three take turns, in an order that moves by one every round.
# Run by bench/run.sh; alone:
#   bash bench/small_files.sh PROGRAM CORPUS_GENERATOR WORK_DIR DATA_DIR [DISK_DIR]
# SMALL_PARTS="latency batch flush" (the default) picks the parts; flush needs DISK_DIR.
# Writes DATA_DIR/small.latency.json, DATA_DIR/small.batch.<route>[@disk].json,
# DATA_DIR/small.flush.round<N>.json and small.meta.txt.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
prog="$1"
gen="$2"
work="$3"
data="$4"
disk="${5:-}"
files=10000
jobs="$(nproc 2> /dev/null || echo 2)"
parts=" ${SMALL_PARTS:-latency batch flush} "
flush_rounds="${FLUSH_ROUNDS:-5}"

mkdir -p "$work" "$data"
cd "$work"

# The 1 KiB file in each form.
"$gen" cyrillic 1K . utf8,cp1251

# 10,000 pieces of a 16 MiB text, cut at character boundaries, each 1 to 64 KiB long, in UTF-8
# and in CP1251; seeded, so every run converts the same files.
if [ ! -f batch/.complete ]; then
  rm -rf batch
  "$gen" cyrillic 16M . utf8
  python3 "$here/batch_files.py" "$files" cyrillic-16M.utf8 batch
  rm -f cyrillic-16M.utf8
  (cd batch/utf8 && ls) > batch/names
  touch batch/.complete
fi
{
  echo "files=$(wc -l < batch/names)"
  echo "jobs=$jobs"
  echo "utf8_bytes=$(du -sb batch/utf8 | cut -f1)"
  echo "cp1251_bytes=$(du -sb batch/cp1251 | cut -f1)"
} > "$data/small.meta.txt"

rm -rf out
mkdir out
if [[ "$parts" == *" latency "* ]]; then
echo "-- latency, 1 KiB"
# Recognition answers through its exit code (1: UTF-8), so hyperfine must let exit codes pass;
# the conversions are checked once here instead.
"$prog" -UTF8 -U16- cyrillic-1K.utf8 out/a
"$prog" -A1251 -U8- cyrillic-1K.cp1251 out/b
"$prog" -UTF8 -A1251 cyrillic-1K.utf8 out/c
status=0
"$prog" cyrillic-1K.utf8 || status=$?
[ "$status" = 1 ] || { echo "recognition answered $status, not 1 (UTF-8)" >&2; exit 1; }
hyperfine -N -i --style basic -w 20 -r 300 --export-json "$data/small.latency.json" \
  -n "true" "/bin/true" \
  -n "codeshift utf8-utf16le" "$prog -UTF8 -U16- cyrillic-1K.utf8 out/a" \
  -n "iconv utf8-utf16le" "iconv -f UTF-8 -t UTF-16LE cyrillic-1K.utf8 -o out/a" \
  -n "codeshift cp1251-utf8" "$prog -A1251 -U8- cyrillic-1K.cp1251 out/b" \
  -n "iconv cp1251-utf8" "iconv -f CP1251 -t UTF-8 cyrillic-1K.cp1251 -o out/b" \
  -n "codeshift utf8-cp1251" "$prog -UTF8 -A1251 cyrillic-1K.utf8 out/c" \
  -n "iconv utf8-cp1251" "iconv -f UTF-8 -t CP1251 cyrillic-1K.utf8 -o out/c" \
  -n "codeshift recognise" "$prog cyrillic-1K.utf8" \
  -n "iconv recognise" "iconv -f UTF-8 -t UTF-8 cyrillic-1K.utf8 -o out/d" \
  | grep -E '^(Benchmark|  Time)' || true
fi

# One run per file, as a user's script would start them.
batch() {  # name from-folder codeshift-options iconv-from iconv-to output-folder
  local name="$1" folder="$2" opts="$3" from="$4" to="$5" o="$6"
  echo "-- batch $name, $files files"
  hyperfine --style basic -w 1 -r 3 --export-json "$data/small.batch.$name.json" \
    --prepare "sh -c 'rm -rf $o; mkdir $o; sync'" \
    -n codeshift "xargs -a batch/names -P $jobs -I{} $prog $opts batch/$folder/{} $o/{}" \
    -n iconv "xargs -a batch/names -P $jobs -I{} iconv -f $from -t $to batch/$folder/{} -o $o/{}" \
    | grep -E '^(Benchmark|  Time)' || true
  rm -rf "$o"
}
if [[ "$parts" == *" batch "* ]]; then
  batch cp1251-utf8 cp1251 "-A1251 -U8-" CP1251 UTF-8 out
  if [ -n "$disk" ]; then
    batch cp1251-utf8@disk cp1251 "-A1251 -U8-" CP1251 UTF-8 "$disk/small-out"
  fi
fi
rm -rf out

# The flush before each replacement, on the disk: every command starts from a synced disk, so
# that none pays for the write-back of another's files or of its own preparation. The outputs
# already there are the UTF-8 files the run writes anyway, as when a batch is converted again.
if [[ "$parts" == *" flush "* ]] && [ -n "$disk" ]; then
  mkdir -p "$disk"
  o="$disk/small-out"
  run="xargs -a batch/names -P $jobs -I{} $prog -A1251 -U8-"
  names=("new outputs" "outputs already there" "input replaced (-r)")
  prepares=("sh -c 'rm -rf $o; mkdir $o; sync'"
            "sh -c 'rm -rf $o; cp -r batch/utf8 $o; sync'"
            "sh -c 'rm -rf $o; cp -r batch/cp1251 $o; sync'")
  commands=("$run batch/cp1251/{} $o/{}" "$run batch/cp1251/{} $o/{}" "$run -r $o/{}")
  echo "-- flush, $files files on the disk, $flush_rounds rounds"
  rm -f "$data"/small.flush.round*.json
  for round in $(seq 1 "$flush_rounds"); do
    args=()
    for i in 0 1 2; do
      k=$(( (i + round) % 3 ))
      args+=(--prepare "${prepares[$k]}" -n "${names[$k]}" "${commands[$k]}")
    done
    hyperfine --style none -w 0 -r 1 --export-json "$data/small.flush.round$round.json" \
      "${args[@]}" > /dev/null
  done
  # Each way ends with the whole batch converted.
  cmp -s "$o/00000.txt" batch/utf8/00000.txt || { echo "flush: wrong output" >&2; exit 1; }
  rm -rf "$o"
fi
