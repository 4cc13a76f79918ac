"""layergreen.greens against the classic run: the regression cases' result files to every
printed digit and iteration count, and the command line's words for bad arguments."""

import os
import shutil
import subprocess

import numpy as np
import pytest

import layergreen
from conftest import REGRESSION, read_result, spectrum_lines, thicknesses

# (case, station folder, file numbers of one data set = one row)
DATA_SETS = [("basic", "green/OSK", "OSK", range(1, 6)), ("basic", "green/OSK", "OSK", range(6, 11)),
             ("basic", "green/KBE", "KBE", range(1, 6)), ("basic", "green/KBE", "KBE", range(6, 11)),
             ("mixed", "out/MIX", "MIX", range(1, 5)), ("mixed", "out/MIX", "MIX", range(5, 9))]


@pytest.mark.parametrize("case,folder,code,numbers", DATA_SETS)
def test_equals_classic_run_digits(case, folder, code, numbers):
    files = [read_result(REGRESSION / case / "expected" / folder / f"{code}.{n}") for n in numbers]
    p = files[0]
    receivers = np.array([r["receiver"] - [p["xs"], p["ys"], 0.0] for r in files])
    result = layergreen.greens(thicknesses(p["layers"]), p["zs"], receivers, p["nfreq"], p["tl"],
                               aw=p["aw"], xl=p["xl"], ikmax=p["ikmax"], uconv=p["uconv"],
                               threads=1 + numbers[0] % 2)
    assert result.spectra.shape == (len(files), p["nfreq"], 6, 3)
    np.testing.assert_array_equal(result.iterations, p["iterations"])
    for r, u in zip(files, result.spectra):
        for k in range(p["nfreq"]):
            assert spectrum_lines(u[k]) == r["text"][k], f"{code}, frequency {k}"


def test_thread_counts_agree():
    r = read_result(REGRESSION / "mixed" / "expected" / "out" / "MIX" / "MIX.5")
    args = (thicknesses(r["layers"]), 25.0, [[0, 0, 25.0], [5, 5, 3.0], [8, -2, 30.0]], 8, 16.0)
    one = layergreen.greens(*args, xl=300.0, ikmax=300, uconv=1e-3, threads=1)
    two = layergreen.greens(*args, xl=300.0, ikmax=300, uconv=1e-3, threads=2)
    np.testing.assert_array_equal(one.spectra, two.spectra)
    np.testing.assert_array_equal(one.iterations, two.iterations)


# A fault in the model file's group or layer lines, and the same fault as greens arguments.
BAD = [
    ("TL=25.6", "TL=-1.0", {"tl": -1.0}),
    ("AW=2.0", "AW=0.0", {"aw": 0.0}),
    ("AW=2.0", "AW=-2.0", {"aw": -2.0}),
    ("IKMAX=1500", "IKMAX=-3", {"ikmax": -3}),
    ("   4.0   5.50   3.15", "   4.0   5.50   0.0 ", {"layer": (1, 2, 0.0)}),
    ("  10.0   6.00   3.45   2.70   400.   200.", "  10.0   6.00   3.45   2.70   400.   0.5",
     {"layer": (2, 5, 0.5)}),
]


@pytest.mark.parametrize("old,new,change", BAD)
def test_bad_arguments_use_command_line_words(tmp_path, old, new, change):
    run = tmp_path / "run"
    shutil.copytree(REGRESSION / "basic", run, ignore=shutil.ignore_patterns("expected"))
    model = run / "model" / "strOSK"
    text = model.read_text()
    assert old in text
    model.write_text(text.replace(old, new, 1))
    cli = subprocess.run([os.environ["LAYERGREEN_EXE"]], cwd=run, capture_output=True, text=True)
    assert cli.returncode == 2
    prefix = "layergreen: model/strOSK:"
    line = next(l for l in cli.stderr.splitlines() if l.startswith(prefix))
    expected = line.split(": ", 2)[2]

    r = read_result(REGRESSION / "basic" / "expected" / "green" / "OSK" / "OSK.1")
    args = {"tl": r["tl"], "aw": r["aw"], "xl": r["xl"], "ikmax": r["ikmax"]}
    layers = thicknesses(r["layers"])
    if "layer" in change:
        i, column, value = change["layer"]
        layers[i, column] = value
    else:
        args.update(change)
    tl = args.pop("tl")
    if change.get("layer") == (1, 2, 0.0):
        # The classic files refuse every fluid layer; greens takes them at the top only.
        expected = ("layer 2: vs = 0 below a solid layer: fluid layers are supported only at the "
                    "top of the model (an ocean)")
    with pytest.raises(ValueError) as e:
        layergreen.greens(layers, 6.0, [[25.0, 8.0, 0.0]], r["nfreq"], tl, **args)
    assert str(e.value) == expected


def test_bad_shapes_and_values():
    layers = [[2.0, 4.5, 2.6, 2.4, 200, 100], [0, 7.9, 4.5, 3.3, 800, 400]]
    with pytest.raises(ValueError, match="layers must be an"):
        layergreen.greens([[1, 2, 3]], 6.0, [[1, 0, 0]], 4, 10.0)
    with pytest.raises(ValueError, match="receivers must be an"):
        layergreen.greens(layers, 6.0, [1, 0, 0], 4, 10.0)
    with pytest.raises(ValueError, match="receiver 1: receiver y = nan is not a finite number"):
        layergreen.greens(layers, 6.0, [[1, 0, 0], [2, np.nan, 0]], 4, 10.0)
    # Depths and thicknesses as the input files take them.
    with pytest.raises(ValueError, match="layer 1: thickness hc = -2 is negative"):
        layergreen.greens([[-2.0, 4.5, 2.6, 2.4, 200, 100], layers[1]], 6.0, [[1, 0, 0]], 4, 10.0)
    with pytest.raises(ValueError, match="source depth ZS = -6 is above the free surface"):
        layergreen.greens(layers, -6.0, [[1, 0, 0]], 4, 10.0)
    with pytest.raises(ValueError, match="receiver 0: receiver depth = -1 is above the free"):
        layergreen.greens(layers, 6.0, [[1, 0, -1]], 4, 10.0)
    with pytest.raises(ValueError, match='q_law must be "classic" or "constant-q"'):
        layergreen.greens(layers, 6.0, [[1, 0, 0]], 4, 10.0, q_law="constant")
    with pytest.raises(ValueError, match="threads takes a whole number"):
        layergreen.greens(layers, 6.0, [[1, 0, 0]], 4, 10.0, threads=0)


def test_auto_sampling_is_the_rules_choice():
    layers = [[2.0, 4.5, 2.6, 2.4, 200, 100], [0, 7.9, 4.5, 3.3, 800, 400]]
    receivers = [[30.0, 40.0, 0.0], [3.0, 0.0, 4.5]]
    xl, ikmax = layergreen.auto_sampling(layers, 6.0, receivers, 33, 20.0, uconv=1e-4)
    # xl: 1.2 (r + vp tl) = 1.2 (50 + 7.9 * 20); ikmax: the rule's k (S waves at 1.6 Hz in the
    # slowest layer, evanescent waves to the receiver 1.5 from the source depth), rounded up.
    assert 1.2 * 208.0 <= xl < 1.2 * 208.0 * 1.1
    k = 2 * np.pi * 1.6 / 2.6 + np.log(100 / 1e-4) / 1.5
    needed = np.ceil(k * xl / (2 * np.pi) - 0.258)
    assert needed <= ikmax < 1.1 * needed
    # A lower threshold asks for more wavenumbers; greens() chooses with its own uconv.
    assert layergreen.auto_sampling(layers, 6.0, receivers, 33, 20.0, uconv=1e-6)[1] > ikmax
    with pytest.raises(ValueError, match="layers must be an"):
        layergreen.auto_sampling([[1.0, 2.0]], 6.0, receivers, 33, 20.0)
    with pytest.raises(ValueError, match="tl"):
        layergreen.auto_sampling(layers, 6.0, receivers, 33, 0.0)


def test_statics_sampling_and_arguments():
    layers = [[2.0, 4.5, 2.6, 2.4], [0.0, 6.0, 3.45, 2.7]]
    receivers = [[10.0, 0.0, 0.0], [0.0, -20.0, 0.0]]
    s = layergreen.statics(layers, 5.0, receivers)
    assert s.displacements.shape == (2, 6, 3)
    assert (s.xl, s.kmax) == pytest.approx((60 * 20.0, 30 / 5.0))
    # Nodal directions of the strike-slip element xy: no vertical or radial motion on the axes.
    big = np.abs(s.displacements).max()
    np.testing.assert_allclose(s.displacements[:, 0, 2], 0, atol=1e-12 * big)
    np.testing.assert_allclose([s.displacements[0, 0, 0], s.displacements[1, 0, 1]], 0,
                               atol=1e-12 * big)
    # Six-column layers (qp, qs ignored) give the same numbers; a finer sampling agrees to 1e-5.
    same = layergreen.statics([row + [100, 50] for row in layers], 5.0, receivers)
    np.testing.assert_array_equal(same.displacements, s.displacements)
    fine = layergreen.statics(layers, 5.0, receivers, xl=2 * s.xl, kmax=2 * s.kmax)
    assert np.abs(fine.displacements - s.displacements).max() < 1e-5 * big
    with pytest.raises(ValueError, match="at the source"):
        layergreen.statics(layers, 1.0, [[0.0, 0.0, 1.0], [5.0, 0.0, 0.0]])
    with pytest.raises(ValueError, match="xl = -1 must be a finite number greater than zero"):
        layergreen.statics(layers, 5.0, receivers, xl=-1.0)
    with pytest.raises(ValueError, match="layers must be"):
        layergreen.statics([[1.0, 2.0]], 5.0, receivers)
