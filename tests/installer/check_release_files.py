"""Inspects the release files of one Windows tree without running them,
through 7-Zip, which reads Windows programs and NSIS installers:

    check_release_files.py --machine x86|x64 --version 1.0.0.0 --source DIR SCR ZIP SETUP

The stripped cellarium.scr and the installer are programs of the machine
(x86: PE32, x64: PE32+) whose PE headers carry the commit's time
($SOURCE_DATE_EPOCH, else the time of the commit checked out in DIR); the
zip's entries carry it too; the version resource of the .scr reads back the
expected fields from the string block its Translation value names; the zip
holds this .scr and the text; the installer carries this very .scr.
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import Suite, expect  # noqa: E402


def seven(*args):
    tool = shutil.which("7zz")
    if not tool:
        raise RuntimeError("7zz not found (Debian package 7zip)")
    result = subprocess.run([tool, *args], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"7zz {' '.join(args)}: {result.stderr.strip() or result.stdout[-300:]}")
    return result.stdout


def program(path):
    """The header fields 7-Zip shows for a Windows program ("CPU", "64-bit")."""
    head = seven("l", "-slt", "-tPE", path).split("\n----------\n")[0]
    return dict(re.findall(r"^([\w -]+?) = (.*)$", head, re.M))


def pe_timestamp(data):
    """TimeDateStamp of the COFF header of a Windows program's bytes."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<I", data, pe + 8)[0]


def commit_time(source):
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    out = subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"], capture_output=True,
                         text=True)
    if out.returncode != 0:
        raise RuntimeError(f"no commit time in {source}: {out.stderr.strip()}")
    return int(out.stdout)


def version(path):
    """(FILEVERSION, PRODUCTVERSION, {name: text}) of the version resource,
    the strings taken from the block the Translation value names."""
    with tempfile.TemporaryDirectory() as folder:
        seven("x", "-tPE", f"-o{folder}", path, ".rsrc/version.txt")
        found = os.path.join(folder, ".rsrc", "version.txt")
        expect(os.path.exists(found), "no version resource")
        with open(found, encoding="utf-16-le", newline="") as f:
            text = f.read().replace("\r\n", "\n")
    numbers = dict(re.findall(r"^(FILEVERSION|PRODUCTVERSION)\s+([\d,]+)$", text, re.M))
    translation = re.search(r'VALUE "Translation", (0x[0-9a-fA-F]+), (\d+)', text)
    expect(translation, "no Translation value")
    lang, codepage = translation.groups()
    block = re.search(rf'BLOCK "{int(lang, 16):04x}{int(codepage):04x}"\s*\{{(.*?)\}}', text, re.S | re.I)
    expect(block, f"no string block for the Translation {lang}, {codepage}")
    return (numbers.get("FILEVERSION"), numbers.get("PRODUCTVERSION"),
            dict(re.findall(r'VALUE "(\w+)",\s*"(.*)"', block.group(1))))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--machine", choices=("x86", "x64"), required=True)
    ap.add_argument("--version", required=True, help="four numbers, e.g. 1.0.0.0")
    ap.add_argument("--source", required=True, help="the source tree, for its commit's time")
    ap.add_argument("scr")
    ap.add_argument("zip")
    ap.add_argument("setup")
    args = ap.parse_args()
    with open(args.scr, "rb") as f:
        scr = f.read()
    numbers = args.version.replace(".", ",")
    kind = {"x86": "PE32", "x64": "PE32+"}[args.machine]
    epoch = commit_time(args.source)
    suite = Suite()

    for name, path in (("saver", args.scr), ("installer", args.setup)):
        with suite.check(f"the {name} is a {kind} program stamped with the commit's time"):
            fields = program(path)
            got = (fields.get("CPU"), fields.get("64-bit") == "+")
            expect(got == (args.machine, args.machine == "x64"), f"CPU, 64-bit: {got}")
            with open(path, "rb") as f:
                stamp = pe_timestamp(f.read(4096))
            expect(stamp == epoch, f"PE time stamp {stamp}, the commit's time {epoch}")

    with suite.check("the saver's version resource reads back"):
        file_version, product_version, strings = version(args.scr)
        expected = {"ProductName": "Cellarium", "FileVersion": args.version, "ProductVersion": args.version,
                    "OriginalFilename": "cellarium.scr"}
        wrong = {k: strings.get(k) for k, v in expected.items() if strings.get(k) != v}
        wrong.update({k: None for k in ("FileDescription", "LegalCopyright") if not strings.get(k)})
        expect(not wrong, f"strings {wrong}")
        expect((file_version, product_version) == (numbers, numbers),
               f"FILEVERSION {file_version}, PRODUCTVERSION {product_version}")

    with suite.check("the zip holds the saver and the text"):
        with zipfile.ZipFile(args.zip) as z:
            expect(sorted(z.namelist()) == ["README.txt", "cellarium.scr"], f"holds {z.namelist()}")
            expect(z.read("cellarium.scr") == scr, "its cellarium.scr is not the stripped one")
            dos_time = time.gmtime(epoch + epoch % 2)[:6]  # zip rounds up to 2 s
            times = {i.filename: i.date_time for i in z.infolist()}
            expect(set(times.values()) == {dos_time}, f"entry times {times}, the commit's {dos_time}")

    with suite.check("the installer carries this saver"):
        with tempfile.TemporaryDirectory() as folder:
            seven("x", f"-o{folder}", args.setup)
            found = [os.path.join(d, f) for d, _, files in os.walk(folder) for f in files
                     if f.lower() == "cellarium.scr"]
            expect(len(found) == 1, f"{len(found)} files named cellarium.scr inside")
            with open(found[0], "rb") as f:
                expect(f.read() == scr, "the cellarium.scr inside differs from the stripped one")
    return suite.finish()


if __name__ == "__main__":
    sys.exit(main())
