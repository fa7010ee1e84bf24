"""The library's indicators, called through its exports as the host calls
them, so that the values are the chart's.

Every function takes the price as a numpy array, a pandas Series or a bar
table (a DataFrame with open, high, low and close columns, in any letter
case). The host hands each function the chart's own fields beside its
arguments: NRTR, NRTR_WATR and RENKO_WATR read the chart's high and low,
CER, JMA and JTPO the range of its close. They come from the bar table, or
from `high=` and `low=`; with a single array they are that array, as the
tester does for a close-only file. Values become 32-bit floats as the host
passes them, a series is valid from its first to its last value that is not
NaN, and a chart holds at most 65,500 bars.

The result is a float32 array, or a Series on the input's index, with NaN
outside the valid range. A call the library refuses raises msx_qmr.Error
with the library's text."""

from . import _inputs
from ._library import NO_REASON, Call, Chart, Error, library

# Before the calls of JMA and JTPO: a range no computation sets.
_MARKER = -(2**31)


def _chart(close, high, low):
    """(chart, the price series argument, bars, index) for a price input."""
    if _inputs.is_bar_table(close):
        table = close
        if high is not None or low is not None:
            raise Error("give high= and low= with a price series, not with a bar table")
        close, high, low = (_inputs.table_column(table, n) for n in ("close", "high", "low"))
        index = table.index
    else:
        index = _inputs.index_of(close)
    price = _inputs.floats(close, "the price")
    bars = len(price)
    close_array = _inputs.host_series(price)
    high_array = close_array if high is None else _inputs.host_series(
        _inputs.floats(high, "high", bars))
    low_array = close_array if low is None else _inputs.host_series(
        _inputs.floats(low, "low", bars))
    return Chart(bars, high_array, low_array, close_array), close_array, bars, index


def failure(name, text):
    """The message of a refused call: the library's text, or where it gives
    only its fixed text or none, what usually causes it."""
    if text == NO_REASON:
        return (f"{name} failed; the library gives no reason for this function (common causes: "
                f"a NaN price, a bar beyond 65,499, or a Length beyond 32 bits)")
    if not text:
        return f"{name} failed and left no error text"
    return f"{name}: {text}"


def _run(name, close, series=(), numbers=(), customs=(), high=None, low=None,
         answers_as_computed=False):
    chart, price, bars, index = _chart(close, high, low)
    arguments = [price] + [_inputs.series_argument(v, what, bars) for what, v in series]
    first, last = (_MARKER, _MARKER) if answers_as_computed else (0, -1)
    call = Call(arguments, [_inputs.number(v, what) for what, v in numbers], (), customs,
                first=first, last=last)
    rc = library().call(name, chart, call)
    text = call.text
    computed = (answers_as_computed and rc == -1 and not text and
                (call.out.series.first, call.out.series.last) != (_MARKER, _MARKER))
    if rc != 0 and not computed:
        raise Error(failure(name, text), name, text)
    return _inputs.result(call, bars, index, name)


def nrtr(close, koefficient, *, high=None, low=None):
    """NRTR(Close[], Koefficient[]): the trailing reversal line on a channel
    of Koefficient percent. Reads the chart's high and low. Koefficient is a
    number or a series."""
    return _run("NRTR", close, series=[("koefficient", koefficient)], high=high, low=low)


def nrtr_watr(close, length, multiplier, *, high=None, low=None):
    """NRTR_WATR(Close[], Length[], Multiplier[]): the reversal line on a
    channel of Multiplier times the weighted average true range over Length
    bars. Reads the chart's high and low. Length and Multiplier are numbers
    or series."""
    return _run("NRTR_WATR", close, series=[("length", length), ("multiplier", multiplier)],
                high=high, low=low)


def cer(close, length):
    """CER(Close[], Length): the centered extremum range. Reads the range of
    the chart's close."""
    return _run("CER", close, numbers=[("length", length)])


def renko_watr(close, multiplier, smooth, mode="Auto", *, high=None, low=None):
    """RENKO_WATR(Close[], Multiplier, Smooth, mode): Renko bricks of
    Multiplier times the weighted average true range over Smooth bars.
    `mode` is one of the library's choices, in any letter case: Up (U), Dn
    (D), Auto (A), Long (L), Short (S), Both (B). Reads the chart's high,
    low and the range of its close."""
    ident = library().choice("RENKO_WATR", 3, mode)
    return _run("RENKO_WATR", close, numbers=[("multiplier", multiplier), ("smooth", smooth)],
                customs=[ident], high=high, low=low)


_CODE_PAGE_NOTE = """

    The library offers this function only under the Cyrillic OEM code page
    866 (on Linux a ru_RU locale; on Windows Russian as the language for
    non-Unicode programs); elsewhere the host neither lists it nor shows its
    values, since the call returns -1 after computing them. This package
    gives the computed values on any system."""


def jma(close, length, phase):
    return _run("JMA", close, numbers=[("length", length), ("phase", phase)],
                answers_as_computed=True)


def jtpo(close, length):
    return _run("JTPO", close, numbers=[("length", length)], answers_as_computed=True)


jma.__doc__ = """JMA(Close[], Length, Phase): the adaptive moving average. Reads
    the range of the chart's close.""" + _CODE_PAGE_NOTE
jtpo.__doc__ = """JTPO(Close[], Length): the trend oscillator from -1 to +1, the
    rank correlation of the last Length prices with time. Reads the range of
    the chart's close.""" + _CODE_PAGE_NOTE

__all__ = ["nrtr", "nrtr_watr", "cer", "renko_watr", "jma", "jtpo"]
