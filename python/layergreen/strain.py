"""What strainmeters, DAS fibres, tiltmeters and rotational sensors record, and the stress and
Coulomb stress of a strain: from the strain [..., 6] (eps_xx, eps_yy, eps_zz, eps_xy, eps_xz,
eps_yz) and rotation [..., 3] (omega_x, omega_y, omega_z) that :func:`layergreen.greens` and
:func:`layergreen.statics` give with quantity="strain" or "rotation", in x north, y east, z up.
Angles are in degrees. See docs/strain.md."""

import numpy as np

# (i, j) of the strain's six components.
_PAIRS = ((0, 0), (1, 1), (2, 2), (0, 1), (0, 2), (1, 2))


def tensor(values):
    """The symmetric 3 x 3 tensors [..., 3, 3] of six components [..., 6] (xx, yy, zz, xy,
    xz, yz)."""
    values = np.asarray(values)
    out = np.zeros(values.shape[:-1] + (3, 3), values.dtype)
    for k, (i, j) in enumerate(_PAIRS):
        out[..., i, j] = out[..., j, i] = values[..., k]
    return out


def _leading(a, like):
    """a (a scalar or an array over the leading axes of like) broadcast against like[..., 0]."""
    a = np.asarray(a, dtype=float)
    return a.reshape(a.shape + (1,) * (np.ndim(like) - 1 - a.ndim))


def tilt(rotation):
    """The ground's slope (du_z/dx, du_z/dy) [..., 2] at the free surface, where the strain's
    eps_xz and eps_yz vanish: (omega_y, -omega_x). The surface rises towards north where
    du_z/dx > 0 (docs/strain.md relates it to a tiltmeter's readings)."""
    rotation = np.asarray(rotation)
    return np.stack([rotation[..., 1], -rotation[..., 0]], axis=-1)


def direction(azimuth, plunge=0.0):
    """Unit vectors [..., 3] in x north, y east, z up of directions at `azimuth` from north
    towards east, `plunge` downwards from the horizontal."""
    a, p = np.radians(azimuth), np.radians(plunge)
    return np.stack(np.broadcast_arrays(np.cos(p) * np.cos(a), np.cos(p) * np.sin(a), -np.sin(p)),
                    axis=-1)


def axial_strain(strain, azimuth, plunge=0.0):
    """The strain along a fibre, d . eps . d, of strain [..., 6] for the direction d at
    `azimuth` (from north towards east) and `plunge` (downwards); azimuth and plunge are
    scalars or arrays over the leading axes of strain (one per channel, say, with strain
    [channel, frequency, element, 6]). Returns [...] (strain without its last axis)."""
    strain = np.asarray(strain)
    d = direction(_leading(azimuth, strain), _leading(plunge, strain))
    return sum((1 if i == j else 2) * d[..., i] * d[..., j] * strain[..., k]
               for k, (i, j) in enumerate(_PAIRS))


def moduli(layers, depth):
    """(lambda, mu) of the layer at each depth (positive down; on an interface the layer
    below, as for the strain) from the rows thickness, vp, vs, rho of layers."""
    layers = np.asarray(layers, dtype=float)
    tops = np.concatenate([[0.0], np.cumsum(layers[:-1, 0])])
    depth = np.asarray(depth, dtype=float)
    if np.any(depth < 0):
        raise ValueError("depths are positive downwards: nothing lies above the free surface")
    k = np.searchsorted(tops, depth, side="right") - 1
    vp, vs, rho = layers[k, 1], layers[k, 2], layers[k, 3]
    mu = rho * vs * vs
    return rho * vp * vp - 2 * mu, mu


def stress(strain, layers, depth):
    """Hooke's law: the stress [..., 6] (same components as the strain) lambda tr(eps) I +
    2 mu eps with the moduli of the layer at `depth` (a scalar or one per receiver, the leading
    axis of strain), in the model's units (g/cm^3 and km/s give GPa per unit strain)."""
    strain = np.asarray(strain)
    lam, mu = moduli(layers, depth)
    lam, mu = _leading(lam, strain)[..., None], _leading(mu, strain)[..., None]
    trace = (strain[..., 0] + strain[..., 1] + strain[..., 2])[..., None]
    return 2 * mu * strain + lam * trace * np.array([1, 1, 1, 0, 0, 0])


def fault_vectors(strike, dip, rake):
    """(normal, slip) [..., 3] of receiver faults in x north, y east, z up: the normal out of
    the footwall into the hanging wall, the slip of the hanging wall."""
    f, d, r = np.radians(strike), np.radians(dip), np.radians(rake)
    normal = np.stack(np.broadcast_arrays(-np.sin(d) * np.sin(f), np.sin(d) * np.cos(f),
                                          np.cos(d)), axis=-1)
    slip = np.stack(np.broadcast_arrays(np.cos(r) * np.cos(f) + np.cos(d) * np.sin(r) * np.sin(f),
                                        np.cos(r) * np.sin(f) - np.cos(d) * np.sin(r) * np.cos(f),
                                        np.sin(r) * np.sin(d)), axis=-1)
    return normal, slip


def coulomb(stress, strike, dip, rake, friction=0.4):
    """The Coulomb stress change tau + friction * sigma_n on receiver faults (strike, dip,
    rake; scalars or arrays over the leading axes of stress [..., 6]): tau the shear traction
    along the slip, sigma_n the normal traction, positive in tension (unclamping). Positive
    values bring the fault closer to failure."""
    stress = np.asarray(stress)
    normal, slip = fault_vectors(_leading(strike, stress), _leading(dip, stress),
                                 _leading(rake, stress))
    traction = np.einsum("...ij,...j->...i", tensor(stress), normal)
    return np.sum(traction * slip, axis=-1) + friction * np.sum(traction * normal, axis=-1)
