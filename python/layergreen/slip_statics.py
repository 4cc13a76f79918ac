"""layergreen.static_field: static offsets (GNSS) and line-of-sight changes (InSAR) of a slip
model at any number of surface points, from the static kernel, without a bank."""

import numpy as np
from scipy.interpolate import CubicSpline

from ._compute import statics
from .mechanism import element_weights, strike_dip_rake
from .slip_model import to_local

# The weights of the six elements are linear in (Mxx, Myy, Mzz, Mxy, Mxz, Myz): this matrix
# maps those six components to them.
_BASIS = np.eye(6)


def _weight_matrix():
    cols = []
    for six in _BASIS:
        d0, d1, d2, o01, o02, o12 = six
        cols.append(element_weights(np.array([[d0, o01, o02], [o01, d1, o12], [o02, o12, d2]])))
    return np.array(cols).T


WEIGHTS = _weight_matrix()


def rigidity(layers, depth):
    """mu = rho vs^2 (GPa for g/cm^3 and km/s) of the layer holding each depth; a depth on an
    interface belongs to the layer above, as for the kernels' sources."""
    layers = np.asarray(layers, float)
    bottoms = np.cumsum(layers[:-1, 0])
    i = np.searchsorted(bottoms, np.asarray(depth, float), side="left")
    return layers[i, 3] * layers[i, 2] ** 2


def subfault_tensors(slip_model, m0):
    """Moment tensors [subfault, 6] (Mxx, Myy, Mzz, Mxy, Mxz, Myz; x north, y east, z down) of
    the subfaults' strike, dip and rake with scalar moments m0."""
    out = np.empty((len(slip_model), 6))
    for j in range(len(slip_model)):
        m = strike_dip_rake(slip_model.strike[j], slip_model.dip[j], slip_model.rake[j], m0[j])
        out[j] = m[0, 0], m[1, 1], m[2, 2], m[0, 1], m[0, 2], m[1, 2]
    return out


def _radial_grid(depth, rmax):
    """Distances from 0 to rmax, steps (depth + r)/40: a few hundredths of the source depth near
    the epicentre, 2.5 per cent of the distance far from it."""
    h = max(float(depth), 0.05)
    r = [0.0]
    while r[-1] < rmax:
        r.append(r[-1] + (h + r[-1]) / 40.0)
    return np.array(r)


def static_sum(layers, sub_x, sub_y, sub_depth, tensors, px, py, exact=False, chunk=4096):
    """Static displacements [point, 3] (x north, y east, z up; model length times the tensors'
    unit) at surface points (px, py) of sources at (sub_x, sub_y, sub_depth) with tensors
    [subfault, 6]. Subfaults of one depth share one call of the static kernel: exact=False on a
    radial line of distances (every element's field at azimuth 0, turned to each pair's azimuth
    by rotating the tensor, cubic-spline interpolated in distance), exact=True at every pair of
    point and subfault."""
    px, py = np.asarray(px, float), np.asarray(py, float)
    total = np.zeros((len(px), 3))
    depths = np.asarray(sub_depth, float)
    for depth in np.unique(depths):
        group = np.flatnonzero(depths == depth)
        if exact:
            dx = (px[:, None] - np.asarray(sub_x)[group][None, :]).ravel()
            dy = (py[:, None] - np.asarray(sub_y)[group][None, :]).ravel()
            receivers = np.column_stack([dx, dy, np.zeros_like(dx)])
            g = statics(layers, depth, receivers).displacements.reshape(
                len(px), len(group), 6, 3)
            w = tensors[group] @ WEIGHTS.T  # [subfault, element]
            total += np.einsum("pjec,je->pc", g, w)
            continue
        rmax = 0.0
        for j in group:
            rmax = max(rmax, float(np.hypot(px - sub_x[j], py - sub_y[j]).max()))
        grid = _radial_grid(depth, rmax * 1.001 + 1e-9)
        line = np.column_stack([grid, np.zeros_like(grid), np.zeros_like(grid)])
        g = statics(layers, depth, line).displacements  # [distance, element, component]
        spline = CubicSpline(grid, g, axis=0)
        for start in range(0, len(px), chunk):
            sl = slice(start, start + chunk)
            dx = px[sl, None] - np.asarray(sub_x)[group][None, :]
            dy = py[sl, None] - np.asarray(sub_y)[group][None, :]
            r = np.hypot(dx, dy)
            safe = np.where(r > 0, r, 1.0)
            c, s = np.where(r > 0, dx / safe, 1.0), np.where(r > 0, dy / safe, 0.0)
            mxx, myy, mzz, mxy, mxz, myz = (tensors[group, k][None, :] for k in range(6))
            # The tensor in the frame whose x axis points from the subfault to the point.
            rot = np.stack([c * c * mxx + 2 * c * s * mxy + s * s * myy,
                            s * s * mxx - 2 * c * s * mxy + c * c * myy,
                            np.broadcast_to(mzz, r.shape),
                            -c * s * mxx + (c * c - s * s) * mxy + c * s * myy,
                            c * mxz + s * myz,
                            -s * mxz + c * myz], axis=-1)
            w = rot @ WEIGHTS.T  # [point, subfault, element]
            u = np.einsum("pje,pjec->pjc", w, spline(r))
            total[sl, 0] += np.sum(c * u[..., 0] - s * u[..., 1], axis=1)
            total[sl, 1] += np.sum(s * u[..., 0] + c * u[..., 1], axis=1)
            total[sl, 2] += np.sum(u[..., 2], axis=1)
    return total


def subfault_moments(slip_model, mu, moment="model"):
    """Scalar moments of the subfaults in the model's units of moment (GPa km^2 m = 1e15 N m,
    so that the fields come out in metres): mu area slip, or the file's own moments."""
    if moment == "model":
        m0 = np.asarray(mu, float) * slip_model.area * slip_model.slip
    elif moment == "file":
        if "moment" not in slip_model.extras:
            raise ValueError(f"{slip_model.path or 'the slip model'} gives no moments of its own "
                             '(moment="file" needs a file that does)')
        m0 = np.asarray(slip_model.extras["moment"], float) * 1e-15
    else:
        raise ValueError(f'moment must be "model" or "file", not {moment!r}')
    bad = np.flatnonzero(~np.isfinite(m0) | ~np.isfinite(slip_model.slip))
    if len(bad):
        raise ValueError(f"{slip_model.path or 'the slip model'}: subfault {bad[0]} (from 0) has "
                         f"slip {slip_model.slip[bad[0]]!r} and moment {m0[bad[0]]!r}: both must "
                         "be finite numbers")
    return m0


def static_field(layers, slip_model, points, look=None, coordinates=None, moment="model",
                 exact=False):
    """Static offsets of a slip model at surface points, or their line-of-sight change.

    layers: (n, 4) or (n, 6) array as for :func:`layergreen.statics` (thickness, vp, vs, rho
        in km, km/s, g/cm^3; the last row the half-space).
    slip_model: a :class:`layergreen.SlipModel`.
    points: (n, 2) array: latitude and longitude (degrees), or x, y (km north and east of the
        slip model's hypocentre), as ``coordinates`` says: "latlon" or "xy" (default "latlon"
        when the slip model's subfaults have latitudes and longitudes, else "xy").
    look: None, or unit vectors (east, north, up) from the ground to the satellite, one for all
        points (3,) or one per point (n, 3).
    moment: "model" (mu area slip, mu = rho vs^2 of the layer holding the subfault's centre) or
        "file" (the file's own moments).
    exact: False (default) evaluates each depth's kernel on a line of distances and interpolates
        (differences from the kernel below 1e-6 of the largest offset); True calls the kernel at every pair of point and subfault
        (slow: about 2 ms per pair).

    Returns [n, 3] offsets (north, east, up) in metres, or with ``look`` [n] line-of-sight
    changes in metres (positive towards the satellite). Subfaults are point sources at their
    centres.
    """
    layers = np.asarray(layers, float)
    points = np.atleast_2d(np.asarray(points, float))
    if points.ndim != 2 or points.shape[1] != 2:
        raise ValueError(f"points must be an (n, 2) array, not of shape {points.shape}")
    if coordinates is None:
        coordinates = "latlon" if slip_model.has_geographic else "xy"
    if coordinates == "latlon":
        px, py = to_local(slip_model.hypocentre.lat, slip_model.hypocentre.lon,
                          points[:, 0], points[:, 1])
    elif coordinates == "xy":
        px, py = points[:, 0], points[:, 1]
    else:
        raise ValueError(f'coordinates must be "latlon" or "xy", not {coordinates!r}')
    sx, sy = slip_model.local()
    m0 = subfault_moments(slip_model, rigidity(layers, slip_model.depth), moment)
    u = static_sum(layers, sx, sy, slip_model.depth, subfault_tensors(slip_model, m0), px, py,
                   exact)
    if look is None:
        return u
    look = np.asarray(look, float)
    if look.shape not in ((3,), (len(points), 3)):
        raise ValueError(f"look must be one (east, north, up) vector or one per point, not an "
                         f"array of shape {look.shape}")
    if not np.all(np.abs(np.linalg.norm(look, axis=-1) - 1.0) < 1e-3):
        raise ValueError("look must hold unit vectors (east, north, up) from the ground to the "
                         "satellite")
    return u[:, 1] * look[..., 0] + u[:, 0] * look[..., 1] + u[:, 2] * look[..., 2]
