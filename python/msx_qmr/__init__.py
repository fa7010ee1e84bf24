"""The chart's numbers in Python: msx_qmr's indicators and data files,
computed and written by the library itself through its exported host
interface, with the host's records laid out as the host lays them out.

    import msx_qmr
    jma = msx_qmr.jma(close, 14, 0)        # float32, NaN outside the valid range
    msx_qmr.write_data(signal, dates, "x/%S_%P.txt", symbol="GOOG")

Indicators: nrtr, nrtr_watr, cer, renko_watr, jma, jtpo. Data files:
write_data, write_data_ex, read_data. A call the library refuses raises
msx_qmr.Error. The library is loaded on first use (a private copy in a
per-user folder, since it writes its settings file beside itself), or by
msx_qmr.load(PATH)."""

from ._library import MAX_BARS, Error, library, load
from ._version import __version__
from .exchange import read_data, write_data, write_data_ex
from .indicators import cer, jma, jtpo, nrtr, nrtr_watr, renko_watr

__all__ = ["Error", "MAX_BARS", "__version__", "cer", "jma", "jtpo", "library", "load", "nrtr",
           "nrtr_watr", "read_data", "renko_watr", "write_data", "write_data_ex"]
