#!/usr/bin/env python3
"""Turns the measurements of bench/run.sh into bench/results.md and an SVG bar chart.

    python3 bench/report.py DATA_DIR RESULTS_MD RESULTS_SVG

Everything in the tables comes from the files in DATA_DIR. A section headed "## Notes" in an
existing RESULTS_MD is kept when it names the date of this run (as "from one run on <date>"): it
holds what the numbers alone do not say, and notes written for another run would quote figures
the tables no longer show.
"""
import glob
import json
import os
import statistics
import sys

ROUTES = [
    ("utf8-utf16le", "UTF-8 → UTF-16LE", False),
    ("utf16le-utf8", "UTF-16LE → UTF-8", False),
    ("utf8-utf32le", "UTF-8 → UTF-32LE", False),
    ("utf16be-utf8", "UTF-16BE → UTF-8", False),
    ("cp1251-utf8", "CP1251 → UTF-8", False),
    ("utf8-cp1251", "UTF-8 → CP1251", False),
    ("cp1251-cp866", "CP1251 → CP866", False),
    ("utf16le-utf16be", "UTF-16LE → UTF-16BE", False),
    ("utf8-utf8bom", "UTF-8 → UTF-8 (mark added)", True),
    ("utf8bom-utf8", "UTF-8 → UTF-8 (mark removed)", True),
    ("utf8-utf8", "UTF-8 → UTF-8 (unchanged)", True),
]
NAMES = {rid: name for rid, name, _ in ROUTES}
IS_COPY = {rid: copy for rid, _, copy in ROUTES}
KINDS = [
    ("ascii", "Plain English (ASCII)"),
    ("cyrillic", "Mixed Cyrillic and English"),
    ("cjk", "Mixed CJK and English"),
]
TOOLS = ["codeshift", "floor", "iconv", "uconv", "cp"]
COLOURS = {"codeshift": "#d9480f", "floor": "#5f3dc4", "iconv": "#1971c2", "uconv": "#2f9e44",
           "cp": "#868e96"}
MIB = 1024 * 1024
# The targets.
FLOOR_LIMIT = 1.15  # converting routes: time over the I/O floor's
ICONV_LIMIT = 0.5  # converting routes: time over iconv's
CP_LIMIT = 1.1  # copy routes: time over cp's
SMALL_ICONV_LIMIT = 0.65  # a 1 KiB run: time over iconv's
SMALL_OVER_TRUE = 0.0002  # a 1 KiB run: seconds beyond starting an empty program
BATCH_ICONV_LIMIT = 1.4  # the batch of small files: files per second over iconv's


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read().strip()


def medians(path, key="median"):
    with open(path, encoding="utf-8") as f:
        results = json.load(f)["results"]
    return {r["command"]: r[key] for r in results}


# A floor whose runs spread wider than this (interquartile range over median) was disturbed:
# its row is left out of the tables.


def quartiles(values):
    q = statistics.quantiles(values, n=4, method="inclusive") if len(values) > 1 else values * 3
    return q[0], q[2]


def rounds(base):
    """The runs of every command of one route, from the rounds that took turns (or one file)."""
    paths = sorted(glob.glob(base + ".round*.json")) or [base + ".json"]
    times, user = {}, {}
    for path in paths:
        with open(path, encoding="utf-8") as f:
            for r in json.load(f)["results"]:
                times.setdefault(r["command"], []).extend(r["times"])
                user.setdefault(r["command"], []).extend(r.get("user_times") or [r["user"]])
    spread = {}
    for tool, t in times.items():
        q1, q3 = quartiles(t)
        spread[tool] = q3 - q1
    return {
        "median": {tool: statistics.median(t) for tool, t in times.items()},
        "best": {tool: min(t) for tool, t in times.items()},
        "user": {tool: statistics.mean(u) for tool, u in user.items()},
        "spread": spread,
        "count": min(len(t) for t in times.values()),
        "times": times,
    }


def peak_kib(path):
    # /usr/bin/time -f %M writes the figure on the last line.
    return int(read(path).splitlines()[-1])


def load(data):
    meta = dict(line.split("=", 1) for line in read(os.path.join(data, "meta.txt")).splitlines())
    runs = {}
    for kind, _ in KINDS:
        for rid, _, _ in ROUTES:
            base = os.path.join(data, f"{kind}.{rid}")
            if not os.path.exists(base + ".input"):
                continue
            runs[(kind, rid)] = {
                **rounds(base),
                "input": int(read(base + ".input")),
                "peak": {t: peak_kib(f"{base}.{t}.mem") for t in TOOLS},
                "check": read(base + ".check"),
            }
    growth = {}
    for name in os.listdir(data):
        if name.startswith("growth.") and name.endswith(".json"):
            _, size, rid, _ = name.split(".")
            m = medians(os.path.join(data, name))
            bytes_in = int(read(os.path.join(data, f"growth.{size}.{rid}.input")))
            # Throughput beyond process start-up: the start-up is the same run on 1 KiB. Where
            # the run took no longer than the start-up (noise on a small input), there is none.
            work = m["codeshift"] - m["startup"]
            growth.setdefault(rid, {})[size] = {
                "mbps": bytes_in / work / 1e6 if work > 0 else None,
                "median": m["codeshift"],
                "floor": m.get("floor"),
                "startup": m["startup"],
                "input": bytes_in,
            }
    small = {}
    latency = os.path.join(data, "small.latency.json")
    if os.path.exists(latency):
        small["latency"] = medians(latency)
        small["meta"] = dict(line.split("=", 1)
                             for line in read(os.path.join(data, "small.meta.txt")).splitlines())
        small["batch"] = {}
        for name in sorted(os.listdir(data)):
            if name.startswith("small.batch.") and name.endswith(".json"):
                small["batch"][name[len("small.batch."):-len(".json")]] = medians(
                    os.path.join(data, name))
    if glob.glob(os.path.join(data, "small.flush.round*.json")):
        small["flush"] = rounds(os.path.join(data, "small.flush"))
        small["flush"]["files"] = read(os.path.join(data, "small.meta.txt"))
    wine = {}
    for rid, _, _ in ROUTES:
        path = os.path.join(data, f"wine.{rid}.json")
        if os.path.exists(path):
            wine[rid] = {"median": medians(path),
                         "input": int(read(os.path.join(data, f"wine.{rid}.input")))}
    kernels = {}
    path = os.path.join(data, "kernels.json")
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            rates = {}
            for b in json.load(f)["benchmarks"]:
                if b.get("run_type", "iteration") != "iteration":
                    continue
                route, kind, level = b["name"].split("/")[:3]
                rates.setdefault((route, kind), {}).setdefault(level, []).append(
                    b["bytes_per_second"] / 1e9)
            # A level's figure is the median of its repetitions, which took turns with those of
            # every other benchmark: a 4 MiB text lives in the cache the machine shares, and one
            # repetition here ranged up to a third away from the next.
            for key, per in rates.items():
                kernels[key] = {level: statistics.median(v) for level, v in per.items()}
            meta["kernel_repetitions"] = min(len(v) for per in rates.values() for v in per.values())
    return meta, runs, growth, small, wine, kernels


def unsteady(r):
    """Whether the floor's runs spread wider than the distance between codeshift and the floor:
    the row then cannot say which of the two took longer, so it is left out of the comparison
    with the floor (the peers, many times slower, are still compared)."""
    return r["spread"]["floor"] > abs(r["median"]["codeshift"] - r["median"]["floor"])


def floor_beaten(r):
    """Whether codeshift ran faster than the floor by more than the two spreads together: the
    floor would then not be the least any run needs, and is measured wrong."""
    m, sp = r["median"], r["spread"]
    return m["codeshift"] < m["floor"] - sp["floor"] - sp["codeshift"]


# Kernel throughput targets, GB/s per CPU second at the best level: the two UTF-8 / UTF-16 routes
# on each corpus, every other route.
KERNEL_TARGETS = {("utf8-utf16le", "ascii"): 12, ("utf16le-utf8", "ascii"): 12,
                  ("utf8-utf16le", "cyrillic"): 4, ("utf16le-utf8", "cyrillic"): 4,
                  ("utf8-utf16le", "cjk"): 4, ("utf16le-utf8", "cjk"): 4}
KERNEL_TARGET_OTHERS = 2


def size_key(size):
    scale = {"K": 1, "M": 1024, "G": 1024 * 1024}
    return int(size[:-1]) * scale[size[-1]]


def ms(seconds):
    return f"{seconds * 1000:.0f} ms" if seconds >= 0.1 else f"{seconds * 1000:.1f} ms"


def verdict(ok):
    return "met" if ok else "**missed**"


def worst_of(items):
    """The largest (ratio, label) pair, or None."""
    items = list(items)
    return max(items) if items else None


def conversion_cpu(r):
    """The process time codeshift spends beyond the floor's: what converting the text costs."""
    return max(r["user"]["codeshift"] - r["user"]["floor"], 0.0)


def targets(meta, runs, growth, small, kernels):
    rows = []
    converting = [(k, rid, r) for (k, rid), r in runs.items() if not IS_COPY[rid]]
    copies = [(k, rid, r) for (k, rid), r in runs.items() if IS_COPY[rid]]
    worst = worst_of((r["median"]["codeshift"] / r["median"]["floor"],
                      f"{NAMES[rid]}, {k}; {ms(conversion_cpu(r))} of CPU converting")
                     for k, rid, r in converting if not unsteady(r))
    if worst:
        rows.append((f"converting routes at {meta['size']}iB: at most "
                     f"{FLOOR_LIMIT:g} × the I/O floor",
                     f"worst {worst[0]:.2f} × floor ({worst[1]})", worst[0] <= FLOOR_LIMIT))
    big = [(v["median"] / v["floor"], f"{NAMES[rid]}, cyrillic")
           for rid, sizes in growth.items() if not IS_COPY[rid]
           for size, v in sizes.items() if size == "1G" and v["floor"]]
    if big:
        worst = max(big)
        rows.append((f"converting routes at 1 GiB: at most {FLOOR_LIMIT:g} × the I/O floor",
                     f"worst {worst[0]:.2f} × floor ({worst[1]})", worst[0] <= FLOOR_LIMIT))
    worst = worst_of((r["median"]["codeshift"] / r["median"]["iconv"], f"{NAMES[rid]}, {k}")
                     for k, rid, r in converting)
    if worst:
        rows.append((f"converting routes: at most {ICONV_LIMIT:g} × iconv",
                     f"worst {worst[0]:.2f} × iconv ({worst[1]})", worst[0] <= ICONV_LIMIT))
    worst = worst_of((r["median"]["codeshift"] / r["median"]["cp"], f"{NAMES[rid]}, {k}")
                     for k, rid, r in copies)
    if worst:
        rows.append((f"copy routes: at most {CP_LIMIT:g} × cp",
                     f"worst {worst[0]:.2f} × cp ({worst[1]})", worst[0] <= CP_LIMIT))
    if "latency" in small:
        lat = small["latency"]
        worst = worst_of((lat[f"codeshift {run}"] / lat[f"iconv {run}"], SMALL_RUNS[run])
                         for run in SMALL_RUNS)
        rows.append((f"small files (1 KiB): every run at most {SMALL_ICONV_LIMIT:g} × iconv's time",
                     f"worst {worst[0]:.2f} × iconv ({worst[1]})", worst[0] <= SMALL_ICONV_LIMIT))
        worst = worst_of((lat[f"codeshift {run}"] - lat["true"], SMALL_RUNS[run])
                         for run in SMALL_RUNS)
        rows.append((f"small files (1 KiB): every run within {SMALL_OVER_TRUE * 1000:.1f} ms of "
                     "starting an empty program (`/bin/true`)",
                     f"worst {worst[0] * 1000:+.2f} ms ({worst[1]})", worst[0] <= SMALL_OVER_TRUE))
        for name, m in small["batch"].items():
            route, _, where = name.partition("@")
            where = ", outputs on the disk" if where else ""
            rows.append((f"{small['meta']['files']} files of 1 to 64 KiB ({NAMES[route]}{where}): "
                         f"at least {BATCH_ICONV_LIMIT:g} × iconv's files per second",
                         f"{m['iconv'] / m['codeshift']:.2f} × iconv's files per second",
                         m["iconv"] / m["codeshift"] >= BATCH_ICONV_LIMIT))
    if kernels:
        misses = [f"{NAMES.get(route, route)} {kind} {max(per.values()):.3f} GB/s"
                  for (route, kind), per in kernels.items()
                  if max(per.values()) < KERNEL_TARGETS.get((route, kind), KERNEL_TARGET_OTHERS)]
        rows.append(("the conversion alone, best kernel level: UTF-8 ↔ UTF-16LE at least 12 GB/s "
                     f"on ASCII and 4 GB/s on Cyrillic and CJK, every other route "
                     f"{KERNEL_TARGET_OTHERS} GB/s",
                     "every route reaches its target" if not misses else
                     "below: " + "; ".join(misses), not misses))
    worst = worst_of((r["peak"]["codeshift"] * 1024 - r["input"], f"{NAMES[rid]}, {k}")
                     for (k, rid), r in runs.items())
    if worst:
        rows.append(("peak memory at most input + 8 MiB",
                     f"worst input {worst[0] / MIB:+.1f} MiB ({worst[1]})", worst[0] <= 8 * MIB))
    if growth:
        worst = None
        for rid, sizes in growth.items():
            rates = [v["mbps"] for v in sizes.values() if v["mbps"]]
            spread = 1 - min(rates) / max(rates)
            if worst is None or spread > worst[0]:
                worst = (spread, NAMES[rid])
        rows.append(("MB/s at every input size within 25% of each other",
                     f"widest spread {worst[0] * 100:.0f}% ({worst[1]})", worst[0] <= 0.25))
    different = [f"{k} {rid}" for (k, rid), r in runs.items() if r["check"] != "same"]
    rows.append(("output the same bytes as iconv's (mark aside)",
                 "all the same" if not different else "differs: " + ", ".join(different),
                 not different))
    return rows


SMALL_RUNS = {
    "utf8-utf16le": "UTF-8 → UTF-16LE",
    "cp1251-utf8": "CP1251 → UTF-8",
    "utf8-cp1251": "UTF-8 → CP1251",
    "recognise": "recognition only (iconv: UTF-8 to UTF-8)",
}


def lead_table(meta, runs):
    """What a user reads first: each route on the mixed Cyrillic text, against the peers."""
    kind = "cyrillic" if any(k == "cyrillic" for k, _ in runs) else next(iter(runs))[0]
    title = dict(KINDS)[kind]
    out = [f"Each route on {meta['size']}iB of {title[0].lower() + title[1:]} text (as UTF-8; in "
           "the route's source form), median time; the other texts are below:\n",
           "| Route | codeshift | iconv | uconv | × faster than the faster of them |",
           "|---|--:|--:|--:|--:|"]
    for rid, name, _ in ROUTES:
        r = runs.get((kind, rid))
        if r is None:
            continue
        m = r["median"]
        out.append(f"| {name} | {ms(m['codeshift'])} | {ms(m['iconv'])} | {ms(m['uconv'])} "
                   f"| {min(m['iconv'], m['uconv']) / m['codeshift']:.1f} × |")
    out.append("")
    return out


def kernel_row_order(item):
    (route, kind), _ = item
    routes = [rid for rid, _, _ in ROUTES]
    return (routes.index(route) if route in routes else len(routes),
            ["ascii", "cyrillic", "cjk"].index(kind) if kind in ("ascii", "cyrillic", "cjk") else 3)


def kernel_section(kernels, repetitions):
    # Narrowest first, in the program's order of levels; the repetitions came in random order.
    order = ["plain", "portable", "sse2", "ssse3", "avx2", "avx512"]
    levels = sorted({level for per in kernels.values() for level in per},
                    key=lambda level: (order.index(level) if level in order else len(order), level))
    out = ["## The conversion alone, at every kernel level\n",
           "`codeshift_route_bench`: the conversion of a 4 MiB text in memory, without the files, in "
           "GB/s of input per CPU second, at each kernel level this processor runs, all in one "
           f"run: the median of {repetitions} repetitions, taken in turns with all the others. The "
           "program uses the last level. The target is for the best level.\n",
           "| Route | Text | " + " | ".join(levels) + " | Target | |",
           "|---|---|" + "--:|" * len(levels) + "--:|---|"]
    for (route, kind), per in sorted(kernels.items(), key=kernel_row_order):
        target = KERNEL_TARGETS.get((route, kind), KERNEL_TARGET_OTHERS)
        best = max(per.values())
        cells = " | ".join(f"{per[level]:.2f}" if level in per else "–" for level in levels)
        out.append(f"| {NAMES.get(route, route)} | {kind} | {cells} | {target} "
                   f"| {verdict(best >= target)} |")
    out.append("")
    return out


FLUSH_WAYS = [
    ("new outputs", "into new outputs (nothing to flush)"),
    ("outputs already there", "over the same outputs already there"),
    ("input replaced (-r)", "-r over copies of the inputs"),
]


def flush_section(flush, date):
    """What flushing each replaced file before its rename, and its folder after, costs."""
    meta = dict(line.split("=", 1) for line in flush["files"].splitlines())
    new = flush["median"]["new outputs"]
    out = ["## Replacing files: the flush before the rename\n",
           f"Run of {date}. The batch of small files again ({meta['files']} files of 1 to 64 KiB, "
           f"CP1251 → UTF-8, {meta['jobs']} runs at a time), outputs on the disk, codeshift "
           "alone in three ways that took turns, a round at a time "
           f"(`bench/small_files.sh`, median of {flush['count']} rounds). A file that replaces "
           "another reaches the disk before its rename, and its folder after it, so that a "
           "power cut leaves the old text or the new one; a new file is not waited for.\n",
           "| Outputs | Median | Fastest – slowest | Files/s | ÷ new outputs | ÷ new outputs, "
           "per round (median) |",
           "|---|--:|--:|--:|--:|--:|"]
    for key, name in FLUSH_WAYS:
        t = flush["times"][key]
        m = flush["median"][key]
        per_round = statistics.median(a / b for a, b in zip(t, flush["times"]["new outputs"]))
        out.append(f"| {name} | {m:.2f} s | {min(t):.1f} – {max(t):.1f} s | "
                   f"{int(meta['files']) / m:.0f} | {m / new:.2f} | {per_round:.2f} |")
    out.append("")
    return out


def markdown(meta, runs, growth, small, wine, kernels, notes):
    dropped = sorted(k for k, r in runs.items() if unsteady(r))
    beaten = sorted(k for k, r in runs.items() if not unsteady(r) and floor_beaten(r))
    out = []
    out.append("# Benchmark results\n")
    if runs:
        out.extend(lead_table(meta, runs))
    out.append(
        f"From one run of `bash bench/run.sh` on {meta['date']} (commit {meta['commit']}). "
        f"Machine: {meta['cpu']}, {meta['cores']} cores, {meta['memory']}, Linux "
        f"{meta['kernel']}, {meta['filesystem']} file system. Peers: {meta['iconv']}; "
        f"{meta['uconv']}; {meta['hyperfine']}. Load average (1, 5, 15 minutes) before the run "
        f"{meta.get('load_before', '?')}, after it {meta.get('load_after', '?')}.\n")
    out.append(
        f"Each input is a seeded {meta['size']}iB UTF-8 text (made by `codeshift_corpus`), in the "
        "source form of the route. Times are medians of "
        f"{meta['runs']} runs after one warm-up, with the input in the page cache and the output "
        "file removed before every run (and the disk synced, on a disk); the commands of a "
        "route take turns, one run each per round with the order moving every round, so that "
        "whatever disturbs the machine falls on all of them alike; ratios are codeshift's median "
        "over the other's, from the same rounds; the fastest of the runs is shown as well. CPU converting is codeshift's mean user time less the floor's: the time the "
        "process itself spends on the text. Peak memory is the maximum resident set size that `/usr/bin/time` reports for "
        "one more run of each command.\n")
    out.append(
        "**The I/O floor** (`codeshift_io_floor`, built from `bench/io_floor.cpp`) does only "
        "what this design must do with the files: one read of the whole input into a fresh "
        "block, the write of as many bytes as codeshift's output has through a temporary beside "
        "the target, and the rename. It converts nothing, so codeshift's time over the floor's "
        "is what the conversion adds. **cp** is shown for context only: it copies inside the "
        "kernel (`copy_file_range`) without ever bringing the bytes into the process, which no "
        "program that looks at the text can do; it is the measure only for the copy routes, "
        "which keep the form and need not look at the text either.\n")
    out.append(f"Files are in {meta['filesystem']} ({meta.get('place', '')}). A row is left out "
               "of the comparison with the floor when the floor's runs spread (interquartile "
               "range) wider than the distance between codeshift's median and the floor's: the "
               "row cannot say which of the two took longer. Its ÷ floor is shown in brackets, "
               "and it counts for no floor target; its peers' figures stand. "
               + ("Left out of the floor comparison in this run: " + ", ".join(
                   f"{NAMES[rid]} on {k}" for k, rid in dropped) + ". "
                  if dropped else "None was left out in this run. ")
               + ("**The floor was beaten** by more than the spread of both (so it is measured "
                  "wrong) in: " + ", ".join(f"{NAMES[rid]} on {k}" for k, rid in beaten) + ".\n"
                  if beaten else "codeshift never beat the floor by more than the spread of "
                  "both.\n"))
    out.append("![Throughput of each route](results.svg)\n")
    out.append("## Targets\n")
    out.append("| Target | Measured | |")
    out.append("|---|---|---|")
    for what, measured, ok in targets(meta, runs, growth, small, kernels):
        out.append(f"| {what} | {measured} | {verdict(ok)} |")
    out.append("")
    for kind, title in KINDS:
        rows = [(rid, name) for rid, name, _ in ROUTES if (kind, rid) in runs]
        if not rows:
            continue
        out.append(f"## {title}\n")
        out.append("| Route | Input | codeshift | floor | iconv | uconv | cp | ÷ floor | ÷ iconv "
                   "| ÷ uconv | ÷ cp | best, ÷ floor best | CPU converting | Peak memory "
                   "| Output as iconv's |")
        out.append("|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|---|")
        for rid, name in rows:
            r = runs[(kind, rid)]
            m = r["median"]
            best = r["best"]
            peak = r["peak"]["codeshift"] * 1024
            cp_ratio = f"{m['codeshift'] / m['cp']:.2f}"
            floor_ratio = f"{m['codeshift'] / m['floor']:.2f}"
            if unsteady(r):
                floor_ratio = f"[{floor_ratio}]"
            if not IS_COPY[rid]:
                cp_ratio = f"({cp_ratio})"
            out.append(
                f"| {name} | {r['input'] / MIB:.0f} MiB | {ms(m['codeshift'])} | {ms(m['floor'])} "
                f"| {ms(m['iconv'])} | {ms(m['uconv'])} | {ms(m['cp'])} "
                f"| {floor_ratio} | {m['codeshift'] / m['iconv']:.2f} "
                f"| {m['codeshift'] / m['uconv']:.2f} | {cp_ratio} "
                f"| {ms(best['codeshift'])}, {best['codeshift'] / best['floor']:.2f} "
                f"| {ms(conversion_cpu(r))} | {peak / MIB:.0f} MiB (input {(peak - r['input']) / MIB:+.1f}) | {r['check']} |")
        out.append("")
        out.append("Peak memory of the others on the same inputs (MiB): " + "; ".join(
            f"{name}: " + ", ".join(f"{t} {runs[(kind, rid)]['peak'][t] / 1024:.0f}"
                                    for t in TOOLS[1:]) for rid, name in rows) + ".\n")
    if growth:
        sizes = sorted({s for v in growth.values() for s in v}, key=size_key)
        out.append("## Growth with the input size\n")
        out.append("codeshift on the mixed Cyrillic corpus at each size, in MB/s of input beyond "
                   "process start-up (median time less the median time of the same route on a "
                   "1 KiB input), and its median time over the I/O floor's at the same size, in "
                   "the same hyperfine run.\n")
        out.append("| Route | " + " | ".join(f"{s}iB" for s in sizes) + " | Spread | "
                   + " | ".join(f"÷ floor {s}iB" for s in sizes) + " |")
        out.append("|---|" + "--:|" * (2 * len(sizes) + 1))
        for rid, name, _ in ROUTES:
            if rid not in growth:
                continue
            g = growth[rid]
            rates = [g[s]["mbps"] for s in sizes if s in g and g[s]["mbps"]]
            cells = [f"{g[s]['mbps']:.0f}" if s in g and g[s]["mbps"] else "–" for s in sizes]
            floors = [f"{g[s]['median'] / g[s]['floor']:.2f}" if s in g and g[s]["floor"] else ""
                      for s in sizes]
            spread = 1 - min(rates) / max(rates)
            out.append(f"| {name} | " + " | ".join(cells) + f" | {spread * 100:.0f}% | "
                       + " | ".join(floors) + " |")
        startups = [v["startup"] for r in growth.values() for v in r.values()]
        out.append(f"\nStart-up (1 KiB input): {min(startups) * 1000:.1f} to "
                   f"{max(startups) * 1000:.1f} ms.\n")
    if "latency" in small:
        lat = small["latency"]
        out.append("## Small files\n")
        out.append("One 1 KiB file of the mixed Cyrillic text, median of 300 runs of each command "
                   "in one hyperfine run (`bench/small_files.sh`); `/bin/true` took "
                   f"{ms(lat['true'])}, the cost of starting any program.\n")
        out.append("| Run | codeshift | iconv | ÷ iconv |")
        out.append("|---|--:|--:|--:|")
        for run, name in SMALL_RUNS.items():
            c, i = lat[f"codeshift {run}"], lat[f"iconv {run}"]
            out.append(f"| {name} | {ms(c)} | {ms(i)} | {c / i:.2f} |")
        out.append("")
        meta_s = small["meta"]
        files = int(meta_s["files"])
        for name, m in small["batch"].items():
            route, _, where = name.partition("@")
            source = route.split("-")[0]
            place = ("outputs on the disk, where codeshift flushes each replaced file to the disk "
                     "before its rename and iconv does not" if where else
                     "outputs in memory, where that flush costs nothing")
            out.append(
                f"{files} files of 1 to 64 KiB ({int(meta_s[source + '_bytes']) / MIB:.0f} MiB "
                f"in all), {NAMES[route]}, {place}, one run per file, {meta_s['jobs']} at a time "
                f"(`xargs -P {meta_s['jobs']}`), median of 3: codeshift {m['codeshift']:.2f} s "
                f"({files / m['codeshift']:.0f} files/s), iconv {m['iconv']:.2f} s "
                f"({files / m['iconv']:.0f} files/s); codeshift converts "
                f"{m['iconv'] / m['codeshift']:.2f} times as many files per second.\n")
    if "flush" in small:
        out.extend(flush_section(small["flush"], meta["date"]))
    if kernels:
        out.extend(kernel_section(kernels, meta["kernel_repetitions"]))
    if wine:
        out.append("## The Windows programs under Wine\n")
        out.append("The mixed Cyrillic corpus again, with codeshift.exe (x86-64, vector kernels) "
                   "and codeshift32.exe (32-bit, portable kernels) in one hyperfine run per route, "
                   "median of 3 (`bench/windows.sh`). Wine's start-up and file layer are in both "
                   "figures alike; the ratio is the portable kernels' cost.\n")
        out.append("| Route | Input | codeshift.exe | codeshift32.exe | 32 ÷ 64 |")
        out.append("|---|--:|--:|--:|--:|")
        for rid, name, _ in ROUTES:
            if rid not in wine:
                continue
            m = wine[rid]["median"]
            out.append(f"| {name} | {wine[rid]['input'] / MIB:.0f} MiB | {ms(m['codeshift'])} "
                       f"| {ms(m['codeshift32'])} | {m['codeshift32'] / m['codeshift']:.2f} |")
        out.append("")
    out.append(notes.rstrip() + "\n" if notes else
               f"## Notes\n\n(none yet: notes for this run say \"from one run on {meta['date']}\")\n")
    return "\n".join(out)


def svg(runs):
    kinds = [(k, t) for k, t in KINDS if any((k, r[0]) in runs for r in ROUTES)]
    bar, gap, label_w, chart_w, margin = 9, 12, 190, 520, 20
    panels = []
    y = margin + 30
    parts = []
    for kind, title in kinds:
        rows = [(rid, name) for rid, name, _ in ROUTES if (kind, rid) in runs]
        top = max(runs[(kind, rid)]["input"] / runs[(kind, rid)]["median"][t] / 1e6
                  for rid, _ in rows for t in TOOLS)
        parts.append(f'<text x="{margin}" y="{y}" font-size="15" font-weight="bold">{title}</text>')
        y += 14
        for rid, name in rows:
            r = runs[(kind, rid)]
            parts.append(f'<text x="{margin + label_w - 8}" y="{y + 2 * bar + 6}" '
                         f'text-anchor="end" font-size="12">{name}</text>')
            for i, tool in enumerate(TOOLS):
                rate = r["input"] / r["median"][tool] / 1e6
                w = max(1.0, chart_w * rate / top)
                by = y + i * bar
                parts.append(f'<rect x="{margin + label_w}" y="{by}" width="{w:.1f}" '
                             f'height="{bar - 1}" fill="{COLOURS[tool]}"/>')
                parts.append(f'<text x="{margin + label_w + w + 4:.1f}" y="{by + bar - 2}" '
                             f'font-size="9">{rate:.0f}</text>')
            y += len(TOOLS) * bar + gap
        y += 24
        panels.append(kind)
    legend_y = margin + 8
    legend = []
    x = margin
    for tool in TOOLS:
        legend.append(f'<rect x="{x}" y="{legend_y - 9}" width="12" height="10" '
                      f'fill="{COLOURS[tool]}"/><text x="{x + 16}" y="{legend_y}" '
                      f'font-size="12">{tool}</text>')
        x += 85
    legend.append(f'<text x="{x + 10}" y="{legend_y}" font-size="12" fill="#495057">'
                  'MB/s of input, median (longer is faster)</text>')
    width = margin * 2 + label_w + chart_w + 60
    height = y
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
            f'viewBox="0 0 {width} {height}" font-family="sans-serif">\n'
            f'<rect width="{width}" height="{height}" fill="white"/>\n'
            + "\n".join(legend + parts) + "\n</svg>\n")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    data, md_path, svg_path = sys.argv[1:]
    meta, runs, growth, small, wine, kernels = load(data)
    notes = ""
    if os.path.exists(md_path):
        text = read(md_path)
        at = text.find("\n## Notes")
        if at >= 0 and f"from one run on {meta['date']}" in text[at:]:
            notes = text[at + 1:]
    with open(md_path, "w", encoding="utf-8") as f:
        f.write(markdown(meta, runs, growth, small, wine, kernels, notes))
    with open(svg_path, "w", encoding="utf-8") as f:
        f.write(svg(runs))


if __name__ == "__main__":
    main()
