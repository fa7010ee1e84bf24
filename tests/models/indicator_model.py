#!/usr/bin/env python3
"""An independent model of JMA and JTPO in exact rational arithmetic.

Every arithmetic operation is done on exact fractions and rounded, half to
even, to the 64-bit significand of the x87 extended format; every stored
quantity is then rounded to a 32-bit float. Square roots, logarithms and
powers are evaluated with mpmath at 200 bits and rounded to extended. JTPO's
ranks are exact; its output is the double product rankScale * t rounded to
float. The model writes the test vectors under tests/data/JMA and
tests/data/JTPO, so that the library's outputs are checked against numbers
that do not come from the library itself.

  python3 tests/models/indicator_model.py            # rewrite the vectors
  python3 tests/models/indicator_model.py --check    # compare, write nothing
"""

import csv
import os
import struct
import sys
from fractions import Fraction as F

import mpmath

mpmath.mp.prec = 200

ROOT = os.path.normpath(os.path.join(os.path.dirname(__file__), "..", ".."))


def round_binary(x, bits, min_exp):
    """x rounded to a binary float with `bits` significand bits, half to even.
    min_exp: the exponent of the smallest normal number (subnormals below)."""
    x = F(x)
    if x == 0:
        return F(0)
    sign = -1 if x < 0 else 1
    a = abs(x)
    e = a.numerator.bit_length() - a.denominator.bit_length()
    if F(2) ** e > a:
        e -= 1
    e = max(e, min_exp)
    scale = F(2) ** (bits - 1 - e)
    m = a * scale
    q, r = divmod(m.numerator, m.denominator)
    twice = 2 * r
    if twice > m.denominator or (twice == m.denominator and q % 2 == 1):
        q += 1
    return sign * F(q) / scale


def ext(x):
    return round_binary(x, 64, -16382)


def flt(x):
    r = round_binary(x, 24, -126)
    assert abs(r) < F(2) ** 128, "float overflow"
    return r


def mp_to_fraction(v):
    sign, man, exp, _ = mpmath.mpf(v)._mpf_
    return (-1 if sign else 1) * F(int(man)) * F(2) ** int(exp)


def to_mp(x):
    return mpmath.mpf(x.numerator) / x.denominator


def e_sqrt(x):
    return ext(mp_to_fraction(mpmath.sqrt(to_mp(x))))


def e_ln(x):
    return ext(mp_to_fraction(mpmath.log(to_mp(x))))


def e_pow(x, y):
    return ext(mp_to_fraction(mpmath.power(to_mp(x), to_mp(y))))


def float32(text):
    """The float nearest to a decimal text, as the host holds a price."""
    return F(struct.unpack("f", struct.pack("f", float(text)))[0])


def round_half_even(x):
    x = F(x)
    q, r = divmod(x.numerator, x.denominator)
    if 2 * r > x.denominator or (2 * r == x.denominator and q % 2 == 1):
        q += 1
    return q


# --------------------------------------------------------------------- JMA

def jma_parameters(length, phase):
    L = round_half_even(length)
    P = round_half_even(phase)
    if L <= 1:
        half = flt(F(1, 10 ** 10))
    else:
        half = flt(ext(F(L - 1) / 2))
    if P < -100:
        phase_factor = F(1, 2)
    elif P > 100:
        phase_factor = F(5, 2)
    else:
        phase_factor = flt(ext(ext(F(P) / 100) + F(3, 2)))
    root = e_sqrt(half)
    ln_root = flt(e_ln(root))
    ln2 = ext(mp_to_fraction(mpmath.log(2)))
    log_factor = flt(ext(ext(ln_root / ln2) + 2))
    if log_factor < 0:
        log_factor = F(0)
    band_exponent = flt(ext(log_factor - 2))
    if band_exponent < F(1, 2):
        band_exponent = F(1, 2)
    band_length = flt(ext(root * log_factor))
    band_decay = flt(ext(band_length / ext(band_length + 1)))
    h = flt(ext(ext(F(9, 10)) * half))
    beta = flt(ext(h / ext(h + 2)))
    return dict(L=L, halfLength=half, phaseFactor=phase_factor, logFactor=log_factor,
                bandExponent=band_exponent, bandLength=band_length, bandDecay=band_decay,
                smoothingBeta=beta)


class Jma:
    def __init__(self, length, phase):
        self.prm = jma_parameters(length, phase)
        self.buf = [F(0)] * 62
        self.count = 0
        self.ring = [F(0)] * 11
        self.ring_slot = 0
        self.vol_sum = F(0)
        self.samples = 0
        self.avg_ring = [F(0)] * 128
        self.avg_slot = 0
        self.sorted = [F(0)] + [F(-1000000)] * 63 + [F(1000000)] * 64
        self.fill_low, self.fill_high = 64, 63
        self.wl = self.wh = 0
        self.wsum = F(0)
        self.upper = self.lower = F(0)
        self.warmup = 0
        self.rel_vol = F(0)
        self.first_pass = True
        self.ema = self.corr = self.inc = F(0)
        self.jma = F(0)
        self.beyond = False

    def bar(self, x):
        if self.count < 61:
            self.count += 1
            self.buf[self.count] = x
        if self.count > 30:
            replay = 0
            if self.first_pass:
                self.first_pass = False
                if any(self.buf[i] != self.buf[i + 1] for i in range(1, 30)):
                    replay = 29
                    self.upper = self.lower = self.buf[1]
                else:
                    self.upper = self.lower = x
            for k in range(replay, -1, -1):
                self.sample(self.buf[31 - k] if k >= 1 else x, x)
            if self.warmup == 31:
                self.output_filter(x)
        return self.jma

    def sample(self, s, x):
        p = self.prm
        du = flt(ext(s - self.upper))
        dl = flt(ext(s - self.lower))
        dist = abs(du) if abs(du) > abs(dl) else abs(dl)
        vol = flt(ext(dist + ext(F(1, 10 ** 10))))
        self.avg_slot = 127 if self.avg_slot <= 1 else self.avg_slot - 1
        self.ring_slot = 10 if self.ring_slot <= 1 else self.ring_slot - 1
        if self.samples < 128:
            self.samples += 1
        self.vol_sum = flt(ext(ext(self.vol_sum + vol) - self.ring[self.ring_slot]))
        self.ring[self.ring_slot] = vol
        v = flt(ext(self.vol_sum / (10 if self.samples > 10 else self.samples)))
        ref = self.history(v)
        self.warmup = min(self.warmup + 1, 31)
        if self.warmup <= 30:
            self.upper = s if du > 0 else flt(ext(s - ext(du * p["bandDecay"])))
            self.lower = s if dl < 0 else flt(ext(s - ext(dl * p["bandDecay"])))
            self.jma = x
            if self.warmup == 30:
                self.ema = x
                self.inc = self.slope(x)
        else:
            if ref <= 0:
                raise ValueError("Invalid floating point operation")
            r = flt(e_pow(ext(dist / ref), p["bandExponent"]))
            if r > p["logFactor"]:
                r = p["logFactor"]
            self.rel_vol = r if r >= 1 else F(1)
            decay = flt(e_pow(p["bandDecay"], e_sqrt(self.rel_vol)))
            self.upper = s if du > 0 else flt(ext(s - ext(du * decay)))
            self.lower = s if dl < 0 else flt(ext(s - ext(dl * decay)))

    def slope(self, x):
        bl = self.prm["bandLength"]
        n = self.count
        hi = -((-bl.numerator) // bl.denominator) if bl >= 1 else 1
        lo = (bl.numerator // bl.denominator) if bl >= 1 else 1
        w = F(1) if hi == lo else flt(ext(ext(bl - lo) / (hi - lo)))
        a = ext(ext(ext(x - self.buf[n - min(lo, 29)]) * ext(1 - w)) / lo)
        b = ext(ext(ext(x - self.buf[n - min(hi, 29)]) * w) / hi)
        return flt(ext(a + b))

    def history(self, v):
        sa = self.sorted
        filling = self.samples <= 127
        self.beyond |= abs(v) >= 1000000
        if filling:
            self.avg_ring[self.avg_slot] = v
            if self.fill_low + self.fill_high > 127:
                self.fill_low -= 1
                rem = self.fill_low
            else:
                self.fill_high += 1
                rem = self.fill_high
            self.wh = min(self.fill_high, 96)
            self.wl = max(self.fill_low, 32)
        else:
            o = self.avg_ring[self.avg_slot]
            self.avg_ring[self.avg_slot] = v
            slot, step = 64, 64
            while step > 1:
                if sa[slot] < o:
                    step //= 2
                    slot += step
                elif sa[slot] > o:
                    step //= 2
                    slot -= step
                else:
                    step = 1
            rem = slot
            # Averages beyond the sentinels (+-1000000) upset the filling, and
            # the old value may then be missing; below them it is always found.
            self.beyond |= abs(v) >= 1000000
            assert self.beyond or sa[rem] == o, "the old value is found"
        ins, step = 64, 64
        while step > 1:
            if sa[ins] >= v:
                if sa[ins - 1] > v:
                    step //= 2
                    ins -= step
                else:
                    step = 1
            else:
                step //= 2
                ins += step
            if ins == 127 and v > sa[127]:
                ins = 128
        R, I, WL, WH = rem, ins, self.wl, self.wh
        if not filling:
            def add(val):
                self.wsum = flt(ext(self.wsum + val))

            def sub(val):
                self.wsum = flt(ext(self.wsum - val))
            if R >= I:
                if WH + 1 > I and WL - 1 < I:
                    add(v)
                elif WL > I and WL - 1 < R:
                    add(sa[WL - 1])
            elif WL >= I:
                if WH + 1 < I and WH + 1 > R:
                    add(sa[WH + 1])
            else:
                if WH + 2 > I:
                    add(v)
                elif WH + 1 < I and WH + 1 > R:
                    add(sa[WH + 1])
            if R > I:
                if WL - 1 < R and WH + 1 > R:
                    sub(sa[R])
                elif WH < R and WH + 1 > I:
                    sub(sa[WH])
            else:
                if WH + 1 > R and WL - 1 < R:
                    sub(sa[R])
                elif WL > R and WL < I:
                    sub(sa[WL])
        if R == I:
            sa[I] = v
        elif R < I:
            for j in range(R + 1, I):
                sa[j - 1] = sa[j]
            sa[I - 1] = v
        else:
            for j in range(R - 1, I - 1, -1):
                sa[j + 1] = sa[j]
            sa[I] = v
        assert all(sa[j] <= sa[j + 1] for j in range(1, 127)), "history stays sorted"
        if filling:
            self.wsum = F(0)
            for j in range(self.wl, self.wh + 1):
                self.wsum = flt(ext(self.wsum + sa[j]))
        elif not self.beyond:
            # The incremental sum keeps to the exact sum of the window's values
            # up to the rounding it collects on the way.
            exact = sum(sa[32:97])
            assert abs(self.wsum - exact) <= abs(exact) * F(1, 1000) + F(1, 10 ** 6), \
                "window sum drifted: %s vs %s" % (float(self.wsum), float(exact))
        return flt(ext(self.wsum / (self.wh - self.wl + 1)))

    def output_filter(self, x):
        prm = self.prm
        beta = prm["smoothingBeta"]
        p = flt(e_pow(beta, self.rel_vol))
        self.ema = flt(ext(ext(ext(1 - p) * x) + ext(p * self.ema)))
        self.corr = flt(ext(ext(ext(x - self.ema) * ext(1 - beta)) + ext(beta * self.corr)))
        e = flt(ext(ext(prm["phaseFactor"] * self.corr) + self.ema))
        m = flt(ext(p * -2))
        q = flt(ext(p * p))
        f = flt(ext(ext(m + q) + 1))
        self.inc = flt(ext(ext(ext(e - self.jma) * f) + ext(q * self.inc)))
        self.jma = flt(ext(self.jma + self.inc))


def jma(prices, length, phase):
    """Values of every bar and the result's range (first index 0)."""
    model = Jma(length, phase)
    values = [model.bar(x) for x in prices]
    L = model.prm["L"]
    first = 30 if L < 5 else L + 25
    return values, first, len(prices) - 1


# -------------------------------------------------------------------- JTPO

def spearman(window):
    """rankScale * t of the window (oldest first), with averaged ranks."""
    n = len(window)
    order = sorted(range(n), key=lambda i: window[i])
    rank = [F(0)] * n
    i = 0
    while i < n:
        j = i
        while j + 1 < n and window[order[j + 1]] == window[order[i]]:
            j += 1
        average = F(i + 1 + j + 1, 2)  # positions i..j share their mean rank
        for k in range(i, j + 1):
            rank[order[k]] = average
        i = j + 1
    mean = F(n + 1, 2)
    t = sum((rank[i] - mean) * (i + 1 - mean) for i in range(n))
    scale = 12.0 / ((n - 1) * n * (n + 1))  # a double quotient
    value = scale * float(t)  # t is exact in a double
    return F(struct.unpack("f", struct.pack("f", value))[0])


def jtpo(prices, length):
    L = round_half_even(length)
    n = 3 if L in (1, 2) else L
    assert 3 <= n <= 300
    values = []
    window = []
    changed = False
    for x in prices:
        if not window:
            window = [x]
            changed = False
            values.append(F(0))
            continue
        if window[-1] != x and len(window) + 1 <= n - 1:
            changed = True
        window.append(x)
        if len(window) > n:
            window.pop(0)
        full = len(window) == n
        if len(window) == n - 1 and not changed:
            window = []  # the first n - 1 prices were equal: start afresh
        values.append(spearman(window) if full else F(0))
    return values, L, len(prices) - 1


# ----------------------------------------------------------------- vectors

def shortest(v):
    """The shortest decimal text that reads back as the float v."""
    f = float(v)
    for digits in range(1, 10):
        text = "%.*g" % (digits, f)
        if F(struct.unpack("f", struct.pack("f", float(text)))[0]) == v:
            return text
    raise AssertionError(v)


def read_chart(path):
    with open(path) as f:
        rows = list(csv.reader(f))
    return rows[0], rows[1:]


def write_vector(path, source, formula, header, rows, values, first, last, check):
    lines = ["# source: " + line for line in source]
    lines.append("# formula: " + formula)
    lines.append(",".join(header))
    lines.extend(",".join(r) for r in rows)
    lines.append("expected: %d %d" % (first, last))
    lines.extend("%d,%s" % (b, shortest(values[b])) for b in range(first, last + 1))
    text = "\n".join(lines) + "\n"
    if check:
        with open(path) as f:
            same = f.read() == text
        print(("same     " if same else "DIFFERENT ") + path)
        return same
    with open(path, "w") as f:
        f.write(text)
    print("wrote " + path)
    return True


SOURCE = ["the independent model tests/models/indicator_model.py (exact fractions,",
          "every operation rounded to 64-bit extended, every stored quantity to",
          "float; roots, logarithms and powers by mpmath at 200 bits) over the",
          "bundled data/goog-daily.csv; the library's run matches it bit for bit."]


def main():
    check = "--check" in sys.argv[1:]
    header, rows = read_chart(os.path.join(ROOT, "data", "goog-daily.csv"))
    closes = [float32(r[header.index("close")]) for r in rows]
    highs = [float32(r[header.index("high")]) for r in rows]
    ok = True
    for name, prices, column, length, phase in [
            ("goog_close_14_0", closes, "C", 14, 0),
            ("goog_close_50_100", closes, "C", 50, 100),
            ("goog_close_5_minus40", closes, "C", 5, -40),
            ("goog_high_2_250", highs, "H", 2, 250),
            ("goog_close_1_0", closes, "C", 1, 0)]:
        values, first, last = jma(prices, length, phase)
        formula = "JMA(%s, %s, %s)" % (column, length, phase)
        ok &= write_vector(os.path.join(ROOT, "tests", "data", "JMA", name + ".txt"),
                           SOURCE, formula, header, rows, values, first, last, check)
    for name, prices, column, length in [
            ("goog_close_14", closes, "C", 14),
            ("goog_close_100", closes, "C", 100),
            ("goog_close_300", closes, "C", 300),
            ("goog_high_2", highs, "H", 2)]:
        values, first, last = jtpo(prices, length)
        formula = "JTPO(%s, %s)" % (column, length)
        ok &= write_vector(os.path.join(ROOT, "tests", "data", "JTPO", name + ".txt"),
                           SOURCE, formula, header, rows, values, first, last, check)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
