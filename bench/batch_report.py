"""Turns the measurements of bench/batch.sh into a Markdown section for bench/results.md, on
standard output: the median time and files per second of each command in memory and on the
disk, the ratios the targets name, and whether each command's files came out right.

    python3 bench/batch_report.py DATA_DIR
"""
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
      f"(commit {meta['commit']}), on the shared machine ({meta['cpu']}, {meta['cores']} cores; "
      "the load average was "
      f"{meta['load_before']} before and {meta.get('load_after', '?')} after; processes busy over a second at "
      f"the start, by share of a core: {meta['beside'].rstrip('; ') or 'none'}). Peers: {meta['iconv']}; {meta['recode']}; "
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
      "take turns a round at a time, the order moving every round. Medians of the rounds (their "
      "number is in the table); ratios are of medians from the same rounds.\n")
print("| Where | Rounds | codeshift | iconv per file | recode | floor | codeshift ÷ iconv (files/s) "
      "| codeshift ÷ recode | codeshift time ÷ floor | Output |")
print("|---|--:|--:|--:|--:|--:|--:|--:|--:|---|")
verdicts = []
for place, title in (("shm", "memory (/dev/shm)"), ("disk", f"disk ({meta['disk_fs']})")):
    times = {t: [] for t in tools}
    paths = sorted(glob.glob(f"{data}/round*.{place}.json"))
    for path in paths:
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
    print(f"| {title} | {len(paths)} | {cells} | {vs_iconv:.1f} × | {vs_recode:.2f} × | {vs_floor:.2f} × "
          f"| {out} |")
    spread = ", ".join(f"{t} {min(times[t]):.2f}–{max(times[t]):.2f} s" for t in tools)
    verdicts.append(f"- {title}: at least 10 × iconv's files per second: {vs_iconv:.1f} × "
                    f"({'met' if vs_iconv >= 10 else 'missed'}); at least recode's: "
                    f"{vs_recode:.2f} × ({'met' if vs_recode >= 1 else 'missed'}); within 2 × the "
                    f"floor's time: {vs_floor:.2f} × ({'met' if vs_floor <= 2 else 'missed'}). "
                    f"Fastest–slowest round: {spread}.")
print("\nTargets:\n")
print("\n".join(verdicts))
