"""Fixtures of the Python tests: result files of the classic regression cases read back, and
small bank files written with h5py in the layout of `layergreen bank`."""

import os
import pathlib
import re

import h5py
import numpy as np
import pytest

import layergreen

SOURCE = pathlib.Path(os.environ.get("LAYERGREEN_SOURCE", pathlib.Path(__file__).parents[2]))
REGRESSION = SOURCE / "tests" / "data" / "regression"

FREQ_LINE = re.compile(r"freq =\s*(\S+?)\s*iter =\s*(\d+)")


def read_result(path):
    """A result file: parameters, layers as read, receiver, iteration counts, the spectra
    [frequency, element, component] and the text of each frequency's six spectrum lines."""
    lines = pathlib.Path(path).read_text().split("\n")
    v = lines[4].split()
    nc, nfreq = int(v[0]), int(v[1])
    r = {"nc": nc, "nfreq": nfreq, "tl": float(v[2]), "aw": float(v[3]), "xl": float(v[5]),
         "ikmax": int(v[6]), "uconv": float(v[7]), "xs": float(v[8]), "ys": float(v[9]),
         "zs": float(v[10]), "sazi": float(lines[3].split()[0]), "dip": float(lines[3].split()[1])}
    r["layers"] = np.array([[float(x) for x in lines[6 + i].split()] for i in range(nc)])
    r["receiver"] = np.array([float(x) for x in lines[7 + nc].split()])
    r["iterations"], r["text"] = [], []
    spectra = np.zeros((nfreq, 6, 3), complex)
    for k in range(nfreq):
        at = 8 + nc + 7 * k
        r["iterations"].append(int(FREQ_LINE.search(lines[at]).group(2)))
        group = lines[at + 1:at + 7]
        r["text"].append(group)
        for c in range(3):
            for half in range(2):
                line = group[2 * c + half]
                for j in range(3):
                    re_, im = line[27 * j:27 * j + 13], line[27 * j + 13:27 * j + 26]
                    spectra[k, 3 * half + j, c] = complex(float(re_), float(im))
    r["spectra"] = spectra
    return r


def thicknesses(layers):
    """Layer rows with the first column as thicknesses (a zero first entry means depths of the
    layer tops, as in a model file)."""
    t = np.array(layers, dtype=float)
    if t[0, 0] == 0.0:
        t[:-1, 0] = t[1:, 0] - t[:-1, 0]
    return t


def fixed_e(v):
    """A value as the result files print it (13 columns, six significant digits)."""
    if v == 0.0:
        digits, exp = "000000", 0
    else:
        m = f"{abs(v):.5e}"
        digits, exp = m[0] + m[2:7], int(m[8:]) + 1
    s = ("-0." if v < 0 else "0.") + digits
    sign = "-" if exp < 0 else "+"
    s += f"E{sign}{abs(exp):02d}" if abs(exp) <= 99 else f"{sign}{abs(exp)}"
    return s.rjust(13)


def spectrum_lines(u):
    """The six spectrum lines of one frequency of u [element, component]."""
    return ["".join(fixed_e(u[e, c].real) + fixed_e(u[e, c].imag) + " "
                    for e in range(3 * half, 3 * half + 3))
            for c in range(3) for half in range(2)]


def write_bank(path, spectra, iterations, tl, aw, layers, stations, subfaults, sampling,
               config="", statics=None):
    """A bank file in the layout of `layergreen bank`. spectra [station, subfault, frequency,
    element, component]; iterations [station, row, frequency]; stations: dict of name, x, y;
    subfaults: dict of x, y, depth, row, along_strike and optionally strike, dip; sampling: xl,
    ikmax, uconv; statics [station, subfault, element, component] or None."""
    nfreq = spectra.shape[2]
    with h5py.File(path, "w") as f:
        f["spectra"] = spectra.astype(complex)
        if statics is not None:
            f["statics"] = np.asarray(statics, float)
        fr = f.create_dataset("frequencies", data=np.arange(nfreq) / tl)
        fr.attrs["tl"], fr.attrs["aw"], fr.attrs["omega_imag"] = tl, aw, -np.pi * aw / tl
        f["iterations"] = np.asarray(iterations, dtype=np.int32)
        f["stations/name"] = np.array(stations["name"], dtype=h5py.string_dtype())
        for key in ("x", "y"):
            f["stations/" + key] = np.asarray(stations[key], float)
        for key, value in subfaults.items():
            f["subfaults/" + key] = np.asarray(value)
        dx = np.subtract.outer(np.asarray(stations["x"], float), subfaults["x"])
        dy = np.subtract.outer(np.asarray(stations["y"], float), subfaults["y"])
        f["geometry/distance"] = np.hypot(dx, dy)
        f["geometry/azimuth"] = np.mod(np.degrees(np.arctan2(dy, dx)), 360.0)
        f["model/layers"] = np.asarray(layers, float)
        f["model/layers"].attrs["q_law"] = "classic"
        for key in ("xl", "ikmax", "uconv"):
            f["model/layers"].attrs[key] = float(sampling[key])
        f.attrs["configuration"] = config
        f.attrs["version"] = layergreen.__version__
        f.attrs["conventions"] = "x north, y east, z down; components x, y, z up"


@pytest.fixture(scope="session")
def basic_osk():
    """The result files OSK.1 ... OSK.10 of the basic case (station OSK, two rows of five)."""
    folder = REGRESSION / "basic" / "expected" / "green" / "OSK"
    return [read_result(folder / f"OSK.{n}") for n in range(1, 11)]


@pytest.fixture(scope="session")
def digits_bank(tmp_path_factory, basic_osk):
    """The basic case's station OSK as a bank, from the printed digits of its result files:
    the subfault centres lie at minus the receiver offsets, the station at the origin."""
    files = basic_osk
    first = files[0]
    spectra = np.array([[r["spectra"] for r in files]])
    iterations = [[files[0]["iterations"], files[5]["iterations"]]]
    subfaults = {"x": [-r["receiver"][0] for r in files], "y": [-r["receiver"][1] for r in files],
                 "depth": [r["zs"] for r in files], "row": [1] * 5 + [2] * 5,
                 "along_strike": list(range(1, 6)) * 2}
    config = (f"[fault]\nstrike = {first['sazi']}\ndip = {first['dip']}\n"
              "length = 32.5\nwidth = 10.0\nn_strike = 5\nn_dip = 2\n")
    path = tmp_path_factory.mktemp("digits") / "osk.h5"
    write_bank(path, spectra, iterations, first["tl"], first["aw"], thicknesses(first["layers"]),
               {"name": ["OSK"], "x": [0.0], "y": [0.0]}, subfaults, first, config)
    return path


# A model and sampling for banks computed here: the basic case's crust under OSK, every
# frequency summed to IKMAX (UCONV = 0), so that every receiver gets the same wavenumber steps.
MODEL = thicknesses(read_result(REGRESSION / "basic" / "expected" / "green" / "OSK" /
                                "OSK.1")["layers"])
SAMPLING = {"nfreq": 32, "tl": 25.6, "aw": 2.0, "xl": 400.0, "ikmax": 1500, "uconv": 0.0}
AXES = {"name": ["N", "E", "S", "W", "GEN"], "x": [20.0, 0.0, -20.0, 0.0, 13.0],
        "y": [0.0, 20.0, 0.0, -20.0, -7.0]}
AXES_SOURCE = (0.0, 0.0, 6.0)
AXES_ANGLES = (30.0, 60.0)


def direct(receivers, source_depth=AXES_SOURCE[2]):
    """Spectra [receiver, frequency, element, component] of the model, by layergreen.greens."""
    return layergreen.greens(MODEL, source_depth, receivers, **SAMPLING).spectra


@pytest.fixture(scope="session")
def axes_bank(tmp_path_factory):
    """One subfault at the origin, 6 deep (strike 30, dip 60), stations on the four axes at 20
    and one off them, computed with layergreen.greens."""
    sx, sy, sz = AXES_SOURCE
    receivers = np.array([[x - sx, y - sy, 0.0] for x, y in zip(AXES["x"], AXES["y"])])
    spectra = direct(receivers)[:, None]
    iterations = np.full((len(receivers), 1, SAMPLING["nfreq"]), SAMPLING["ikmax"] + 1)
    subfaults = {"x": [sx], "y": [sy], "depth": [sz], "row": [1], "along_strike": [1],
                 "strike": [AXES_ANGLES[0]], "dip": [AXES_ANGLES[1]]}
    path = tmp_path_factory.mktemp("axes") / "axes.h5"
    write_bank(path, spectra, iterations, SAMPLING["tl"], SAMPLING["aw"], MODEL, AXES,
               subfaults, SAMPLING)
    return path
