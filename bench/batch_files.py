"""Cuts a batch of small files from a long UTF-8 text, for bench/small_files.sh and
bench/batch.sh: COUNT pieces, each 1 to 64 KiB long in UTF-8 and cut at character boundaries,
written as FOLDER/utf8/NNNNN.txt and, in CP1251, FOLDER/cp1251/NNNNN.txt. Seeded, so every run
makes the same files.

    python3 bench/batch_files.py COUNT TEXT FOLDER
"""
import os
import random
import sys


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    count, source, folder = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    text = open(source, encoding="utf-8").read()
    for form in ("utf8", "cp1251"):
        os.makedirs(os.path.join(folder, form), exist_ok=True)
    rng = random.Random(15)
    for i in range(count):
        size = rng.randint(1024, 64 * 1024)
        start = rng.randrange(0, len(text) - size)
        # Characters take one or two bytes here: grow the piece until it has the size in UTF-8.
        piece = text[start:start + size // 2]
        while len(piece.encode("utf-8")) < size and start + len(piece) < len(text):
            piece = text[start:start + len(piece) + (size - len(piece.encode("utf-8")) + 1) // 2]
        name = f"{i:05d}.txt"
        for form, codec in (("utf8", "utf-8"), ("cp1251", "cp1251")):
            with open(os.path.join(folder, form, name), "wb") as f:
                f.write(piece.encode(codec))


if __name__ == "__main__":
    main()
