"""Strain and rotation: against centred (or, at the surface and on an interface, one-sided)
differences of the displacement, the free surface's conditions, and the displacement computed
with them unchanged.

Frames: x north, y east, z up; strain eps_xx, eps_yy, eps_zz, eps_xy, eps_xz, eps_yz, rotation
half the curl along north, east, up."""

import numpy as np
import pytest

import layergreen

LAYERS = np.array([[2.0, 5.0, 2.9, 2.6, 1e12, 1e12], [8.0, 6.0, 3.5, 2.8, 1e12, 1e12],
                   [0.0, 7.0, 4.0, 3.0, 1e12, 1e12]])
SAMPLING = dict(nfreq=6, tl=20.0, aw=1.0, xl=400.0, ikmax=20000, uconv=1e-9)
# At the surface, buried, just above and below the interface at 2 km, and on it (the side below).
RECEIVERS = np.array([[4.0, 3.0, 0.0], [4.0, 3.0, 3.5], [4.0, 3.0, 1.9], [4.0, 3.0, 2.1],
                      [-2.0, 3.0, 2.0]])
SURFACE, ON_INTERFACE = 0, 4


def displacement(source_depth, sources, receivers):
    return layergreen.greens(LAYERS, source_depth, receivers, sources=sources,
                             **SAMPLING).spectra


def differenced(source_depth, sources, h, field=displacement):
    """du_i/dx_j [receiver, ..., i, j] of field(source_depth, sources, receivers) by differences
    of step h; vertical ones one-sided downwards at the surface and below the interface
    (second order throughout)."""
    def at(j, k):
        r = RECEIVERS.copy()
        r[:, j] += k * h
        r[SURFACE, 2] = max(r[SURFACE, 2], 0.0)
        return field(source_depth, sources, r)

    g = [(at(j, 1) - at(j, -1)) / (2 * h) for j in (0, 1)]
    u1, u2, u3 = at(2, 1), at(2, 2), at(2, 3)
    dz = -(at(2, 1) - at(2, -1)) / (2 * h)  # z up: minus the derivative in depth
    dz[SURFACE] = -(-3 * at(2, 0)[SURFACE] + 4 * u1[SURFACE] - u2[SURFACE]) / (2 * h)
    dz[ON_INTERFACE] = -(-2.5 * u1 + 4 * u2 - 1.5 * u3)[ON_INTERFACE] / h
    return np.stack(g + [dz], axis=-1)


def strain_rotation(g):
    sym = 0.5 * (g + np.swapaxes(g, -1, -2))
    anti = 0.5 * (g - np.swapaxes(g, -1, -2))
    strain = np.stack([sym[..., 0, 0], sym[..., 1, 1], sym[..., 2, 2], sym[..., 0, 1],
                       sym[..., 0, 2], sym[..., 1, 2]], axis=-1)
    return strain, np.stack([anti[..., 1, 2], anti[..., 2, 0], anti[..., 0, 1]], axis=-1)


@pytest.fixture(scope="module", params=[(6.0, "moment"), (1.0, "force")],
                ids=["moment-below-all", "force-between"])
def case(request):
    source_depth, sources = request.param
    g = layergreen.greens(LAYERS, source_depth, RECEIVERS, sources=sources,
                          quantity=("strain", "displacement", "rotation"), **SAMPLING)
    return source_depth, sources, g


def static_displacement(source_depth, sources, receivers):
    return layergreen.statics(LAYERS, source_depth, receivers, sources=sources,
                              **STATIC_SAMPLING).displacements


STATIC_SAMPLING = dict(xl=400.0, kmax=60.0)


def check_differences(source_depth, sources, strain, rotation, field):
    """strain and rotation [receiver, ...] against differences of field at h = 0.02 and 0.01:
    halving h divides the error by about 4 (3 to 6) at every receiver for both quantities."""
    errors = []
    for h in (0.02, 0.01):
        fd = strain_rotation(differenced(source_depth, sources, h, field))
        errors.append(np.array([
            [np.abs(a[r] - b[r]).max() / np.abs(a[r]).max() for r in range(len(RECEIVERS))]
            for a, b in zip((strain, rotation), fd)]))
    ratio = errors[0] / errors[1]
    assert np.all((ratio > 3.0) & (ratio < 6.0)), ratio
    assert errors[1].max() < 1.5e-4


def test_agrees_with_differences_of_displacement_as_h_squared(case):
    source_depth, sources, g = case
    assert g.spectra is g.strain
    assert g.strain.shape == RECEIVERS.shape[:1] + (6, 6 if sources == "moment" else 3, 6)
    assert g.rotation.shape == g.strain.shape[:-1] + (3,)
    check_differences(source_depth, sources, g.strain, g.rotation, displacement)


def test_statics_agree_with_differences_of_static_displacement(case):
    source_depth, sources, _ = case
    strain, rotation = (layergreen.statics(LAYERS, source_depth, RECEIVERS, sources=sources,
                                           quantity=q, **STATIC_SAMPLING) for q in
                        ("strain", "rotation"))
    assert strain.displacements is None and strain.values.shape == (5, 6 if sources == "moment"
                                                                     else 3, 6)
    assert np.all(strain.values[SURFACE][..., 4:] == 0)
    check_differences(source_depth, sources, strain.values, rotation.values, static_displacement)
    with pytest.raises(ValueError, match="source's depth"):
        layergreen.statics(LAYERS, source_depth, [[1.0, 1.0, source_depth]], sources=sources,
                           quantity="strain")


def test_tilt_is_the_slope_of_the_surface(case):
    source_depth, sources, g = case
    slope = differenced(source_depth, sources, 0.01)[SURFACE][..., 2, :2]
    np.testing.assert_allclose(layergreen.tilt(g.rotation[SURFACE]), slope,
                               atol=1e-4 * np.abs(slope).max())


def test_free_surface_is_traction_free(case):
    _, _, g = case
    s = g.strain[SURFACE]
    assert np.all(s[..., 4] == 0) and np.all(s[..., 5] == 0)
    vp, vs = LAYERS[0, 1], LAYERS[0, 2]
    lam_over_m = 1 - 2 * vs * vs / (vp * vp)
    np.testing.assert_allclose(s[..., 2], -lam_over_m * (s[..., 0] + s[..., 1]), rtol=1e-9,
                               atol=1e-12 * np.abs(s).max())


def test_displacement_unchanged_by_strain(case):
    source_depth, sources, _ = case
    alone = displacement(source_depth, sources, RECEIVERS)
    both = layergreen.greens(LAYERS, source_depth, RECEIVERS, sources=sources,
                             quantity=("displacement", "rotation"), **SAMPLING)
    assert np.array_equal(alone, both.spectra) and both.strain is None


def test_quantity_arguments():
    with pytest.raises(ValueError, match="quantity"):
        layergreen.greens(LAYERS, 6.0, RECEIVERS, quantity="velocity", **SAMPLING)
    with pytest.raises(ValueError, match="x = y = 0"):
        layergreen.greens(LAYERS, 6.0, [[0.0, 0.0, 1.0]], quantity="strain", **SAMPLING)


def test_axial_strain_stress_and_coulomb():
    from layergreen.strain import tensor
    rng = np.random.default_rng(1)
    strain = rng.normal(size=(4, 2, 6))  # [channel, ..., 6]
    az, plunge = np.array([0.0, 90.0, 30.0, 200.0]), np.array([0.0, 0.0, 90.0, 35.0])
    das = layergreen.axial_strain(strain, az, plunge)
    np.testing.assert_allclose(das[0], strain[0, :, 0])
    np.testing.assert_allclose(das[1], strain[1, :, 1])
    np.testing.assert_allclose(das[2], strain[2, :, 2])
    a, p = np.radians(200.0), np.radians(35.0)
    d = np.array([np.cos(p) * np.cos(a), np.cos(p) * np.sin(a), -np.sin(p)])
    np.testing.assert_allclose(das[3], d @ tensor(strain[3]) @ d)

    # Hooke's law with the layer below at the interface at 2 km.
    sigma = layergreen.stress(strain, LAYERS, [0.0, 1.0, 2.0, 50.0])
    for c, row in zip(range(4), (0, 0, 1, 2)):
        vp, vs, rho = LAYERS[row, 1:4]
        mu, lam = rho * vs * vs, rho * (vp * vp - 2 * vs * vs)
        expect = 2 * mu * tensor(strain[c]) + lam * np.trace(tensor(strain[c]), axis1=-2,
                                                             axis2=-1)[:, None, None] * np.eye(3)
        np.testing.assert_allclose(tensor(sigma[c]), expect)

    # A vertical fault striking north, left-lateral: tau = sigma_xy, sigma_n = sigma_yy.
    unit = np.array([0.0, 2.0, 0.0, 1.0, 0.0, 0.0])
    assert layergreen.coulomb(unit, 0.0, 90.0, 0.0, friction=0.4) == pytest.approx(1.8)
    # A 45-degree thrust striking north (hanging wall east) under east-west compression.
    squeeze = np.array([0.0, -1.0, 0.0, 0.0, 0.0, 0.0])
    assert layergreen.coulomb(squeeze, 0.0, 45.0, 90.0, friction=0.0) == pytest.approx(0.5)


def test_seismograms_of_strain_trace_by_trace(case):
    _, _, g = case
    tl, aw = SAMPLING["tl"], SAMPLING["aw"]
    _, traces = layergreen.seismograms(g.strain, tl, aw, source="step")
    assert traces.shape == g.strain.shape[:1] + g.strain.shape[2:] + (2 * SAMPLING["nfreq"],)
    one = np.zeros((SAMPLING["nfreq"], 6, 3), complex)
    one[:, 5, 2] = g.strain[3, :, 1, 4]
    _, alone = layergreen.seismograms(one, tl, aw, source="step")
    np.testing.assert_array_equal(traces[3, 1, 4], alone[5, 2])


def test_reciprocity_moment_displacement_is_force_strain():
    """u_i(x_r) of a moment tensor M at x_s is sum_jk M_jk eps_jk(x_s) of a unit force along i
    at x_r (G_ij(x_r; x_s) = G_ji(x_s; x_r) and the moment tensor's field the source-side
    derivative of the force's), in the z-down frame of the sources: a strain component with one
    z index changes sign, the displacement's z does too."""
    from layergreen.mechanism import ELEMENT_TENSORS
    from layergreen.strain import tensor
    source, receiver = 6.0, np.array([4.0, 3.0, 3.5])
    u = displacement(source, "moment", receiver[None])[0]  # [frequency, element, component]
    swapped = [[-receiver[0], -receiver[1], source]]
    eps = layergreen.greens(LAYERS, receiver[2], swapped, sources="force", quantity="strain",
                            **SAMPLING).spectra[0]  # [frequency, force, 6]
    flip = np.array([1, 1, 1, 1, -1, -1])
    down = tensor(eps * flip)  # [frequency, force, 3, 3], z down
    expect = np.einsum("ejk,fijk->fei", ELEMENT_TENSORS, down) * np.array([1, 1, -1])
    np.testing.assert_allclose(u, expect, rtol=0, atol=1e-6 * np.abs(u).max())


def test_static_force_strain_matches_mindlin():
    """The static strain and rotation of forces in a half-space against Mindlin's closed form
    differentiated by complex steps (exact to rounding), at the surface and buried. The error
    is that of the periodicity length: 1.1e-5 of each receiver's largest value with the default
    XL (480 km), 4.5e-8 with four times that, as written."""
    from test_forces import RHO, VP, VS, mindlin
    c = 5.0
    receivers = np.array([[3.0, 4.0, 0.0], [-6.0, 2.0, 0.0], [2.0, -3.0, 2.0], [-4.0, -5.0, 8.0]])
    half_space = np.array([[1.0, VP, VS, RHO]])
    got = [layergreen.statics(half_space, c, receivers, sources="force", quantity=q,
                              xl=1920.0).values for q in ("strain", "rotation")]
    flip = np.array([1, 1, -1])  # z down to z up
    worst = 0.0
    for r, p in enumerate(receivers):
        # [force, component, derivative], z up for both.
        g = np.stack([mindlin(*(p + 1e-30j * e), c).imag / 1e-30 for e in np.eye(3)], axis=-1)
        g = g * flip[None, :, None] * flip[None, None, :]
        for a, b in zip(got, strain_rotation(g)):
            worst = max(worst, np.abs(a[r] - b).max() / np.abs(b).max())
    print(f"static strain of forces against Mindlin: worst {worst:.2e}")
    assert worst < 2e-7
