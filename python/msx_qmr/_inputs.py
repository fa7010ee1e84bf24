"""What the caller hands over, as the host would hand it to the library:
values as 32-bit floats with a valid range, bar tables, dates and times in
the host's form, periods; and the results back as arrays or Series."""

import math

import numpy as np

from ._library import MAX_BARS, Error, HostArray


def _is_pandas(x):
    return type(x).__module__.partition(".")[0] == "pandas"


def is_bar_table(x):
    return _is_pandas(x) and hasattr(x, "columns")


def is_index(x):
    if not _is_pandas(x):
        return False
    import pandas

    return isinstance(x, pandas.Index)


def is_column(x):
    """True for one column of values (an array, a Series), not a list of them."""
    return (_is_pandas(x) and not hasattr(x, "columns")) or (
        isinstance(x, np.ndarray) and x.ndim == 1)


def table_column(table, name):
    """The bar table's column `name`, in any letter case."""
    for column in table.columns:
        if str(column).lower() == name:
            return table[column]
    raise Error(f"the bar table has no {name} column (it has "
                f"{', '.join(map(str, table.columns)) or 'none'}); expected open, high, low "
                f"and close")


def floats(x, what, bars=None):
    """x as float32 values, as the host passes them (rounded to nearest from
    whatever precision they had). At most MAX_BARS, and `bars` when given."""
    if _is_pandas(x):
        x = x.to_numpy(dtype=np.float64, na_value=np.nan)
    try:
        values = np.asarray(x, dtype=np.float64)
    except (TypeError, ValueError):
        raise Error(f"{what} must be numbers, got {type(x).__name__}") from None
    if values.ndim != 1:
        raise Error(f"{what} must be one column of values, got {values.ndim} dimensions")
    if len(values) > MAX_BARS:
        raise Error(f"{what} has {len(values):,} bars; the host holds at most {MAX_BARS:,}")
    if bars is not None and len(values) != bars:
        raise Error(f"{what} has {len(values):,} values for {bars:,} bars")
    with np.errstate(over="ignore"):
        return values.astype(np.float32)


def host_series(values):
    """A host array of the values, valid from the first to the last value
    that is not NaN (empty when all are NaN)."""
    valid = np.flatnonzero(~np.isnan(values))
    if len(valid) == 0:
        return HostArray(values, 0, -1)
    return HostArray(values, int(valid[0]), int(valid[-1]))


def series_argument(x, what, bars):
    """A series argument: a number stands for the same value on every bar."""
    if np.ndim(x) == 0 and not _is_pandas(x):
        try:
            value = np.float32(float(x))
        except (TypeError, ValueError):
            raise Error(f"{what} must be a number or a series, got {x!r}") from None
        return HostArray(np.full(bars, value, dtype=np.float32), 0, bars - 1)
    return host_series(floats(x, what, bars))


def number(x, what):
    """A numeric argument, as the host passes it: a 32-bit float."""
    try:
        value = float(x)
    except (TypeError, ValueError):
        raise Error(f"{what} must be a number, got {x!r}") from None
    return value if math.isnan(value) else float(np.float32(value))


def index_of(x):
    """The pandas index of x, or None."""
    return x.index if _is_pandas(x) and hasattr(x, "index") else None


def result(call, bars, index, name):
    """The call's result over the bars: NaN outside its valid range; a
    Series on `index` when there is one."""
    out = np.full(bars, np.nan, dtype=np.float32)
    first = max(call.out.series.first, 0)
    last = min(call.out.series.last, bars - 1)
    if first <= last:
        out[first:last + 1] = call.out.values[first:last + 1]
    if index is None:
        return out
    import pandas

    return pandas.Series(out, index=index, name=name)


def host_dates(dates):
    """Dates and times as the host's integers: YYYYMMDD and HHMMSS followed
    by a 0 digit (the host's last digit is milliseconds 0 to 9; finer parts
    than a second are dropped)."""
    if dates is None:
        raise Error("dates are needed: one per bar")
    if getattr(dates, "tz", None) is not None:
        dates = dates.tz_localize(None)  # the wall-clock time
    elif getattr(getattr(dates, "dt", None), "tz", None) is not None:
        dates = dates.dt.tz_localize(None)
    if _is_pandas(dates):
        dates = dates.to_numpy()
    raw = np.asarray(dates)
    if raw.dtype.kind in "iufb":
        raise Error("dates must be dates and times (datetime64, pandas timestamps, datetime "
                    f"objects or ISO texts), got numbers such as {raw.flat[0]!r}"
                    if raw.size else "dates must be dates and times, got numbers")
    try:
        stamps = raw.astype("datetime64[s]")
    except (TypeError, ValueError) as e:
        raise Error(f"dates must be dates and times (datetime64, pandas timestamps, datetime "
                    f"objects or ISO texts): {e}") from None
    if stamps.ndim != 1:
        raise Error(f"dates must be one column, got {stamps.ndim} dimensions")
    if len(stamps) > MAX_BARS:
        raise Error(f"dates has {len(stamps):,} bars; the host holds at most {MAX_BARS:,}")
    if np.isnat(stamps).any():
        raise Error(f"dates has no date at bar {int(np.flatnonzero(np.isnat(stamps))[0])}")
    days = stamps.astype("datetime64[D]")
    years = days.astype("datetime64[Y]").astype(np.int64) + 1970
    if len(years) and (years.min() < 1 or years.max() > 9999):
        raise Error("dates must lie in the years 1 to 9999")
    months = days.astype("datetime64[M]")
    month = months.astype(np.int64) % 12 + 1
    day = (days - months.astype("datetime64[D]")).astype(np.int64) + 1
    seconds = (stamps - days.astype("datetime64[s]")).astype(np.int64)
    hhmmss = seconds // 3600 * 10000 + seconds // 60 % 60 * 100 + seconds % 60
    return ((years * 10000 + month * 100 + day).astype(np.int32),
            (hhmmss * 10).astype(np.int32))


PERIOD_LETTERS = "DWMQY"


def host_period(period):
    """(letter, interval) of a chart's period: "D", "W", "M", "Q", "Y", an
    intraday interval in minutes (5 or "5"), or "T" for an intraday chart of
    interval 0, as %P shows them."""
    text = str(period).strip().upper()
    if text in PERIOD_LETTERS and text:
        return text, 0
    if text == "T":
        return "I", 0
    if text.isdigit() and 0 < int(text) < 2**31:
        return "I", int(text)
    raise Error(f"period must be D, W, M, Q, Y, an intraday interval in minutes or T, "
                f"got {period!r}")


def period_text(letter, interval, reader):
    """What %P becomes in a file name: the writers' text, or the reader's,
    which is "D" for every chart that is not intraday."""
    if letter != "I":
        return "D" if reader else letter
    return str(interval) if interval else "T"


def expand_name(template, symbol, period):
    """A data file's name from its template: %S the symbol, %P the period
    text, %% one percent sign, any other pair dropped; an empty expansion
    leaves the template as the name."""
    out, i = [], 0
    while i < len(template):
        c = template[i]
        i += 1
        if c != "%":
            out.append(c)
        elif i < len(template):
            out.append({"%": "%", "P": period, "S": symbol}.get(template[i], ""))
            i += 1
    return "".join(out) or template
