"""What the package's tests share: the installed package (never the
checkout's copy), the tester, the bundled prices and a scratch folder.

The tests run against the installed wheel, with the tester named by
MSXHOST (default build/native/msxhost) and the bundled prices of data/."""
import os
import subprocess

import numpy as np
import pytest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DATA = os.path.join(ROOT, "data", "goog-daily.csv")
MSXHOST = os.environ.get("MSXHOST", os.path.join(ROOT, "build", "native", "msxhost"))


@pytest.fixture(scope="session", autouse=True)
def private_cache(tmp_path_factory):
    """The per-user folder of the library's private copy, a scratch one."""
    folder = tmp_path_factory.mktemp("cache")
    os.environ["XDG_CACHE_HOME"] = str(folder)
    import msx_qmr

    assert "site-packages" in msx_qmr.__file__, "the tests take the installed package"
    return folder


def run_tester(*arguments, cwd, locale="ru_RU.UTF-8"):
    """msxhost ARGUMENTS in cwd under a locale that offers JMA and JTPO; its
    --out file (when asked for) as {date: float32}."""
    env = dict(os.environ, LC_ALL=locale)
    done = subprocess.run([MSXHOST, *arguments], cwd=cwd, env=env, capture_output=True,
                          text=True)
    assert done.returncode == 0, done.stderr
    if "--out" not in arguments:
        return None
    out = os.path.join(cwd, arguments[arguments.index("--out") + 1])
    rows = np.loadtxt(out, delimiter=",", skiprows=1, dtype=str, ndmin=2)
    return {int(d): np.float32(v) for d, v in rows}


def host_dates(days):
    """YYYYMMDD integers as datetime64 days."""
    days = np.asarray(days, dtype=np.int64)
    text = [f"{d // 10000:04}-{d // 100 % 100:02}-{d % 100:02}" for d in days]
    return np.array(text, dtype="datetime64[D]")


@pytest.fixture(scope="session")
def bars():
    """The bundled daily prices as a bar table on its dates."""
    import pandas

    table = np.genfromtxt(DATA, delimiter=",", names=True)
    return pandas.DataFrame({name: table[name] for name in ("open", "high", "low", "close")},
                            index=pandas.DatetimeIndex(host_dates(table["date"]), name="date"))


def bits(values):
    return np.asarray(values, dtype=np.float32).view(np.uint32)
