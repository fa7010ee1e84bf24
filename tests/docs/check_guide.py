#!/usr/bin/env python3
"""Checks the user guide (docs/guide.md) against the built library.

  check_guide.py MSXHOST LIBRARY SOURCE_DIR

Fails when the guide names a function, an argument, an argument kind or a
choice that the library does not describe (or leaves a function or an
argument out), when an ExtFml example calls a function that is not there or
with the wrong number of arguments, when an error text in its
troubleshooting table is not in the library, when a chart differs from
what scripts/guide-charts.sh draws from the bundled data, or when the
guide's Installing section and docs/INSTALL.txt (English, then Russian) do
not say the same thing: both must name the setup program and the host's
folder, each of the section's inline code names must be in both halves of
INSTALL.txt, and each package or file INSTALL.txt names must be in the
section.
"""
import os
import re
import subprocess
import sys
import tempfile

KINDS = {"series": "series", "numeric": "number", "string": "text", "custom": "choice"}


def describe(host, library):
    env = dict(os.environ, LC_ALL="ru_RU.UTF-8")  # all eleven functions
    out = subprocess.run([host, "describe", "--lib", library], env=env, check=True,
                         capture_output=True, text=True).stdout
    functions, current = {}, None
    for line in out.splitlines():
        m = re.match(r"\[\d+\] (\S+) - ", line)
        if m:
            current = functions.setdefault(m.group(1), [])
            continue
        m = re.match(r"\s+\d+ (series|numeric|string|custom)\s+(\S+)(.*)", line)
        if m and current is not None:
            choices = re.findall(r"(\S+)=\d+", m.group(3))
            current.append((m.group(2), KINDS[m.group(1)], choices))
    return functions


def sections(guide):
    """The text under each '#### `NAME`' heading, up to the next heading."""
    parts = re.split(r"^#{2,4} ", guide, flags=re.M)
    out = {}
    for part in parts:
        m = re.match(r"`([^`]+)`\n", part)
        if m:
            out[m.group(1)] = part[m.end():]
    return out


def split_arguments(text):
    """The top-level arguments of a call's argument text."""
    args, depth, quoted, current = [], 0, False, ""
    for c in text:
        if c == '"':
            quoted = not quoted
        elif not quoted and c == "(":
            depth += 1
        elif not quoted and c == ")":
            depth -= 1
        if c == "," and depth == 0 and not quoted:
            args.append(current.strip())
            current = ""
        else:
            current += c
    if current.strip():
        args.append(current.strip())
    return args


def ext_calls(guide):
    """Every ExtFml("MSX_QMR.NAME", ...) in the guide: (name, argument count)."""
    calls = []
    for m in re.finditer(r'ExtFml\("MSX_QMR\.(\w+)"', guide):
        i, depth, quoted = m.start() + len("ExtFml("), 1, False
        start = i
        while i < len(guide) and depth > 0:
            c = guide[i]
            if c == '"':
                quoted = not quoted
            elif not quoted and c == "(":
                depth += 1
            elif not quoted and c == ")":
                depth -= 1
            i += 1
        calls.append((m.group(1), len(split_arguments(guide[start:i - 1])) - 1))
    return calls


SETUP = "msx_qmr-1.8.0.11-setup.exe"
HOST_FOLDER = "External Function DLLs"
RUSSIAN_MARK = "--- По-русски ---"


def install_faults(guide, install):
    """The guide's Installing section against INSTALL.txt."""
    m = re.search(r"^## Installing\n(.*?)^## ", guide, flags=re.M | re.S)
    if not m:
        return ["the guide has no Installing section"]
    section = re.sub(r"\s+", " ", re.sub(r"^ *```.*?^ *```", "", m.group(1), flags=re.M | re.S))
    if RUSSIAN_MARK not in install:
        return [f"INSTALL.txt has no line {RUSSIAN_MARK!r} before its Russian half"]
    halves = [re.sub(r"\s+", " ", half) for half in install.split(RUSSIAN_MARK, 1)]
    faults = []
    for name in (SETUP, HOST_FOLDER):
        if name not in section:
            faults.append(f"the guide's Installing section does not name {name}")
        for language, half in zip(("English", "Russian"), halves):
            if name not in half:
                faults.append(f"INSTALL.txt ({language}) does not name {name}")
    for name in sorted(set(re.findall(r"`([^`]+)`", section))):
        for language, half in zip(("English", "Russian"), halves):
            if name not in half:
                faults.append(f"INSTALL.txt ({language}) does not name {name}, as the guide does")
    for name in sorted(set(re.findall(r"[\w.-]+\.(?:exe|dll|ini|zip|tar\.gz)\b", install))):
        if f"`{name}`" not in section:
            faults.append(f"the guide's Installing section does not name {name}, as INSTALL.txt does")
    return faults


def main():
    host, library, source = sys.argv[1:4]
    guide = open(os.path.join(source, "docs", "guide.md"), encoding="utf-8").read()
    functions = describe(host, library)
    faults = []

    found = sections(guide)
    for name in functions:
        if name not in found:
            faults.append(f"function {name} has no section")
    for name, text in found.items():
        if name not in functions:
            if re.match(r"\w+$", name) and name[0].isupper() and "\n- `" in text:
                faults.append(f"section for a function the library lacks: {name}")
            continue
        arguments = {a: (kind, choices) for a, kind, choices in functions[name]}
        listed = set()
        for bullet in re.findall(r"^- (`.+?)(?=^- |^$)", text, flags=re.M | re.S):
            m = re.match(r"`([^`]+)`(?: to `([^`]+)`)? \((\w+)\)(.*)", bullet, flags=re.S)
            if not m:
                continue
            first, last, kind, rest = m.groups()
            names = [first]
            if last:
                a, b = re.match(r"(\D+)(\d)", first), re.match(r"(\D+)(\d)", last)
                tail = first[a.end():]
                names = [f"{a.group(1)}{i}{tail}" for i in range(int(a.group(2)), int(b.group(2)) + 1)]
            for arg in names:
                if arg not in arguments:
                    faults.append(f"{name}: no argument {arg}")
                    continue
                listed.add(arg)
                if arguments[arg][0] != kind:
                    faults.append(f"{name}: {arg} is a {arguments[arg][0]}, not a {kind}")
                if kind == "choice":
                    for choice in re.findall(r"`(\w+)`", rest):
                        if choice not in arguments[arg][1]:
                            faults.append(f"{name}: {arg} has no choice {choice}")
        for arg in arguments:
            if arg not in listed:
                faults.append(f"{name}: argument {arg} is not described")

    for name, count in ext_calls(guide):
        if name not in functions:
            faults.append(f"ExtFml example calls {name}, which the library lacks")
        elif count != len(functions[name]):
            faults.append(f"ExtFml example of {name} has {count} arguments, not {len(functions[name])}")

    binary = open(library, "rb").read()
    for text in re.findall(r'^\| "([^"]+)" \|', guide, flags=re.M):
        for piece in text.split("…"):
            if piece and piece.encode() not in binary:
                faults.append(f'error text "{text}" is not in the library')

    charts = sorted(set(re.findall(r"\(charts/([\w.-]+\.svg)\)", guide)))
    on_disk = sorted(f for f in os.listdir(os.path.join(source, "docs", "charts")) if f.endswith(".svg"))
    if charts != on_disk:
        faults.append(f"charts in the guide {charts} differ from docs/charts {on_disk}")
    with tempfile.TemporaryDirectory() as fresh:
        subprocess.run([os.path.join(source, "scripts", "guide-charts.sh"), fresh], check=True,
                       env=dict(os.environ, MSXHOST=host), capture_output=True)
        for chart in on_disk:
            made = os.path.join(fresh, chart)
            if not os.path.exists(made):
                faults.append(f"scripts/guide-charts.sh does not draw {chart}")
            elif open(made, "rb").read() != open(os.path.join(source, "docs", "charts", chart), "rb").read():
                faults.append(f"docs/charts/{chart} differs from what scripts/guide-charts.sh draws")

    install = open(os.path.join(source, "docs", "INSTALL.txt"), encoding="utf-8").read()
    faults += install_faults(guide, install)

    for fault in faults:
        print("check_guide:", fault)
    print(f"check_guide: {len(functions)} functions, {len(ext_calls(guide))} examples, "
          f"{len(charts)} charts, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
