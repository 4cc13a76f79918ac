"""Static displacement, strain, rotation and tilt of point sources in a half-space against the
closed form of okada_point.py, at receivers at the surface and buried above and below the
source. Each source (strike-slip, dip-slip and tensile on planes of several strikes and dips,
and inflation; their moment tensors span the six elements) is the elements weighted by its
moment tensor.

Frames: x north, y east, z up; strain eps_xx, eps_yy, eps_zz, eps_xy, eps_xz, eps_yz, rotation
half the curl along north, east, up."""

import numpy as np
import pytest

import layergreen
import okada_point
from layergreen.mechanism import element_weights
from test_forces import RHO, VP, VS
from test_strain import strain_rotation

MU = RHO * VS * VS
LAM = RHO * VP * VP - 2 * MU
HALF_SPACE = np.array([[1.0, VP, VS, RHO]])
SOURCE_DEPTH = 5.0
RECEIVERS = np.array([[3.0, 4.0, 0.0], [-6.0, 2.0, 0.0], [2.0, -7.0, 0.0], [2.0, -3.0, 2.0],
                      [-4.0, -5.0, 8.0], [5.0, 1.0, 12.0]])
SOURCES = [("strike-slip", 30, 60), ("dip-slip", 30, 60), ("tensile", 30, 60),
           ("inflation", 0, 90), ("strike-slip", 110, 90), ("dip-slip", 200, 20)]


@pytest.fixture(scope="module")
def okada():
    """Displacement [source, receiver, i] and gradient du_i/dx_j [source, receiver, i, j]."""
    alpha = (LAM + MU) / (LAM + 2 * MU)
    u, g = [], []
    for kind, strike, dip in SOURCES:
        k = okada_point.KINDS.index(kind)
        u.append([okada_point.displacement(*r, SOURCE_DEPTH, strike, dip, alpha)[k]
                  for r in RECEIVERS])
        g.append([okada_point.gradient(*r, SOURCE_DEPTH, strike, dip, alpha)[k]
                  for r in RECEIVERS])
    return np.array(u), np.array(g)


@pytest.mark.parametrize("quantity", ["displacement", "strain", "rotation"])
def test_statics_match_okada_point_sources(okada, quantity):
    """The difference is the wavenumber sampling's: with xl = 4000 km the worst relative error
    (per source and receiver, the largest difference over the largest value) is 1.9e-8 for
    displacement, 4.2e-9 for strain, 3.5e-9 for rotation, 2.6e-9 for tilt. It falls as xl^-4
    (strain 4.0e-6 with the default xl = 720 km here, 6.8e-8 with 2000 km) down to about
    7e-10, where the default kmax (30 over the 3 km between source and nearest receiver depth)
    shows; 1.7e-11 with xl = 16000 km and kmax = 15/km."""
    result = layergreen.statics(HALF_SPACE, SOURCE_DEPTH, RECEIVERS, quantity=quantity,
                                xl=4000.0)
    values = result.displacements if quantity == "displacement" else result.values
    weights = np.array([element_weights(okada_point.moment_tensor(k, s, d, LAM, MU))
                        for k, s, d in SOURCES])
    got = np.einsum("se,re...->sr...", weights, values)
    u, g = okada
    expect = {"displacement": u, "strain": strain_rotation(g)[0],
              "rotation": strain_rotation(g)[1]}[quantity]
    pairs = [(got, expect)]
    if quantity == "rotation":
        surface = RECEIVERS[:, 2] == 0
        pairs.append((layergreen.tilt(got[:, surface]), g[:, surface, 2, :2]))
    for a, b in pairs:
        worst = (np.abs(a - b).max(axis=-1) / np.abs(b).max(axis=-1)).max()
        print(f"static {quantity} against Okada's point sources: worst {worst:.2e}")
        assert worst < 5e-8
