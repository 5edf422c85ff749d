#!/usr/bin/env python3
"""Turns the measurements of bench/run.sh into bench/results.md and an SVG bar chart.

    python3 bench/report.py DATA_DIR RESULTS_MD RESULTS_SVG

Everything in the tables comes from the files in DATA_DIR. A section headed "## Notes" in an
existing RESULTS_MD is kept as it stands: it holds what the numbers alone do not say.
"""
import json
import os
import sys

ROUTES = [
    ("utf8-utf16le", "UTF-8 → UTF-16LE", False),
    ("utf16le-utf8", "UTF-16LE → UTF-8", False),
    ("utf8-utf32le", "UTF-8 → UTF-32LE", False),
    ("utf16be-utf8", "UTF-16BE → UTF-8", False),
    ("cp1251-utf8", "CP1251 → UTF-8", False),
    ("utf8-cp1251", "UTF-8 → CP1251", False),
    ("cp1251-cp866", "CP1251 → CP866", False),
    ("utf16le-utf16be", "UTF-16LE → UTF-16BE", True),
    ("utf8-utf8bom", "UTF-8 → UTF-8 (mark added)", True),
]
KINDS = [
    ("ascii", "Plain English (ASCII)"),
    ("cyrillic", "Mixed Cyrillic and English"),
    ("cjk", "Mixed CJK and English"),
]
TOOLS = ["codeshift", "iconv", "uconv", "cp"]
COLOURS = {"codeshift": "#d9480f", "iconv": "#1971c2", "uconv": "#2f9e44", "cp": "#868e96"}
MIB = 1024 * 1024


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read().strip()


def medians(path, key="median"):
    with open(path, encoding="utf-8") as f:
        results = json.load(f)["results"]
    return {r["command"]: r[key] for r in results}


def peak_kib(path):
    # /usr/bin/time -f %M writes the figure on the last line.
    return int(read(path).splitlines()[-1])


def load(data):
    meta = dict(line.split("=", 1) for line in read(os.path.join(data, "meta.txt")).splitlines())
    runs = {}
    for kind, _ in KINDS:
        for rid, _, _ in ROUTES:
            base = os.path.join(data, f"{kind}.{rid}")
            if not os.path.exists(base + ".json"):
                continue
            runs[(kind, rid)] = {
                "median": medians(base + ".json"),
                "best": medians(base + ".json", "min"),
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
            # Throughput beyond process start-up: the start-up is the same run on 1 KiB.
            work = max(m["codeshift"] - m["startup"], 1e-6)
            growth.setdefault(rid, {})[size] = {
                "mbps": bytes_in / work / 1e6,
                "median": m["codeshift"],
                "startup": m["startup"],
                "input": bytes_in,
            }
    return meta, runs, growth


def size_key(size):
    scale = {"K": 1, "M": 1024, "G": 1024 * 1024}
    return int(size[:-1]) * scale[size[-1]]


def ms(seconds):
    return f"{seconds * 1000:.0f} ms" if seconds >= 0.1 else f"{seconds * 1000:.1f} ms"


def verdict(ok):
    return "met" if ok else "**missed**"


def targets(runs, growth):
    rows = []
    for kind, limit, label in (("cyrillic", 1 / 3, "a third"), ("ascii", 1 / 5, "a fifth")):
        worst = None
        for rid, name, copy in ROUTES:
            r = runs.get((kind, rid))
            if r is None or copy:
                continue
            ratio = r["median"]["codeshift"] / r["median"]["iconv"]
            if worst is None or ratio > worst[0]:
                worst = (ratio, name)
        if worst:
            rows.append((f"converting routes, {kind} corpus: at most {label} of iconv's time",
                         f"worst {worst[0]:.2f} of iconv ({worst[1]})", worst[0] <= limit))
    for copy, limit in ((False, 2.0), (True, 1.3)):
        worst = None
        for (kind, rid), r in runs.items():
            is_copy = dict((x[0], x[2]) for x in ROUTES)[rid]
            if is_copy != copy:
                continue
            ratio = r["median"]["codeshift"] / r["median"]["cp"]
            if worst is None or ratio > worst[0]:
                worst = (ratio, f"{dict((x[0], x[1]) for x in ROUTES)[rid]}, {kind}")
        if worst:
            what = "copy routes" if copy else "converting routes"
            rows.append((f"{what}: at most {limit:g} times cp", f"worst {worst[0]:.2f} × cp ({worst[1]})",
                         worst[0] <= limit))
    worst = None
    for (kind, rid), r in runs.items():
        over = r["peak"]["codeshift"] * 1024 - r["input"]
        if worst is None or over > worst[0]:
            worst = (over, f"{dict((x[0], x[1]) for x in ROUTES)[rid]}, {kind}")
    if worst:
        rows.append(("peak memory at most input + 8 MiB",
                     f"worst input {worst[0] / MIB:+.1f} MiB ({worst[1]})", worst[0] <= 8 * MIB))
    if growth:
        worst = None
        for rid, sizes in growth.items():
            rates = [v["mbps"] for v in sizes.values()]
            spread = 1 - min(rates) / max(rates)
            if worst is None or spread > worst[0]:
                worst = (spread, dict((x[0], x[1]) for x in ROUTES)[rid])
        rows.append(("MB/s at every input size within 25% of each other",
                     f"widest spread {worst[0] * 100:.0f}% ({worst[1]})", worst[0] <= 0.25))
    different = [f"{k} {rid}" for (k, rid), r in runs.items() if r["check"] != "same"]
    rows.append(("output the same bytes as iconv's (mark aside)",
                 "all the same" if not different else "differs: " + ", ".join(different),
                 not different))
    return rows


def markdown(meta, runs, growth, notes):
    out = []
    out.append("# Benchmark results\n")
    out.append(
        f"From one run of `bash bench/run.sh` on {meta['date']} (commit {meta['commit']}). "
        f"Machine: {meta['cpu']}, {meta['cores']} cores, {meta['memory']}, Linux "
        f"{meta['kernel']}, {meta['filesystem']} file system. Peers: {meta['iconv']}; "
        f"{meta['uconv']}; {meta['hyperfine']}.\n")
    out.append(
        f"Each input is a seeded {meta['size']}iB UTF-8 text (made by `codeshift_corpus`), in the "
        "source form of the route. Times are medians of "
        f"{meta['runs']} runs after one warm-up, with the input in the page cache and the output "
        "file removed and the disk synced before every run; ratios are codeshift's median over "
        "the other's; the fastest of the runs is shown as well. Peak memory is the maximum resident set size that `/usr/bin/time` reports for one more run of each command.\n")
    out.append("![Throughput of each route](results.svg)\n")
    out.append("## Targets\n")
    out.append("| Target | Measured | |")
    out.append("|---|---|---|")
    for what, measured, ok in targets(runs, growth):
        out.append(f"| {what} | {measured} | {verdict(ok)} |")
    out.append("")
    for kind, title in KINDS:
        rows = [(rid, name) for rid, name, _ in ROUTES if (kind, rid) in runs]
        if not rows:
            continue
        out.append(f"## {title}\n")
        out.append("| Route | Input | codeshift | iconv | uconv | cp | ÷ iconv | ÷ uconv | ÷ cp "
                   "| codeshift best, ÷ iconv best | Peak memory | Output as iconv's |")
        out.append("|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|---|")
        for rid, name in rows:
            r = runs[(kind, rid)]
            m = r["median"]
            peak = r["peak"]["codeshift"] * 1024
            out.append(
                f"| {name} | {r['input'] / MIB:.0f} MiB | {ms(m['codeshift'])} | {ms(m['iconv'])} "
                f"| {ms(m['uconv'])} | {ms(m['cp'])} | {m['codeshift'] / m['iconv']:.2f} "
                f"| {m['codeshift'] / m['uconv']:.2f} | {m['codeshift'] / m['cp']:.2f} "
                f"| {ms(r['best']['codeshift'])}, {r['best']['codeshift'] / r['best']['iconv']:.2f} "
                f"| {peak / MIB:.0f} MiB (input {(peak - r['input']) / MIB:+.1f}) | {r['check']} |")
        out.append("")
        out.append("Peak memory of the peers on the same inputs (MiB): " + "; ".join(
            f"{name}: iconv {runs[(kind, rid)]['peak']['iconv'] / 1024:.0f}, uconv "
            f"{runs[(kind, rid)]['peak']['uconv'] / 1024:.0f}, cp "
            f"{runs[(kind, rid)]['peak']['cp'] / 1024:.0f}" for rid, name in rows) + ".\n")
    if growth:
        sizes = sorted({s for v in growth.values() for s in v}, key=size_key)
        out.append("## Growth with the input size\n")
        out.append("codeshift on the mixed Cyrillic corpus at each size, in MB/s of input beyond "
                   "process start-up (median time less the median time of the same route on a "
                   "1 KiB input).\n")
        out.append("| Route | " + " | ".join(f"{s}iB" for s in sizes) + " | Spread |")
        out.append("|---|" + "--:|" * len(sizes) + "--:|")
        for rid, name, _ in ROUTES:
            if rid not in growth:
                continue
            rates = [growth[rid][s]["mbps"] for s in sizes if s in growth[rid]]
            cells = [f"{growth[rid][s]['mbps']:.0f}" if s in growth[rid] else "" for s in sizes]
            spread = 1 - min(rates) / max(rates)
            out.append(f"| {name} | " + " | ".join(cells) + f" | {spread * 100:.0f}% |")
        startups = [v["startup"] for r in growth.values() for v in r.values()]
        out.append(f"\nStart-up (1 KiB input): {min(startups) * 1000:.1f} to "
                   f"{max(startups) * 1000:.1f} ms.\n")
    out.append(notes.rstrip() + "\n" if notes else "## Notes\n\n(none)\n")
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
            y += 4 * bar + gap
        y += 24
        panels.append(kind)
    legend_y = margin + 8
    legend = []
    x = margin
    for tool in TOOLS:
        legend.append(f'<rect x="{x}" y="{legend_y - 9}" width="12" height="10" '
                      f'fill="{COLOURS[tool]}"/><text x="{x + 16}" y="{legend_y}" '
                      f'font-size="12">{tool}</text>')
        x += 90
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
    meta, runs, growth = load(data)
    notes = ""
    if os.path.exists(md_path):
        text = read(md_path)
        at = text.find("\n## Notes")
        if at >= 0:
            notes = text[at + 1:]
    with open(md_path, "w", encoding="utf-8") as f:
        f.write(markdown(meta, runs, growth, notes))
    with open(svg_path, "w", encoding="utf-8") as f:
        f.write(svg(runs))


if __name__ == "__main__":
    main()
