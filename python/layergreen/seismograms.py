"""Seismograms from spectra by the code of layergreen-seis (inverse transform with the damping
correction, source time functions, causal Butterworth low-pass), and the rotation of the
horizontal components."""

import numpy as np

from . import _layergreen

COMPONENT_SETS = ("xyz", "zne", "zrt")


def source_text(source):
    """The layergreen-seis --source text of "impulse", "step", ("triangle", D) or ("ramp", D)."""
    if isinstance(source, str):
        return source
    try:
        kind, duration = source
    except (TypeError, ValueError):
        raise ValueError('source must be "impulse", "step", ("triangle", D) or ("ramp", D), '
                         f"not {source!r}") from None
    return f"{kind}:{float(duration)!r}"


def seismograms(spectra, tl, aw, source="impulse", lowpass=None, poles=4, taper=0.7):
    """Time series of spectra [..., frequency, element, component] given at the frequencies
    k/tl, k = 0 ... nfreq-1, with damping aw (complex angular frequency 2 pi f - i pi aw/tl).

    Exactly what layergreen-seis computes: 2 nfreq samples at dt = tl/(2 nfreq), the first at
    the source origin time; the damping undone by exp(pi aw t/tl).
    source: "impulse" (the spectra as they are: displacement for a moment history delta(t),
        which is the ground velocity for a step in moment), "step" (displacement for a step),
        ("triangle", D) (moment rate an isosceles triangle of duration D, final moment 1) or
        ("ramp", D) (M(t) = (1 - cos(pi t/D))/2 up to D).
    lowpass, poles: causal Butterworth low-pass, corner frequency in cycles per time unit.
    taper: width (fraction of the band) of the smooth, causal (minimum-phase) taper over the
        top of the band that layergreen-seis applies by default (0.7); None or 0 for none.
    Spectra of any [..., frequency, source, component] shape (the forces' three sources, the
    strain's six components, the rotation's three) are taken trace by trace the same way.
    Returns (t, traces [..., element, component, sample]).
    """
    shape = np.shape(spectra)
    if len(shape) >= 3 and shape[-2:] != _TRACES_PER_CALL:
        return _any_shape(spectra, tl, aw, source, lowpass, poles, taper)
    nfreq = np.shape(spectra)[-3]
    if lowpass is not None and float(lowpass) > (nfreq - 1) / float(tl):
        raise ValueError(f"lowpass = {lowpass} is above the highest frequency of the spectra, "
                         f"{(nfreq - 1) / float(tl):.6g} ((nfreq - 1)/tl); choose a corner "
                         "below it")
    dt, traces = _layergreen.seismograms(np.ascontiguousarray(spectra, dtype=complex),
                                         float(tl), float(aw), source_text(source),
                                         None if lowpass is None else float(lowpass), int(poles),
                                         float(taper or 0.0))
    return np.arange(traces.shape[-1]) * dt, traces


# The [element, component] shape the C++ seismograms take: any other is sent in blocks of it.
_TRACES_PER_CALL = (len(_layergreen.source_kinds["moment tensor"]["labels"]),
                    len(_layergreen.quantities["displacement"]["codes"]))


def _any_shape(spectra, tl, aw, source, lowpass, poles, taper):
    """seismograms of spectra [..., frequency, source, component] of another shape: their
    traces in blocks of _TRACES_PER_CALL, the last one padded with zeros."""
    spectra = np.asarray(spectra, dtype=complex)
    lead, (nfreq, ns, nc) = spectra.shape[:-3], spectra.shape[-3:]
    block = _TRACES_PER_CALL[0] * _TRACES_PER_CALL[1]
    traces = np.moveaxis(spectra, -3, -1).reshape(lead + (ns * nc, nfreq))
    blocks = -(-(ns * nc) // block)
    pad = np.zeros(lead + (blocks * block - ns * nc, nfreq), complex)
    grouped = np.concatenate([traces, pad], axis=-2).reshape(lead + (blocks,) + _TRACES_PER_CALL
                                                              + (nfreq,))
    t, out = seismograms(np.moveaxis(grouped, -1, -3), tl, aw, source, lowpass, poles, taper)
    out = out.reshape(lead + (blocks * block, out.shape[-1]))[..., :ns * nc, :]
    return t, out.reshape(lead + (ns, nc, out.shape[-1]))


def force_seismograms(spectra, tl, aw, source="impulse", lowpass=None, poles=4, taper=0.7):
    """:func:`seismograms` of force spectra [..., frequency, force, component]: the traces
    [..., force, component, sample], each made as that of a moment-tensor element."""
    spectra = np.asarray(spectra, dtype=complex)
    n = spectra.shape[-2]
    pad = np.zeros(spectra.shape[:-2] + (len(_layergreen.source_kinds["moment tensor"]["labels"])
                                         - n, spectra.shape[-1]), complex)
    t, traces = seismograms(np.concatenate([spectra, pad], axis=-2), tl, aw, source, lowpass,
                            poles, taper)
    return t, traces[..., :n, :, :]


def rotate(traces, components, azimuth=None):
    """Components x, y, z (axis -2 of traces) as "xyz", "zne" (x north, y east) or "zrt".

    zrt: radial away from the source along ``azimuth`` (degrees from x towards y, the station
    seen from the source), transverse 90 degrees clockwise from it seen from above (towards
    azimuth + 90); z is positive up in every set.
    """
    if components not in COMPONENT_SETS:
        raise ValueError(f'components must be "xyz", "zne" or "zrt", not {components!r}')
    x, y, z = traces[..., 0, :], traces[..., 1, :], traces[..., 2, :]
    if components == "xyz":
        return traces
    if components == "zne":
        return np.stack([z, x, y], axis=-2)
    if azimuth is None or not np.isfinite(azimuth):
        raise ValueError("radial and transverse need an azimuth (none at zero distance)")
    a = np.radians(azimuth)
    radial = np.cos(a) * x + np.sin(a) * y
    transverse = -np.sin(a) * x + np.cos(a) * y
    return np.stack([z, radial, transverse], axis=-2)
