"""A bank one can trust: damage, truncation and foreign files refused with the file's name,
single precision and compression read alike, the subfaults' areas and rigidities, the SAC
coordinates of a geographic bank, and a low-pass corner above the band refused."""

import os
import shutil
import subprocess

import h5py
import numpy as np
import pytest

import layergreen
from layergreen import sac

CONFIG = """[bank]
output = "{output}"
{keys}
[sampling]
nfreq = 8
tl = 16.0
aw = 1.0
xl = 200.0
ikmax = 400
uconv = 1e-3

[model]
layers = [
  [2.0, 4.5, 2.6, 2.4, 200, 100],
  [0.0, 6.0, 3.45, 2.7, 400, 200],
]

[fault]
top_center_geo = [35.0, 139.0, 1.0]
strike = 30.0
dip = 40.0
length = 6.0
width = 4.0
n_strike = 3
n_dip = 2

[[station]]
name = "NEAR"
lat = 35.05
lon = 139.04

[[station]]
name = "FARAWAYSTATION"
lat = 34.98
lon = 139.1
"""


@pytest.fixture(scope="module")
def banks(tmp_path_factory):
    """One geographic bank computed by layergreen bank, stored in double precision
    (double.h5) and in single precision with gzip (single.h5)."""
    folder = tmp_path_factory.mktemp("trust")
    for name, keys in (("double", ""), ("single", 'precision = "single"\ncompression = "gzip"')):
        (folder / f"{name}.toml").write_text(CONFIG.format(output=f"{name}.h5", keys=keys))
        run = subprocess.run([os.environ["LAYERGREEN_EXE"], "bank", f"{name}.toml"], cwd=folder,
                             capture_output=True, text=True)
        assert run.returncode == 0, run.stderr
    return folder


def test_damaged_cut_and_foreign_files_are_refused(banks, tmp_path):
    bad = tmp_path / "bad.h5"
    shutil.copy(banks / "double.h5", bad)
    with h5py.File(bad, "r") as f:
        chunk = f["spectra"].id.get_chunk_info(3)
    assert chunk.chunk_offset[:2] == (0, 3)
    data = bytearray(bad.read_bytes())
    data[chunk.byte_offset + chunk.size // 2] ^= 0x10
    bad.write_bytes(bytes(data))
    with h5py.File(bad, "r") as f:
        with pytest.raises(OSError, match="Fletcher32"):
            f["spectra"][0, 3]
    with layergreen.Bank(bad) as bank:
        np.testing.assert_array_equal(bank.spectra(0, 2), layergreen.Bank(banks / "double.h5")
                                      .spectra(0, 2))
        with pytest.raises(OSError, match=f"{bad}: /spectra cannot be read: the file is damaged"):
            bank.spectra(0, 3)
        problems = bank.verify()
        assert len(problems) == 1 and "/spectra (slice(0, 1" in problems[0]
        assert layergreen.Bank(banks / "double.h5").verify() == []
    run = subprocess.run([os.environ["LAYERGREEN_EXE"], "bank", "--verify", bad],
                         capture_output=True, text=True)
    assert run.returncode == 2 and "NOT whole" in run.stdout

    cut = tmp_path / "cut.h5"
    cut.write_bytes(bytes(data[:len(data) // 2]))
    with pytest.raises(OSError, match=f"{cut}: cannot open it as a bank file"):
        layergreen.Bank(cut)
    foreign = tmp_path / "foreign.h5"
    with h5py.File(foreign, "w") as f:
        f["frequencies"] = np.arange(3.0)
    with pytest.raises(ValueError, match=f"{foreign}: not a bank file \\(no format attribute "
                                         "and no /spectra\\)"):
        layergreen.Bank(foreign)
    with h5py.File(foreign, "a") as f:
        f.attrs["format"] = "something-else"
    with pytest.raises(ValueError, match="its format is 'something-else'"):
        layergreen.Bank(foreign)


def test_single_precision_and_gzip_read_alike(banks):
    with layergreen.Bank(banks / "double.h5") as d, layergreen.Bank(banks / "single.h5") as s:
        assert (d.precision, d.compression, d.format_version) == ("double", "none", 2)
        assert (s.precision, s.compression) == ("single", "gzip")
        assert s._h5["spectra"].dtype == np.complex64 and s._h5["spectra"].fletcher32
        for i in range(2):
            for j in (0, 5):
                single = s.spectra(i, j)
                assert single.dtype == np.complex128
                np.testing.assert_array_equal(single, d.spectra(i, j).astype(np.complex64))
                np.testing.assert_array_equal(s.iterations(i, j), d.iterations(i, j))
        assert s.outcome == d.outcome and d.outcome["sums"] == 2 * 2 * 8


def test_moment_tables_and_sac_coordinates(banks, tmp_path):
    with layergreen.Bank(banks / "double.h5") as bank:
        f = bank.subfaults
        np.testing.assert_array_equal(f.area, np.full(6, 6.0 / 3 * 4.0 / 2))
        # Rows 1 and 2: centres in the first layer and in the half-space below 2.
        np.testing.assert_allclose(f.mu, np.where(f.depth < 2.0, 2.4 * 2.6**2, 2.7 * 3.45**2),
                                   rtol=1e-15)
        assert f.depth.min() < 2.0 < f.depth.max()
        # The centres about the fault's top centre, east of it along strike.
        assert np.all(np.abs(f.lat - 35.0) < 0.05) and np.all(np.abs(f.lon - 139.0) < 0.05)
        stems = bank.to_sac(tmp_path, stations=["FARAWAYSTATION"], subfaults=[4])
        head = sac.read_fields(stems[0] + ".e2z.sac")
        assert head["kstnm"] == "FARAWAYS"
        assert os.path.basename(stems[0]) == "FARAWAYSTATION.5"
        expected = {"stla": 34.98, "stlo": 139.1, "stel": 0.0, "evla": f.lat[4],
                    "evlo": f.lon[4], "evdp": f.depth[4], "dist": bank.distance(1, 4),
                    "az": bank.azimuth(1, 4), "baz": bank.back_azimuth(1, 4),
                    "cmpaz": 0.0, "cmpinc": 0.0}
        for key, value in expected.items():
            assert head[key] == pytest.approx(np.float32(value), rel=1e-6), key
        # On the ellipsoid the back azimuth is not the azimuth turned round, by a little here.
        assert 0 < abs(bank.back_azimuth(1, 4) - (bank.azimuth(1, 4) + 180.0) % 360.0) < 0.2
        # A corner above the highest frequency, (nfreq - 1)/tl, is refused.
        with pytest.raises(ValueError, match="lowpass = 0.5 is above the highest frequency"):
            bank.seismograms(0, 0, lowpass=0.5)
        bank.seismograms(0, 0, lowpass=7 / 16.0)
