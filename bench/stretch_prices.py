#!/usr/bin/env python3
"""Writes the host's maximum of 65,500 daily bars built from data/goog-daily.csv.

    stretch_prices.py INPUT.csv OUTPUT.csv

The file's daily moves are replayed forwards, then backwards (each day's move
undone in reverse order), and so on, so that the series keeps the real data's
character within the real price range; prices are kept on a 0.01 grid, the
dates run day by day from 1900-01-01: the way msx_bench builds its input.
"""

import datetime
import sys

BARS = 65500


def tick(price):
    return round(price * 100) / 100


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: stretch_prices.py INPUT.csv OUTPUT.csv")
    with open(sys.argv[1], encoding="utf-8") as f:
        next(f)  # date,open,high,low,close,volume
        rows = [[float(v) for v in line.split(",")[2:5]] for line in f if line.strip()]
    moves = len(rows) - 1
    level = rows[0][2]
    day = datetime.date(1900, 1, 1)
    out = ["date,high,low,close"]
    for i in range(BARS):
        pass_, step = divmod(i, moves)
        origin, to = (step, step + 1) if pass_ % 2 == 0 else (moves - step, moves - step - 1)
        scale = level / rows[origin][2]
        high, low, close = (tick(v * scale) for v in rows[to])
        out.append(f"{day:%Y%m%d},{high:.2f},{low:.2f},{close:.2f}")
        level = rows[to][2] * scale
        day += datetime.timedelta(days=1)
    with open(sys.argv[2], "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
