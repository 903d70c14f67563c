"""Inspects the release files of one Windows tree without running them:
the stripped cellarium.scr, the zip and the NSIS installer.

    check_release_files.py --machine i386|amd64 --version 1.0.0.0 SCR ZIP SETUP

Checks that the .scr and the installer are PE32 (i386) or PE32+ (amd64)
programs, that the version resource of each reads back the way Windows
reads it (the fixed numbers; the strings of the block the Translation value
names), that the zip holds this .scr and the text, and that the installer
carries this very .scr (unpacked with 7-Zip). Prints "ok"/"FAIL" per check
and "N passed, N failed"; exits non-zero on any failure.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

MACHINES = {"i386": (0x14C, 0x10B), "amd64": (0x8664, 0x20B)}  # machine, optional-header magic
RT_VERSION = 16


class PE:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = data = f.read()
        if data[:2] != b"MZ":
            raise ValueError(f"{path} is not a Windows program")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path} has no PE header")
        self.machine, count = struct.unpack_from("<HH", data, pe + 4)
        opt_size = struct.unpack_from("<H", data, pe + 20)[0]
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        # The data directories follow the 96 (PE32) or 112 (PE32+) bytes of
        # fixed fields; the resource table is the third.
        directories = opt + (96 if self.magic == 0x10B else 112)
        self.rsrc = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.sections = [struct.unpack_from("<IIII", data, opt + opt_size + 40 * i + 8)
                         for i in range(count)]  # virtual size, address, raw size, raw offset

    def at(self, rva):
        for vsize, va, rsize, raw in self.sections:
            if va <= rva < va + max(vsize, rsize):
                return raw + rva - va
        raise ValueError(f"address {rva:#x} is in no section")

    def resource(self, kind):
        """The bytes of the first resource of the kind (first name, first language)."""
        base = self.at(self.rsrc)
        offset, wanted = 0, kind
        for _ in range(3):  # type, name, language
            named, ids = struct.unpack_from("<HH", self.data, base + offset + 12)
            entries = [struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                       for i in range(named + ids)]
            match = [e for e in entries if wanted is None or e[0] == wanted]
            if not match:
                return None
            offset, wanted = match[0][1] & 0x7FFFFFFF, None
        rva, size = struct.unpack_from("<II", self.data, base + offset)
        return self.data[self.at(rva):self.at(rva) + size]


def version_node(buf, o):
    """One node of a version resource: (key, value bytes, children)."""
    length, value_length, text = struct.unpack_from("<HHH", buf, o)
    end = o + length
    k = o + 6
    while buf[k:k + 2] != b"\0\0":
        k += 2
    key = buf[o + 6:k].decode("utf-16-le")
    v = (k + 2 + 3) & ~3
    value = buf[v:v + value_length * (2 if text else 1)]
    c = (v + len(value) + 3) & ~3
    children = []
    while c < end:
        child = version_node(buf, c)
        children.append(child[:3])
        c = (c + child[3] + 3) & ~3
    return key, value, children, length


def version_info(pe):
    """(file version, product version, {string: text}) as Windows' version
    functions give them, or None when there is no version resource."""
    blob = pe.resource(RT_VERSION)
    if blob is None:
        return None
    key, fixed, children, _ = version_node(blob, 0)
    if key != "VS_VERSION_INFO" or struct.unpack_from("<I", fixed)[0] != 0xFEEF04BD:
        raise ValueError("malformed VS_VERSION_INFO")
    fms, fls, pms, pls = struct.unpack_from("<IIII", fixed, 8)
    number = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    nodes = {k: c for k, _, c in children}
    translation = {k: v for k, v, _ in nodes.get("VarFileInfo", [])}.get("Translation", b"")
    if len(translation) < 4:
        raise ValueError("no Translation value")
    lang, codepage = struct.unpack_from("<HH", translation)
    block = f"{lang:04x}{codepage:04x}"
    tables = {k.lower(): c for k, _, c in nodes.get("StringFileInfo", [])}
    strings = {k: v.decode("utf-16-le").rstrip("\0") for k, v, _ in tables.get(block, [])}
    return number(fms, fls), number(pms, pls), strings


def unpack_installer(setup, folder):
    seven = shutil.which("7zz") or shutil.which("7z")
    if not seven:
        raise RuntimeError("7zz not found (Debian package 7zip)")
    result = subprocess.run([seven, "x", "-y", f"-o{folder}", setup], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"7-Zip could not unpack {setup}: {result.stderr.strip() or result.stdout[-300:]}")
    return [os.path.join(d, f) for d, _, files in os.walk(folder) for f in files]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--machine", choices=MACHINES, required=True)
    ap.add_argument("--version", required=True, help="four numbers, e.g. 1.0.0.0")
    ap.add_argument("scr")
    ap.add_argument("zip")
    ap.add_argument("setup")
    args = ap.parse_args()
    passed = failed = 0

    def check(name, run):
        nonlocal passed, failed
        try:
            problem = run()
        except Exception as e:  # a malformed file is a failed check, not a crash
            problem = f"error: {e}"
        if problem:
            failed += 1
            print(f"FAIL {name}: {problem}", flush=True)
        else:
            passed += 1
            print(f"ok {name}", flush=True)

    with open(args.scr, "rb") as f:
        scr = f.read()
    kind = "PE32" if args.machine == "i386" else "PE32+"

    def is_program(path):
        def run():
            pe = PE(path)
            if (pe.machine, pe.magic) != MACHINES[args.machine]:
                return f"machine {pe.machine:#x}, header {pe.magic:#x}: not a {kind} {args.machine} program"
        return run

    def saver_version():
        info = version_info(PE(args.scr))
        if info is None:
            return "no version resource"
        file_version, product_version, strings = info
        expected = {"ProductName": "Cellarium", "FileVersion": args.version,
                    "ProductVersion": args.version, "OriginalFilename": "cellarium.scr"}
        wrong = [f"{k}={strings.get(k)!r}" for k, v in expected.items() if strings.get(k) != v]
        wrong += [f"{k} missing" for k in ("FileDescription", "LegalCopyright") if not strings.get(k)]
        if (file_version, product_version) != (args.version, args.version):
            wrong.append(f"fixed versions {file_version}, {product_version}")
        return "; ".join(wrong)

    def setup_version():
        info = version_info(PE(args.setup))
        if info is None or info[2].get("ProductName") != "Cellarium" or info[0] != args.version:
            return f"installer version resource reads {info}"

    def zip_contents():
        with zipfile.ZipFile(args.zip) as z:
            names = sorted(z.namelist())
            if names != ["README.txt", "cellarium.scr"]:
                return f"holds {names}"
            if z.read("cellarium.scr") != scr:
                return "its cellarium.scr is not the stripped one"
            if b"\r\n" not in z.read("README.txt"):
                return "README.txt has no Windows line ends"

    def installer_carries_scr():
        with tempfile.TemporaryDirectory() as folder:
            found = [p for p in unpack_installer(args.setup, folder)
                     if os.path.basename(p).lower() == "cellarium.scr"]
            if len(found) != 1:
                return f"{len(found)} files named cellarium.scr inside"
            with open(found[0], "rb") as f:
                if f.read() != scr:
                    return "the cellarium.scr inside differs from the stripped one"

    check(f"the saver is a {kind} program", is_program(args.scr))
    check(f"the installer is a {kind} program", is_program(args.setup))
    check("the saver's version resource reads back", saver_version)
    check("the installer's version resource reads back", setup_version)
    check("the zip holds the saver and the text", zip_contents)
    check("the installer carries this saver", installer_carries_scr)
    print(f"{passed} passed, {failed} failed", flush=True)
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
