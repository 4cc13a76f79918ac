"""Displacement and displacement gradient of a point source in a homogeneous elastic half-space
in closed form (Okada 1992, BSSA 82, 1018-1040: the point source's A, B and C terms for
strike-slip, dip-slip, tensile and inflation sources), written independently of the package as
the tests' reference. The gradient is the displacement's derivative by complex steps, exact to
rounding as the terms are analytic in the receiver's coordinates."""

import numpy as np

KINDS = ("strike-slip", "dip-slip", "tensile", "inflation")


def _geometry(x, y, d, sd, cd):
    r2 = x * x + y * y + d * d
    r = np.sqrt(r2)
    p, q = y * cd + d * sd, y * sd - d * cd
    return dict(r=r, r2=r2, r3=r * r2, r5=r * r2 * r2, p=p, q=q, s=p * sd + q * cd,
                t=p * cd - q * sd, a3=1 - 3 * x * x / r2, a5=1 - 5 * x * x / r2,
                c3=1 - 3 * d * d / r2, qr=3 * q / (r * r2 * r2))


def _a_term(x, y, d, sd, cd, a1, a2):
    """The A term [kind, component] (Okada's frame) at source-receiver offsets x, y, d."""
    g = _geometry(x, y, d, sd, cd)
    r3, qr, p, q, s, t = g["r3"], g["qr"], g["p"], g["q"], g["s"], g["t"]
    return np.array([
        [a1 * q / r3 + a2 * x * x * qr, a1 * x / r3 * sd + a2 * x * y * qr,
         -a1 * x / r3 * cd + a2 * x * d * qr],
        [a2 * x * p * qr, a1 * s / r3 + a2 * y * p * qr, -a1 * t / r3 + a2 * d * p * qr],
        [a1 * x / r3 - a2 * x * q * qr, a1 * t / r3 - a2 * y * q * qr,
         a1 * s / r3 - a2 * d * q * qr],
        [-a1 * x / r3, -a1 * y / r3, -a1 * d / r3]])


def _bc_terms(x, y, d, z, sd, cd, alpha):
    """The B and C terms [kind, component] of the image source (d = c - z, z <= 0 up)."""
    g = _geometry(x, y, d, sd, cd)
    r, r2, r3, r5, p, q, s, t = (g[k] for k in ("r", "r2", "r3", "r5", "p", "q", "s", "t"))
    qr, a3, a5 = g["qr"], g["a3"], g["a5"]
    c, rd = d + z, r + d
    d12 = 1 / (r * rd * rd)
    d32, d33 = d12 * (2 * r + d) / r2, d12 * (3 * r + d) / (r2 * rd)
    i1, i2 = y * (d12 - x * x * d33), x * (d12 - y * y * d33)
    i3, i4, i5 = x / r3 - i2, -x * y * d32, 1 / (r * rd) - x * x * d32
    a3c, a4, a5c = (1 - alpha) / alpha, 1 - alpha, alpha
    sdsd, sdcd, s2d, c2d = sd * sd, sd * cd, 2 * sd * cd, cd * cd - sd * sd
    b = np.array([
        [-x * x * qr - a3c * i1 * sd, -x * y * qr - a3c * i2 * sd, -c * x * qr - a3c * i4 * sd],
        [-x * p * qr + a3c * i3 * sdcd, -y * p * qr + a3c * i1 * sdcd,
         -c * p * qr + a3c * i5 * sdcd],
        [x * q * qr - a3c * i3 * sdsd, y * q * qr - a3c * i1 * sdsd, c * q * qr - a3c * i5 * sdsd],
        [a3c * x / r3, a3c * y / r3, a3c * d / r3]])
    qr5, qrx = 5 * q / r2, 5 * qr * x / r2
    cc = np.array([
        [-a4 * a3 / r3 * cd + a5c * c * qr * a5,
         3 * x / r5 * (a4 * y * cd + a5c * c * (sd - y * qr5)),
         3 * x / r5 * (-a4 * y * sd + a5c * c * (cd + d * qr5))],
        [a4 * 3 * x * t / r5 - a5c * c * p * qrx,
         -a4 / r3 * (c2d - 3 * y * t / r2) + a5c * 3 * c / r5 * (s - y * p * qr5),
         -a4 * a3 / r3 * sdcd + a5c * 3 * c / r5 * (t + d * p * qr5)],
        [3 * x / r5 * (-a4 * s + a5c * (c * q * qr5 - z)),
         a4 / r3 * (s2d - 3 * y * s / r2) + a5c * 3 / r5 * (c * (t - y + y * q * qr5) - y * z),
         -a4 / r3 * (1 - a3 * sdsd) - a5c * 3 / r5 * (c * (s - d + d * q * qr5) - d * z)],
        [a4 * 3 * x * d / r5, a4 * 3 * y * d / r5, a4 * g["c3"] / r3]])
    return b, cc


def displacement(north, east, depth, source_depth, strike, dip, alpha):
    """Displacement [kind, component] (x north, y east, z up) at one receiver of unit potency of
    each kind (slip or opening times area) at the origin's source_depth, on a plane of the
    strike and dip (degrees): strike-slip positive left-lateral, dip-slip positive reverse
    (the hanging wall up), tensile opening, inflation a volume increase. alpha is
    (lambda + mu)/(lambda + 2 mu); lengths in one unit, the displacement per unit potency per
    unit area. Complex coordinates are taken as they come (for complex steps)."""
    st, sd, cd = np.radians(strike), np.sin(np.radians(dip)), np.cos(np.radians(dip))
    # Okada's frame: x along strike, y 90 degrees anticlockwise from it, z up.
    x = np.cos(st) * north + np.sin(st) * east
    y = np.sin(st) * north - np.cos(st) * east
    z = -depth
    a1, a2 = (1 - alpha) / 2, alpha / 2
    b, c = _bc_terms(x, y, source_depth - z, z, sd, cd, alpha)
    u = (-_a_term(x, y, source_depth + z, sd, cd, a1, a2) +
         _a_term(x, y, source_depth - z, sd, cd, a1, a2) + b + z * c) / (2 * np.pi)
    return np.stack([np.cos(st) * u[:, 0] + np.sin(st) * u[:, 1],
                     np.sin(st) * u[:, 0] - np.cos(st) * u[:, 1], u[:, 2]], axis=-1)


def gradient(north, east, depth, source_depth, strike, dip, alpha, step=1e-30):
    """du_i/dx_j [kind, i, j] (x north, y east, z up for both) by complex steps."""
    return np.stack([displacement(north + 1j * step * e[0], east + 1j * step * e[1],
                                  depth - 1j * step * e[2], source_depth, strike, dip,
                                  alpha).imag / step for e in np.eye(3)], axis=-1)


def moment_tensor(kind, strike, dip, lam, mu):
    """The moment tensor (x north, y east, z down) of unit potency of the kind."""
    st, dp = np.radians(strike), np.radians(dip)
    normal = np.array([-np.sin(dp) * np.sin(st), np.sin(dp) * np.cos(st), -np.cos(dp)])
    along = np.array([np.cos(st), np.sin(st), 0.0])  # rake 0
    up_dip = np.cross(normal, along)  # rake 90, the hanging wall's motion in a reverse fault
    if kind == "inflation":
        return mu * np.eye(3)
    if kind == "tensile":
        return lam * np.eye(3) + 2 * mu * np.outer(normal, normal)
    slip = along if kind == "strike-slip" else up_dip
    return mu * (np.outer(slip, normal) + np.outer(normal, slip))
