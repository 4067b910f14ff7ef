#!/usr/bin/env python3
"""Writes the installer's payload padded with generated data to about 50 MB, for the install benchmark:
pad_payload.py PAYLOAD_FOLDER OUT_FOLDER. Each file keeps its own bytes first; libcef.dll takes most of the
padding, as the engine library does in a real payload."""
import os
import random
import sys

MB = 1024 * 1024
TOTAL = 50 * MB
TARGETS = {"KQ.exe": 2 * MB, "Bin/libcef.dll": 36 * MB}


def main(source, out):
    files = []
    for folder, _, names in os.walk(source):
        for name in names:
            files.append(os.path.relpath(os.path.join(folder, name), source).replace(os.sep, "/"))
    files.sort()
    rest = [f for f in files if f not in TARGETS]
    share = (TOTAL - sum(TARGETS.values())) // len(rest)
    generator = random.Random(2052)
    for f in files:
        with open(os.path.join(source, f), "rb") as src:
            data = src.read()
        size = max(len(data), TARGETS.get(f, share))
        path = os.path.join(out, f)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as dst:
            dst.write(data)
            dst.write(generator.randbytes(size - len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
