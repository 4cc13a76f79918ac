"""Surface displacements of a uniform-slip rectangular dislocation in a homogeneous elastic
half-space, in closed form (Okada 1985, BSSA 75, 1135-1154, equations (25)-(30) with the I terms
of (28)-(29)), written independently of the package as the tests' reference."""

import numpy as np


def _terms(xi, eta, q, dip, m):
    """The strike-slip and dip-slip displacement terms (x, y, z) at one corner (xi, eta);
    m = mu/(lambda + mu)."""
    sd, cd = np.sin(dip), np.cos(dip)
    r = np.sqrt(xi * xi + eta * eta + q * q)
    yb, db = eta * cd + q * sd, eta * sd - q * cd
    x = np.sqrt(xi * xi + q * q)
    if abs(cd) > 1e-12:
        with np.errstate(divide="ignore", invalid="ignore"):
            i5 = m * 2 / cd * np.arctan((eta * (x + q * cd) + x * (r + x) * sd) /
                                        (xi * (r + x) * cd))
        i5 = np.where(xi == 0, 0.0, i5)
        i4 = m / cd * (np.log(r + db) - sd * np.log(r + eta))
        i3 = m * (yb / (cd * (r + db)) - np.log(r + eta)) + sd / cd * i4
        i1 = m * (-xi / (cd * (r + db))) - sd / cd * i5
    else:
        i1 = -m / 2 * xi * q / (r + db) ** 2
        i3 = m / 2 * (eta / (r + db) + yb * q / (r + db) ** 2 - np.log(r + eta))
        i4 = -m * q / (r + db)
        i5 = -m * xi * sd / (r + db)
    i2 = m * -np.log(r + eta) - i3
    with np.errstate(divide="ignore", invalid="ignore"):
        at = np.where(q != 0, np.arctan(xi * eta / (q * r)), 0.0)
    ss = (xi * q / (r * (r + eta)) + at + i1 * sd,
          yb * q / (r * (r + eta)) + q * cd / (r + eta) + i2 * sd,
          db * q / (r * (r + eta)) + q * sd / (r + eta) + i4 * sd)
    ds = (q / r - i3 * sd * cd,
          yb * q / (r * (r + xi)) + cd * at - i1 * sd * cd,
          db * q / (r * (r + xi)) + sd * at - i5 * sd * cd)
    return np.array(ss), np.array(ds)


def okada_surface(north, east, strike, dip, rake, slip, length, width, centre_depth,
                  poisson):
    """Displacements (north, east, up) at surface points (km from the point above the fault's
    centre) of slip (any length unit, the result's) on a rectangle length x width (km) whose
    centre lies at centre_depth; strike, dip, rake in degrees as the package states them."""
    s, d = np.radians(strike), np.radians(dip)
    # Okada's frame: x along strike, y 90 degrees anticlockwise (the side the fault rises
    # towards), origin above the lower edge's start.
    x = np.cos(s) * north + np.sin(s) * east + length / 2
    y = np.sin(s) * north - np.cos(s) * east + np.cos(d) * width / 2
    depth = centre_depth + np.sin(d) * width / 2
    p = y * np.cos(d) + depth * np.sin(d)
    q = y * np.sin(d) - depth * np.cos(d)
    m = 1 - 2 * poisson
    u = np.zeros((3,) + np.shape(north))
    for xi, eta, sign in ((x, p, 1), (x, p - width, -1), (x - length, p, -1),
                          (x - length, p - width, 1)):
        ss, ds = _terms(xi, eta, q, d, m)
        u += sign * (-slip * np.cos(np.radians(rake)) * ss -
                     slip * np.sin(np.radians(rake)) * ds) / (2 * np.pi)
    ux, uy, uz = u
    return np.stack([np.cos(s) * ux + np.sin(s) * uy, np.sin(s) * ux - np.cos(s) * uy, uz],
                    axis=-1)
