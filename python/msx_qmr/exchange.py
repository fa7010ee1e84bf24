"""The data files charts exchange, written and read by the library's own
WriteData, WriteDataEx and ReadData, so the files and their handoff are the
library's: the name from its template (%S the symbol, %P the period, %% a
percent sign), the content staged under NAME.out and renamed to NAME without
replacing, and the reader taking NAME over by renaming it to NAME.in.

A chart here is the bars' dates and times (`dates`: datetime64, pandas
timestamps, datetime objects or ISO texts; finer parts than a second are
dropped), its `symbol` and its `period`: "D", "W", "M", "Q", "Y", an
intraday interval in minutes (5) or "T" (an intraday chart of interval 0).
Relative names are taken from the current folder."""

import numpy as np

from . import _inputs
from ._library import Call, Chart, Error, HostArray, library
from .indicators import failure

# ReadData leaves its result untouched when it finds no data file: a NaN
# with a payload of its own marks the values it did not write (a NaN the
# library writes, a file's "NAN", is the plain quiet NaN).
_UNTOUCHED = np.array([0x7FC05EED], dtype=np.uint32).view(np.float32)[0]


def _chart(dates, symbol, period, close=None):
    days, times = _inputs.host_dates(dates)
    letter, interval = _inputs.host_period(period)
    bars = len(days)
    if close is None:
        close = HostArray(np.zeros(bars, dtype=np.float32), 0, bars - 1)
    chart = Chart(bars, close=close, dates=days, times=times, symbol=symbol,
                  period=(letter, interval))
    return chart, bars, letter, interval


def _call(name, chart, call):
    rc = library().call(name, chart, call)
    if rc != 0:
        raise Error(failure(name, call.text), name, call.text)


def write_data(series, dates, name_or_template, symbol="", period="D"):
    """Writes the file that the chart's WriteData(series, "name_or_template")
    writes: one line DATE,TIME,VALUE per bar of the series' valid range
    (its first to last value that is not NaN), values with 6 significant
    digits. `dates` may be None for a Series on a DatetimeIndex. Returns
    the file's name.

    A file the previous reader has not taken over yet is replaced, as a
    chart's WriteData replaces it; a file that cannot be written raises
    Error."""
    if dates is None:
        dates = _inputs.index_of(series)
    chart, bars, letter, interval = _chart(dates, symbol, period)
    values = _inputs.host_series(_inputs.floats(series, "the series", bars))
    _call("WriteData", chart, Call([values], (), [name_or_template]))
    return _inputs.expand_name(name_or_template, symbol,
                               _inputs.period_text(letter, interval, reader=False))


def write_data_ex(format, columns, dates, name_or_template, symbol="", period="D"):
    """Writes the file that the chart's WriteDataEx("format", A1, ..., A7,
    "name_or_template") writes. `format` is a date-time pattern, "|" and a
    value pattern ("dd.mm.yyyy hh:nn|;%.2f;%.2f"); empty parts keep the basic
    columns. `columns` holds one to seven series (or a DataFrame's columns);
    the seven the library takes are filled with zeros valid on no bar,
    which the basic layout writes as 0. The lines cover the bars where every
    given series is valid. Returns the file's name."""
    if _inputs.is_bar_table(columns):
        if dates is None:
            dates = columns.index
        columns = [columns.iloc[:, k] for k in range(columns.shape[1])]
    elif _inputs.is_column(columns):
        columns = [columns]
    columns = list(columns)
    if not 1 <= len(columns) <= 7:
        raise Error(f"write_data_ex takes one to seven columns, got {len(columns)}")
    if dates is None:
        dates = _inputs.index_of(columns[0])
    chart, bars, letter, interval = _chart(dates, symbol, period)
    arrays = [_inputs.host_series(_inputs.floats(c, f"column {k + 1}", bars))
              for k, c in enumerate(columns)]
    arrays += [HostArray() for _ in range(7 - len(arrays))]
    _call("WriteDataEx", chart, Call(arrays, (), [format, name_or_template]))
    return _inputs.expand_name(name_or_template, symbol,
                               _inputs.period_text(letter, interval, reader=False))


def read_data(name_or_template, dates, symbol="", period="D"):
    """What the chart's ReadData("name_or_template") shows on these bars:
    each bar takes the value of the file's first row at or after its date
    and time (on a daily chart only dates count), bars after the last row
    keep its value, bars before any row 0. Takes the file over as ReadData
    does: NAME is renamed to NAME.in and read, and without a new NAME the
    NAME.in of an earlier read is read again. The reader's %P is "D" for
    every chart that is not intraday.

    Returns a float32 array, or a Series on `dates` when it is a pandas
    index. Raises Error when neither NAME nor NAME.in exists."""
    chart, bars, letter, interval = _chart(dates, symbol, period)
    if bars == 0:
        raise Error("read_data needs at least one bar to line the file up with")
    call = Call((), (), [name_or_template], fill=_UNTOUCHED)
    _call("ReadData", chart, call)
    values = call.out.values[:bars]
    if (values.view(np.uint32) == _UNTOUCHED.view(np.uint32)).all():
        name = _inputs.expand_name(name_or_template, symbol,
                                   _inputs.period_text(letter, interval, reader=True))
        raise Error(f"ReadData found no data file to read at {name} (a writing chart creates "
                    f"it under that name)", "ReadData")
    index = dates if _inputs.is_index(dates) else None
    return _inputs.result(call, bars, index, "ReadData")


__all__ = ["write_data", "write_data_ex", "read_data"]
