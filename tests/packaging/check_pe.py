#!/usr/bin/env python3
"""Checks shipped programs by reading the files: 32-bit x86 GUI executables with the process manifest
(Windows Vista to 10 supported, administrator rights requested) and no compiler runtime DLL imports.
With --payload FOLDER the one program given is the installer: it must carry exactly the payload
resources, each under language 2052 and as large as its file in FOLDER (the install layout)."""
import os
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Windows Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10",
}
RUNTIME_DLLS = ("libstdc++", "libgcc", "libwinpthread")
RT_MANIFEST = 24
PAYLOAD_LANGUAGE = 2052
# Resource type, resource name, file in the install layout.
PAYLOAD = [
    ("MYEXEFILE", "KQ_O_EXE", "KQ.exe"),
    ("MYPAKFILE", "KQ_O_PAK", "Bin/cef.pak"),
    ("MYPAKFILE", "KQ_1_PAK", "Bin/cef_100_percent.pak"),
    ("MYPAKFILE", "KQ_2_PAK", "Bin/cef_200_percent.pak"),
    ("MYPAKFILE", "KQ_3_PAK", "Bin/cef_extensions.pak"),
    ("MYPAKFILE", "KQ_4_PAK", "Bin/devtools_resources.pak"),
    ("MYPAKFILE", "KQ_5_PAK", "Bin/locales/zh-CN.pak"),
    ("MYDLLFILE", "KQ_O_DLL", "Bin/d3dcompiler_43.dll"),
    ("MYDLLFILE", "KQ_1_DLL", "Bin/d3dcompiler_47.dll"),
    ("MYDLLFILE", "KQ_2_DLL", "Bin/libcef.dll"),
    ("MYDLLFILE", "KQ_3_DLL", "Bin/libEGL.dll"),
    ("MYDLLFILE", "KQ_4_DLL", "Bin/libGLESv2.dll"),
    ("MYDLLFILE", "KQ_5_DLL", "Bin/widevinecdmadapter.dll"),
    ("MYDATFILE", "KQ_O_DAT", "Bin/icudtl.dat"),
    ("MYBINFILE", "KQ_O_DIN", "Bin/natives_blob.bin"),
    ("MYBINFILE", "KQ_1_DIN", "Bin/snapshot_blob.bin"),
]


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        if self.magic == 0x10B:
            self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
            dirs = opt + 96
        elif self.magic == 0x20B:
            self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
            dirs = opt + 112
        else:
            raise ValueError("unknown optional header magic %#x" % self.magic)
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(nsections):
            s = opt + opt_size + 40 * i
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x outside every section" % rva)

    def cstring(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b"\0", off)].decode("ascii", "replace")

    def imports(self):
        rva, size = self.dirs[1]
        names = []
        if not rva:
            return names
        off = self.offset(rva)
        while True:
            name_rva = struct.unpack_from("<I", self.data, off + 12)[0]
            if not name_rva:
                return names
            names.append(self.cstring(name_rva))
            off += 20

    def resource_entries(self):
        """Every resource as (type, name, language, bytes); named types and names as text, ids as numbers."""
        root_rva, _ = self.dirs[2]
        if not root_rva:
            return []
        root = self.offset(root_rva)

        def entries(dir_off):
            named, ids = struct.unpack_from("<HH", self.data, dir_off + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, dir_off + 16 + 8 * i)
                if ident & 0x80000000:
                    off = root + (ident & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, off)[0]
                    ident = self.data[off + 2:off + 2 + 2 * length].decode("utf-16-le")
                yield ident, target

        found = []
        for type_id, names in entries(root):
            for name_id, languages in entries(root + (names & 0x7FFFFFFF)):
                for language, leaf in entries(root + (languages & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", self.data, root + leaf)
                    off = self.offset(data_rva)
                    found.append((type_id, name_id, language, self.data[off:off + size]))
        return found

    def resource(self, type_id, name_id):
        root_rva, _ = self.dirs[2]
        if not root_rva:
            return None
        root = self.offset(root_rva)

        def entries(dir_off):
            named, ids = struct.unpack_from("<HH", self.data, dir_off + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, dir_off + 16 + 8 * i)
                yield ident, target

        def find(dir_off, ident):
            for i, target in entries(dir_off):
                if ident is None or i == ident:
                    return target
            return None

        level = root
        for ident in (type_id, name_id, None):
            target = find(level, ident)
            if target is None:
                return None
            if target & 0x80000000:
                level = root + (target & 0x7FFFFFFF)
            else:
                data_rva, size = struct.unpack_from("<II", self.data, root + target)
                off = self.offset(data_rva)
                return self.data[off:off + size]
        return None


def check(path):
    problems = []
    with open(path, "rb") as f:
        pe = PeFile(f.read())
    if pe.machine != 0x14C or pe.magic != 0x10B:
        problems.append("not a 32-bit x86 program (machine %#x, magic %#x)" % (pe.machine, pe.magic))
    if pe.subsystem != 2:
        problems.append("subsystem %d, not the Windows GUI subsystem" % pe.subsystem)
    described = subprocess.run(["file", "-b", path], capture_output=True, text=True).stdout
    if "PE32 executable (GUI) Intel 80386" not in described:
        problems.append("file(1) says: " + described.strip())
    runtime = [d for d in pe.imports() if d.lower().startswith(RUNTIME_DLLS)]
    if runtime:
        problems.append("imports compiler runtime DLLs: " + ", ".join(runtime))

    manifest = pe.resource(RT_MANIFEST, 1)
    if manifest is None:
        problems.append("no process manifest (resource type 24, id 1)")
    else:
        root = ET.fromstring(manifest)
        levels = [e.get("level") for e in root.iter() if e.tag.endswith("}requestedExecutionLevel")]
        if levels != ["requireAdministrator"]:
            problems.append("requested execution level is %s, not requireAdministrator" % levels)
        declared = {e.get("Id", "").lower() for e in root.iter() if e.tag.endswith("}supportedOS")}
        for guid, name in SUPPORTED_OS.items():
            if guid not in declared:
                problems.append("manifest does not declare support for " + name)
    return problems


def check_payload(path, folder):
    """Lists the installer's payload resources and compares them with the payload files."""
    problems = []
    with open(path, "rb") as f:
        pe = PeFile(f.read())
    carried = {(t, n): (lang, data) for t, n, lang, data in pe.resource_entries() if isinstance(t, str)}
    expected = {(t, n) for t, n, _ in PAYLOAD}
    for key in sorted(set(carried) - expected):
        problems.append("resource %s/%s is not part of the payload" % key)
    for resource_type, name, file in PAYLOAD:
        if (resource_type, name) not in carried:
            problems.append("resource %s/%s is missing" % (resource_type, name))
            continue
        language, data = carried[(resource_type, name)]
        with open(os.path.join(folder, file), "rb") as f:
            content = f.read()
        print("%-9s %-8s language %d %9d bytes  %s" % (resource_type, name, language, len(data), file))
        if language != PAYLOAD_LANGUAGE:
            problems.append("%s/%s has language %d, not %d" % (resource_type, name, language, PAYLOAD_LANGUAGE))
        if len(data) != len(content):
            problems.append("%s/%s holds %d bytes, %s has %d" % (resource_type, name, len(data), file, len(content)))
        elif data != content:
            problems.append("%s/%s does not hold the bytes of %s" % (resource_type, name, file))
    return problems


def main(paths):
    if paths[:1] == ["--payload"] and len(paths) == 3:
        try:
            problems = check_payload(paths[2], paths[1])
        except (OSError, ValueError, struct.error) as e:
            problems = ["unreadable: %s" % e]
        for p in problems:
            print("%s: %s" % (paths[2], p))
        return 1 if problems else 0
    failed = False
    for path in paths:
        try:
            problems = check(path)
        except (OSError, ValueError, ET.ParseError, struct.error) as e:
            problems = ["unreadable: %s" % e]
        for p in problems:
            print("%s: %s" % (path, p))
        if problems:
            failed = True
        else:
            print("%s: PE32 GUI program, Vista-10 manifest, administrator rights, static runtime" % path)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
