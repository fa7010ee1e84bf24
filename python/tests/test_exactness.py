"""Every function, bit for bit against the tester's --out over the bundled
prices, two parameter sets each. The tester runs under a Russian locale,
which offers JMA and JTPO; this process may run under any."""
import numpy as np
import pytest

import msx_qmr
from conftest import DATA, bits, run_tester

CASES = [
    ("NRTR(C, 2)", lambda b: msx_qmr.nrtr(b, 2)),
    ("NRTR(C, 0.5)", lambda b: msx_qmr.nrtr(b.close, 0.5, high=b.high, low=b.low)),
    ("NRTR_WATR(C, 14, 2)", lambda b: msx_qmr.nrtr_watr(b, 14, 2)),
    ("NRTR_WATR(C, 5, 3.5)",
     lambda b: msx_qmr.nrtr_watr(b.close.to_numpy(), 5, 3.5, high=b.high, low=b.low)),
    ("CER(C, 10)", lambda b: msx_qmr.cer(b, 10)),
    ("CER(C, 3)", lambda b: msx_qmr.cer(b.close.to_numpy(), 3)),
    ("RENKO_WATR(C, 2, 10, Auto)", lambda b: msx_qmr.renko_watr(b, 2, 10)),
    ("RENKO_WATR(C, 1.5, 5, Dn)", lambda b: msx_qmr.renko_watr(b, 1.5, 5, mode="dn")),
    ("JMA(C, 14, 0)", lambda b: msx_qmr.jma(b.close, 14, 0)),
    ("JMA(C, 50, -60)", lambda b: msx_qmr.jma(b, 50, -60)),
    ("JTPO(C, 14)", lambda b: msx_qmr.jtpo(b.close, 14)),
    ("JTPO(C, 33)", lambda b: msx_qmr.jtpo(b, 33)),
]


@pytest.mark.parametrize("formula, compute", CASES, ids=[c[0] for c in CASES])
def test_values_are_the_testers(formula, compute, bars, tmp_path):
    expected = run_tester("calc", formula, "--data", DATA, "--out", "out.csv", cwd=tmp_path)
    got = compute(bars)
    days = bars.index.year * 10000 + bars.index.month * 100 + bars.index.day
    valid = ~np.isnan(np.asarray(got))
    assert list(days[valid]) == list(expected), "the valid range differs"
    assert np.array_equal(bits(np.asarray(got)[valid]), bits(list(expected.values())))
