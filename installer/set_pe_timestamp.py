"""Writes a time stamp into the COFF header of a Windows program, in place:

    set_pe_timestamp.py FILE SECONDS

makensis runs it on the installer's header (!packhdr) as it writes the
installer, so the installer carries the commit's time instead of the time
NSIS's own stub was built. Says what is wrong and exits 1 when FILE is not
a PE program.
"""

import struct
import sys


def main():
    if len(sys.argv) != 3 or not sys.argv[2].isdigit() or int(sys.argv[2]) >= 1 << 32:
        sys.exit("usage: set_pe_timestamp.py FILE SECONDS (0 to 4294967295)")
    path, seconds = sys.argv[1], int(sys.argv[2])
    with open(path, "r+b") as f:
        head = f.read(0x40)
        if len(head) < 0x40 or head[:2] != b"MZ":
            sys.exit(f"set_pe_timestamp.py: {path} is not a Windows program (no MZ header)")
        pe = struct.unpack_from("<I", head, 0x3C)[0]
        f.seek(pe)
        if f.read(4) != b"PE\0\0":
            sys.exit(f"set_pe_timestamp.py: {path} has no PE signature at {pe:#x}")
        f.seek(pe + 8)  # signature, Machine, NumberOfSections, then TimeDateStamp
        f.write(struct.pack("<I", seconds))


if __name__ == "__main__":
    main()
