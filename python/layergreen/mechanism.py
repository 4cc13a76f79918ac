"""Source mechanisms: moment tensors from strike, dip and rake, the two tensor frames, and the
weights that combine the six elements of the spectra into the field of any moment tensor.

Frames (as in the table of docs/conventions.md):

* ``"xyz"``: x north, y east, z down (Aki and Richards);
* ``"rtp"``: r up, t south, p east, as global catalogues give it, so Mrr = Mzz, Mtt = Mxx,
  Mpp = Myy, Mrt = Mxz, Mrp = -Myz, Mtp = -Mxy.

A tensor is given either as a 3 x 3 symmetric array in its frame, or as six components in the
order (Mxx, Myy, Mzz, Mxy, Mxz, Myz) for ``"xyz"`` and (Mrr, Mtt, Mpp, Mrt, Mrp, Mtp) for
``"rtp"`` (the catalogue order).
"""

import numpy as np

from . import _layergreen

# The elements of the spectra, as the C++ module declares them: their parameters are the
# tensor's (Mxx, Myy, Mzz, Mxy, Mxz, Myz).
_KIND = _layergreen.source_kinds["moment tensor"]

ELEMENTS = tuple(_KIND["labels"])


def _symmetric(six):
    """The 3 x 3 array of (Mxx, Myy, Mzz, Mxy, Mxz, Myz)."""
    d0, d1, d2, o01, o02, o12 = six
    return [[d0, o01, o02], [o01, d1, o12], [o02, o12, d2]]


# The tensor of each element in x, y, z: u = sum over e of a_e * G_e reproduces M exactly when
# M = sum over e of a_e * ELEMENT_TENSORS[e].
ELEMENT_TENSORS = np.array([_symmetric(s) for s in _KIND["sources"]], dtype=float)

FRAMES = ("xyz", "rtp")


def strike_dip_rake(strike, dip, rake, m0=1.0):
    """The moment tensor (3 x 3, frame x north, y east, z down) of a double couple.

    Angles in degrees: strike clockwise from north (x towards y), dip from the horizontal to the
    right of the strike direction, rake of the hanging wall's slip from the strike direction,
    counter-clockwise in the fault plane (90: thrust, -90: normal, 0: left-lateral). m0 is the
    scalar moment; the tensor's components are in the unit of m0.
    """
    phi, delta, lam = np.radians([strike, dip, rake])
    sd, cd, s2d, c2d = np.sin(delta), np.cos(delta), np.sin(2 * delta), np.cos(2 * delta)
    sl, cl = np.sin(lam), np.cos(lam)
    sp, cp, s2p, c2p = np.sin(phi), np.cos(phi), np.sin(2 * phi), np.cos(2 * phi)
    mxx = -(sd * cl * s2p + s2d * sl * sp * sp)
    mxy = sd * cl * c2p + 0.5 * s2d * sl * s2p
    mxz = -(cd * cl * cp + c2d * sl * sp)
    myy = sd * cl * s2p - s2d * sl * cp * cp
    myz = -(cd * cl * sp - c2d * sl * cp)
    mzz = s2d * sl
    return m0 * np.array([[mxx, mxy, mxz], [mxy, myy, myz], [mxz, myz, mzz]])


def tensor(m, frame="xyz"):
    """A moment tensor as a 3 x 3 array in x, y, z (north, east, down).

    ``m`` is a 3 x 3 symmetric array or six components (see the module's text) in ``frame``,
    ``"xyz"`` or ``"rtp"``.
    """
    if frame not in FRAMES:
        raise ValueError(f'frame must be "xyz" or "rtp", not {frame!r}')
    a = np.asarray(m, dtype=float)
    if a.shape == (6,):
        d0, d1, d2, o01, o02, o12 = a
        a = np.array([[d0, o01, o02], [o01, d1, o12], [o02, o12, d2]])
    elif a.shape != (3, 3):
        raise ValueError("a moment tensor is a 3 x 3 array or six components, "
                         f"not an array of shape {a.shape}")
    if not np.all(np.isfinite(a)):
        raise ValueError("the moment tensor has components that are not finite numbers")
    if not np.allclose(a, a.T, rtol=1e-12, atol=1e-12 * np.abs(a).max()):
        raise ValueError("a moment tensor must be symmetric")
    if frame == "xyz":
        return a
    # r, t, p = -z, -x, y: M_xyz = P^T M_rtp P with the rows of P the r, t, p axes in x, y, z.
    p = np.array([[0.0, 0.0, -1.0], [-1.0, 0.0, 0.0], [0.0, 1.0, 0.0]])
    return p.T @ a @ p


def element_weights(m, frame="xyz"):
    """The weights a_1 ... a_6 of the six elements for the moment tensor ``m`` (see
    :func:`tensor`): a = (Mxy, Mxz, -Myz, (-2Mxx + Myy + Mzz)/3, (Mxx - 2Myy + Mzz)/3,
    (Mxx + Myy + Mzz)/3)."""
    t = tensor(m, frame)
    p = (t[0, 0], t[1, 1], t[2, 2], t[0, 1], t[0, 2], t[1, 2])
    return np.array([_weigh(w, d, p) for w, d in zip(_KIND["weights"], _KIND["divisors"])])


def _weigh(weight, divisor, p):
    """(sum of weight[j] p[j], the terms added in order) / divisor, as the C++ module's layout
    defines an element's weight."""
    a = None
    for w, v in zip(weight, p):
        if w != 0:
            a = w * v if a is None else a + w * v
    return a if divisor == 1 else a / divisor


def mechanism_tensor(mechanism, m0=1.0, frame="xyz"):
    """The 3 x 3 tensor (x, y, z) of a mechanism: a (strike, dip, rake) triple in degrees with
    scalar moment m0, or a moment tensor in ``frame`` multiplied by m0."""
    a = np.asarray(mechanism, dtype=float)
    if a.shape == (3,):
        if not np.all(np.isfinite(a)):
            raise ValueError("strike, dip and rake must be finite numbers")
        return strike_dip_rake(*a, m0=m0)
    return m0 * tensor(a, frame)
