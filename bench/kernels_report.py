"""Turns the rounds of bench/kernels.sh into the Markdown section of bench/results.md on the
conversion alone at every kernel level, with its targets:
    python3 bench/kernels_report.py DATA_DIR
The widest level must reach the rates below; the AVX2 level, which processors without AVX-512
run, must be as fast as SSE2 on ASCII and as SSSE3 on every other text; and, with a base build
measured in the same rounds, no route and text at the widest level may be slower than the base.
"""
import collections
import glob
import json
import os
import statistics
import sys

from report import NAMES, kernel_row_order

# GB/s of input at the widest level; every route and text not named here, KERNEL_OTHERS.
KERNEL_TARGETS = {("utf16le-utf8", "cyrillic"): 13.5, ("utf16le-utf8", "cjk"): 6.8,
                  ("utf16le-utf8", "ascii"): 44, ("utf8-utf16le", "ascii"): 27,
                  ("utf8-utf16le", "cyrillic"): 4, ("utf8-utf16le", "cjk"): 4}
KERNEL_OTHERS = 2
LEVELS = ["sse2", "ssse3", "avx2", "avx512"]
# Below this share of the base's rate a pair counts as slower: the medians of one sitting still
# move by a few percent between rounds, and identical kernels measured apart by up to a
# quarter on a busy machine.
SLOWER = 0.95


def rates(paths):
    """(route, kind) -> level -> median GB/s over every repetition of every round."""
    seen = collections.defaultdict(lambda: collections.defaultdict(list))
    for path in paths:
        with open(path, encoding="utf-8") as f:
            for b in json.load(f)["benchmarks"]:
                if b.get("run_type", "iteration") != "iteration":
                    continue
                route, kind, level = b["name"].split("/")[:3]
                seen[(route, kind)][level].append(b["bytes_per_second"] / 1e9)
    return {key: {level: statistics.median(v) for level, v in per.items()}
            for key, per in seen.items()}


def main():
    data = sys.argv[1]
    meta = dict(line.split("=", 1) for line in open(os.path.join(data, "meta.txt")).read().split("\n") if line)
    new = rates(sorted(glob.glob(os.path.join(data, "new.*.json"))))
    base_paths = sorted(glob.glob(os.path.join(data, "base.*.json")))
    base = rates(base_paths) if base_paths else {}
    levels = [level for level in LEVELS if any(level in per for per in new.values())]
    widest = levels[-1]
    rounds = len(glob.glob(os.path.join(data, "new.*.json")))
    out = ["## The conversion alone, at every kernel level\n",
           f"From one run of `bash bench/kernels.sh` on {meta['date']} (commit {meta['commit']}; "
           f"load average {meta['load_before']} before, {meta['load_after']} after). "
           "`codeshift_route_bench`: the conversion of a 4 MiB text in memory, without the files, "
           "in GB/s of input per CPU second, the median over "
           f"{rounds} rounds, each of every benchmark several times in turns. The program uses "
           f"the widest level ({widest}); the target is for that level. AVX2 is compared with "
           "SSE2 on ASCII and with SSSE3 on the other texts."
           + (f" The base, `{os.path.basename(meta['base'])}`, ran in the same rounds, in turns "
              "with this build." if base else "") + "\n"]
    head = "| Route | Text | " + " | ".join(levels) + " | Target | | AVX2 |"
    rule = "|---|---|" + "--:|" * len(levels) + "--:|---|---|"
    if base:
        head += f" base {widest} | ratio | base avx2 | ratio |"
        rule += "--:|--:|--:|--:|"
    out += [head, rule]
    misses = []
    for (route, kind), per in sorted(new.items(), key=kernel_row_order):
        name = f"{NAMES.get(route, route)}, {kind}"
        target = KERNEL_TARGETS.get((route, kind), KERNEL_OTHERS)
        met = per.get(widest, 0) >= target
        if not met:
            misses.append(f"{name} at {widest}: {per.get(widest, 0):.2f} < {target}")
        peer = "sse2" if kind == "ascii" else "ssse3"
        avx2 = "–"
        if "avx2" in per and peer in per:
            ok = per["avx2"] >= per[peer]
            avx2 = f"{per['avx2'] / per[peer]:.2f}× {peer}" + ("" if ok else " **behind**")
            if not ok:
                misses.append(f"{name}: avx2 {per['avx2']:.2f} < {peer} {per[peer]:.2f}")
        cells = " | ".join(f"{per[level]:.2f}" if level in per else "–" for level in levels)
        row = f"| {NAMES.get(route, route)} | {kind} | {cells} | {target} | " \
              f"{'met' if met else '**missed**'} | {avx2} |"
        if base:
            was = base.get((route, kind), {})
            for level in (widest, "avx2"):
                if level in was and level in per:
                    ratio = per[level] / was[level]
                    row += f" {was[level]:.2f} | {ratio:.2f}{'' if ratio >= SLOWER else ' **slower**'} |"
                    if ratio < SLOWER:
                        misses.append(f"{name} at {level}: {ratio:.2f} of the base")
                else:
                    row += " – | – |"
        out.append(row)
    out.append("")
    out.append("Targets: " + ("every one met." if not misses else "missed: " + "; ".join(misses) + "."))
    out.append("")
    print("\n".join(out))


if __name__ == "__main__":
    main()
