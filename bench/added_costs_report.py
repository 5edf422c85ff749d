"""Turns the measurements of bench/added_costs.sh into Markdown for bench/results.md, on
standard output: what rewriting the line ends adds to a conversion, what the page guess adds to
a 1 KiB run, the guesser's speed on large texts and the size of its model.

    python3 bench/added_costs_report.py DATA_DIR SIZE
"""
import glob
import json
import statistics
import sys

data, size = sys.argv[1], sys.argv[2]
meta = dict(line.rstrip("\n").split("=", 1) for line in open(f"{data}/meta.txt"))
ROUTES = (("cp1251", "CP1251 → UTF-8"), ("utf8", "UTF-8 → UTF-16LE"))
KINDS = (("ascii", "English (ASCII)"), ("cyrillic", "Cyrillic and English"))


def rounds(base):
    """Each command's runs from the rounds that took turns: times on the clock, and user and
    system time together (what the process itself spent, which a crowded machine disturbs less
    than the time on the clock)."""
    runs = {}
    for path in sorted(glob.glob(base + ".round*.json")):
        for r in json.load(open(path))["results"]:
            got = runs.setdefault(r["command"], {"times": [], "cpu": []})
            got["times"] += r["times"]
            got["cpu"].append(r["user"] + r["system"])
    return runs


def medians(base):
    return {c: statistics.median(r["times"]) for c, r in rounds(base).items()}


def cpu(base):
    """Median of the rounds, as on the clock: a mean would follow the slow mode's few runs."""
    return {c: statistics.median(r["cpu"]) for c, r in rounds(base).items()}


def memory(path):
    rates = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            rates[b["run_name"]] = b["bytes_per_second"]
    return rates


place = (f"on the shared machine (load average "
         f"{meta['load_before']} before the timed runs, {meta['load_after']} after)")
print("## Line ends\n")
print(f"From one run of `bash bench/added_costs.sh --size {size}` on {meta['date']} (commit "
      f"{meta['commit']}), {place}. Each route on a {size}iB seeded text in memory (/dev/shm), "
      "with its LF lines and with the same lines ended CR LF; each rewrite beside the same text "
      f"with its line ends kept, the four runs of a route and text taking turns for "
      f"{len(rounds(f'{data}/lineends.ascii.cp1251')['lf kept']['times'])} rounds, one run each "
      "per round in an order drawn for each round (median of the rounds). In memory: "
      "`codeshift_route_bench --benchmark_filter=^lineends/`, the conversion alone at the level "
      "the program uses, GB/s per CPU second, median of 5 repetitions taken in turns.\n")
print("| Route | Text | LF kept | → CR LF | cost | CPU cost | CR LF kept | → LF | cost | CPU cost "
      "| in memory: → CR LF cost | → LF cost |")
print("|---|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|")
mem = memory(f"{data}/lineends.memory.json")
worst = 0.0
worst_cpu = 0.0
worst_mem = 0.0
route_ids = {"cp1251": "cp1251-utf8", "utf8": "utf8-utf16le"}
for form, route in ROUTES:
    for kind, text in KINDS:
        m = medians(f"{data}/lineends.{kind}.{form}")
        c = cpu(f"{data}/lineends.{kind}.{form}")
        to_crlf = m["lf to crlf"] / m["lf kept"] - 1
        to_lf = m["crlf to lf"] / m["crlf kept"] - 1
        cpu_crlf = c["lf to crlf"] / c["lf kept"] - 1
        cpu_lf = c["crlf to lf"] / c["crlf kept"] - 1
        worst = max(worst, to_crlf, to_lf)
        worst_cpu = max(worst_cpu, cpu_crlf, cpu_lf)
        base = f"lineends/{route_ids[form]}/{kind}"
        mem_crlf = mem[f"{base}/lf-text/kept"] / mem[f"{base}/lf-text/crlf"] - 1
        mem_lf = mem[f"{base}/crlf-text/kept"] / mem[f"{base}/crlf-text/lf"] - 1
        worst_mem = max(worst_mem, mem_crlf, mem_lf)
        print(f"| {route} | {text} | {m['lf kept'] * 1000:.0f} ms | {m['lf to crlf'] * 1000:.0f} ms "
              f"| {to_crlf * 100:+.0f}% | {cpu_crlf * 100:+.0f}% | {m['crlf kept'] * 1000:.0f} ms "
              f"| {m['crlf to lf'] * 1000:.0f} ms | {to_lf * 100:+.0f}% | {cpu_lf * 100:+.0f}% "
              f"| {mem_crlf * 100:+.0f}% ({mem[f'{base}/lf-text/crlf'] / 1e9:.2f} GB/s) "
              f"| {mem_lf * 100:+.0f}% ({mem[f'{base}/crlf-text/lf'] / 1e9:.2f} GB/s) |")
print(f"\nTarget, line ends cost at most 10% on the route: worst {worst * 100:+.0f}% of the whole "
      f"run's median time ({'met' if worst <= 0.10 else 'missed'}), {worst_cpu * 100:+.0f}% of its "
      f"median CPU time ({'met' if worst_cpu <= 0.10 else 'missed'}). The conversion alone in "
      f"memory, worst {worst_mem * 100:+.0f}%, is no measure of it: there the route runs at the "
      "speed of a copy, and the rewrite, made where the output reaches the file, is one more pass "
      "over the output.\n")

print("## Page guess: cost, speed and size\n")
g = rounds(f"{data}/guess")
named, guessed = statistics.median(g["named"]["times"]), statistics.median(g["guessed"]["times"])
gc = cpu(f"{data}/guess")
print(f"From the same run. A 1 KiB Windows-1251 file (the seeded Cyrillic text) converted to "
      f"UTF-8 with its source named (`-A1251 -U8-`) and guessed (`-T -U8-`), taking turns for "
      f"{len(g['named']['cpu'])} rounds of {len(g['named']['times']) // len(g['named']['cpu'])} "
      f"runs each, in an order drawn for each round (median of the runs; both read the file "
      f"alike): "
      f"named {named * 1000:.2f} ms, guessed {guessed * 1000:.2f} ms, "
      f"{(guessed / named - 1) * 100:+.1f}% (target under 5%: "
      f"{'met' if guessed / named < 1.05 else 'missed'}); in CPU time (user and system, median "
      f"of the rounds) named {gc['named'] * 1000:.2f} ms, guessed {gc['guessed'] * 1000:.2f} ms, "
      f"{(gc['guessed'] / gc['named'] - 1) * 100:+.1f}%.\n")
rates = memory(f"{data}/guess.memory.json")
names = {"guess/ascii": "English, all 7-bit (read whole)",
         "guess/cp1251": "Cyrillic in Windows-1251 (stops once it has seen enough)",
         "guess/utf8": "Cyrillic in UTF-8 (stops once it has seen enough)",
         "guess/ascii-sparse-1252": "English, one Windows-1252 letter every 32 KiB (read whole)"}
print("`codeshift_guess_bench`, the guesser over a 64 MiB text in memory, GB/s of text per CPU "
      "second, median of 5 repetitions:\n")
print("| Text | GB/s |")
print("|---|--:|")
for key, name in names.items():
    print(f"| {name} | {rates[key] / 1e9:.2f} |")
slowest = min(rates[k] for k in ("guess/ascii", "guess/ascii-sparse-1252")) / 1e9
print(f"\nTarget, at least 1 GB/s on large text: slowest text read whole {slowest:.2f} GB/s "
      f"({'met' if slowest >= 1 else 'missed'}).\n")
model = int(meta["model_bytes"])
code = int(meta["guesser_text_bytes"]) - model
print(f"Size: the model is {model:,} bytes of constant data in the program "
      f"(`src/input/page_model.bin`, {int(meta['model_file_bytes']):,} bytes, linked as it is); "
      f"the rest of the guesser's object file is {code:,} bytes of code and constants; the "
      f"program is {int(meta['program_bytes']):,} bytes. Target, the data adds at most 256 KiB: "
      f"{model / 1024:.0f} KiB ({'met' if model <= 256 * 1024 else 'missed'}).\n")
