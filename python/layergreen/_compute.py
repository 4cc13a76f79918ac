"""layergreen.greens: the spectra of one data set (a source depth and a set of receivers)
computed by the program's kernel, and the choice of XL and IKMAX by the sampling rules of
docs/classic.md; layergreen.statics: the static displacements of the same source and receivers."""

import warnings
from typing import NamedTuple, Optional

import numpy as np

from . import _layergreen


class Greens(NamedTuple):
    """The result of :func:`greens`.

    spectra: complex [receiver, frequency, element, component] (sources="force": [receiver,
        frequency, force, component]; quantity="pressure": [receiver, frequency, element, 1]).
    iterations: int [frequency], wavenumber steps taken (ikmax + 1 when a sum did not converge).
    force_spectra: complex [receiver, frequency, force, component] when forces were asked for
        (with sources="force" the same array as spectra), else None.
    strain, rotation: complex [receiver, frequency, element, 6] and [..., 3] when asked for by
        quantity (of the forces with sources="force"), else None; force_strain and
        force_rotation those of the forces. With quantity="strain" (or "rotation", or a tuple
        starting with one), spectra is that array. See docs/strain.md.
    """
    spectra: np.ndarray
    iterations: np.ndarray
    force_spectra: Optional[np.ndarray] = None
    strain: Optional[np.ndarray] = None
    rotation: Optional[np.ndarray] = None
    force_strain: Optional[np.ndarray] = None
    force_rotation: Optional[np.ndarray] = None


class Statics(NamedTuple):
    """The result of :func:`statics`.

    displacements: float [receiver, element, component] (None with quantity="strain" or
        "rotation").
    xl, kmax: the wavenumber sampling used (dk = 2 pi / xl, samples up to kmax).
    values: the quantity asked for: [receiver, element, component] of the displacement (the
        same array as displacements), [receiver, element, 6] of the strain or [..., 3] of the
        rotation.
    """
    displacements: Optional[np.ndarray]
    xl: float
    kmax: float
    values: Optional[np.ndarray] = None


def statics(layers, source_depth, receivers, xl=None, kmax=None, sources="moment",
            quantity="displacement"):
    """Static displacements (t -> infinity after a step in moment) of the six elements.

    layers: (n, 4) or (n, 6) array as for :func:`greens` (thickness, vp, vs, rho; qp and qs
        play no part: the moduli are mu = rho vs^2, lambda = rho vp^2 - 2 mu).
    source_depth, receivers: as for :func:`greens` (x, y from the source's epicentre, depth).
    xl, kmax: the wavenumber sampling (dk = 2 pi / xl, samples up to kmax); None chooses
        xl = 60 x the largest distance or depth and kmax = 30 / |source depth - receiver depth|
        (receivers at the source depth: 15 over the distance to the nearest interface), which
        gives about 1e-6 of each receiver's largest value.

    Water layers (vs = 0) at the top carry no shear and, in this static limit, no load: the
    result is that of the solid beneath a free sea floor, and a receiver in the water gets the
    sea floor's displacement beneath it.

    Elements xy, xz, -yz, zz-xx, zz-yy, xx+yy+zz (moment tensor in x north, y east, z down);
    components x, y and z positive up; model length per unit moment, as the spectra (km, km/s,
    g/cm^3: times 1e-15 gives metres per newton-metre). These are the values a bank stores in
    /statics. Returns Statics(displacements [receiver, element, component], xl, kmax); bad
    arguments raise ValueError.

    sources="force": the displacements [receiver, force, component] left by a step in force
    along x (north), y (east) and z (down), in model length per unit force (km, km/s, g/cm^3:
    times 1e-12 gives metres per newton; see docs/forces.md), the values a bank stores in
    /force_statics.

    quantity="strain" or "rotation": the static strain (eps_xx, eps_yy, eps_zz, eps_xy, eps_xz,
    eps_yz) or rotation (half the curl along north, east, up) in .values, frames as for
    :func:`greens` (docs/strain.md); not at the source's depth nor at x = y = 0.
    """
    moment, force = _source_kinds(sources)
    if quantity not in QUANTITIES:
        raise ValueError(f'statics takes quantity "displacement", "strain" or "rotation", not '
                         f'{quantity!r}')
    if moment and force:
        raise ValueError('statics takes sources="moment" or sources="force", one at a time')
    layers = np.ascontiguousarray(layers, dtype=float)
    receivers = np.ascontiguousarray(receivers, dtype=float)
    if receivers.ndim == 1 and receivers.shape == (3,):
        receivers = receivers.reshape(1, 3)
    xl = None if xl is None else float(xl)
    kmax = None if kmax is None else float(kmax)
    if quantity != "displacement":
        _refuse_gradients_with_water(layers)
        values, xl_used, kmax_used = _layergreen.static_quantity(
            layers, float(source_depth), receivers, xl, kmax, force, quantity)
        return Statics(None, xl_used, kmax_used, values)
    u, xl_used, kmax_used = _layergreen.statics(layers, float(source_depth), receivers, xl, kmax,
                                                force)
    return Statics(u, xl_used, kmax_used, u)


SOURCE_KINDS = ("moment", "force")


QUANTITIES = ("displacement", "strain", "rotation")


def _quantities(quantity, pressure=False):
    """The quantities of a quantity argument: one name or a sequence of them, in order
    (pressure: "pressure" is accepted too, alone)."""
    names = (quantity,) if isinstance(quantity, str) else tuple(quantity)
    for q in names:
        if q not in QUANTITIES and not (pressure and q == "pressure"):
            alone = ', or "pressure"' if pressure else ""
            raise ValueError(f'quantity takes "displacement", "strain", "rotation" or a tuple of '
                             f'them{alone}, not {q!r}')
    if not names:
        raise ValueError("quantity must name at least one quantity")
    return names


def _refuse_gradients_with_water(layers):
    """Strain and rotation are built for solid models; an ocean's are not offered."""
    if layers.ndim == 2 and layers.shape[1] >= 3 and np.any(layers[:, 2] == 0):
        raise ValueError("strain and rotation are not computed in models with fluid layers "
                         "(vs = 0)")


def _source_kinds(sources):
    """(moment, force) flags of a sources argument: "moment", "force" or a sequence of them."""
    kinds = (sources,) if isinstance(sources, str) else tuple(sources)
    for k in kinds:
        if k not in SOURCE_KINDS:
            raise ValueError(f'sources takes "moment", "force" or both, not {k!r}')
    if not kinds:
        raise ValueError('sources must name at least one of "moment" and "force"')
    return "moment" in kinds, "force" in kinds


def auto_sampling(layers, source_depth, receivers, nfreq, tl, uconv=1e-4):
    """XL and IKMAX for a data set by the sampling rules (docs/classic.md, "Choosing TL, AW,
    XL, IKMAX and UCONV").

    XL = 1.2 (r_max + vp_max tl), so that the source images of the wavenumber sum arrive after
    tl; IKMAX is the smallest value the IKMAX rule accepts for that XL: the wavenumber
    2 pi f_max / vs_min of the slowest S waves plus ln(100 / uconv) / dz for the evanescent
    waves, dz the smallest non-zero source-receiver depth difference (uconv = 0: the files'
    rounding 5e-7 in place of uconv). Both are rounded up to two significant digits. The same
    C++ code chooses a bank's "auto" values and is what `layergreen --check` checks against.
    Returns (xl, ikmax).
    """
    layers = np.ascontiguousarray(layers, dtype=float)
    receivers = np.ascontiguousarray(receivers, dtype=float)
    return _layergreen.auto_sampling(layers, float(source_depth), receivers, int(nfreq),
                                     float(tl), float(uconv))


def greens(layers, source_depth, receivers, nfreq, tl, aw=2.0, xl=None, ikmax=None,
           uconv=1e-4, q_law="classic", q_reference_hz=1.0, threads=None, sources="moment",
           quantity="displacement"):
    """Spectra of the six moment-tensor elements at every receiver of one data set.

    layers: (n, 6) array, one row per layer, top down, the half-space last: thickness (the
        half-space's is not used), vp, vs, rho, qp, qs, as in the bank file's /model/layers.
    source_depth: depth of the source, positive down.
    receivers: (n, 3) array of x, y (relative to the source's epicentre; x north, y east) and
        depth of each receiver.
    nfreq, tl, aw: frequencies 0, 1/tl, ..., (nfreq-1)/tl, at the complex angular frequency
        2 pi f - i pi aw/tl.
    xl, ikmax: periodicity length and largest index of the wavenumber sum (step 2 pi/xl); None
        chooses them with :func:`auto_sampling`.
    uconv: convergence threshold of the wavenumber sums (0: every frequency runs to ikmax).
    q_law: "classic" (the result files' anelastic law) or "constant-q" (with q_reference_hz).
    threads: worker threads (None: OMP_NUM_THREADS, else every hardware thread). The numbers
        are the same for every count. The GIL is released while computing.
    sources: "moment" (the six moment-tensor elements), "force" (point forces along x north,
        y east and z down) or ("moment", "force"); see docs/forces.md. With both, the wavenumber
        sums run until those of both kinds have converged.
    quantity: "displacement", or "pressure" in the water (spectra [receiver, frequency,
        element, 1], positive in compression, in model units of density x velocity^2 per unit
        moment; every receiver in the water, at most at the sea floor; zero at the sea surface).

    Fluid layers (an ocean): rows with vs = 0 at the top of the model, over a solid (qs is
    not used; the classic law takes qs = qp for them). The source lies in the solid; a receiver
    at the sea floor's depth is in the solid (an ocean-bottom seismometer), one above it in the
    water. See docs/ocean.md.

    Units are those of the model (for example km, km/s, g/cm^3). The spectra follow the result
    files' conventions: U(w) = integral u(t) exp(-i w t) dt at the complex frequencies, the
    impulse response (displacement for a moment history delta(t)), moment tensor in x, y, z
    (z down), components x, y, z with z positive up, elements xy, xz, -yz, zz-xx, zz-yy,
    xx+yy+zz; with km, km/s, g/cm^3, times 1e-15 gives metres per newton-metre. The numbers are
    those of a classic run of the same data set. Forces: forces along x, y, z (z down), the
    impulse response in model length per unit force (km, km/s, g/cm^3: times 1e-12 gives metres
    per newton); see docs/forces.md.

    quantity: "displacement", "strain" (eps_xx, eps_yy, eps_zz, eps_xy, eps_xz, eps_yz, tensor
        components in x north, y east, z up), "rotation" (half the curl of the displacement
        along north, east and up) or a tuple of them; spectra holds the first, the result's
        strain and rotation attributes the others. See docs/strain.md. Strain and rotation at a
        receiver on the vertical through the source (x = y = 0) are not computed.

    Returns Greens(spectra [receiver, frequency, element, component], iterations [frequency]).
    Bad arguments raise ValueError with the words of the command line's messages.
    """
    layers = np.ascontiguousarray(layers, dtype=float)
    receivers = np.ascontiguousarray(receivers, dtype=float)
    if xl is None or ikmax is None:
        try:
            xl_auto, ikmax_auto = auto_sampling(layers, source_depth, receivers, nfreq, tl, uconv)
        except (ValueError, TypeError):
            # Arguments that cannot be right; the module names their problem.
            xl_auto, ikmax_auto = 1.0, 0
        xl = xl_auto if xl is None else xl
        ikmax = ikmax_auto if ikmax is None else ikmax
    moment, force = _source_kinds(sources)
    quantities = _quantities(quantity, pressure=True)
    if "pressure" in quantities and len(quantities) > 1:
        raise ValueError('quantity "pressure" is computed alone, not with other quantities')
    gradient = "strain" in quantities or "rotation" in quantities
    if gradient:
        _refuse_gradients_with_water(layers)
    if gradient and receivers.ndim == 2 and receivers.shape[1] == 3 and np.any(
            (receivers[:, 0] == 0) & (receivers[:, 1] == 0)):
        raise ValueError("strain and rotation are not computed at x = y = 0 (on the vertical "
                         "through the source)")
    (spectra, iterations, converged, force_spectra, strain, rotation, force_strain,
     force_rotation) = _layergreen.greens(
        layers, float(source_depth), receivers, int(nfreq), float(tl), float(aw), float(xl),
        int(ikmax), float(uconv), q_law, float(q_reference_hz), threads, moment, force, gradient,
        "pressure" if "pressure" in quantities else "displacement")
    if not moment:
        spectra, strain, rotation = force_spectra, force_strain, force_rotation
    if not force:
        force_spectra = force_strain = force_rotation = None
    if "strain" not in quantities:
        strain = force_strain = None
    if "rotation" not in quantities:
        rotation = force_rotation = None
    displacement = spectra
    spectra = {"displacement": displacement, "pressure": displacement, "strain": strain,
               "rotation": rotation}[quantities[0]]
    if uconv > 0 and not converged.all():
        bad = np.flatnonzero(~converged)
        warnings.warn(f"{len(bad)} of {nfreq} frequencies reached IKMAX = {ikmax} without "
                      f"converging (highest frequency {bad[-1] / tl:g})", RuntimeWarning,
                      stacklevel=2)
    if not all(np.all(np.isfinite(a)) for a in (displacement, force_spectra, strain, rotation,
                                                 force_strain, force_rotation) if a is not None):
        warnings.warn("some spectra are not finite numbers; the model or the sampling leaves the "
                      "computation without a finite result there", RuntimeWarning, stacklevel=2)
    return Greens(spectra, iterations, force_spectra, strain, rotation, force_strain,
                  force_rotation)
