"""Bank.forward and static_field: a slip model summed at a bank's stations equals the sum of
Bank.synthetic with exact delays; its late displacements reach its static offsets; both static
paths agree with Okada's (1985) closed-form rectangle in a homogeneous half-space."""

import copy
import pathlib
import re

import h5py
import numpy as np
import pytest
from conftest import MODEL, SAMPLING, write_bank
from okada import okada_surface

import layergreen
from layergreen.slip_statics import rigidity

DATA = pathlib.Path(__file__).parent / "data" / "slip_models"
STATIONS = {"name": ["N20", "E25", "S30", "W22", "TOP"], "x": [20.0, 3.0, -30.0, -2.0, 1.0],
            "y": [2.0, 25.0, -4.0, -22.0, 1.5]}


def make_bank(path, model, layers, sampling, stations=STATIONS, statics=True, extra=None,
              strain=False, pressure=False):
    """A bank of the slip model's subfaults (centres about its hypocentre) computed here with
    layergreen.greens and, with statics, layergreen.statics (one call per subfault depth);
    with strain, /strain_spectra too; with pressure, /pressure_spectra (the vertical
    displacement's values stand in for it: the sum does not look at what they are)."""
    sx, sy = model.local()
    nst, nsf = len(stations["name"]), len(model)
    nfreq = sampling["nfreq"]
    spectra = np.zeros((nst, nsf, nfreq, 6, 3), complex)
    strains = np.zeros((nst, nsf, nfreq, 6, 6), complex)
    static = np.zeros((nst, nsf, 6, 3))
    depths, row = np.unique(model.depth, return_inverse=True)
    for k, depth in enumerate(depths):
        group = np.flatnonzero(row == k)
        rx = np.subtract.outer(np.asarray(stations["x"]), sx[group]).ravel()
        ry = np.subtract.outer(np.asarray(stations["y"]), sy[group]).ravel()
        receivers = np.column_stack([rx, ry, np.zeros_like(rx)])
        g = layergreen.greens(layers, depth, receivers, **sampling,
                              quantity=("displacement", "strain") if strain else "displacement")
        spectra[:, group] = g.spectra.reshape(nst, len(group), nfreq, 6, 3)
        if strain:
            strains[:, group] = g.strain.reshape(nst, len(group), nfreq, 6, 6)
        if statics:
            static[:, group] = layergreen.statics(layers, depth, receivers).displacements \
                .reshape(nst, len(group), 6, 3)
    iterations = np.full((nst, len(depths), nfreq), sampling["ikmax"] + 1)
    subfaults = {"x": sx, "y": sy, "depth": model.depth, "row": row + 1,
                 "along_strike": np.arange(nsf) + 1, "strike": model.strike, "dip": model.dip}
    write_bank(path, spectra, iterations, sampling["tl"], sampling["aw"], layers, stations,
               subfaults, sampling, statics=static if statics else None)
    with h5py.File(path, "a") as f:
        for key, value in (extra or {}).items():
            f["subfaults/" + key] = value
        if strain:
            f["strain_spectra"] = strains
        if pressure:
            f["pressure_spectra"] = spectra[..., 2:]
    return path


@pytest.fixture(scope="module")
def fsp():
    """single.fsp with rupture times on the sample grid of SAMPLING (dt = 0.4 s)."""
    m = layergreen.SlipModel.read(DATA / "single.fsp")
    m.rupture_time = 0.4 * np.array([0, 3, 5, 8, 10, 13])
    return m


@pytest.fixture(scope="module")
def fsp_bank(tmp_path_factory, fsp):
    return make_bank(tmp_path_factory.mktemp("forward") / "fsp.h5", fsp, MODEL, SAMPLING)


@pytest.mark.parametrize("source, synthetic_source", [("triangle", "triangle"),
                                                      ("cosine", "ramp")])
def test_forward_is_the_sum_of_synthetics_with_exact_delays(fsp_bank, fsp, source,
                                                           synthetic_source):
    with layergreen.Bank(fsp_bank) as bank:
        f = bank.forward(fsp, source=source, lowpass=1.0, components="zne")
        mu = rigidity(MODEL, fsp.depth)
        n = f.t.size
        decay = np.exp(np.pi * bank.aw / bank.tl * -bank.tl)  # damping over one period
        for i in range(len(bank.stations)):
            expected = np.zeros((3, n))
            for j in range(len(fsp)):
                t, u = bank.synthetic(i, j, (fsp.strike[j], fsp.dip[j], fsp.rake[j]),
                                      m0=mu[j] * fsp.area[j] * fsp.slip[j],
                                      source=(synthetic_source, fsp.rise_time[j]),
                                      lowpass=1.0, components="zne")
                k = int(round(fsp.rupture_time[j] / (t[1] - t[0])))
                shifted = np.roll(u, k, axis=-1)
                shifted[:, :k] *= decay  # the delay wraps the period's end, damped once more
                expected += shifted
            np.testing.assert_allclose(f.waveforms[i], expected,
                                       atol=1e-12 * np.abs(expected).max())
        np.testing.assert_array_equal(f.t, t)
        np.testing.assert_allclose(f.moment, 1e15 * mu * fsp.area * fsp.slip)


def test_forward_strain_is_the_sum_of_synthetic_strains(tmp_path, fsp):
    path = make_bank(tmp_path / "strain.h5", fsp, MODEL, SAMPLING, statics=False, strain=True)
    with layergreen.Bank(path) as bank:
        f = bank.forward(fsp, source="triangle", lowpass=1.0, components="xyz",
                         quantity="strain")
        assert f.waveforms.shape == (len(bank.stations), 6, f.t.size) and f.static is None
        mu = rigidity(MODEL, fsp.depth)
        i = 1
        decay = np.exp(np.pi * bank.aw / bank.tl * -bank.tl)
        expected = np.zeros((6, f.t.size))
        for j in range(len(fsp)):
            _, u = bank.synthetic(i, j, (fsp.strike[j], fsp.dip[j], fsp.rake[j]),
                                  m0=mu[j] * fsp.area[j] * fsp.slip[j],
                                  source=("triangle", fsp.rise_time[j]), lowpass=1.0,
                                  quantity="strain")
            k = int(round(fsp.rupture_time[j] / (f.t[1] - f.t[0])))
            shifted = np.roll(u, k, axis=-1)
            shifted[:, :k] *= decay
            expected += shifted
        # m0 in 1e15 N m and strain per 1e18 N m: the sum is 1e-3 of the synthetics' numbers.
        np.testing.assert_allclose(f.waveforms[i], 1e-3 * expected,
                                   atol=1e-15 * np.abs(expected).max())
        with pytest.raises(ValueError, match="strain is a tensor"):
            bank.forward(fsp, components="zne", quantity="strain")
        with pytest.raises(ValueError, match="holds no rotation spectra"):
            bank.forward(fsp, quantity="rotation")
        with pytest.raises(ValueError, match="SAC files are written for displacement"):
            f.to_sac(tmp_path / "sac")


def test_forward_pressure_is_the_sum_of_synthetic_pressures_in_pascals(tmp_path, fsp):
    path = make_bank(tmp_path / "pressure.h5", fsp, MODEL, SAMPLING, statics=False, pressure=True)
    with layergreen.Bank(path) as bank:
        f = bank.forward(fsp, source="triangle", lowpass=1.0, components="zrt",
                         quantity="pressure")
        assert f.waveforms.shape == (len(bank.stations), 1, f.t.size) and f.static is None
        mu = rigidity(MODEL, fsp.depth)
        i = 3
        decay = np.exp(np.pi * bank.aw / bank.tl * -bank.tl)
        expected = np.zeros((1, f.t.size))
        for j in range(len(fsp)):
            _, u = bank.synthetic(i, j, (fsp.strike[j], fsp.dip[j], fsp.rake[j]),
                                  m0=mu[j] * fsp.area[j] * fsp.slip[j],
                                  source=("triangle", fsp.rise_time[j]), lowpass=1.0,
                                  components="zrt", quantity="pressure")
            k = int(round(fsp.rupture_time[j] / (f.t[1] - f.t[0])))
            shifted = np.roll(u, k, axis=-1)
            shifted[:, :k] *= decay
            expected += shifted
        # m0 in 1e15 N m, the pressure in g/cm^3 (km/s)^2 = 1e9 Pa per 1e18 N m: 1e6 Pa.
        np.testing.assert_allclose(f.waveforms[i], 1e6 * expected,
                                   atol=1e-6 * np.abs(expected).max())
        # Unrotated: the vertical displacement it stands for, summed the same way.
        z = bank.forward(fsp, source="triangle", lowpass=1.0, components="zne")
        np.testing.assert_allclose(f.waveforms[:, 0], 1e6 * z.waveforms[:, 0],
                                   atol=1e-9 * np.abs(f.waveforms).max())


def test_late_displacements_reach_the_static_offsets(tmp_path, fsp):
    """With the anelasticity all but off (Q = 1e5; the static field is the elastic one), the
    last eighth of the record is the static offset to the wrap-around of the damped transform,
    exp(-pi aw) = 0.2 per cent."""
    sampling = dict(SAMPLING, nfreq=128, tl=102.4, ikmax=2500, xl=800.0)
    stations = {k: v[:3] for k, v in STATIONS.items()}
    elastic = MODEL.copy()
    elastic[:, 4:] = 1e5
    path = make_bank(tmp_path / "long.h5", fsp, elastic, sampling, stations)
    with layergreen.Bank(path) as bank:
        f = bank.forward(fsp, components="zne")
        late = f.waveforms[:, [1, 2, 0], -len(f.t) // 8:]
        scale = np.abs(f.static).max()
        assert scale > 1e-4
        np.testing.assert_allclose(late.mean(axis=-1), f.static, atol=0.004 * scale)
        np.testing.assert_allclose(late.std(axis=-1), 0.0, atol=0.001 * scale)


# The Okada check: a 20 x 10 km rectangle (strike 30, dip 40, rake 60, 1 m of slip, centre 8 km
# deep) in a Poisson solid, as nx x nz point sources, at stations 20 to 45 km from its centre.
HOMOGENEOUS = np.array([[0.0, 6.0, 6.0 / np.sqrt(3.0), 2.7, 1000.0, 1000.0]])
RECT = {"strike": 30.0, "dip": 40.0, "rake": 60.0, "slip": 1.0, "length": 20.0, "width": 10.0,
        "centre_depth": 8.0}
AZ = np.radians(np.arange(0, 360, 30))
RING = np.concatenate([np.column_stack([r * np.cos(AZ), r * np.sin(AZ)]) for r in (20.0, 45.0)])


def rectangle(nx, nz):
    along, down = np.meshgrid((np.arange(nx) + 0.5) / nx - 0.5, (np.arange(nz) + 0.5) / nz - 0.5)
    along, down = RECT["length"] * along.ravel(), RECT["width"] * down.ravel()
    s, d = np.radians(RECT["strike"]), np.radians(RECT["dip"])
    return layergreen.SlipModel(
        x=along * np.cos(s) - down * np.cos(d) * np.sin(s),
        y=along * np.sin(s) + down * np.cos(d) * np.cos(s),
        depth=RECT["centre_depth"] + down * np.sin(d), strike=RECT["strike"], dip=RECT["dip"],
        rake=RECT["rake"], slip=RECT["slip"], area=RECT["length"] * RECT["width"] / (nx * nz),
        rupture_time=0.0, rise_time=1.0, hypocentre=(np.nan, np.nan, 8.0, 0.0, 0.0))


@pytest.fixture(scope="module")
def okada():
    return okada_surface(RING[:, 0], RING[:, 1], **RECT, poisson=0.25)


def test_static_field_against_okada(okada):
    """The point-source sum converges on Okada's field as the subfaults shrink (error about
    (subfault size / distance)^2): 5.6e-3 of the largest offset for 8 x 4, 2.2e-4 for 40 x 20."""
    scale = np.abs(okada).max()
    errors = [np.abs(layergreen.static_field(HOMOGENEOUS, rectangle(nx, nz), RING,
                                             coordinates="xy") - okada).max() / scale
              for nx, nz in ((8, 4), (40, 20))]
    assert errors[1] < 3e-4 and errors[0] > 8 * errors[1]
    # The line of sight: the offsets (north, east, up) projected on (east, north, up) vectors.
    look = np.array([0.6, -0.1, 0.79]) / np.linalg.norm([0.6, -0.1, 0.79])
    los = layergreen.static_field(HOMOGENEOUS, rectangle(8, 4), RING, look=look)
    u = layergreen.static_field(HOMOGENEOUS, rectangle(8, 4), RING)
    np.testing.assert_allclose(los, u @ look[[1, 0, 2]], rtol=1e-13)
    with pytest.raises(ValueError, match="unit vectors"):
        layergreen.static_field(HOMOGENEOUS, rectangle(8, 4), RING, look=2 * look)


def test_static_field_table_equals_the_kernel_at_every_pair():
    layers = np.array([[3.0, 5.0, 2.9, 2.5], [10.0, 6.0, 3.5, 2.7], [0.0, 7.5, 4.3, 3.2]])
    m = rectangle(4, 2)
    exact = layergreen.static_field(layers, m, RING, exact=True)
    table = layergreen.static_field(layers, m, RING)
    np.testing.assert_allclose(table, exact, atol=2e-6 * np.abs(exact).max())


def test_forward_static_against_okada(tmp_path, okada):
    """Both static paths of Bank.forward: the bank's /statics and the static kernel."""
    m = rectangle(8, 4)
    sampling = {"nfreq": 2, "tl": 10.0, "aw": 2.0, "xl": 100.0, "ikmax": 20, "uconv": 0.0}
    stations = {"name": [f"S{i:02d}" for i in range(len(RING))], "x": RING[:, 0],
                "y": RING[:, 1]}
    scale = np.abs(okada).max()
    for statics in (True, False):
        path = make_bank(tmp_path / f"okada{statics}.h5", m, HOMOGENEOUS, sampling, stations,
                         statics)
        with layergreen.Bank(path) as bank:
            assert bank.has_statics == statics
            static = bank.forward(m).static
        assert np.abs(static - okada).max() < 6e-3 * scale


def test_bank_area_and_rigidity_are_used_when_given(tmp_path, fsp, fsp_bank):
    with layergreen.Bank(fsp_bank) as bank:
        plain = bank.forward(fsp)
    mu = np.full(len(fsp), 30.0)
    path = make_bank(tmp_path / "mu.h5", fsp, MODEL, SAMPLING,
                     extra={"area": 2 * fsp.area, "mu": mu})
    with layergreen.Bank(path) as bank:
        given = bank.forward(fsp)
    ratio = 2 * mu / rigidity(MODEL, fsp.depth)
    np.testing.assert_allclose(given.moment, plain.moment * ratio, rtol=1e-14)
    assert given.processing["mu_from"] == "bank" and given.processing["area_from"] == "bank"
    # moment="file": the file's own moments (here those of the bank's rigidity and area).
    own = copy.deepcopy(fsp)
    own.extras["moment"] = given.moment
    with layergreen.Bank(fsp_bank) as bank:
        from_file = bank.forward(own, moment="file")
    np.testing.assert_allclose(from_file.waveforms, given.waveforms, rtol=0,
                               atol=1e-13 * np.abs(given.waveforms).max())


def test_forward_exports(fsp_bank, fsp, tmp_path):
    with layergreen.Bank(fsp_bank) as bank:
        f = bank.forward(fsp, components="zrt")
    paths = f.to_sac(tmp_path / "sac")
    assert len(paths) == 15 and pathlib.Path(paths[0]).name == "N20.Z.sac"
    raw = pathlib.Path(paths[4]).read_bytes()  # E25, radial
    header = np.frombuffer(raw[:280], "<f4")
    np.testing.assert_allclose(header[[0, 31, 35, 38, 51]],
                               [f.t[1], -12345.0, 35.0, 10.0, f.station_azimuth[1]], rtol=1e-6)
    assert header[57] == np.float32(f.station_azimuth[1])
    np.testing.assert_array_equal(np.frombuffer(raw[632:], "<f4"),
                                  f.waveforms[1, 1].astype(np.float32))
    f.to_npz(tmp_path / "f.npz")
    with np.load(tmp_path / "f.npz") as z:
        np.testing.assert_array_equal(z["waveforms"], f.waveforms)
        np.testing.assert_array_equal(z["static"], f.static)
        assert str(z["components"]) == "zrt" and list(z["station_name"]) == STATIONS["name"]


# A shifted subfault is measured after the best common shift of all (the bank's frame has its
# own origin): 1.11 km north of its place shows as 5/6 of that.
@pytest.mark.parametrize("change, words", [
    (lambda m: m.__dict__.update({k: getattr(m, k)[:-1] for k in ("depth", "slip")}),
     "has 5 subfaults"),
    (lambda m: m.lat.__setitem__(2, m.lat[2] + 0.01), "subfault 2 (from 0) lies 0.925 km"),
    (lambda m: m.depth.__setitem__(3, m.depth[3] + 1.0), "subfault 3 (from 0) lies"),
    (lambda m: m.slip.__setitem__(1, np.nan), "subfault 1 (from 0) has slip nan"),
    (lambda m: m.rupture_time.__setitem__(4, np.nan), "no valid rupture time"),
])
def test_forward_refuses_a_slip_model_not_the_banks(fsp_bank, fsp, change, words):
    m = copy.deepcopy(fsp)
    change(m)
    with layergreen.Bank(fsp_bank) as bank, pytest.raises(ValueError, match=re.escape(words)):
        bank.forward(m)


def test_moment_rate_transforms_are_those_of_the_time_functions():
    """Each closed form against the time function integrated numerically at complex frequencies,
    delays included: triangle, cosine, the asymmetric cosine of .param files and SRF samples."""
    from layergreen.forward import moment_rate
    w = 2 * np.pi * np.arange(0, 40) / 25.6 - 1j * np.pi * 2.0 / 25.6
    param = layergreen.SlipModel.read(DATA / "model.param")
    srf = layergreen.SlipModel.read(DATA / "model_v2.srf")
    t = np.linspace(0.0, 12.0, 60001)  # trapezoid errors about 1e-7

    def transform(rate, delay):
        f = rate(t) * np.exp(-1j * np.outer(w, t + delay))
        return np.trapz(f, t, axis=1)

    j = 3
    d = param.rise_time[j] + param.extras["fall_time"][j]
    tr, tf = param.rise_time[j], param.extras["fall_time"][j]
    rates = {
        "triangle": lambda s: np.clip(1 - np.abs(2 * s / d - 1), 0, None) * 2 / d,
        "cosine": lambda s: np.where(s < d, np.pi / (2 * d) * np.sin(np.pi * s / d), 0.0),
        "asymmetric-cosine": lambda s: np.where(
            s < tr, 1 - np.cos(np.pi * s / tr),
            np.where(s < tr + tf, 1 + np.cos(np.pi * (s - tr) / tf), 0.0)) / (tr + tf),
    }
    for source, rate in rates.items():
        np.testing.assert_allclose(moment_rate(param, w, source)[j],
                                   transform(rate, param.rupture_time[j]), atol=3e-7)
    samples, dt = srf.extras["slip_rate"][j], srf.extras["slip_rate_dt"][j]
    linear = lambda s: np.interp(s, dt * np.arange(len(samples)), samples, right=0.0) / \
        (samples.sum() * dt)  # noqa: E731
    np.testing.assert_allclose(moment_rate(srf, w, "file")[j],
                               transform(linear, srf.rupture_time[j]), atol=3e-7)


def test_banks_with_subfault_coordinates_are_matched_by_them(tmp_path, fsp):
    """With /subfaults/lat and lon, a subfault out of place shows its whole distance."""
    path = make_bank(tmp_path / "geo.h5", fsp, MODEL, SAMPLING,
                     extra={"lat": fsp.lat, "lon": fsp.lon})
    moved = copy.deepcopy(fsp)
    moved.lat[2] += 0.01
    with layergreen.Bank(path) as bank:
        assert bank.forward(fsp).waveforms.shape == (5, 3, 64)
        with pytest.raises(ValueError, match=re.escape("subfault 2 (from 0) lies 1.11 km")):
            bank.forward(moved)
