"""Fluid layers (an ocean over the crust): the limits of vanishing water and of a soft solid,
the pressure against the displacement's divergence, the sea floor's interface conditions, the
water-column multiples, and the rules of where fluids may lie."""

import os
import subprocess

import numpy as np
import pytest

import layergreen

H = 2.0  # water depth (km)
WATER = [H, 1.5, 0.0, 1.0, 1e4, 1e4]
CRUST = [[10.0, 6.0, 3.5, 2.7, 600.0, 300.0], [0.0, 8.0, 4.5, 3.3, 1000.0, 500.0]]
SOURCE = 12.0
SAMPLING = {"nfreq": 24, "tl": 32.0, "xl": 400.0, "ikmax": 4000, "uconv": 0.0}


def spectra(layers, receivers, source=SOURCE, **kw):
    args = {**SAMPLING, **kw}
    return layergreen.greens(np.array(layers), source, np.array(receivers, dtype=float),
                             **args).spectra


def misfit(a, b):
    return np.abs(a - b).max() / np.abs(b).max()


def test_vanishing_water_gives_the_solid_model():
    floor = [[20.0, 10.0, 0.0], [40.0, -5.0, 0.0]]
    solid = spectra(CRUST, floor)
    errors = []
    for h in (0.0, 1e-6, 1e-4):
        wet = spectra([[h] + WATER[1:]] + CRUST, [[x, y, h] for x, y, _ in floor], SOURCE + h)
        errors.append(misfit(wet, solid))
    assert errors[0] < 1e-12
    # The water's effect is first order in its thickness.
    assert errors[1] < 2e-6 and 2e-5 < errors[2] < 2e-4


def test_soft_solid_approaches_the_fluid():
    floor = [[20.0, 10.0, H], [40.0, -5.0, H]]
    fluid = spectra([WATER] + CRUST, floor)
    errors = [misfit(spectra([[H, 1.5, vs, 1.0, 1e4, 1e4]] + CRUST, floor), fluid)
              for vs in (0.1, 0.03, 0.01)]
    # About 0.26 * vs (km/s) on the sea floor: 2.6 %, 0.8 %, 0.26 %.
    assert errors[2] < 4e-3
    assert errors[0] / errors[1] > 2.5 and errors[1] / errors[2] > 2.5


def test_equal_water_layers_are_one():
    floor = [[20.0, 10.0, H], [3.0, 1.0, 0.7]]
    one = spectra([WATER] + CRUST, floor)
    two = spectra([[0.7] + WATER[1:], [H - 0.7] + WATER[1:]] + CRUST, floor)
    # Only the single-precision rounding of the layer phase factors differs.
    assert misfit(two, one) < 1e-7
    # A denser lower layer changes the field.
    salt = spectra([[0.7] + WATER[1:], [H - 0.7, 1.5, 0.0, 1.2, 1e4, 1e4]] + CRUST, floor)
    assert misfit(salt, one) > 1e-3


def test_pressure_is_the_divergence_of_the_displacement():
    # Lossless water, so that its complex sound speed is vp (qp = 1e4 alone differs by 1e-4).
    layers = [[H, 1.5, 0.0, 1.0, 1e7, 1e7]] + CRUST
    x, y, z, d = 20.0, 10.0, 1.2, 1e-3
    offsets = [(0, 0, 0), (d, 0, 0), (-d, 0, 0), (0, d, 0), (0, -d, 0), (0, 0, d), (0, 0, -d)]
    u = spectra(layers, [[x + a, y + b, z + c] for a, b, c in offsets])
    p = spectra(layers, [[x, y, z], [x, y, 0.0], [x, y, H]], quantity="pressure")
    assert p.shape == (3, SAMPLING["nfreq"], 6, 1)
    # Components x, y, z (up) against depth (down): div u = dux/dx + duy/dy - duz/d(depth).
    div = (u[1, ..., 0] - u[2, ..., 0] + u[3, ..., 1] - u[4, ..., 1] - u[5, ..., 2] + u[6, ..., 2])
    div /= 2 * d
    expected = -WATER[3] * WATER[1] ** 2 * div
    assert misfit(p[0, 1:, :, 0], expected[1:]) < 5e-6
    # Pressure-free sea surface; on the sea floor the pressure is of the same order.
    assert np.all(p[1] == 0.0)
    assert 0.1 < np.abs(p[2]).max() / np.abs(p[0]).max() < 10


def test_sea_floor_interface_conditions():
    layers = [WATER] + CRUST
    below = spectra(layers, [[20.0, 10.0, H]])
    above = spectra(layers, [[20.0, 10.0, H - 1e-9]])
    # Vertical displacement continuous, horizontal free to slip.
    assert misfit(above[..., 2], below[..., 2]) < 1e-7
    assert misfit(above[..., 0], below[..., 0]) > 0.1
    # The solid's stress at the floor from differences of its displacement (one-sided in depth;
    # lossless layers, so that the moduli are rho vp^2 and rho vs^2): the normal stress is
    # minus the water's pressure there, and the shear traction is zero.
    layers = [[H, 1.5, 0.0, 1.0, 1e7, 1e7]] + [l[:4] + [1e7, 1e7] for l in CRUST]
    x, y, d = 20.0, 10.0, 1e-3
    offsets = [(0, 0, 0), (d, 0, 0), (-d, 0, 0), (0, d, 0), (0, -d, 0), (0, 0, d), (0, 0, 2 * d)]
    u = spectra(layers, [[x + a, y + b, H + c] for a, b, c in offsets])[:, 1:]
    ux, uy, uz = u[..., 0], u[..., 1], -u[..., 2]  # uz down, as depth
    ddx, ddy = (lambda f: (f[1] - f[2]) / (2 * d)), (lambda f: (f[3] - f[4]) / (2 * d))
    ddz = lambda f: (-3 * f[0] + 4 * f[5] - f[6]) / (2 * d)
    vp, vs, rho = CRUST[0][1:4]
    mu, lam = rho * vs**2, rho * (vp**2 - 2 * vs**2)
    szz = lam * (ddx(ux) + ddy(uy) + ddz(uz)) + 2 * mu * ddz(uz)
    p = spectra(layers, [[x, y, H]], quantity="pressure")[0, 1:, :, 0]
    assert misfit(-szz, p) < 1e-5
    for shear in (mu * (ddz(ux) + ddx(uz)), mu * (ddz(uy) + ddy(uz))):
        assert np.abs(shear).max() < 1e-5 * np.abs(szz).max()


def test_sea_floor_shows_the_water_multiples():
    h, c, vp, rho = 3.0, 1.5, 6.0, 2.7
    layers = [[h, c, 0.0, 1.0, 1e5, 1e5], [0.0, vp, 3.5, rho, 1e4, 1e4]]
    below = 10.0  # source depth under the sea floor, straight below the station
    g = layergreen.greens(np.array(layers), h + below, np.array([[0.0, 0.0, h]]), 512, 64.0,
                          xl=600.0, ikmax=5000, uconv=0.0).spectra
    t, traces = layergreen.seismograms(g, 64.0, 2.0, source=("triangle", 0.3), lowpass=2.0)
    z = traces[0, 5, 2]  # xx+yy+zz, vertical
    dt = t[1] - t[0]
    first = np.argmax(np.abs(z))
    two_way = 2 * h / c
    peaks = []
    for n in range(1, 6):
        w = np.flatnonzero(np.abs(t - t[first] - n * two_way) < two_way / 4)
        # Each multiple rides on the slow near-field motion: measured from the window's ends.
        dev = z[w] - 0.5 * (z[w[0]] + z[w[-1]])
        j = np.argmax(np.abs(dev))
        assert abs(t[w[j]] - t[first] - n * two_way) <= dt / 2, f"multiple {n}"
        peaks.append(dev[j] / z[first])
    # Each round trip: -1 at the sea surface, the sea floor's (rho vp - c)/(rho vp + c) from
    # above, and the longer ray's spreading (its length scaled by velocity: vp*below + c*2h*n).
    floor = (rho * vp - c) / (rho * vp + c)
    for n in range(1, 5):
        spread = (vp * below + c * two_way * c * n) / (vp * below + c * two_way * c * (n + 1))
        assert peaks[n] / peaks[n - 1] == pytest.approx(-floor * spread, rel=0.03)


def test_where_fluids_may_lie():
    floor = [[5.0, 0.0, H]]
    soft = [1.0, 1.5, 0.0, 1.0, 1e4, 1e4]
    with pytest.raises(ValueError, match="layer 2: vs = 0 below a solid layer: fluid layers are"):
        spectra([CRUST[0], soft, CRUST[1]], floor, nfreq=2)
    with pytest.raises(ValueError, match="layer 2: vs = 0 in the half-space"):
        spectra([WATER, [0.0] + soft[1:]], [[5.0, 0.0, 1.0]], nfreq=2)
    with pytest.raises(ValueError, match="the source must lie in the solid"):
        spectra([WATER] + CRUST, floor, source=1.0, nfreq=2)
    with pytest.raises(ValueError, match="pressure is computed in the water only"):
        spectra([WATER] + CRUST, [[5.0, 0.0, H + 0.1]], nfreq=2, quantity="pressure")
    with pytest.raises(ValueError, match="the pressure needs fluid layers"):
        spectra(CRUST, [[5.0, 0.0, 0.0]], nfreq=2, quantity="pressure")
    with pytest.raises(ValueError, match="strain and rotation are not computed in models with"):
        spectra([WATER] + CRUST, floor, nfreq=2, quantity="strain")
    # A source at the sea floor's depth is in the solid.
    assert np.all(np.isfinite(spectra([WATER] + CRUST, [[5.0, 0.0, 0.5]], source=H, nfreq=2)))


def test_statics_beneath_a_free_sea_floor():
    floor = [[20.0, 10.0, H], [5.0, -3.0, H + 1.0]]
    wet = layergreen.statics(np.array([WATER] + CRUST), SOURCE, np.array(floor))
    dry = layergreen.statics(np.array(CRUST), SOURCE - H, np.array(floor) - [0, 0, H])
    np.testing.assert_array_equal(wet.displacements, dry.displacements)
    assert (wet.xl, wet.kmax) == (dry.xl, dry.kmax)
    # A receiver in the water gets the sea floor's displacement beneath it.
    water = layergreen.statics(np.array([WATER] + CRUST), SOURCE, np.array([[20.0, 10.0, 0.5]]),
                               xl=wet.xl, kmax=wet.kmax)
    np.testing.assert_array_equal(water.displacements[0], wet.displacements[0])
    with pytest.raises(ValueError, match="the source must lie in the solid"):
        layergreen.statics(np.array([WATER] + CRUST), 1.0, np.array(floor))


def test_auto_sampling_follows_the_slowest_wave():
    nfreq, tl = 32, 32.0
    floor = np.array([[20.0, 10.0, H]])
    xl, ikmax = layergreen.auto_sampling(np.array([WATER] + CRUST), SOURCE, floor, nfreq, tl)
    # The Scholte wave along the sea floor, below 0.9 x the sound speed, at the highest frequency.
    k_needed = 2 * np.pi * (nfreq - 1) / tl / (0.9 * WATER[1])
    assert (ikmax + 0.258) * 2 * np.pi / xl >= k_needed
    dry_xl, dry_ikmax = layergreen.auto_sampling(np.array(CRUST), SOURCE, floor, nfreq, tl)
    assert ikmax > dry_ikmax and xl == dry_xl
    g = layergreen.greens(np.array([WATER] + CRUST), SOURCE, floor, nfreq, tl)
    assert g.iterations.max() <= ikmax and np.all(np.isfinite(g.spectra))


BANK = """
[bank]
output = "ocean.h5"
statics = true
{extra}
[sampling]
nfreq = 8
tl = 16.0
aw = 2.0
xl = "auto"
ikmax = "auto"
uconv = 1e-4
[model]
layers = [[{h}, 1.5, 0.0, 1.0, 1e4, 1e4], [10.0, 6.0, 3.5, 2.7, 600, 300],
          [0.0, 8.0, 4.5, 3.3, 1000, 500]]
[fault]
top_center = [0.0, 0.0, 6.0]
strike = 0.0
dip = 30.0
length = 4.0
width = 4.0
n_strike = 2
n_dip = 2
[[station]]
name = "OBS1"
x = 12.0
y = 3.0
depth = {depth}
[[station]]
name = "OBS2"
x = -4.0
y = 9.0
depth = {depth2}
"""


def run_bank(folder, *options, extra="", stations="", **values):
    (folder / "ocean.toml").write_text(BANK.format(h=H, extra=extra, **values) + stations)
    return subprocess.run([os.environ["LAYERGREEN_EXE"], "bank", "ocean.toml", "--threads", "2",
                           *options], cwd=folder, capture_output=True, text=True)


def row_greens(bank, station, row, **kw):
    """greens for the subfaults of fault row `row` seen from a station of the bank."""
    subfaults = np.flatnonzero(bank.subfaults.row == row)
    receivers = np.column_stack([bank.stations.x[station] - bank.subfaults.x[subfaults],
                                 bank.stations.y[station] - bank.subfaults.y[subfaults],
                                 np.full(len(subfaults), bank.stations.depth[station])])
    return subfaults, layergreen.greens(bank.layers, bank.subfaults.depth[subfaults[0]],
                                        receivers, len(bank.frequencies), bank.tl, aw=bank.aw,
                                        xl=bank.xl, ikmax=bank.ikmax, uconv=bank.uconv, **kw)


def test_bank_of_sea_floor_stations(tmp_path):
    run = run_bank(tmp_path, depth=H, depth2=H + 0.5)
    assert run.returncode == 0, run.stderr
    with layergreen.Bank(tmp_path / "ocean.h5") as bank:
        np.testing.assert_array_equal(bank.stations.depth, [H, H + 0.5])
        for i in range(2):
            row = bank.subfaults.row == bank.subfaults.row.min()
            subfaults = np.flatnonzero(row)
            receivers = np.column_stack([bank.stations.x[i] - bank.subfaults.x[subfaults],
                                         bank.stations.y[i] - bank.subfaults.y[subfaults],
                                         np.full(len(subfaults), bank.stations.depth[i])])
            g = layergreen.greens(bank.layers, bank.subfaults.depth[subfaults[0]], receivers,
                                  len(bank.frequencies), bank.tl, aw=bank.aw, xl=bank.xl,
                                  ikmax=bank.ikmax, uconv=bank.uconv)
            attrs = bank._h5["statics"].attrs
            r = bank.subfaults.row[subfaults[0]] - 1
            s = layergreen.statics(bank.layers, bank.subfaults.depth[subfaults[0]], receivers,
                                   xl=attrs["row_xl"][r], kmax=attrs["row_kmax"][r])
            for k, j in enumerate(subfaults):
                np.testing.assert_array_equal(bank.spectra(i, j), g.spectra[k])
                np.testing.assert_allclose(bank.statics(i, j), s.displacements[k], rtol=0,
                                           atol=1e-12 * np.abs(s.displacements[k]).max())
    # A station in the water is refused, with its line.
    run = run_bank(tmp_path, depth=H, depth2=H / 2)
    assert run.returncode != 0
    assert "ocean.toml:" in run.stderr and "depth = 1 lies in the water" in run.stderr


PRESSURE = 'quantities = ["displacement", "pressure"]'


def test_bank_of_pressure_stations(tmp_path):
    """A gauge at the sea floor and a hydrophone in the water: their pressure and displacement
    are those of greens, bit for bit; --verify holds; --update keeps the pressure."""
    run = run_bank(tmp_path, extra=PRESSURE, depth=H, depth2=H / 2)
    assert run.returncode == 0, run.stderr
    with layergreen.Bank(tmp_path / "ocean.h5") as bank:
        assert bank.quantities == ("displacement", "pressure")
        kept = bank._h5["pressure_spectra"][()]
        for i in range(2):
            for row in np.unique(bank.subfaults.row):
                subfaults, g = row_greens(bank, i, row)
                _, p = row_greens(bank, i, row, quantity="pressure")
                for k, j in enumerate(subfaults):
                    # The sea floor's displacement is the solid's, its pressure the water's.
                    np.testing.assert_array_equal(bank.spectra(i, j), g.spectra[k])
                    np.testing.assert_array_equal(bank.pressure_spectra(i, j), p.spectra[k])
                    np.testing.assert_array_equal(bank.iterations(i, j), g.iterations)
        assert np.all(np.abs(kept).max(axis=(1, 2, 3, 4)) > 0)  # both stations hear it
    verify = subprocess.run([os.environ["LAYERGREEN_EXE"], "bank", "--verify", "ocean.h5"],
                            cwd=tmp_path, capture_output=True, text=True)
    assert verify.returncode == 0 and "every checksum holds" in verify.stdout, verify.stderr
    # A station added at the sea surface: zero pressure there, the others' kept.
    surface = '[[station]]\nname = "BUOY"\nx = 5.0\ny = -6.0\n'
    run = run_bank(tmp_path, "--update", extra=PRESSURE, depth=H, depth2=H / 2, stations=surface)
    assert run.returncode == 0, run.stderr
    with layergreen.Bank(tmp_path / "ocean.h5") as bank:
        np.testing.assert_array_equal(bank._h5["pressure_spectra"][:2], kept)
        assert np.all(bank._h5["pressure_spectra"][2] == 0)
        assert np.abs(bank.spectra(2, 0)).max() > 0


def test_bank_pressure_refusals(tmp_path):
    for extra, values, message in [
            (PRESSURE, {"depth": H, "depth2": H + 0.5}, "depth = 2.5 lies below the sea floor"),
            (PRESSURE + '\nsources = ["moment", "force"]', {"depth": H, "depth2": H},
             "the pressure is computed for the moment tensor only")]:
        run = run_bank(tmp_path, extra=extra, **values)
        assert run.returncode != 0 and message in run.stderr and "ocean.toml:" in run.stderr
        assert run.stderr.count("\n") == 1 and not (tmp_path / "ocean.h5").exists()
    dry = BANK.replace("[{h}, 1.5, 0.0, 1.0, 1e4, 1e4], ", "")
    (tmp_path / "dry.toml").write_text(dry.format(extra=PRESSURE, depth=0, depth2=0))
    run = subprocess.run([os.environ["LAYERGREEN_EXE"], "bank", "dry.toml"], cwd=tmp_path,
                         capture_output=True, text=True)
    assert run.returncode != 0 and "dry.toml:5: quantities: the pressure" in run.stderr
