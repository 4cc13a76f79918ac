"""The example bank (examples/bank) made by `layergreen bank` and read with layergreen.Bank:
its spectra and iteration counts equal layergreen.greens for the same data set, its static
displacements layergreen.statics with the row's sampling, and the example script draws its
record section."""

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


def row_receivers(bank, station, row):
    """The subfaults of a row and the station as their receiver (offsets, depth 0)."""
    subfaults = np.flatnonzero(bank.subfaults.row == row)
    return subfaults, np.column_stack([bank.stations.x[station] - bank.subfaults.x[subfaults],
                                       bank.stations.y[station] - bank.subfaults.y[subfaults],
                                       np.zeros(len(subfaults))])


def test_example_bank_equals_greens(example_bank):
    with layergreen.Bank(example_bank) as bank:
        assert len(bank.stations) == 5 and len(bank.subfaults) == 40
        assert bank.spectra(0, 0).shape == (len(bank.frequencies), 6, 3)
        for station, row in ((0, bank.subfaults.row.min()), ("ABOVE05", bank.subfaults.row.max())):
            i = bank.station_index(station)
            subfaults, receivers = row_receivers(bank, i, row)
            g = layergreen.greens(bank.layers, bank.subfaults.depth[subfaults[0]], receivers,
                                  len(bank.frequencies), bank.tl, aw=bank.aw, xl=bank.xl,
                                  ikmax=bank.ikmax, uconv=bank.uconv,
                                  q_law=bank.q_law)
            for k, j in enumerate(subfaults):
                np.testing.assert_array_equal(bank.spectra(i, j), g.spectra[k])
                np.testing.assert_array_equal(bank.iterations(i, j), g.iterations)


def test_example_bank_statics_equal_statics(example_bank):
    with layergreen.Bank(example_bank) as bank:
        attrs = bank._h5["statics"].attrs
        for station, row in ((1, 1), ("ABOVE05", 4)):
            i = bank.station_index(station)
            subfaults, receivers = row_receivers(bank, i, row)
            s = layergreen.statics(bank.layers, bank.subfaults.depth[subfaults[0]], receivers,
                                   xl=attrs["row_xl"][row - 1], kmax=attrs["row_kmax"][row - 1])
            for k, j in enumerate(subfaults):
                np.testing.assert_allclose(bank.statics(i, j), s.displacements[k], rtol=0,
                                           atol=1e-12 * np.abs(s.displacements[k]).max())
        # The offsets of a mechanism are the elements' weighted sum; the fault's thrust lifts the
        # ground right above the subfault (z up).
        i = bank.station_index("ABOVE05")
        j = int(np.argmin(np.hypot(bank.subfaults.x - bank.stations.x[i],
                                   bank.subfaults.y - bank.stations.y[i])))
        u = bank.static_offsets(i, j, (20.0, 25.0, 90.0), m0=1e18)
        w = layergreen.element_weights(layergreen.strike_dip_rake(20.0, 25.0, 90.0, 1e18))
        np.testing.assert_allclose(u, w @ bank.statics(i, j), rtol=1e-14)
        assert u[2] > 0.5 * np.abs(u).max()


def test_example_script_draws_the_section(example_bank, tmp_path):
    script = SOURCE / "examples" / "python" / "thrust_section.py"
    png = tmp_path / "section.png"
    run = subprocess.run([sys.executable, script, example_bank, "-o", png], capture_output=True,
                         text=True)
    assert run.returncode == 0, run.stderr
    assert png.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
