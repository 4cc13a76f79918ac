"""Point forces: the static path against Mindlin's half-space solution, the dynamic path against
itself by reciprocity, against an independent evaluation of Lamb's problem and against the
static values late in a step response, banks with forces, and the arguments that choose the
source kinds.

Frames: forces along x (north), y (east), z (down); components x, y, z (up)."""

import os
import subprocess

import h5py
import numpy as np
import pytest
from scipy import integrate, special

import layergreen
from layergreen.mechanism import element_weights, mechanism_tensor
from layergreen.seismograms import force_seismograms

VP, VS, RHO = 6.0, 3.5, 2.8
MU = RHO * VS * VS
POISSON = (VP * VP - 2 * VS * VS) / (2 * (VP * VP - VS * VS))


def mindlin(x, y, z, c, mu=MU, nu=POISSON):
    """Displacement [force x, y, z][component x, y, z], z down, at (x, y, z) of unit forces at
    depth c in a half-space (Mindlin 1936)."""
    r1 = np.sqrt(x * x + y * y + (z - c) ** 2)
    r2 = np.sqrt(x * x + y * y + (z + c) ** 2)
    a = 1.0 / (16 * np.pi * mu * (1 - nu))
    k, b, s = 3 - 4 * nu, 4 * (1 - nu) * (1 - 2 * nu), r2 + z + c
    g = np.zeros((3, 3), np.result_type(x, y, z, float))  # complex for complex steps
    vx = (z - c) / r1**3 + k * (z - c) / r2**3 + 6 * c * z * (z + c) / r2**5 - b / (r2 * s)
    g[2] = a * np.array([x * vx, y * vx, k / r1 + (8 * (1 - nu) ** 2 - k) / r2 + (z - c) ** 2 / r1**3
                         + (k * (z + c) ** 2 - 2 * c * z) / r2**3 + 6 * c * z * (z + c) ** 2 / r2**5])

    def along(p, q):  # force along the horizontal axis p, q the other
        up = k / r1 + 1 / r2 + p * p / r1**3 + k * p * p / r2**3 \
            + 2 * c * z / r2**3 * (1 - 3 * p * p / r2**2) + b / s * (1 - p * p / (r2 * s))
        uq = p * q * (1 / r1**3 + k / r2**3 - 6 * c * z / r2**5 - b / (r2 * s * s))
        uz = p * ((z - c) / r1**3 + k * (z - c) / r2**3 - 6 * c * z * (z + c) / r2**5 + b / (r2 * s))
        return a * np.array([up, uq, uz])

    ux, uy = along(x, y), along(y, x)
    g[0], g[1] = ux, uy[[1, 0, 2]]
    return g


def test_mindlin_reference_solves_the_half_space_problem():
    """The reference itself, by finite differences: a free surface, equilibrium away from the
    source, and the tractions on a small sphere about the source balancing the force."""
    lam, c, h = RHO * VP * VP - 2 * MU, 2.0, 1e-4

    def stress(p):
        grad = np.stack([(mindlin(*(p + e), c) - mindlin(*(p - e), c)) / (2 * h)
                         for e in h * np.eye(3)], axis=-1)  # [force, component, derivative]
        eps = 0.5 * (grad + grad.transpose(0, 2, 1))
        return lam * np.trace(eps, axis1=1, axis2=2)[:, None, None] * np.eye(3) + 2 * MU * eps

    for p in ([1.0, 0.5, 0.0], [-0.7, 2.0, 0.0]):
        s = stress(np.array(p))
        assert np.abs(s[:, :, 2]).max() < 1e-7 * np.abs(s).max()
    for p in ([1.0, 0.5, 1.0], [-0.7, 2.0, 3.5]):
        p = np.array(p)
        div = sum((stress(p + e)[:, :, j] - stress(p - e)[:, :, j]) / 2e-3
                  for j, e in enumerate(1e-3 * np.eye(3)))
        assert np.abs(div).max() < 1e-5 * np.abs(stress(p)).max()
    n = 40
    t = (np.arange(n) + 0.5) * np.pi / n
    f = np.arange(2 * n) * np.pi / n
    total = sum(stress(np.array([0, 0, c]) + 0.05 * nv) @ nv * np.sin(ti) * (np.pi / n) ** 2 * 0.05**2
                for ti in t for fi in f
                for nv in [np.array([np.sin(ti) * np.cos(fi), np.sin(ti) * np.sin(fi), np.cos(ti)])])
    np.testing.assert_allclose(total, -np.eye(3), atol=2e-3)


def test_static_forces_match_mindlin():
    """All three forces at depth 5 under receivers at the surface, above, below and at the
    source depth; worst error 1.3e-6 of each receiver's largest value when written."""
    c = 5.0
    receivers = np.array([[3, 4, 0], [-6, 2, 0], [0, 7, 0], [1, 1, 0], [2, -3, 2.0],
                          [-4, -5, 8.0], [10, 1, 5.0], [0, 0, 9.0]])
    u = layergreen.statics(np.array([[1.0, VP, VS, RHO]]), c, receivers, sources="force")
    assert u.displacements.shape == (len(receivers), 3, 3)
    worst = 0.0
    for got, (x, y, z) in zip(u.displacements, receivers):
        want = mindlin(x, y, z, c) * [1, 1, -1]
        worst = max(worst, np.abs(got - want).max() / np.abs(want).max())
    print(f"statics against Mindlin: worst {worst:.2e}")
    assert worst < 5e-6


LAYERED = np.array([[2.0, 4.5, 2.6, 2.4, 200, 100], [6.0, 5.8, 3.3, 2.7, 400, 200],
                    [0.0, 7.0, 4.0, 3.1, 600, 300]])


def frame(force_spectra):
    """[..., force, component] as [..., component, force], every axis x, y, z down."""
    return np.swapaxes(force_spectra * [1, 1, -1], -1, -2)


def test_dynamic_forces_are_reciprocal():
    """G_ij(r, s) = G_ji(s, r) across an interface and from the surface to depth: source and
    receiver depths swapped, horizontal offset reversed, the same sampling."""
    pairs = [(1.0, 5.0, (3.0, 4.0)), (7.0, 0.0, (-5.0, 2.0)), (3.0, 3.5, (2.0, -6.0))]
    nfreq, tl, xl, ikmax = 12, 16.0, 400.0, 6000
    worst = 0.0
    for zs, zr, (x, y) in pairs:
        a = layergreen.greens(LAYERED, zs, [[x, y, zr]], nfreq, tl, xl=xl, ikmax=ikmax,
                              uconv=1e-7, sources="force")
        b = layergreen.greens(LAYERED, zr, [[-x, -y, zs]], nfreq, tl, xl=xl, ikmax=ikmax,
                              uconv=1e-7, sources="force")
        assert a.force_spectra is a.spectra
        ga = frame(a.spectra[0])
        gb = frame(b.spectra[0])
        scale = np.abs(ga).max(axis=(1, 2))[:, None, None]
        worst = max(worst, (np.abs(ga - np.swapaxes(gb, -1, -2)) / scale).max())
    print(f"reciprocity: worst {worst:.2e}")
    assert worst < 1e-4


def lamb(omega, r, depth):
    """Displacement (radial, vertical down) at distance r and the given depth of a unit vertical
    force (down) on the surface of the half-space, at complex angular frequency omega, from the
    exact wavenumber integral (potentials e^(-nu z), e^(-gam z), a traction-free surface but for
    the force), integrated with scipy's quad."""
    ka, kb = omega / VP, omega / VS

    def kernel(k):
        nu, gam = np.sqrt(k * k - ka * ka + 0j), np.sqrt(k * k - kb * kb + 0j)
        rayleigh = (2 * k * k - kb * kb) ** 2 - 4 * k * k * nu * gam
        a = -(2 * k * k - kb * kb) / (2 * np.pi * MU * rayleigh)
        b = -2 * nu / (2 * np.pi * MU * rayleigh)
        en, eg = np.exp(-nu * depth), np.exp(-gam * depth)
        return (a * en - gam * b * eg) * -k * special.j1(k * r) * k, \
            (-nu * a * en + k * k * b * eg) * special.j0(k * r) * k

    def integral(which):
        re = im = 0.0
        edges = np.unique(np.concatenate([np.linspace(0, 3 * abs(kb), 61),
                                          np.arange(3 * abs(kb), 40 / depth, np.pi / r)]))
        for lo, hi in zip(edges[:-1], edges[1:]):
            re += integrate.quad(lambda k: kernel(k)[which].real, lo, hi, epsrel=1e-10,
                                 limit=200)[0]
            im += integrate.quad(lambda k: kernel(k)[which].imag, lo, hi, epsrel=1e-10,
                                 limit=200)[0]
        return re + 1j * im

    return integral(0), integral(1)


def test_lamb_vertical_force():
    """A vertical force on the surface of a half-space, receivers 0.1 below it at distances 2 to
    12, and a force 0.1 below the surface under receivers on it (the same vertical displacement
    by reciprocity), against the exact integral; worst error of each frequency's largest value
    when written."""
    layers = np.array([[0.0, VP, VS, RHO, 1e9, 1e9]])
    # XL well beyond the automatic choice: the images of the wavenumber sum are what limits
    # the automatic sampling (3.7e-4 at the first frequency); at 600 the error is 1.7e-5.
    nfreq, tl, aw, depth, sampling = 6, 16.0, 2.0, 0.1, {"xl": 600.0, "ikmax": 60000}
    dist = np.array([2.0, 5.0, 8.0, 12.0])
    az = np.radians([0.0, 40.0, 135.0, 250.0])
    xy = np.column_stack([dist * np.cos(az), dist * np.sin(az)])
    below = layergreen.greens(layers, 0.0, np.column_stack([xy, np.full(4, depth)]), nfreq, tl,
                              aw=aw, uconv=1e-8, sources="force", **sampling).spectra[:, :, 2]
    on = layergreen.greens(layers, depth, np.column_stack([xy, np.zeros(4)]), nfreq, tl, aw=aw,
                           uconv=1e-8, sources="force", **sampling).spectra[:, :, 2]
    worst = 0.0
    for n in (1, 5):
        # The complex frequency of the spectra, rounded to single precision as they are.
        omega = complex(np.float32(6.28318530718 * n / tl), np.float32(-3.14159265359 * aw / tl))
        ref = np.array([lamb(omega, r, depth) for r in dist])  # radial, vertical down
        want = np.column_stack([ref[:, 0] * np.cos(az), ref[:, 0] * np.sin(az), -ref[:, 1]])
        scale = np.abs(want).max()
        worst = max(worst, np.abs(below[:, n] - want).max() / scale,
                    np.abs(on[:, n, 2] - want[:, 2]).max() / scale)
    print(f"Lamb's problem: worst {worst:.2e}")
    assert worst < 1e-4


def test_sources_choose_the_kinds():
    receivers = [[3.0, 4.0, 0.0], [1.0, -2.0, 2.0]]
    both = layergreen.greens(LAYERED, 4.0, receivers, 6, 16.0, sources=("moment", "force"))
    moment = layergreen.greens(LAYERED, 4.0, receivers, 6, 16.0)
    force = layergreen.greens(LAYERED, 4.0, receivers, 6, 16.0, sources="force")
    assert both.spectra.shape == (2, 6, 6, 3) and both.force_spectra.shape == (2, 6, 3, 3)
    assert moment.force_spectra is None
    # Each kind leaves the wavenumber sum where it would alone: the same bits either way.
    np.testing.assert_array_equal(both.spectra, moment.spectra)
    np.testing.assert_array_equal(both.force_spectra, force.spectra)
    np.testing.assert_array_equal(both.iterations,
                                  np.maximum(moment.iterations, force.iterations))
    assert (moment.iterations != force.iterations).any()
    for bad in ("forces", (), ("moment", "torque")):
        with pytest.raises(ValueError, match="sources"):
            layergreen.greens(LAYERED, 4.0, receivers, 6, 16.0, sources=bad)
    with pytest.raises(ValueError, match="one at a time"):
        layergreen.statics(LAYERED, 4.0, receivers, sources=("moment", "force"))


BANK = """[bank]
output = "{output}"
statics = true
{sources}
[sampling]
nfreq = 16
tl = 16.0
aw = 2.0
xl = "auto"
ikmax = "auto"
uconv = 1e-4

[model]
layers = [[2.0, 4.8, 2.8, 2.5, 200, 100], [0.0, 6.4, 3.7, 2.8, 600, 300]]

[fault]
top_center = [0.0, 0.0, 3.0]
strike = 20.0
dip = 40.0
length = 6.0
width = 4.0
n_strike = 3
n_dip = 2

[[station]]
name = "A"
x = 8.0
y = 3.0

[[station]]
name = "B"
x = -4.0
y = 9.0
"""


def run_bank(folder, name, sources, more="", *options):
    """Runs the bank of BANK with `sources` in [bank]; `more` goes to the end of the file (the
    last [[station]] table, or a new one)."""
    (folder / f"{name}.toml").write_text(BANK.format(output=f"{name}.h5", sources=sources)
                                         + more)
    return subprocess.run([os.environ["LAYERGREEN_EXE"], "bank", f"{name}.toml", *options],
                          cwd=folder, capture_output=True, text=True)


def test_bank_with_forces(tmp_path):
    """sources = ["moment", "force"] adds /force_spectra and /force_statics and leaves the rest
    of the file as a moment-only bank has it; the forces are those of greens and statics."""
    assert run_bank(tmp_path, "moment", "").returncode == 0
    run = run_bank(tmp_path, "both", 'sources = ["moment", "force"]')
    assert run.returncode == 0, run.stderr
    with h5py.File(tmp_path / "moment.h5") as m, h5py.File(tmp_path / "both.h5") as b:
        for name in ("spectra", "iterations", "statics"):
            np.testing.assert_array_equal(m[name][()], b[name][()])
        assert "force_spectra" not in m and b["force_spectra"].shape == (2, 6, 16, 3, 3)
        assert b["force_statics"].shape == (2, 6, 3, 3)
        row_xl = b["force_statics"].attrs["row_xl"]
        row_kmax = b["force_statics"].attrs["row_kmax"]
    with layergreen.Bank(tmp_path / "both.h5") as bank:
        assert bank.has_forces
        for st, sf in ((0, 0), (1, 4)):
            depth = bank.subfaults.depth[sf]
            offset = [[bank.stations.x[st] - bank.subfaults.x[sf],
                       bank.stations.y[st] - bank.subfaults.y[sf], 0.0]]
            g = layergreen.greens(bank.layers, depth, offset, 16, bank.tl, aw=bank.aw,
                                  xl=bank.xl, ikmax=bank.ikmax, uconv=bank.uconv, sources="force")
            np.testing.assert_array_equal(bank.force_spectra(st, sf), g.spectra[0])
            row = bank.subfaults.row[sf] - bank.subfaults.row.min()
            s = layergreen.statics(bank.layers, depth, offset, xl=row_xl[row], kmax=row_kmax[row],
                                   sources="force")
            np.testing.assert_array_equal(bank.force_statics(st, sf), s.displacements[0])
            t, traces = bank.seismograms(st, sf, source="step", sources="force",
                                         components="zrt")
            assert traces.shape == (3, 3, 32)
            force = np.array([2.0, -1.0, 0.5])
            _, u = bank.synthetic(st, sf, force=force, source="step", components="zrt")
            np.testing.assert_allclose(u, np.tensordot(force, traces, axes=(0, 0)), rtol=0,
                                       atol=1e-12 * np.abs(u).max())
        with pytest.raises(ValueError, match="either a mechanism or a force"):
            bank.synthetic(0, 0, (10, 20, 30), force=(1, 0, 0))
    with layergreen.Bank(tmp_path / "moment.h5") as bank:
        with pytest.raises(ValueError, match="no force spectra"):
            bank.force_spectra(0, 0)


QUANTITIES = 'quantities = ["displacement", "strain", "rotation"]'


def test_bank_with_strain_and_rotation(tmp_path):
    """quantities adds strain and rotation of the moment tensor and the forces (spectra and
    statics), bit for bit those of greens and statics with quantity=..., at a surface and a
    buried station; the displacement's datasets and iteration counts are those of the bank
    without them; --update keeps them for the old stations."""
    both, buried = 'sources = ["moment", "force"]', "depth = 0.5\n"  # station B in a borehole
    assert run_bank(tmp_path, "plain", both, buried).returncode == 0
    run = run_bank(tmp_path, "all", both + "\n" + QUANTITIES, buried)
    assert run.returncode == 0, run.stderr
    assert "quantities: displacement, strain, rotation (/strain_spectra" in run.stdout
    with h5py.File(tmp_path / "plain.h5") as m, h5py.File(tmp_path / "all.h5") as b:
        for name in ("spectra", "iterations", "statics", "force_spectra", "force_statics"):
            np.testing.assert_array_equal(m[name][()], b[name][()])
        assert "strain_spectra" not in m
        for name, shape in (("strain_spectra", (6, 6)), ("rotation_spectra", (6, 3)),
                            ("force_strain_spectra", (3, 6)), ("force_rotation_spectra", (3, 3))):
            assert b[name].shape == (2, 6, 16) + shape and b[name].fletcher32
            assert b[name.replace("spectra", "statics")].shape == (2, 6) + shape
        row_xl = b["strain_statics"].attrs["row_xl"]
        row_kmax = b["strain_statics"].attrs["row_kmax"]
    with layergreen.Bank(tmp_path / "all.h5") as bank:
        assert bank.quantities == ("displacement", "strain", "rotation")
        for st, sf in ((0, 0), (1, 4)):
            # The data set of the bank: the station seen from every subfault of the row (the
            # sums of a data set end together).
            row = bank.subfaults.row[sf] - bank.subfaults.row.min()
            same = np.flatnonzero(bank.subfaults.row == bank.subfaults.row[sf])
            k = list(same).index(sf)
            depth = bank.subfaults.depth[sf]
            offset = [[bank.stations.x[st] - bank.subfaults.x[j],
                       bank.stations.y[st] - bank.subfaults.y[j], bank.stations.depth[st]]
                      for j in same]
            g = layergreen.greens(bank.layers, depth, offset, 16, bank.tl, aw=bank.aw,
                                  xl=bank.xl, ikmax=bank.ikmax, uconv=bank.uconv,
                                  sources=("moment", "force"),
                                  quantity=("displacement", "strain", "rotation"))
            np.testing.assert_array_equal(bank.spectra(st, sf), g.spectra[k])
            for q in ("strain", "rotation"):
                for sources, name in (("moment", q), ("force", "force_" + q)):
                    got = getattr(bank, f"{q}_spectra")(st, sf, sources=sources)
                    np.testing.assert_array_equal(got, getattr(g, name)[k])
                    s = layergreen.statics(bank.layers, depth, offset, xl=row_xl[row],
                                           kmax=row_kmax[row], sources=sources, quantity=q)
                    np.testing.assert_array_equal(bank.quantity_statics(st, sf, q, sources),
                                                  s.values[k])
            t, traces = bank.seismograms(st, sf, source="step", quantity="strain")
            assert traces.shape == (6, 6, 32)
            _, r = bank.seismograms(st, sf, source="step", quantity="rotation", sources="force")
            assert r.shape == (3, 3, 32)
            weights = element_weights(mechanism_tensor((10, 50, 80), 1.0, "xyz"))
            _, e = bank.synthetic(st, sf, (10, 50, 80), source="step", quantity="strain")
            np.testing.assert_allclose(e, np.tensordot(weights, traces, axes=(0, 0)), rtol=0,
                                       atol=1e-12 * np.abs(e).max())
        with pytest.raises(ValueError, match='components="xyz"'):
            bank.seismograms(0, 0, quantity="strain", components="zrt")
    with layergreen.Bank(tmp_path / "plain.h5") as bank:
        with pytest.raises(ValueError, match="no strain spectra"):
            bank.strain_spectra(0, 0)
    # A third station by --update: the old stations' values come over from the file.
    before = h5py.File(tmp_path / "all.h5")["strain_spectra"][()]
    more = buried + '\n[[station]]\nname = "C"\nx = 5.0\ny = -6.0\n'
    run = run_bank(tmp_path, "all", both + "\n" + QUANTITIES, more, "--update")
    assert run.returncode == 0, run.stderr
    with h5py.File(tmp_path / "all.h5") as b:
        np.testing.assert_array_equal(b["strain_spectra"][:2], before)
        assert b["rotation_spectra"].shape == (3, 6, 16, 6, 3)
        assert np.all(np.isfinite(b["force_strain_spectra"][2].view(float)))
    run = run_bank(tmp_path, "all", both, more + '[[station]]\nname = "D"\nx = 1.0\ny = 1.0\n',
                   "--update")
    assert run.returncode == 2 and "[bank] quantities" in run.stderr, run.stderr


# A station over the first subfault's centre; water over the model.
OVER_SUBFAULT = '[[station]]\nname = "V"\nx = -2.141387871801202\ny = 0.03580602374161679\n'
WATER = ("layers", "layers = [[1.0, 1.5, 0.0, 1.0, 1e6, 1e6],")


@pytest.mark.parametrize("sources,more,words", [
    ('sources = ["force"]', "", 'must include "moment"'),
    ('sources = ["moment", "moment"]', "", "twice"),
    ('sources = "force"', "", "must be a list"),
    ('quantities = ["strain"]', "", 'include "displacement"'),
    ('quantities = ["displacement", "tilt"]', "", "must be a list of quantities"),
    ('quantities = ["displacement", "strain", "strain"]', "", "twice"),
    (QUANTITIES, OVER_SUBFAULT, "station V lies on the vertical through subfault 1"),
    (QUANTITIES, 'depth = 3.6427876096865393\n', "lies at the depth of subfault 1"),
    (QUANTITIES, WATER, "not computed in models with fluid layers")])
def test_bank_sources_refused(tmp_path, sources, more, words):
    if more is WATER:
        text = BANK.format(output="bad.h5", sources=sources)
        (tmp_path / "bad.toml").write_text(text.replace("layers = [", WATER[1], 1))
        run = subprocess.run([os.environ["LAYERGREEN_EXE"], "bank", "bad.toml"], cwd=tmp_path,
                             capture_output=True, text=True)
    else:
        run = run_bank(tmp_path, "bad", sources, more)
    key = sources.split()[0]
    assert run.returncode == 2 and key in run.stderr and words in run.stderr, run.stderr
    assert run.stderr.count("\n") == 1
    assert not (tmp_path / "bad.h5").exists()


def test_step_response_settles_at_the_static_value():
    """The time series of a step in force (two layers, Q 1e4, a long record) late in the record
    against statics: the value A of a fit A + B e^(sigma t) over 15 to 60 % of the record
    (sigma = pi aw/tl, the damping correction); 2.0e-3 of the largest static value when
    written."""
    layers = np.array([[3.0, 4.5, 2.6, 2.4, 1e4, 1e4], [0.0, 6.2, 3.58, 2.75, 1e4, 1e4]])
    receiver, tl, aw = [[8.0, 5.0, 0.0]], 102.4, 3.0
    g = layergreen.greens(layers, 6.0, receiver, 256, tl, aw=aw, xl=1000.0, ikmax=1800, uconv=0.0,
                          sources="force")
    t, traces = force_seismograms(g.spectra[0], tl, aw, "step", taper=None)
    static = layergreen.statics(layers[:, :4], 6.0, receiver, sources="force").displacements[0]
    late = slice(int(0.15 * len(t)), int(0.6 * len(t)))
    fit = np.column_stack([np.ones(late.stop - late.start), np.exp(np.pi * aw / tl * t[late])])
    settled = np.linalg.lstsq(fit, traces[:, :, late].reshape(9, -1).T, rcond=None)[0][0]
    worst = np.abs(settled.reshape(3, 3) - static).max() / np.abs(static).max()
    print(f"step response against statics: worst {worst:.2e}")
    assert worst < 5e-3
