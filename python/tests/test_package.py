"""The data files both ways between Python and a chart, the errors, the
pandas index, JMA and JTPO whatever the code page, and where the library is
loaded from."""
import os
import shutil

import numpy as np
import pytest

import msx_qmr
from conftest import DATA, bits, run_tester

SEVEN = ["close", "high", "low", "open", "close", "high", "low"]
WRITERS = [
    ('WriteData(NRTR(C, 2), "{}")', "D",
     lambda b, name: msx_qmr.write_data(msx_qmr.nrtr(b, 2), b.index, name, symbol="GOOG")),
    ('WriteData(C, "{}")', "W",
     lambda b, name: msx_qmr.write_data(b.close, None, name, symbol="GOOG", period="w")),
    ('WriteDataEx("dd.mm.yyyy hh:nn|;%.2f;%1:8.3f", C, H, L, O, C, H, L, "{}")', "D",
     lambda b, name: msx_qmr.write_data_ex("dd.mm.yyyy hh:nn|;%.2f;%1:8.3f", b[SEVEN], None,
                                           name, symbol="GOOG")),
]


@pytest.mark.parametrize("formula, period, write", WRITERS, ids=[w[0] for w in WRITERS])
def test_a_written_file_is_the_charts(formula, period, write, bars, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    os.mkdir("chart")
    os.mkdir("python")
    run_tester("calc", formula.format("chart/%S_%P.txt"), "--data", DATA, "--symbol", "GOOG",
               "--period", period, cwd=tmp_path)
    name = write(bars, "python/%S_%P.txt")
    assert name == f"python/GOOG_{period}.txt"
    assert sorted(os.listdir("python")) == [os.path.basename(name)]
    with open(name, "rb") as ours, open(f"chart/GOOG_{period}.txt", "rb") as charts:
        assert ours.read() == charts.read()


def test_a_signal_goes_to_a_chart_and_a_charts_series_comes_back(bars, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    os.mkdir("x")
    signal = msx_qmr.jma(bars, 14, 0) - msx_qmr.jma(bars, 50, 0)
    msx_qmr.write_data(signal, bars.index, "x/%S_%P.txt", symbol="GOOG")
    shown = run_tester("calc", 'ReadData("x/%S_%P.txt")', "--data", DATA, "--symbol", "GOOG",
                       "--out", "shown.csv", cwd=tmp_path)
    # The chart took the file over (NAME.in); Python reads that copy again.
    assert os.listdir("x") == ["GOOG_D.txt.in"]
    back = msx_qmr.read_data("x/%S_%P.txt", bars.index, symbol="GOOG")
    assert back.index.equals(bars.index)
    assert np.array_equal(bits(back), bits(list(shown.values())))
    valid = ~np.isnan(signal.to_numpy())
    assert np.allclose(back[valid], signal[valid], rtol=1e-5, atol=1e-4)

    run_tester("calc", 'WriteData(NRTR(C, 2), "x/%S_%P.txt")', "--data", DATA, "--symbol",
               "GOOG", cwd=tmp_path)
    back = msx_qmr.read_data("x/%S_%P.txt", bars.index.to_numpy(), symbol="GOOG")
    assert sorted(os.listdir("x")) == ["GOOG_D.txt.in"]
    shown = run_tester("calc", 'ReadData("x/%S_%P.txt")', "--data", DATA, "--symbol", "GOOG",
                       "--out", "shown.csv", cwd=tmp_path)
    assert isinstance(back, np.ndarray)
    assert np.array_equal(bits(back), bits(list(shown.values())))


ERRORS = [
    (lambda b: msx_qmr.jma(np.ones(65501), 14, 0),
     "the price has 65,501 bars; the host holds at most 65,500"),
    (lambda b: msx_qmr.renko_watr(b, 2, 10, mode="Sideways"),
     "renko_watr: no choice 'Sideways' (choices: Up, U, Dn, D, Auto, A, Long, L, Short, S, Both, "
     "B)"),
    (lambda b: msx_qmr.renko_watr(b, -1, 10), "RENKO_WATR: Koefficient must be positive"),
    (lambda b: msx_qmr.nrtr([1.0, 2.0, float("nan"), 3.0, 4.0], 2),
     "NRTR failed; the library gives no reason for this function (common causes: a NaN price"),
    (lambda b: msx_qmr.nrtr(b.close, 2, high=b.high[1:], low=b.low),
     "high has 1,046 values for 1,047 bars"),
    (lambda b: msx_qmr.nrtr(b.drop(columns="high"), 2), "the bar table has no high column"),
    (lambda b: msx_qmr.write_data(b.close, b.index.year, "f.txt"),
     "dates must be dates and times"),
    (lambda b: msx_qmr.write_data(b.close, b.index, "f.txt", period="H"),
     "period must be D, W, M, Q, Y, an intraday interval in minutes or T, got 'H'"),
    (lambda b: msx_qmr.write_data(b.close, b.index, "missing/f.txt"),
     "WriteData: Cannot write data file missing/f.txt"),
    (lambda b: msx_qmr.write_data_ex("|%d", [b.close], b.index, "f.txt"),
     "WriteDataEx: Format '%d' invalid or incompatible with argument"),
    (lambda b: msx_qmr.read_data("%S_%P.txt", b.index, symbol="GOOG", period="W"),
     "ReadData found no data file to read at GOOG_D.txt"),
]


@pytest.mark.parametrize("call, message", ERRORS, ids=[e[1][:40] for e in ERRORS])
def test_errors_name_what_is_wrong(call, message, bars, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    with pytest.raises(msx_qmr.Error) as raised:
        call(bars)
    assert message in str(raised.value)
    assert os.listdir(tmp_path) == []


def test_a_series_keeps_its_index(bars):
    part = bars.close[100:]
    result = msx_qmr.cer(part, 10)
    assert result.index.equals(part.index) and result.dtype == np.float32
    assert isinstance(msx_qmr.cer(part.to_numpy(), 10), np.ndarray)


def test_jma_and_jtpo_give_values_whether_offered_or_not(bars, tmp_path, monkeypatch):
    default = msx_qmr.library()
    values = []
    for locale in ("C", "ru_RU.UTF-8"):
        folder = tmp_path / locale
        folder.mkdir()
        monkeypatch.setenv("LC_ALL", locale)
        library = msx_qmr.load(shutil.copy(default.path, folder))
        assert ("JMA" in library.functions) == (locale != "C")
        values.append(np.concatenate([bits(msx_qmr.jma(bars, 14, 0)),
                                      bits(msx_qmr.jtpo(bars, 14))]))
    msx_qmr.load(default.path)
    assert np.array_equal(*values)


def test_the_library_loads_from_a_private_copy(private_cache):
    loaded = msx_qmr.library().path
    assert loaded == os.path.join(private_cache, "msx_qmr", msx_qmr.__version__, "msx_qmr.so")
    assert os.path.exists(os.path.join(os.path.dirname(loaded), "msx_qmr.ini"))
    assert not os.path.exists(os.path.join(os.path.dirname(msx_qmr.__file__), "msx_qmr.ini"))
