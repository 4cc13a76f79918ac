"""Mechanisms: strike/dip/rake against textbook tensors, the element weights of the README in
both frames, and synthetics combined from the six elements against the same source computed
directly by the kernel in a frame where it is a single element."""

import numpy as np
import pytest

import layergreen
from layergreen.mechanism import ELEMENT_TENSORS
from conftest import AXES, AXES_SOURCE, direct


def rtp_six(m):
    """(Mrr, Mtt, Mpp, Mrt, Mrp, Mtp) of an x, y, z tensor, by the README's table."""
    return [m[2, 2], m[0, 0], m[1, 1], m[0, 2], -m[1, 2], -m[0, 1]]


def only(**components):
    m = np.zeros((3, 3))
    index = {"x": 0, "y": 1, "z": 2}
    for name, value in components.items():
        i, j = index[name[0]], index[name[1]]
        m[i, j] = m[j, i] = value
    return m


def test_strike_dip_rake_textbook_tensors():
    # Vertical strike-slip fault striking north: only Mxy.
    np.testing.assert_allclose(layergreen.strike_dip_rake(0, 90, 0), only(xy=1.0), atol=1e-15)
    # Thrust striking north, dipping 45 degrees east: Mzz = -Myy.
    np.testing.assert_allclose(layergreen.strike_dip_rake(0, 45, 90, m0=2.0),
                               only(zz=2.0, yy=-2.0), atol=1e-15)
    # Normal fault striking east, dipping 45 degrees south: Mxx = -Mzz = M0.
    np.testing.assert_allclose(layergreen.strike_dip_rake(90, 45, -90), only(xx=1.0, zz=-1.0),
                               atol=1e-15)
    # Vertical fault striking north, east side up: Myz = -1 (z down).
    np.testing.assert_allclose(layergreen.strike_dip_rake(0, 90, 90), only(yz=-1.0), atol=1e-15)
    # Any double couple: no trace, eigenvalues -M0, 0, M0.
    m = layergreen.strike_dip_rake(123.0, 37.0, -61.0, m0=3.0)
    np.testing.assert_allclose(np.linalg.eigvalsh(m), [-3.0, 0.0, 3.0], atol=1e-14)


def test_element_weights_rebuild_the_tensor_in_both_frames():
    rng = np.random.default_rng(5)
    for _ in range(3):
        m = rng.normal(size=(3, 3))
        m = m + m.T
        for given, frame in ((m, "xyz"), (rtp_six(m), "rtp")):
            a = layergreen.element_weights(given, frame)
            np.testing.assert_allclose(np.tensordot(a, ELEMENT_TENSORS, axes=1), m, atol=1e-14)
    # The catalogue frame: r, t, p = up, south, east.
    np.testing.assert_allclose(layergreen.tensor([1, 0, -1, 0, 0, 0], "rtp"), only(zz=1, yy=-1))
    np.testing.assert_allclose(layergreen.tensor([0, 0, 0, 0, 0, 1], "rtp"), only(xy=-1))
    with pytest.raises(ValueError, match="symmetric"):
        layergreen.tensor(np.arange(9.0).reshape(3, 3))


def rotation(theta):
    c, s = np.cos(np.radians(theta)), np.sin(np.radians(theta))
    return np.array([[c, -s], [s, c]])


# Double couples that are one element, times a sign, when the strike is 0 (x): turned by the
# strike theta, M = Q T Q^T, whose field at p is Q G(Q^T p) with G the element's field.
MECHANISMS = [((30.0, 90.0, 0.0), 0, 1.0),      # strike-slip: Mxy
              ((110.0, 45.0, 90.0), 4, 1.0),    # thrust: Mzz - Myy
              ((245.0, 90.0, 90.0), 2, 1.0)]    # vertical dip-slip: -Myz


@pytest.mark.parametrize("sdr,element,sign", MECHANISMS)
def test_synthetic_equals_the_source_computed_directly(axes_bank, sdr, element, sign):
    theta = sdr[0]
    q = rotation(theta)
    stations = np.array([AXES["x"], AXES["y"]]).T - AXES_SOURCE[:2]
    turned = np.column_stack([stations @ q, np.zeros(len(stations))])  # rows Q^T p
    g = direct(turned)
    tensor_xyz = layergreen.strike_dip_rake(*sdr, m0=1.5)
    with layergreen.Bank(axes_bank) as bank:
        for s in range(len(stations)):
            t, traces = layergreen.seismograms(g[s], bank.tl, bank.aw, source="step",
                                               lowpass=0.6)
            u = 1.5 * sign * traces[element]
            expected = np.vstack([q @ u[:2], u[2:]])
            scale = np.abs(expected).max()
            for mechanism, frame in ((sdr, "xyz"), (tensor_xyz / 1.5, "xyz"),
                                     (rtp_six(tensor_xyz / 1.5), "rtp")):
                t2, got = bank.synthetic(s, 0, mechanism, m0=1.5, frame=frame, source="step",
                                         lowpass=0.6)
                np.testing.assert_array_equal(t2, t)
                np.testing.assert_allclose(got, expected, rtol=0, atol=1e-9 * scale)


def test_strike_dip_slip_uses_the_subfaults_angles(axes_bank, digits_bank):
    # Per-subfault angles (axes bank), and the configuration's [fault] (digits bank).
    for path, strike, dip in ((axes_bank, 30.0, 60.0), (digits_bank, 45.0, 30.0)):
        with layergreen.Bank(path) as bank:
            t, pair = bank.strike_dip_slip(0, 0, rake_pair=(0, 90), source=("triangle", 1.0))
            assert pair.shape == (2, 3, len(t))
            for k, rake in enumerate((0, 90)):
                _, one = bank.synthetic(0, 0, (strike, dip, rake), source=("triangle", 1.0))
                np.testing.assert_allclose(pair[k], one, rtol=0, atol=1e-12 * np.abs(one).max())
