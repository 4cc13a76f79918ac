"""`layergreen bank` with [fault] slip_model and `layergreen forward`: the bank's subfaults are
the slip model's, and the command writes what Bank.forward computes (SAC files, static.csv),
or on bad input one line, status 2 and no files."""

import csv
import os
import pathlib
import shutil
import subprocess

import numpy as np
import pytest

import layergreen

DATA = pathlib.Path(__file__).parent / "data" / "slip_models"
CONFIG = """[bank]
output = "bank.h5"
statics = true
[sampling]
nfreq = 16
tl = 25.6
aw = 2.0
xl = "auto"
ikmax = "auto"
uconv = 1e-4
[model]
layers = [[2.0, 4.5, 2.6, 2.4, 200, 100], [10.0, 6.0, 3.45, 2.7, 400, 200],
          [0.0, 7.9, 4.5, 3.3, 800, 400]]
[fault]
slip_model = "model.param"
[[station]]
name = "GEO1"
lat = 35.2
lon = 140.1
[[station]]
name = "GEO2"
lat = 34.9
lon = 139.8
"""


def layergreen_exe(*args, cwd):
    return subprocess.run([os.environ["LAYERGREEN_EXE"], *args], cwd=cwd, capture_output=True,
                          text=True)


@pytest.fixture(scope="module")
def folder(tmp_path_factory):
    if "LAYERGREEN_EXE" not in os.environ:
        pytest.skip("needs the program (LAYERGREEN_EXE, as ctest sets it)")
    d = tmp_path_factory.mktemp("command")
    for name in ("model.param", "single.fsp", "two_segments.fsp"):
        shutil.copy(DATA / name, d / name)
    (d / "bank.toml").write_text(CONFIG)
    run = layergreen_exe("bank", "bank.toml", "--threads", "2", cwd=d)
    assert run.returncode == 0, run.stderr
    return d


def test_forward_command_writes_what_bank_forward_computes(folder):
    run = layergreen_exe("forward", "bank.h5", "model.param", "-o", "out", "--source", "file",
                         "--lowpass", "0.4", cwd=folder)
    assert run.returncode == 0, run.stderr
    model = layergreen.SlipModel.read(folder / "model.param")
    with layergreen.Bank(folder / "bank.h5") as bank:
        np.testing.assert_array_equal(bank._h5["subfaults/area"][()], model.area)
        np.testing.assert_allclose(bank.subfaults.strike, model.strike)
        f = bank.forward(model, source="file", lowpass=0.4)
    lines = run.stdout.splitlines()
    assert lines[0].startswith("GEO1: static north") and len(lines) == 3
    for i, name in enumerate(("GEO1", "GEO2")):
        for c, letter in enumerate("ZNE"):
            raw = (folder / "out" / f"{name}.{letter}.sac").read_bytes()
            np.testing.assert_array_equal(np.frombuffer(raw[632:], "<f4"),
                                          f.waveforms[i, c].astype(np.float32))
    rows = list(csv.reader((folder / "out" / "static.csv").open()))
    assert rows[0] == ["station", "lat", "lon", "north_m", "east_m", "up_m"]
    np.testing.assert_allclose(np.array([r[3:] for r in rows[1:]], float), f.static, rtol=1e-9)
    assert rows[1][:3] == ["GEO1", "35.200000", "140.100000"]


@pytest.mark.parametrize("model, words", [
    ("two_segments.fsp", "two_segments.fsp has 12 subfaults, bank.h5 has 6"),
    ("single.fsp", "single.fsp: subfault 0 (from 0) has no valid rise time"),
])
def test_forward_command_refuses_bad_input(folder, model, words):
    if model == "single.fsp":  # the bank's own places, but its rise times taken away
        text = (folder / "single.fsp").read_text().replace("TRUP   RISE", "TRUP   XRISE")
        (folder / "single.fsp").write_text(text)
    run = layergreen_exe("forward", "bank.h5", model, "-o", "bad", cwd=folder)
    assert run.returncode == 2 and run.stdout == ""
    assert run.stderr.count("\n") == 1 and words in run.stderr, run.stderr
    assert not (folder / "bad").exists()
