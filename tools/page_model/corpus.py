"""Text of each language from Debian packages (scripts/deps-model.txt), split into the part the
model learns from and the part held out to measure it. Shared by make_model.py and the
benchmark, so both split the same way."""
import glob
import gzip
import hashlib
import os
import random
import re
import unicodedata

# Language: where its text comes from. Manual pages and fortunes are running text; for the
# languages without them a spelling dictionary's words stand in.
SOURCES = {
    "en": ("man", "/usr/share/man/man[1-8]"),
    "cs": ("man", "/usr/share/man/cs"), "da": ("man", "/usr/share/man/da"),
    "de": ("man", "/usr/share/man/de"), "el": ("dic", "/usr/share/hunspell/el_GR"),
    "es": ("man", "/usr/share/man/es"), "fi": ("man", "/usr/share/man/fi"),
    "fr": ("man", "/usr/share/man/fr"), "hu": ("man", "/usr/share/man/hu"),
    "id": ("man", "/usr/share/man/id"), "it": ("man", "/usr/share/man/it"),
    "mk": ("man", "/usr/share/man/mk"), "nb": ("man", "/usr/share/man/nb"),
    "nl": ("man", "/usr/share/man/nl"), "pl": ("man", "/usr/share/man/pl"),
    "pt": ("man", "/usr/share/man/pt*"), "ro": ("man", "/usr/share/man/ro"),
    "ru": ("man", "/usr/share/man/ru"), "sr": ("man", "/usr/share/man/sr"),
    "sv": ("man", "/usr/share/man/sv"), "tr": ("man", "/usr/share/man/tr"),
    "uk": ("man", "/usr/share/man/uk"), "vi": ("man", "/usr/share/man/vi"),
    "bg": ("fortune", "/usr/share/games/fortunes/bg"),
    "eo": ("fortune", "/usr/share/games/fortunes/eo"),
    "ar": ("dic", "/usr/share/hunspell/ar"), "be": ("dic", "/usr/share/hunspell/be_BY"),
    "et": ("dic", "/usr/share/hunspell/et_EE"), "he": ("dic", "/usr/share/hunspell/he_IL"),
    "hr": ("dic", "/usr/share/hunspell/hr_HR"), "is": ("dic", "/usr/share/hunspell/is_IS"),
    "lt": ("dic", "/usr/share/hunspell/lt_LT"), "lv": ("dic", "/usr/share/hunspell/lv_LV"),
    "sk": ("dic", "/usr/share/hunspell/sk_SK"), "sl": ("dic", "/usr/share/hunspell/sl_SI"),
    "th": ("dic", "/usr/share/hunspell/th_TH"),
}
LIMIT = 1_500_000  # characters of each part a language keeps

ROFF_TEXT_MACROS = re.compile(r"^\.(B|I|BR|BI|IB|IR|RB|RI|SH|SS|TP|IP|SM|SB)\b\s*(.*)$")
ROFF_ESCAPE = re.compile(r"\\(\(..|\[[^\]]*\]|f\(..|f\[[^\]]*\]|f.|s[-+]?\d|\*\(..|\*\[[^\]]*\]|\*.|[&c%:/,|^0 ]|.)")


def roff_text(source):
    out = []
    for line in source.splitlines():
        if line.startswith((".", "'")):
            m = ROFF_TEXT_MACROS.match(line)
            if not m:
                continue
            line = m.group(2).replace('"', "")
        line = ROFF_ESCAPE.sub(lambda m: {"\\-": "-", "\\e": "\\", "\\ ": " "}.get(m.group(0), ""), line)
        if line.strip():
            out.append(line)
    return "\n".join(out) + "\n"


# Manual pages that are tables of a character set: lists of every character of a page, in
# code order, not text of their language.
CHARSET_TABLE = re.compile(r"/(ascii|charsets|cp125\d|iso[-_]8859[-_]\d+|koi8-[ru]|latin\d+|armscii-8)\.7\.gz$")
# UTF-8 read as Latin-1 by whoever wrote the document: its letters are not the language's.
MOJIBAKE = re.compile("[\u00c2\u00c3][\u00a0-\u00bf]")


def is_language_text(name, text):
    return CHARSET_TABLE.search(name) is None and len(MOJIBAKE.findall(text)) < 3


def held_out(name):
    return hashlib.sha1(name.encode()).digest()[0] % 10 == 0


def documents(lang):
    """(name, text) of each document of the language, in a fixed order."""
    kind, where = SOURCES[lang]
    if kind == "man":
        for path in sorted(glob.glob(where + "/**/*.gz", recursive=True) if lang != "en"
                           else glob.glob(where + "/*.gz")):
            if os.path.islink(path):
                continue
            try:
                text = gzip.open(path).read().decode("utf-8")
            except (UnicodeDecodeError, OSError, EOFError):
                continue
            if not text.lstrip().startswith(".so ") and is_language_text(path, text):
                yield path, roff_text(text)
    elif kind == "fortune":
        for path in sorted(glob.glob(where + "/*")):
            if os.path.islink(path) or path.endswith(".dat"):
                continue
            text = open(path, "rb").read().decode("utf-8", "replace")
            for i, piece in enumerate(text.split("\n%\n")):
                yield f"{path}:{i}", piece + "\n"
    else:
        charset = "utf-8"
        for line in open(where + ".aff", "rb"):
            if line.startswith(b"SET"):
                charset = line.split()[1].decode().lower().replace("iso8859", "iso8859_")
        words = [w.split("/")[0].strip() for w in
                 open(where + ".dic", "rb").read().decode(charset, "replace").splitlines()[1:]]
        words = [w for w in words if w and not w.isdigit()]
        # A word list's order is the alphabet's; shuffled, its words run like text.
        random.Random(1).shuffle(words)
        for i in range(0, len(words), 40):
            yield f"{where}:{i}", " ".join(words[i:i + 40]) + ".\n"


def split(lang):
    """(training text, held-out text), each in NFC and at most LIMIT characters."""
    parts = [[], []]
    sizes = [0, 0]
    for name, text in documents(lang):
        side = 1 if held_out(name) else 0
        if sizes[side] >= LIMIT:
            if sizes[1 - side] >= LIMIT:
                break
            continue
        text = unicodedata.normalize("NFC", text)
        if lang == "ro":
            # The 8-bit pages write Romanian's s and t with a cedilla below, not a comma.
            text = text.translate(str.maketrans("șțȘȚ", "şţŞŢ"))
        parts[side].append(text)
        sizes[side] += len(text)
    return "".join(parts[0])[:LIMIT], "".join(parts[1])[:LIMIT]


def read_pages(path):
    """Page number: the 256 code points its bytes become, from the program's own tables."""
    pages = {}
    page = None
    for line in open(path):
        if line.startswith("page "):
            page = int(line.split()[1])
            pages[page] = []
        elif page is not None and re.match(r"^([0-9A-F]{4} ?)+$", line.strip()):
            if len(pages[page]) < 256:
                pages[page] += [int(u, 16) for u in line.split()]
    return pages
