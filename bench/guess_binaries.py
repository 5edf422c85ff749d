#!/usr/bin/env python3
"""Whether the page guesser calls every ELF, PNG, JPEG, gzip, zip and PDF file on the machine
binary:  python3 bench/guess_binaries.py BUILD_DIR
Looks under /usr and /var/lib for files of those signatures and feeds each one's first 64 KiB
to the guesser; prints the count per format and any that were not called binary."""
import collections
import os
import struct
import subprocess
import sys

SIGNATURES = {b"\x7fELF": "ELF", b"\x89PNG": "PNG", b"\xff\xd8\xff": "JPEG", b"\x1f\x8b": "gzip",
              b"PK\x03\x04": "zip", b"%PDF-": "PDF"}


def main():
    tool = os.path.join(sys.argv[1], "bench", "codeshift_guess_tool")
    found = []
    for top in ("/usr", "/var/lib"):
        for folder, _, names in os.walk(top):
            for name in names:
                path = os.path.join(folder, name)
                if os.path.islink(path) or not os.path.isfile(path):
                    continue
                try:
                    head = open(path, "rb").read(65536)
                except OSError:
                    continue
                for magic, kind in SIGNATURES.items():
                    if head.startswith(magic):
                        found.append((kind, path, head))
    stream = b"".join(struct.pack("<I", len(h)) + h for _, _, h in found)
    out = subprocess.run([tool], input=stream, capture_output=True, check=True).stdout.decode()
    counts = collections.Counter()
    for (kind, path, _), line in zip(found, out.splitlines()):
        counts[(kind, line.split()[0] == "binary")] += 1
        if line.split()[0] != "binary":
            print(f"not called binary: {path} ({kind}): {line}")
    for kind in sorted(set(SIGNATURES.values())):
        print(f"{kind}: {counts[(kind, True)]} of {counts[(kind, True)] + counts[(kind, False)]} called binary")


if __name__ == "__main__":
    main()
