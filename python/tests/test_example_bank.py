"""The example bank (examples/bank) made by `layergreen bank` and read with layergreen.Bank:
its spectra and iteration counts equal layergreen.greens for the same data set, and the
example script draws its record section."""

import os
import shutil
import subprocess
import sys

import numpy as np
import pytest

import layergreen
from conftest import SOURCE

CONFIG = SOURCE / "examples" / "bank" / "bank.toml"


@pytest.fixture(scope="module")
def example_bank(tmp_path_factory):
    if not CONFIG.exists():
        pytest.skip("examples/bank is not part of this tree")
    folder = tmp_path_factory.mktemp("example")
    shutil.copy(CONFIG, folder / "bank.toml")
    run = subprocess.run([os.environ["LAYERGREEN_EXE"], "bank", "bank.toml", "--threads", "2"],
                         cwd=folder, capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    return folder / "bank.h5"


def test_example_bank_equals_greens(example_bank):
    with layergreen.Bank(example_bank) as bank:
        assert len(bank.stations) == 5 and len(bank.subfaults) == 40
        assert bank.spectra(0, 0).shape == (len(bank.frequencies), 6, 3)
        for station, row in ((0, bank.subfaults.row.min()), ("ABOVE05", bank.subfaults.row.max())):
            i = bank.station_index(station)
            subfaults = np.flatnonzero(bank.subfaults.row == row)
            receivers = np.column_stack([bank.stations.x[i] - bank.subfaults.x[subfaults],
                                         bank.stations.y[i] - bank.subfaults.y[subfaults],
                                         np.zeros(len(subfaults))])
            g = layergreen.greens(bank.layers, bank.subfaults.depth[subfaults[0]], receivers,
                                  len(bank.frequencies), bank.tl, aw=bank.aw, xl=bank.xl,
                                  ikmax=bank.ikmax, uconv=bank.uconv,
                                  q_law=bank.q_law)
            for k, j in enumerate(subfaults):
                np.testing.assert_array_equal(bank.spectra(i, j), g.spectra[k])
                np.testing.assert_array_equal(bank.iterations(i, j), g.iterations)


def test_example_script_draws_the_section(example_bank, tmp_path):
    script = SOURCE / "examples" / "python" / "thrust_section.py"
    png = tmp_path / "section.png"
    run = subprocess.run([sys.executable, script, example_bank, "-o", png], capture_output=True,
                         text=True)
    assert run.returncode == 0, run.stderr
    assert png.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
