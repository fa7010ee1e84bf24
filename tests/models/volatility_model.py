#!/usr/bin/env python3
"""An independent model of the volatility indicators in exact rational
arithmetic, used to write and review their test vectors.

Every operation is carried out exactly and then rounded as the library
rounds it: an operation on extended operands to a 64-bit significand, a
stored double to 53 bits, a stored float to 24 bits, halves to even. A
formula that rounds through double where the library keeps extended
precision shows up here as a different last bit.

    volatility_model.py check                  re-derive every vector under tests/data
    volatility_model.py make FORMULA CSV FIRST_BAR LAST_BAR
                                          print the expected block of a vector
                                          over the given bars of the CSV
"""
import csv
import math
import os
import re
import struct
import sys
from fractions import Fraction as Q


class Fault(Exception):
    pass


def rnd(x, bits):
    if x == 0:
        return Q(0)
    sign = -1 if x < 0 else 1
    a = abs(x)
    e = a.numerator.bit_length() - a.denominator.bit_length()
    if Q(2) ** e > a:
        e -= 1
    scale = Q(2) ** (bits - 1 - e)
    m = a * scale
    q = m.numerator // m.denominator
    r = m - q
    if r > Q(1, 2) or (r == Q(1, 2) and q % 2 == 1):
        q += 1
    return sign * Q(q) / scale


def ext(x):
    return rnd(x, 64)


def dbl(x):
    return rnd(x, 53)


def flt(x):
    f = rnd(x, 24)
    if abs(f) > Q(2) ** 128 - Q(2) ** 104:
        raise Fault("float overflow")
    return f


def nearest(x):
    """Nearest integer, halves to even."""
    f = math.floor(x)
    r = x - f
    if r > Q(1, 2) or (r == Q(1, 2) and f % 2 == 1):
        f += 1
    return int(f)


def weighted_average(x, i, n):
    if n < 1 or i < n:
        return Q(0)
    total = Q(0)
    weights = 0
    for j in range(1, n + 1):
        total = dbl(ext(total + ext(j * x[i - n + j])))
        weights += j
    return dbl(ext(total / weights))


def true_range(high, low, close, first, last):
    tr = [Q(0)] * 65500
    for i in range(first + 1, last + 1):
        top = max(high[i], close[i - 1])
        bottom = min(low[i], close[i - 1])
        tr[i] = flt(ext(top - bottom))
    return tr


def nrtr_watr(chart, price, length, multiplier):
    """Every series valid over the whole chart."""
    first, last = 0, chart["bars"] - 1
    start = 0
    for j in range(0, last + 1):
        n = nearest(length[j])
        if j - n < start:
            start = max(start, n)
    tr = true_range(chart["high"], chart["low"], price, first, last)
    s = max(first + 1, start)
    h = l = price[s]
    out = {s: Q(0)}
    phase = 0
    for i in range(s, last + 1):
        d = ext(multiplier[i] * weighted_average(tr, i, nearest(length[i])))
        below = lambda: flt(ext(h - d))
        above = lambda: flt(ext(d + l))
        p = price[i]
        if phase >= 0:
            if p > h:
                h = p
            out[i] = below()
            if p <= out[i]:
                phase, l = -1, p
                out[i] = above()
        if phase <= 0:
            if p < l:
                l = p
            out[i] = above()
            if p > out[i]:
                phase, h = 1, p
                out[i] = below()
    return s, last, out


def cer(chart, price, length):
    n = nearest(length)
    close = chart["close"]
    s, last = 0 + n + 2, chart["bars"] - 1
    mid = dbl(ext(close[s - 1] + close[s - 2]) / 2)
    up = down = Q(0)
    w = [Q(0)] * 65500
    out = {}
    for i in range(s, last + 1):
        mid = dbl(ext(ext(mid + price[i]) / 2))
        if price[i - 2] < price[i - 1] and price[i] < price[i - 1]:
            up = dbl(ext(ext(ext(price[i - 1] - mid) * 100) / mid))
        if price[i - 2] > price[i - 1] and price[i] > price[i - 1]:
            down = dbl(ext(ext(ext(price[i - 1] - mid) * 100) / mid))
        w[i] = flt(ext(up - down))
        total = Q(0)
        for j in range(1, n + 1):
            total = dbl(ext(total + ext(w[i - n + j] / n)))
        out[i] = flt(total)
    return s, last, out


MODES = {"up": 0, "u": 0, "dn": 1, "d": 1, "auto": 2, "a": 2, "long": 3, "l": 3,
         "short": 4, "s": 4, "both": 5, "b": 5}


def renko_watr(chart, price, k, smooth, mode):
    n = nearest(smooth)
    high, low = chart["high"], chart["low"]
    first, last = 0, chart["bars"] - 1
    tr = true_range(high, low, price, first, last)
    s = first + 1 + n
    out = {}
    if s > last:
        return s + 2, last, out
    top, bottom = high[s], low[s]
    brick = dbl(ext(ext(high[s] - low[s]) * k))
    rising = False

    def whole(distance):
        if brick == 0:
            return Q(0)
        return ext(math.floor(ext(distance / brick)) * brick)

    for i in range(s + 1, last + 1):
        a = weighted_average(tr, i, n)
        c = price[i]
        if not ext(top + brick) >= c:
            step = whole(ext(c - top))
            top = dbl(ext(top + step))
            brick = dbl(ext(k * a))
            bottom = dbl(ext(top - brick))
            rising = True
        if ext(bottom - brick) > c:
            step = whole(ext(bottom - c))
            bottom = dbl(ext(bottom - step))
            brick = dbl(ext(k * a))
            top = dbl(ext(bottom + brick))
            rising = False
        if mode == 0 and i < last:
            out[i + 1] = flt(ext(top + brick))
        elif mode == 1 and i < last:
            out[i + 1] = flt(ext(bottom - brick))
        elif mode == 2:
            out[i] = flt(ext(bottom - brick) if rising else ext(top + brick))
        elif mode == 3:
            out[i] = Q(1) if rising else Q(0)
        elif mode == 4:
            out[i] = Q(0) if rising else Q(-1)
        elif mode == 5:
            out[i] = Q(1) if rising else Q(-1)
    return s + 2, last, out


def as_float(text):
    return Q(struct.unpack("f", struct.pack("f", float(Q(text.strip()))))[0])


def float_text(v):
    f = struct.unpack("f", struct.pack("f", float(v)))[0]
    assert Q(f) == v, (v, f)
    for p in range(1, 10):
        t = "%.*g" % (p, f)
        if struct.unpack("f", struct.pack("f", float(t)))[0] == f:
            return t
    raise AssertionError(v)


def read_chart(lines):
    rows = list(csv.reader(lines))
    head = [h.strip().lower() for h in rows[0]]
    chart = {h: [] for h in head}
    for row in rows[1:]:
        if not row:
            continue
        for h, v in zip(head, row):
            chart[h].append(v)
    chart["bars"] = len(chart["date"])
    for h in head:
        if h not in ("date", "time"):
            # The host's arrays hold 65,500 bars; those after the chart's are 0.
            chart[h] = [as_float(v) for v in chart[h]] + [Q(0)] * (65500 - chart["bars"])
    return chart


def arguments(formula):
    m = re.fullmatch(r"\s*(\w+)\((.*)\)\s*", formula)
    return m.group(1).upper(), [a.strip() for a in m.group(2).split(",")]


def series(chart, arg):
    names = {"c": "close", "h": "high", "l": "low", "o": "open"}
    if arg.lower() in names:
        return chart[names[arg.lower()]]
    if arg.lower() in chart:
        return chart[arg.lower()]
    return [as_float(arg)] * 65500


def evaluate(formula, chart):
    name, args = arguments(formula)
    if name == "NRTR_WATR":
        return nrtr_watr(chart, series(chart, args[0]), series(chart, args[1]),
                         series(chart, args[2]))
    if name == "CER":
        return cer(chart, series(chart, args[0]), as_float(args[1]))
    if name == "RENKO_WATR":
        return renko_watr(chart, series(chart, args[0]), as_float(args[1]),
                          as_float(args[2]), MODES[args[3].lower()])
    raise SystemExit("no model for " + name)


def check(folder):
    bad = 0
    for function in ("NRTR_WATR", "CER", "RENKO_WATR"):
        path = os.path.join(folder, function)
        for name in sorted(os.listdir(path)):
            text = open(os.path.join(path, name)).read().splitlines()
            formula = next(l.split(":", 1)[1] for l in text if l.startswith("# formula:"))
            if any(l.startswith("# error:") for l in text):
                continue
            body = [l for l in text if not l.startswith("#")]
            split = next(i for i, l in enumerate(body) if l.startswith("expected:"))
            chart = read_chart(body[:split])
            first, last = map(int, body[split].split(":")[1].split())
            want = {int(b): as_float(v) for b, v in (l.split(",") for l in body[split + 1:] if l)}
            s, e, out = evaluate(formula, chart)
            got = {b: v for b, v in out.items() if s <= b <= e}
            ok = (s, e) == (first, last) and got == want
            print(("ok   " if ok else "DIFF ") + function + "/" + name)
            bad += not ok
    return bad


def main():
    if len(sys.argv) >= 2 and sys.argv[1] == "check":
        here = os.path.dirname(os.path.abspath(__file__))
        sys.exit(1 if check(os.path.join(here, "..", "data")) else 0)
    if len(sys.argv) == 6 and sys.argv[1] == "make":
        formula, path, lo, hi = sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
        lines = open(path).read().splitlines()
        lines = [lines[0]] + lines[1 + lo:2 + hi]
        chart = read_chart(lines)
        s, e, out = evaluate(formula, chart)
        print("# formula: " + formula)
        print("\n".join(lines))
        print("expected: %d %d" % (s, e))
        for b in range(s, e + 1):
            print("%d,%s" % (b, float_text(out[b])))
        return
    print(__doc__)


if __name__ == "__main__":
    main()
