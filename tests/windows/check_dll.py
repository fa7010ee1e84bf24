#!/usr/bin/env python3
"""Checks the product DLL as the host and a user's machine see it.

  check_dll.py OBJDUMP DLL DEF

Runs `OBJDUMP -p DLL` and checks that the export table holds exactly the
names the module-definition file DEF lists, undecorated (no standard-call "@N"); that every imported DLL is
a Windows system DLL (the C++ runtime must be linked in); that the image is a
32-bit one when OBJDUMP is the i686 one; and that the version resource says
1.8.0.11 (the fixed file information block, decoded from the file itself).
"""
import re
import struct
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "msvcrt.dll", "advapi32.dll", "gdi32.dll",
               "ntdll.dll", "shell32.dll", "ole32.dll", "oleaut32.dll", "ws2_32.dll",
               "api-ms-win-crt-runtime-l1-1-0.dll"}
VERSION = (1, 8, 0, 11)


def exports(dump):
    m = re.search(r"\[Ordinal/Name Pointer\] Table\n((?:\s+\[\s*\d+\] \S+\n)+)", dump)
    return sorted(re.findall(r"\] (\S+)", m.group(1))) if m else []


def version(path):
    data = open(path, "rb").read()
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    _sig, _struct, ms, ls = struct.unpack_from("<IIII", data, at)
    return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def main():
    objdump, dll, deffile = sys.argv[1:4]
    lines = open(deffile).read().split("EXPORTS", 1)[1].split("\n")
    names = sorted(l.split()[0] for l in lines if l.strip() and not l.strip().startswith(";"))
    dump = subprocess.run([objdump, "-p", dll], check=True, capture_output=True,
                          text=True).stdout
    failures = []
    got = exports(dump)
    if got != names:
        failures.append(f"exports {got}, expected {names}")
    if any("@" in n for n in got):
        failures.append(f"decorated exports: {[n for n in got if '@' in n]}")
    imports = sorted({d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)})
    foreign = [d for d in imports if d not in SYSTEM_DLLS]
    if foreign:
        failures.append(f"imports non-system DLLs {foreign}")
    if "i686" in objdump and "file format pei-i386" not in dump:
        failures.append("not a 32-bit image")
    v = version(dll)
    if v != VERSION:
        failures.append(f"version resource {v}, expected {VERSION}")
    for f in failures:
        print(f"check_dll: {dll}: {f}")
    if not failures:
        print(f"check_dll: {dll}: exports {', '.join(got)}; imports {', '.join(imports)}; "
              f"version {'.'.join(map(str, v))}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
