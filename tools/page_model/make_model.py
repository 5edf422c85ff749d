#!/usr/bin/env python3
"""Makes the page guesser's model (src/input/page_model.bin) from training text of each
language (tools/page_model/corpus.py) and the program's own code page tables:
    python3 tools/page_model/make_model.py [OUTPUT]
For each language, the cost in bits of each pair of symbols (a letter after a letter) as its
text uses them; for each 8-bit page, the languages it can write and the symbol each of its
bytes 80 to FF stands for in each. The layout is read by src/input/guess_page.cpp."""
import math
import os
import struct
import sys
import unicodedata

import corpus

ROOT = os.path.normpath(os.path.join(os.path.dirname(__file__), "..", ".."))
PAGES = os.path.join(ROOT, "src/platform/posix/code_pages.txt")

SPACE, DIGIT, PUNCT, FIRST_ASCII_LETTER, OTHER, JUNK, SIGN, FIRST_OWN = 0, 1, 2, 3, 29, 30, 31, 32
MAX_OWN = 48          # letters and marks of a language beyond ASCII; 80 symbols at most
STEP = 1.25           # bits per step of a stored cost (4 bits: 0 to 15)
UPPER = 0x80          # flag of a symbol that was a capital letter
OTHER_FLOOR = 8        # steps a pair with a character foreign to the language costs at least
COVERAGE = 0.98       # share of a language's letters beyond ASCII a page must write


def is_junk(c):
    cat = unicodedata.category(c)
    return (cat in ("Cc", "Co", "Cn", "Cs") and c not in "\t\n\r\f") or c == "\ufffd"


def is_sign(c):
    """Punctuation, currency and number signs beyond ASCII (quotes, dashes, superscripts,
    fractions) that text of any language may hold: unlike a foreign letter, no evidence of a
    wrong page, so their pairs are learned, not floored."""
    cat = unicodedata.category(c)
    return cat[0] == "P" or cat in ("Sc", "No")


def vietnamese_as_1258(text, encodable):
    """Vietnamese as Windows-1258 writes it: the tone as a combining mark after its letter."""
    out = []
    for c in text:
        if c in encodable:
            out.append(c)
            continue
        d = unicodedata.normalize("NFD", c)
        tones = "".join(m for m in d if m in "\u0300\u0301\u0303\u0309\u0323")
        base = unicodedata.normalize("NFC", "".join(m for m in d if m not in tones))
        out.append(base + tones)
    return "".join(out)


def symbol_of(c, own):
    lower = c.lower() if len(c.lower()) == 1 else c
    flag = UPPER if lower != c else 0
    if not c.isascii() and is_junk(c):
        # Before the spaces: a C1 control such as NEL counts as one in Python.
        return JUNK
    if c.isspace():
        return SPACE
    if c.isascii():
        if "a" <= lower <= "z":
            return (FIRST_ASCII_LETTER + ord(lower) - ord("a")) | flag
        return DIGIT if c.isdigit() else PUNCT
    if lower in own:
        return (FIRST_OWN + own[lower]) | flag
    if is_sign(c):
        return SIGN
    return OTHER | flag


def language_model(text):
    lowered = text.lower()
    counts = {}
    for c in lowered:
        if not c.isascii() and not c.isspace() and not is_junk(c):
            counts[c] = counts.get(c, 0) + 1
    ranked = sorted(counts, key=lambda c: (-counts[c], c))
    floor = len(text) * 2e-5
    own = {c: i for i, c in enumerate(c for c in ranked[:MAX_OWN] if counts[c] >= floor)}
    n = FIRST_OWN + len(own)
    seq = [symbol_of(c, own) & ~UPPER for c in text]
    pair = [[0] * n for _ in range(n)]
    single = [0] * n
    for a, b in zip(seq, seq[1:]):
        pair[a][b] += 1
        single[a] += 1
    total = sum(single) + n
    unigram = [(s + 1) / total for s in single]
    costs = []
    for a in range(n):
        for b in range(n):
            p = (pair[a][b] + 2 * unigram[b]) / (single[a] + 2)
            bits = -math.log2(p)
            q = 15 if JUNK in (a, b) else min(15, int(round(bits / STEP)))
            if OTHER in (a, b):
                # Characters a language does not use are evidence of a wrong page, however
                # many of them its training text happened to hold.
                q = max(q, OTHER_FLOOR)
            costs.append(q)
    return own, n, costs


def script(c):
    return unicodedata.name(c, "?").split()[0]


def main_script(letters):
    """The script most of the letters (a count of each) belong to."""
    scripts = {}
    for c, n in letters.items():
        scripts[script(c)] = scripts.get(script(c), 0) + n
    return max(sorted(scripts), key=lambda k: scripts[k]) if scripts else "LATIN"


def page_script(units):
    """A page's own script: the one most of its letters above 7F that are not Latin belong
    to, when it has many; Latin otherwise (the Mac pages of other scripts keep some Latin)."""
    letters = {chr(u): 1 for u in units[128:] if unicodedata.category(chr(u)).startswith("L")}
    others = {c: n for c, n in letters.items() if script(c) != "LATIN"}
    return main_script(others) if len(others) >= 20 else "LATIN"


def page_prior(page):
    """Quarter bits against a page when two read a text alike or nearly: the Windows pages
    first, then the ISO and KOI8 pages, the DOS pages, the Mac pages."""
    if 1250 <= page <= 1258:
        return 0
    if page >= 20000:
        return 2
    if page < 1000:
        return 4
    return 6


def main():
    out_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "src/input/page_model.bin")
    pages = corpus.read_pages(PAGES)
    langs = sorted(corpus.SOURCES)
    models = {}
    letters = {}
    for lang in langs:
        text, _ = corpus.split(lang)
        if lang == "vi":
            text = vietnamese_as_1258(text, set(map(chr, pages[1258])))
        models[lang] = language_model(text)
        counts = {}
        for c in text:
            if not c.isascii() and unicodedata.category(c)[0] in "LM":
                counts[c] = counts.get(c, 0) + 1
        letters[lang] = counts
        print(f"{lang}: {len(text)} characters, {models[lang][1]} symbols", file=sys.stderr)

    blob = bytearray(b"CSPM")
    blob += struct.pack("<BBB", 2, len(langs), len(pages))
    for lang in langs:
        own, n, costs = models[lang]
        blob += lang.encode() + struct.pack("<B", n)
        blob += bytes(symbol_of(chr(b), own) for b in range(128))
        costs = costs + [0] * (len(costs) % 2)
        blob += bytes(costs[i] | costs[i + 1] << 4 for i in range(0, len(costs), 2))
    for page in sorted(pages):
        units = pages[page]
        written = set(map(chr, units))
        chosen = []
        for li, lang in enumerate(langs):
            counts = letters[lang]
            total = sum(counts.values())
            covered = sum(v for c, v in counts.items() if c in written)
            # A language with no letters beyond ASCII finds every page alike.
            fits = main_script(counts) == page_script(units)
            if total != 0 and covered >= COVERAGE * total and fits:
                chosen.append(li)
        blob += struct.pack("<HBB", page, page_prior(page), len(chosen))
        blob += struct.pack("<128H", *units[128:])
        for li in chosen:
            own = models[langs[li]][0]
            blob += struct.pack("<B", li)
            blob += bytes(symbol_of(chr(u), own) for u in units[128:])
        print(f"page {page}: {' '.join(langs[li] for li in chosen)}", file=sys.stderr)
    with open(out_path, "wb") as f:
        f.write(blob)
    print(f"wrote {out_path}: {len(blob)} bytes", file=sys.stderr)


if __name__ == "__main__":
    main()
