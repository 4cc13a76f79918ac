#!/usr/bin/python3
"""Reference static displacements of a layered half-space, computed independently of the
program's recursion: the motion-stress equations of each layer at zero frequency propagated with
matrix exponentials (Thomson-Haskell), the source as jumps of that vector, and the Hankel
integrals by Gauss-Legendre panels of one Bessel oscillation each (12 and 20 nodes, their
difference reported on standard error).

Reads one JSON object on standard input:
  {"layers": [[thickness, vp, vs, rho], ...], "source_depth": zs,
   "receivers": [[x, y, depth], ...]}
and writes a JSON list with, per receiver, the 6 elements (xy, xz, -yz, zz-xx, zz-yy,
xx+yy+zz) by 3 components (x north, y east, vertical up), per unit moment.
Receivers must not lie at the source depth.
"""
import json
import sys

import numpy as np
from scipy.linalg import expm, solve
from scipy.special import jv


def moduli(layer):
    _, vp, vs, rho = layer
    mu = rho * vs * vs
    return rho * vp * vp - 2 * mu, mu


def psv_matrix(k, lam, mu):
    # y = (U, V, R, S): vertical (down) and horizontal amplitudes, normal and shear traction.
    l2m = lam + 2 * mu
    return np.array([[0, lam * k / l2m, 1 / l2m, 0],
                     [-k, 0, 0, 1 / mu],
                     [0, 0, 0, k],
                     [0, 4 * k * k * mu * (lam + mu) / l2m, -k * lam / l2m, 0]])


def sh_matrix(k, mu):
    # y = (W, T)
    return np.array([[0, 1 / mu], [mu * k * k, 0]])


class Model:
    def __init__(self, layers, zs):
        self.layers = layers
        self.tops = np.concatenate([[0.0], np.cumsum([l[0] for l in layers[:-1]])])
        self.zs = zs

    def index(self, z, upper):
        # Layer holding depth z; at an interface, the upper layer when `upper`.
        i = 0
        for j in range(1, len(self.layers)):
            if self.tops[j] < z or (self.tops[j] == z and not upper):
                i = j
        return i

    def propagate(self, basis, z_from, z_to, k, sh):
        # Carries solution columns from depth z_from to z_to (either direction), unscaled: the
        # wavenumbers and depths used keep k*z well below the range of doubles.
        y = basis.copy()
        z = z_from
        step = 1 if z_to > z_from else -1
        while z != z_to:
            if step > 0:
                i = self.index(z, upper=False)
                bound = self.tops[i + 1] if i + 1 < len(self.layers) else np.inf
                znext = min(bound, z_to)
            else:
                i = self.index(z, upper=True)
                znext = max(self.tops[i], z_to)
            lam, mu = moduli(self.layers[i])
            a = sh_matrix(k, mu) if sh else psv_matrix(k, lam, mu)
            y = expm(a * (znext - z)) @ y
            z = znext
        return y

    def from_half_space(self, decaying, z, k, sh):
        # The solutions decaying into the half-space, at depth z: the same subspace anywhere
        # inside the half-space, carried upwards above it.
        if z >= self.tops[-1]:
            return decaying
        return self.propagate(decaying, self.tops[-1], z, k, sh)

    def solve(self, k, depths, sh):
        """Displacement amplitudes at the given depths for unit jumps of each vector component."""
        n = 2 if sh else 4
        half = self.layers[-1]
        lam, mu = moduli(half)
        a = sh_matrix(k, mu) if sh else psv_matrix(k, lam, mu)
        # Solutions decaying with depth: the range of (A - kI)^(n/2), which annihilates the
        # growing ones (eigenvalue +k, a Jordan block for P-SV).
        left = np.linalg.svd(np.linalg.matrix_power(a - k * np.eye(n), n // 2))[0]
        decaying = left[:, : n // 2]
        below = self.from_half_space(decaying, self.zs, k, sh)
        surface = np.eye(n)[:, : n // 2]  # zero traction
        above = self.propagate(surface, 0.0, self.zs, k, sh)
        out = []
        for z in depths:
            if z < self.zs:
                b_at = self.propagate(surface, 0.0, z, k, sh)
                b_src = self.propagate(b_at, z, self.zs, k, sh)
            else:
                # Always carried upwards, the direction in which these solutions grow.
                b_at = self.from_half_space(decaying, z, k, sh)
                b_src = self.propagate(b_at, z, self.zs, k, sh)
            # y(zs+) - y(zs-) = jump, with y(zs-) from `above`, y(zs+) from `below`.
            upper = z < self.zs
            m = np.hstack([below, -above])
            norms = np.linalg.norm(m, axis=0)
            coeffs = solve(m / norms, np.eye(n)) / norms[:, None]  # columns: unit jumps
            part = coeffs[n // 2:, :] if upper else coeffs[: n // 2, :]
            base = above if upper else below
            # b_at spans the same solutions as base, up to a change of basis within the span.
            change = np.linalg.lstsq(b_src, base, rcond=None)[0]
            y = b_at @ change @ part
            out.append(y[: n // 2, :])
        return out


def displacements(layers, zs, receivers):
    model = Model(layers, zs)
    lam_s, mu_s = moduli(layers[model.index(zs, upper=True)])
    l2m = lam_s + 2 * mu_s
    depths = sorted({r[2] for r in receivers})
    dz = min(abs(z - zs) for z in depths)
    rmax = max(np.hypot(r[0], r[1]) for r in receivers)

    tensors = [dict(xy=1), dict(xz=1), dict(yz=-1), dict(zz=1, xx=-1), dict(zz=1, yy=-1),
               dict(xx=1, yy=1, zz=1)]
    # Fourier terms (m, pattern) of the jumps of each element: [U], [V], [R], [S/k] and [W],
    # [T/k]. The tractions come from horizontal gradients of the source: a factor k added below.
    terms = [(0, "c"), (1, "c"), (1, "s"), (2, "c"), (2, "s")]
    jp = np.zeros((6, 5, 4))
    js = np.zeros((6, 5, 2))
    for e, t in enumerate(tensors):
        g = lambda key: t.get(key, 0.0)
        a = g("xx") - lam_s * g("zz") / l2m
        d = g("yy") - lam_s * g("zz") / l2m
        jp[e, 0] = [g("zz") / l2m, 0, 0, (a + d) / 2]
        jp[e, 1] = [0, g("xz") / mu_s, 0, 0]
        js[e, 1] = [g("yz") / mu_s, 0]
        jp[e, 2] = [0, g("yz") / mu_s, 0, 0]
        js[e, 2] = [-g("xz") / mu_s, 0]
        jp[e, 3] = [0, 0, 0, (d - a) / 2]
        js[e, 3] = [0, -g("xy")]
        jp[e, 4] = [0, 0, 0, -g("xy")]
        js[e, 4] = [0, (a - d) / 2]
    jp /= 2 * np.pi
    js /= 2 * np.pi
    ms = np.array([m for m, _ in terms])
    rs = np.array([np.hypot(x, y) for x, y, _ in receivers])
    phis = np.array([np.arctan2(y, x) if r > 0 else 0.0 for (x, y, _), r in zip(receivers, rs)])
    cos_t = np.array([[np.cos(m * p) if pat == "c" else np.sin(m * p) for m, pat in terms]
                      for p in phis])
    # d/dphi of the pattern divided by m: cos -> -sin, sin -> cos.
    dsin_t = np.array([[-np.sin(m * p) if pat == "c" else np.cos(m * p) for m, pat in terms]
                       for p in phis])
    slot = [depths.index(z) for _, _, z in receivers]

    def integrand(k):
        scale = np.array([1, 1, k, k])
        psv = model.solve(k, depths, sh=False)
        sh = model.solve(k, depths, sh=True)
        res = np.zeros((len(receivers), 6, 3))
        for i in range(len(receivers)):
            j = slot[i]
            uv = np.einsum("ij,etj->eti", psv[j], jp * scale)  # (6, 5, 2): U, V
            w = np.einsum("j,etj->et", sh[j][0], js * np.array([1, k]))  # (6, 5)
            kr = k * rs[i]
            jm = jv(ms, kr)
            djm = np.where(ms == 0, -jv(1, kr), (jv(ms - 1, kr) - jv(ms + 1, kr)) / 2)
            over = ms * jm / kr if kr > 0 else np.where(ms == 1, 0.5, 0.0)
            uz = np.sum(uv[:, :, 0] * jm * cos_t[i], axis=1)
            ur = np.sum(uv[:, :, 1] * djm * cos_t[i] - w * over * dsin_t[i], axis=1)
            uf = np.sum(uv[:, :, 1] * over * dsin_t[i] + w * djm * cos_t[i], axis=1)
            c, s = np.cos(phis[i]), np.sin(phis[i])
            res[i, :, 0] = ur * c - uf * s
            res[i, :, 1] = ur * s + uf * c
            res[i, :, 2] = -uz
        return res * k

    # The propagators lose about 2 k |z| of the 16 digits (the field above the source is carried
    # down from the free surface), so the sum stops where e^(-k dz) is 2e-9 and the error left
    # by the cut stays near 1e-7 of the largest values.
    kmax = 20.0 / dz
    # Gauss-Legendre panels, one per oscillation of the farthest receiver's Bessel functions,
    # from a wavenumber where the integrands (proportional to k) are negligible; each panel is
    # summed with 12 and 20 nodes and the difference reported as the error estimate.
    length = max(rmax, dz)
    step = 2 * np.pi / length
    edges = np.concatenate([[1e-5 / length], np.arange(step, kmax, step), [kmax]])
    total = np.zeros((len(receivers), 6, 3))
    coarse = np.zeros_like(total)
    rules = [np.polynomial.legendre.leggauss(n) for n in (12, 20)]
    for lo, hi in zip(edges[:-1], edges[1:]):
        half, mid = (hi - lo) / 2, (hi + lo) / 2
        values = {}
        for n, (x, w) in enumerate(rules):
            acc = np.zeros_like(total)
            for xi, wi in zip(x, w):
                acc += wi * half * integrand(mid + half * xi)
            values[n] = acc
        coarse += values[0]
        total += values[1]
    error = np.abs(total - coarse).max() / np.abs(total).max()
    sys.stderr.write(f"static_reference: {len(edges) - 1} panels, relative difference of the "
                     f"12- and 20-node sums {error:.1e}\n")
    return total


def main():
    request = json.load(sys.stdin)
    u = displacements([list(map(float, l)) for l in request["layers"]], float(request["source_depth"]),
                      [list(map(float, r)) for r in request["receivers"]])
    json.dump(u.tolist(), sys.stdout)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
