#!/usr/bin/env python3
"""Checks a built engine library by reading its export table: every name of NAMES_FILE is exported,
undecorated, and the library is a 32-bit x86 DLL.

    check_exports.py NAMES_FILE LIBRARY.dll"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packaging"))
from check_pe import PeFile  # noqa: E402


def exported_names(pe):
    rva, _ = pe.dirs[0]
    if not rva:
        return []
    off = pe.offset(rva)
    count, names_rva = struct.unpack_from("<I", pe.data, off + 24)[0], struct.unpack_from("<I", pe.data, off + 32)[0]
    names_off = pe.offset(names_rva) if count else 0
    return [pe.cstring(struct.unpack_from("<I", pe.data, names_off + 4 * i)[0]) for i in range(count)]


def main(names_file, library):
    with open(names_file) as f:
        wanted = [l.strip() for l in f if l.strip()]
    with open(library, "rb") as f:
        pe = PeFile(f.read())
    problems = []
    if pe.machine != 0x14C:
        problems.append("not a 32-bit x86 file (machine %#x)" % pe.machine)
    names = exported_names(pe)
    missing = [n for n in wanted if n not in names]
    if missing:
        problems.append("%d of %d exports missing: %s" % (len(missing), len(wanted), ", ".join(missing)))
    decorated = [n for n in names if "@" in n or n.startswith("_")]
    if decorated:
        problems.append("decorated export names: " + ", ".join(decorated))
    for p in problems:
        print("%s: %s" % (library, p))
    if not problems:
        print("%s: all %d exports present, undecorated" % (library, len(wanted)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
