#!/usr/bin/env python3
"""How often the page guesser names a page that reads held-out text right, beside uchardet and
enca on the same samples:
    python3 bench/guess_accuracy.py BUILD_DIR [SAMPLES_PER_PAGE_AND_SIZE]
Samples are cut from the text tools/page_model/corpus.py holds out from training, for every
8-bit page of the model and every language the model gives that page, written in the page;
a sample that comes out 7-bit is left out (every answer reads it). An answer is right when the
sample reads the same with it as with its own page; an unsure answer counts by its first page.
Prints a Markdown table per size and the samples each detector got wrong."""
import codecs
import collections
import hashlib
import os
import pickle
import random
import struct
import subprocess
import sys
import tempfile
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools", "page_model"))
import corpus  # noqa: E402
import make_model  # noqa: E402

SIZES = (64, 256, 1024)
ENCA_LANGUAGES = {"be", "bg", "cs", "et", "hr", "hu", "lt", "lv", "pl", "ru", "sk", "sl", "uk"}
PLAIN = str.maketrans({"„": '"', "“": '"', "”": '"', "«": '"', "»": '"', "‘": "'", "’": "'",
                       "‚": "'", "–": "-", "—": "-", "…": "...", "\u00a0": " ", "•": "*"})


def model_pages(model_path):
    """Page: the languages the model gives it, read from the model itself."""
    blob = open(model_path, "rb").read()
    langs_count, pages_count = blob[5], blob[6]
    at, langs = 7, []
    for _ in range(langs_count):
        langs.append(blob[at:at + 2].decode())
        n = blob[at + 2]
        at += 3 + 128 + (n * n + 1) // 2
    pages = {}
    for _ in range(pages_count):
        page, _, count = struct.unpack_from("<HBB", blob, at)
        at += 4 + 256
        pages[page] = [langs[blob[at + i * 129]] for i in range(count)]
        at += count * 129
    return pages


def held_out_texts(langs):
    # Named by the corpus script's own bytes, so a change to how text is chosen or split is
    # never measured on the text an older version held out.
    version = hashlib.sha1(open(corpus.__file__, "rb").read()).hexdigest()[:12]
    cache = os.path.join(tempfile.gettempdir(), f"codeshift-held-out-{version}.pickle")
    texts = pickle.load(open(cache, "rb")) if os.path.exists(cache) else {}
    if not set(langs) <= set(texts):
        texts = {lang: corpus.split(lang)[1] for lang in langs}
        pickle.dump(texts, open(cache, "wb"))
    return texts


def encode(text, reverse):
    out = bytearray()
    for c in text.translate(PLAIN):
        if c in reverse:
            out.append(reverse[c])
        else:
            for d in unicodedata.normalize("NFKD", c):
                if d in reverse and d.isascii():
                    out.append(reverse[d])
    return bytes(out)


def make_samples(tables, page_langs, texts, per_cell, rng):
    samples = []  # (page, lang, size, bytes)
    for page, langs in sorted(page_langs.items()):
        units = tables[page]
        reverse = {}
        for b in range(255, -1, -1):
            if b >= 0x80 and not make_model.is_junk(chr(units[b])):
                reverse[chr(units[b])] = b
            elif b < 0x80:
                reverse[chr(b)] = b
        encoded = {}
        for lang in langs:
            text = texts[lang]
            if page == 1258:
                text = make_model.vietnamese_as_1258(text, set(reverse))
            encoded[lang] = text
        for size in SIZES:
            made, tries = 0, 0
            while made < per_cell and tries < per_cell * 50:
                tries += 1
                lang = langs[made % len(langs)] if tries < per_cell * 25 else rng.choice(langs)
                text = encoded[lang]
                if len(text) < size * 2:
                    continue
                start = rng.randrange(0, len(text) - size * 2)
                data = encode(text[start:start + size * 2], reverse)[:size]
                if len(data) < size or max(data) < 0x80:
                    continue
                samples.append((page, lang, size, data))
                made += 1
    return samples


def decode(data, units):
    return "".join(chr(units[b]) for b in data)


def python_reading(data, name):
    try:
        return data.decode(codecs.lookup(name.lower()).name)
    except (LookupError, UnicodeDecodeError):
        return None


def run_ours(build, samples):
    stream = b"".join(struct.pack("<I", len(s[3])) + s[3] for s in samples)
    tool = os.path.join(build, "bench", "codeshift_guess_tool")
    out = subprocess.run([tool], input=stream, capture_output=True, check=True).stdout.decode()
    return out.splitlines()


def run_peer(command, paths):
    answers = {}
    for i in range(0, len(paths), 500):
        chunk = paths[i:i + 500]
        out = subprocess.run(command + chunk, capture_output=True).stdout.decode("utf-8", "replace")
        for line in out.splitlines():
            name, _, answer = line.rpartition(": ")
            answers[name] = answer.strip()
    return [answers.get(p, "") for p in paths]


def main():
    build = sys.argv[1]
    per_cell = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    root = os.path.join(HERE, "..")
    tables = corpus.read_pages(os.path.join(root, "src/platform/posix/code_pages.txt"))
    page_langs = model_pages(os.path.join(root, "src/input/page_model.bin"))
    page_langs = {p: l for p, l in page_langs.items() if p in tables and l}
    texts = held_out_texts(sorted({l for ls in page_langs.values() for l in ls}))
    samples = make_samples(tables, page_langs, texts, per_cell, random.Random(7))

    ours = run_ours(build, samples)
    right = collections.defaultdict(lambda: [0, 0, 0, 0])  # (page, size): ours, uchardet, enca, n
    misses = collections.Counter()
    sure = collections.Counter()  # (size, confident, right)
    kinds = collections.Counter()
    with tempfile.TemporaryDirectory() as folder:
        paths = []
        for i, s in enumerate(samples):
            path = os.path.join(folder, f"{i}.txt")
            open(path, "wb").write(s[3])
            paths.append(path)
        uchardet = run_peer(["uchardet"], paths)
        enca = [""] * len(samples)
        for lang in ENCA_LANGUAGES:
            picked = [i for i, s in enumerate(samples) if s[1] == lang]
            for i, answer in zip(picked, run_peer(["enca", "-L", lang, "-i"], [paths[i] for i in picked])):
                enca[i] = answer
    for i, (page, lang, size, data) in enumerate(samples):
        truth = decode(data, tables[page])
        fields = ours[i].split()
        first = int(fields[1]) if fields[0] == "page" else None
        ok = [first is not None and first in tables and decode(data, tables[first]) == truth,
              python_reading(data, uchardet[i]) == truth,
              python_reading(data, enca[i]) == truth]
        cell = right[(page, size)]
        for k in range(3):
            cell[k] += ok[k]
        cell[3] += 1
        sure[(size, fields[-1] == "1", ok[0])] += 1
        kinds[fields[0]] += 1
        if not ok[0]:
            misses[(page, lang, size, fields[1] if len(fields) > 1 else fields[0])] += 1

    for size in SIZES:
        print(f"\n#### {size}-byte samples\n")
        print("| page | samples | codeshift | uchardet | enca |")
        print("| --- | ---: | ---: | ---: | ---: |")
        total = [0, 0, 0, 0]
        for page in sorted(page_langs):
            cell = right.get((page, size))
            if not cell:
                continue
            total = [a + b for a, b in zip(total, cell)]
            n = cell[3]
            print(f"| {page} | {n} | " + " | ".join(f"{100 * cell[k] / n:.1f}%" for k in range(3)) + " |")
        n = total[3]
        print(f"| **all** | {n} | " + " | ".join(f"**{100 * total[k] / n:.2f}%**" for k in range(3)) + " |")
    print("\n| size | confident answers | wrong among them | unsure answers | right among them |")
    print("| ---: | ---: | ---: | ---: | ---: |")
    for size in SIZES:
        confident = sure[(size, True, True)] + sure[(size, True, False)]
        unsure = sure[(size, False, True)] + sure[(size, False, False)]
        print(f"| {size} | {confident} | {sure[(size, True, False)]} | {unsure} | {sure[(size, False, True)]} |")
    print("\nAnswers by kind: " + ", ".join(f"{k} {v}" for k, v in sorted(kinds.items())))
    print("\nMost frequent misses of codeshift (page, language, size, answer: count):")
    for key, count in misses.most_common(25):
        print(f"- {key}: {count}", )


if __name__ == "__main__":
    main()
