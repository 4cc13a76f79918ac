"""layergreen.Bank: reading, seismograms against layergreen-seis, rotation to radial and
transverse, and export to SAC and npz."""

import os
import subprocess

import numpy as np
import pytest

import layergreen
from conftest import AXES, MODEL, SAMPLING, REGRESSION, write_bank


def test_reads_tables_and_spectra(digits_bank, basic_osk):
    with layergreen.Bank(digits_bank) as bank:
        assert bank.stations.name == ["OSK"] and len(bank.subfaults) == 10
        np.testing.assert_allclose(bank.frequencies, np.arange(32) / 25.6)
        assert (bank.tl, bank.aw, bank.xl, bank.ikmax, bank.uconv) == (25.6, 2.0, 400, 1500, 1e-4)
        np.testing.assert_array_equal(bank.subfaults.depth, [6.0] * 5 + [11.0] * 5)
        for j in (2, 7):
            np.testing.assert_array_equal(bank.spectra("OSK", j), basic_osk[j]["spectra"])
            np.testing.assert_array_equal(bank.iterations(0, j), basic_osk[j]["iterations"])
        assert bank.distance(0, 2) == pytest.approx(np.hypot(25.0, 8.0))
        assert bank.azimuth(0, 2) == pytest.approx(np.degrees(np.arctan2(8.0, 25.0)))
        with pytest.raises(ValueError, match="no station named 'KBE'"):
            bank.spectra("KBE", 0)
        with pytest.raises(ValueError, match="subfault index 10 is out of range"):
            bank.spectra(0, 10)
        assert not bank.has_statics
        with pytest.raises(ValueError, match="statics = true"):
            bank.static_offsets(0, 0, (0.0, 90.0, 0.0))


def sac_samples(path):
    return np.fromfile(path, dtype="<f4")[158:]


def test_sac_files_and_seismograms_equal_layergreen_seis(digits_bank, tmp_path):
    source, lowpass = ("triangle", 1.0), 0.5
    seis = tmp_path / "seis"
    files = [REGRESSION / "basic" / "expected" / "green" / "OSK" / f"OSK.{n}" for n in range(1, 11)]
    subprocess.run([os.environ["LAYERGREEN_SEIS"], "-o", seis, "--source", "triangle:1",
                    "--lowpass", str(lowpass), *files], check=True)
    with layergreen.Bank(digits_bank) as bank:
        stems = bank.to_sac(tmp_path / "py", source=source, lowpass=lowpass)
        assert len(stems) == 10
        names = sorted(os.listdir(tmp_path / "py"))
        assert names == sorted(os.listdir(seis)) and len(names) == 180
        for name in names:
            assert (tmp_path / "py" / name).read_bytes() == (seis / name).read_bytes(), name
        # The arrays in memory are the SAC samples before their rounding to single precision.
        t, traces = bank.seismograms(0, 2, source=source, lowpass=lowpass)
        assert t[1] == pytest.approx(25.6 / 64) and traces.shape == (6, 3, 64)
        for e in range(6):
            for c, letter in enumerate("xyz"):
                np.testing.assert_array_equal(traces[e, c].astype(np.float32),
                                              sac_samples(seis / f"OSK.3.e{e + 1}{letter}.sac"))


# The station on each axis seen from the subfault: radial and transverse in x and y.
AXIS_RT = {"N": ((0, 1), (1, 1)), "E": ((1, 1), (0, -1)), "S": ((0, -1), (1, -1)),
           "W": ((1, -1), (0, 1))}


def test_radial_and_transverse_on_each_axis(axes_bank):
    with layergreen.Bank(axes_bank) as bank:
        for name, ((r, r_sign), (t, t_sign)) in AXIS_RT.items():
            _, xyz = bank.seismograms(name, 0, source="step")
            _, zrt = bank.seismograms(name, 0, source="step", components="zrt")
            _, zne = bank.seismograms(name, 0, source="step", components="zne")
            scale = np.abs(xyz).max()
            np.testing.assert_allclose(zrt[:, 0], xyz[:, 2], rtol=0, atol=1e-13 * scale)
            np.testing.assert_allclose(zrt[:, 1], r_sign * xyz[:, r], rtol=0, atol=1e-13 * scale)
            np.testing.assert_allclose(zrt[:, 2], t_sign * xyz[:, t], rtol=0, atol=1e-13 * scale)
            np.testing.assert_array_equal(zne, xyz[:, [2, 0, 1]])
            # An explosion sends nothing to the transverse component.
            assert np.abs(zrt[5, 2]).max() < 1e-9 * np.abs(zrt[5, 1]).max()


def test_npz_export(axes_bank, tmp_path):
    with layergreen.Bank(axes_bank) as bank:
        bank.to_npz(tmp_path / "b.npz", stations=["E", "GEN"], source="step", lowpass=0.5,
                    components="zrt")
        with np.load(tmp_path / "b.npz") as z:
            assert list(z["station_name"]) == ["E", "GEN"]
            assert z["seismograms"].shape == (2, 1, 6, 3, 64)
            np.testing.assert_array_equal(z["spectra"][1, 0], bank.spectra("GEN", 0))
            t, zrt = bank.seismograms("GEN", 0, source="step", lowpass=0.5, components="zrt")
            np.testing.assert_array_equal(z["t"], t)
            np.testing.assert_allclose(z["seismograms"][1, 0], zrt, rtol=1e-13, atol=0)


def test_sac_files_stay_in_their_folder(axes_bank, tmp_path):
    """A station name that is not a plain file name (from a file not written by layergreen)
    is refused before anything is written for it."""
    with layergreen.Bank(axes_bank) as bank:
        spectra = np.array([[bank.spectra(i, 0)] for i in range(len(bank.stations))])
        subfaults = {k: list(getattr(bank.subfaults, k)) for k in ("x", "y", "depth", "row",
                                                                     "along_strike")}
    stations = dict(AXES, name=["../up", "E", "S", "W", "GEN"])
    path = tmp_path / "odd.h5"
    write_bank(path, spectra, np.zeros((5, 1, SAMPLING["nfreq"])), SAMPLING["tl"],
               SAMPLING["aw"], MODEL, stations, subfaults, SAMPLING)
    with layergreen.Bank(path) as bank:
        with pytest.raises(ValueError, match="station name '../up' cannot be a file name"):
            bank.to_sac(tmp_path / "sac", stations=["../up"])
    assert not list(tmp_path.glob("*.sac")) and not list((tmp_path / "sac").iterdir())
    # A folder under one of a pair's 18 names: none of the 18 is written (all or none).
    with layergreen.Bank(axes_bank) as bank:
        (tmp_path / "sac" / "E.1.e3y.sac").mkdir()
        with pytest.raises(layergreen.WriteError, match="E.1.e3y.sac: it is a folder"):
            bank.to_sac(tmp_path / "sac", stations=["E"])
    assert [p.name for p in (tmp_path / "sac").iterdir()] == ["E.1.e3y.sac"]
