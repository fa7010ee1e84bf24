#!/usr/bin/env python3
"""Combines the rounds of `msxhost bench` on the three targets into one table.

    product.py LOADAVG_START LOADAVG_END TARGET.ROUND.tsv...

Each input is named TARGET.ROUND.tsv (native, win64, win32) and holds
msxhost bench's lines: formula, fastest ns/bar, median ns/bar, result digest.
Writes to standard output a tab-separated table: comment lines (# key<TAB>
value: the processor, the load, the rounds), then per formula the fastest
ns/bar of every target over all rounds. Fails when a result differs between
the targets or rounds (the digests), as the three must compute the same bits.
"""

import os
import sys

TARGETS = ("native", "win64", "win32")


def cpu_model():
    with open("/proc/cpuinfo", encoding="utf-8") as f:
        for line in f:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return "unknown"


def emulated_i386():
    """Whether this kernel hands 32-bit x86 programs to an emulator (such as
    qemu-i386 through binfmt_misc): then the 32-bit Wine, and the product DLL
    in it, run emulated, and the win32 figures are no measure of the product."""
    path = "/proc/sys/fs/binfmt_misc/qemu-i386"
    try:
        with open(path, encoding="utf-8") as f:
            return f.readline().strip() == "enabled"
    except OSError:
        return False


def main():
    if len(sys.argv) < 4:
        sys.exit("usage: product.py LOADAVG_START LOADAVG_END TARGET.ROUND.tsv...")
    loads = []
    for path in sys.argv[1:3]:
        with open(path, encoding="utf-8") as f:
            loads.append(" ".join(f.read().split()[:3]))
    fastest, digests, order, rounds = {}, {}, [], set()
    for path in sys.argv[3:]:
        target, round_ = os.path.basename(path).split(".")[:2]
        rounds.add(round_)
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()[1:]  # after the header
        for line in lines:
            formula, best, _median, digest = line.split("\t")
            if formula not in order:
                order.append(formula)
            if digests.setdefault(formula, digest) != digest:
                sys.exit(f"product.py: {formula} gives another result on {target} (round {round_})")
            key = (formula, target)
            fastest[key] = min(fastest.get(key, float("inf")), float(best))
    print(f"# cpu\t{cpu_model()}")
    print(f"# load\t{loads[0]} when the run started, {loads[1]} when it ended")
    print(f"# rounds\t{len(rounds)}")
    print(f"# win32 emulated\t{'yes' if emulated_i386() else 'no'}")
    print("formula\t" + "\t".join(TARGETS) + "\tdigest")
    for formula in order:
        cells = [f"{fastest.get((formula, t), float('nan')):.2f}" for t in TARGETS]
        print(f"{formula}\t" + "\t".join(cells) + f"\t{digests[formula]}")


if __name__ == "__main__":
    main()
