"""The forward model of a bank: a kinematic slip model summed into displacement seismograms and
static offsets at the bank's stations (Bank.forward)."""

import inspect
import math
import os

import numpy as np

from .mechanism import element_weights, strike_dip_rake
from .seismograms import rotate, seismograms
from .slip_model import to_local
from .slip_statics import rigidity, static_sum, subfault_moments, subfault_tensors

SOURCES = ("triangle", "cosine", "asymmetric-cosine", "sampled", "file")


# -- moment-rate functions at complex frequencies ----------------------------------------------

def _one_minus_exp_over(x):
    """(1 - exp(-x))/x, with its series near x = 0 (as the seismograms' source functions)."""
    x = np.asarray(x, complex)
    small = np.abs(x) < 1e-4
    safe = np.where(small, 1.0, x)
    return np.where(small, 1.0 - x / 2.0 + x * x / 6.0, (1.0 - np.exp(-safe)) / safe)


def _triangle(w, d):
    box = _one_minus_exp_over(1j * w * (d / 2.0))
    return box * box


def _cosine(w, d):
    """Transform of (pi/(2D)) sin(pi t/D) on [0, D], the rate of the ramp (1 - cos(pi t/D))/2.
    Its poles at w = +-pi/D are removable and lie on the real axis, which the damped
    frequencies never reach."""
    if d == 0:
        return np.ones_like(w)
    a = math.pi / d
    return a * a * (1.0 + np.exp(-1j * w * d)) / (2.0 * (a * a - w * w))


def _cos_part(w, a):
    """Integral over [0, a] of cos(pi t/a) exp(-i w t) dt."""
    if a == 0:
        return np.zeros_like(w)
    p = math.pi / a
    return 1j * w * (1.0 + np.exp(-1j * w * a)) / (p * p - w * w)


def _asymmetric_cosine(w, rise, fall):
    """Transform of the unit-area slip rate (1 - cos(pi t/rise)) on [0, rise] followed by
    (1 + cos(pi (t - rise)/fall)) on [rise, rise + fall], divided by rise + fall."""
    if rise + fall == 0:
        return np.ones_like(w)
    up = rise * _one_minus_exp_over(1j * w * rise) - _cos_part(w, rise)
    down = fall * _one_minus_exp_over(1j * w * fall) + _cos_part(w, fall)
    return (up + np.exp(-1j * w * rise) * down) / (rise + fall)


def _sampled(w, rate, dt):
    """Transform of the slip rate rate[n] at t = n dt, linear between samples, scaled to unit
    area."""
    rate = np.asarray(rate, float)
    if len(rate) == 0 or rate.sum() == 0:
        return np.ones_like(w)
    n = np.arange(len(rate))
    # Linear interpolation: each sample a triangle of half-width dt centred on it.
    hat = np.exp(1j * w * dt) * _triangle(w, 2.0 * dt)
    return (np.exp(-1j * np.outer(w, n * dt)) @ rate) * hat / rate.sum()


def moment_rate(slip_model, omega, source="triangle"):
    """Transforms [subfault, frequency] of the subfaults' moment-rate functions (unit area),
    delayed by their rupture times, at the complex angular frequencies omega.

    source: "triangle" (isosceles, of the subfault's slip duration), "cosine" ((pi/(2D))
    sin(pi t/D), the rate of the ramp (1 - cos(pi t/D))/2), "asymmetric-cosine" (rise and fall
    times of .param files), "sampled" (the SRF slip-rate samples, linear between them) or
    "file" (the file's own: "asymmetric-cosine" for .param, "sampled" for SRF). The duration D
    is the rise time (plus the fall time of .param files)."""
    omega = np.asarray(omega, complex)
    name = slip_model.path or "the slip model"
    if source not in SOURCES:
        raise ValueError(f"source must be one of {', '.join(SOURCES)}, not {source!r}")
    if source == "file":
        source = {"param": "asymmetric-cosine", "srf": "sampled"}.get(slip_model.format)
        if source is None:
            raise ValueError(f'{name}: source="file" needs a .param or SRF file, whose slip '
                             "functions they give")
    if source == "asymmetric-cosine" and "fall_time" not in slip_model.extras:
        raise ValueError(f"{name}: the asymmetric cosine needs rise and fall times (.param)")
    if source == "sampled" and "slip_rate" not in slip_model.extras:
        raise ValueError(f"{name}: sampled slip-rate functions come from SRF files")
    times = slip_model.rupture_time
    durations = slip_model.durations()
    for what, values in (("rupture time", times), ("rise time", durations)):
        bad = np.flatnonzero(~np.isfinite(values) | (values < 0))
        if source == "sampled" and what == "rise time":
            continue
        if len(bad):
            raise ValueError(f"{name}: subfault {bad[0]} (from 0) has no valid {what} "
                             f"({values[bad[0]]!r}); the forward sum needs one for every "
                             "subfault")
    out = np.empty((len(slip_model), len(omega)), complex)
    for j in range(len(slip_model)):
        if source == "triangle":
            f = _triangle(omega, durations[j])
        elif source == "cosine":
            f = _cosine(omega, durations[j])
        elif source == "asymmetric-cosine":
            f = _asymmetric_cosine(omega, slip_model.rise_time[j],
                                   slip_model.extras["fall_time"][j])
        else:
            f = _sampled(omega, slip_model.extras["slip_rate"][j],
                         slip_model.extras["slip_rate_dt"][j])
        out[j] = f * np.exp(-1j * omega * times[j])
    return out


# -- matching a slip model to a bank -----------------------------------------------------------

def _bank_positions(bank, slip_model):
    """The slip model's subfault centres in the bank's frame (x, y), after checking that they
    are the bank's subfaults: the same count and, within a tenth of a subfault's size (or 10 m),
    the same places and depths. Returns (x, y, offset) where offset = bank frame minus the slip
    model's frame about its hypocentre."""
    name = slip_model.path or "the slip model"
    sub = bank.subfaults
    if len(slip_model) != len(sub):
        raise ValueError(f"{name} has {len(slip_model)} subfaults, {bank.path} has {len(sub)}: "
                         "the slip model must be the bank's own")
    tol = np.maximum(0.1 * np.sqrt(slip_model.area), 0.01)
    h5 = bank._h5["subfaults"]
    geo = "lat" in h5 and "lon" in h5 and slip_model.has_geographic and \
        np.isfinite(h5["lat"][()]).all() and np.isfinite(h5["lon"][()]).all()
    if geo:
        ox, oy = to_local(slip_model.hypocentre.lat, slip_model.hypocentre.lon,
                          h5["lat"][()], h5["lon"][()])
        mx, my = slip_model.local()
        offset = np.array([np.mean(sub.x - ox), np.mean(sub.y - oy)])
        dx, dy = ox - mx, oy - my
    else:
        mx, my = slip_model.local()
        offset = np.array([np.mean(sub.x - mx), np.mean(sub.y - my)])
        dx, dy = sub.x - mx - offset[0], sub.y - my - offset[1]
    far = np.hypot(dx, dy)
    deep = np.abs(sub.depth - slip_model.depth)
    bad = np.flatnonzero(~(far <= tol) | ~(deep <= tol))
    if len(bad):
        j = bad[0]
        raise ValueError(f"{name}: subfault {j} (from 0) lies {far[j]:.3g} km from the bank's "
                         f"subfault {j} and {deep[j]:.3g} km above or below it: the slip model's "
                         f"subfaults are not those of {bank.path}")
    return mx + offset[0], my + offset[1], offset


# -- the result ---------------------------------------------------------------------------------

class Forward:
    """The forward model of a slip model at a bank's stations.

    ``t`` (s, from the origin time: rupture times count from it), ``waveforms`` [station,
    component, sample] (displacement, m; or with ``quantity`` "strain" [station, 6, sample]
    and "rotation" [station, 3, sample], dimensionless and radians, "pressure" [station, 1,
    sample], Pa), ``static`` [station, 3]
    (final offsets north, east, up, m; of strain or rotation when the bank holds their
    statics, else None), ``quantity``, ``components`` ("zne", "zrt" or "xyz"), ``stations``
    (the bank's),
    ``station_azimuth`` (degrees, the station seen from the epicentre), ``epicentre`` (x, y in
    the bank's frame), ``hypocentre`` (the slip model's), ``moment`` [subfault] (N m),
    ``processing`` (dict).
    """

    def __init__(self, **kw):
        self.__dict__.update(kw)

    def __repr__(self):
        return (f"Forward({self.waveforms.shape[0]} stations, {self.components}, "
                f"{self.waveforms.shape[2]} samples at {self.t[1] - self.t[0]:g} s)")

    def to_npz(self, path):
        """Writes t, waveforms, static, the station table, the moments and the processing to
        a numpy .npz file."""
        st = self.stations
        np.savez(path, t=self.t, waveforms=self.waveforms,
                 static=np.full((len(self.waveforms), self.waveforms.shape[1]), np.nan)
                 if self.static is None else self.static,
                 quantity=self.quantity, components=self.components, station_name=np.array(st.name),
                 station_x=st.x, station_y=st.y,
                 station_lat=st.lat if st.lat is not None else np.full(len(st), np.nan),
                 station_lon=st.lon if st.lon is not None else np.full(len(st), np.nan),
                 station_azimuth=self.station_azimuth, moment=self.moment,
                 hypocentre=np.array(tuple(self.hypocentre)),
                 **{k: v for k, v in self.processing.items()})

    def to_sac(self, folder, extra=None):
        """Writes one SAC file per station and component, NAME.C.sac (C one of the component
        letters), displacement in metres, with the station's and the hypocentre's coordinates
        (STLA, STLO, EVLA, EVLO, EVDP when known), distance and azimuths from the epicentre.
        All or none: every file is made and written under a temporary name first, then all are
        renamed. extra: further {file name: bytes} written the same way. Returns the paths.
        (Displacement only: strain and rotation go to .npz files.)"""
        if getattr(self, "quantity", "displacement") != "displacement":
            raise ValueError(f"SAC files are written for displacement, not {self.quantity}; "
                             "use to_npz")
        os.makedirs(folder, exist_ok=True)
        st, hyp = self.stations, self.hypocentre
        files = []
        for i, name in enumerate(st.name):
            if name in ("", ".", "..") or "/" in name or "\\" in name or len(name) > 8 or \
                    any(ord(c) < 0x20 or ord(c) == 0x7f for c in name):
                raise ValueError(f"station name {name!r} cannot be a SAC file name and KSTNM; "
                                 "no SAC files were written")
            ex, ey = st.x[i] - self.epicentre[0], st.y[i] - self.epicentre[1]
            az = float(np.degrees(np.arctan2(ey, ex)) % 360.0)
            for c, letter in enumerate(self.components):
                cmpaz, cmpinc = _component_angles(letter, az)
                header = {"delta": self.t[1] - self.t[0], "b": self.t[0], "o": 0.0,
                          "dist": float(np.hypot(ex, ey)), "az": az,
                          "baz": (az + 180.0) % 360.0, "evdp": hyp.depth,
                          "cmpaz": cmpaz, "cmpinc": cmpinc, "kstnm": name,
                          "kcmpnm": letter.upper()}
                if st.lat is not None:
                    header.update(stla=float(st.lat[i]), stlo=float(st.lon[i]))
                if np.isfinite(hyp.lat):
                    header.update(evla=hyp.lat, evlo=hyp.lon)
                files.append((os.path.join(os.fspath(folder), f"{name}.{letter.upper()}.sac"),
                              sac_bytes(self.waveforms[i, c], header)))
        for name, data in (extra or {}).items():
            files.append((os.path.join(os.fspath(folder), name), data))
        done = []
        try:
            for path, data in files:
                with open(path + ".partial", "wb") as f:
                    done.append(path + ".partial")
                    f.write(data)
            for path, _ in files:
                os.replace(path + ".partial", path)
        except OSError:
            for partial in done:
                if os.path.exists(partial):
                    os.remove(partial)
            raise
        return [p for p, _ in files]


def _component_angles(letter, azimuth):
    """SAC CMPAZ and CMPINC of a component letter (z up, n, e, r away from the epicentre, t 90
    degrees clockwise from r; x north, y east)."""
    return {"z": (0.0, 0.0), "n": (0.0, 90.0), "x": (0.0, 90.0), "e": (90.0, 90.0),
            "y": (90.0, 90.0), "r": (azimuth, 90.0),
            "t": ((azimuth + 90.0) % 360.0, 90.0)}[letter]


_SAC_FLOATS = {"delta": 0, "depmin": 1, "depmax": 2, "b": 5, "e": 6, "o": 7, "stla": 31,
               "stlo": 32, "evla": 35, "evlo": 36, "evdp": 38, "dist": 50, "az": 51, "baz": 52,
               "depmen": 56, "cmpaz": 57, "cmpinc": 58}


def sac_bytes(data, header):
    """A little-endian SAC file (header version 6, evenly sampled time series of displacement)
    of the samples and the header values given (floats by name, kstnm, kcmpnm)."""
    data = np.asarray(data, "<f4")
    floats = np.full(70, -12345.0, "<f4")
    for key, word in _SAC_FLOATS.items():
        if key in header and header[key] is not None and np.isfinite(header[key]):
            floats[word] = header[key]
    floats[1], floats[2], floats[56] = data.min(), data.max(), data.mean()
    floats[6] = header["b"] + (len(data) - 1) * header["delta"]
    ints = np.full(40, -12345, "<i4")
    ints[76 - 70], ints[79 - 70], ints[85 - 70], ints[86 - 70] = 6, len(data), 1, 6  # IDISP
    ints[105 - 70:110 - 70] = (1, 1, 1, 0, 0)  # leven, lpspol, lovrok, lcalda, unused
    text = bytearray(b"-12345  " * 24)
    text[8:24] = b"-12345          "

    def put(at, width, s):
        text[at:at + width] = s.encode("ascii").ljust(width)

    put(0, 8, header["kstnm"])
    put(600 - 440, 8, header["kcmpnm"])
    return floats.tobytes() + ints.tobytes() + bytes(text) + data.tobytes()


# -- the sum ------------------------------------------------------------------------------------

# The datasets and component counts of each quantity a bank may hold.
_QUANTITY_DATA = {"displacement": ("spectra", "statics", 3),
                  "strain": ("strain_spectra", "strain_statics", 6),
                  "rotation": ("rotation_spectra", "rotation_statics", 3),
                  "pressure": ("pressure_spectra", "pressure_statics", 1)}


def forward(bank, slip_model, source="triangle", lowpass=None, poles=4, components="zne",
            moment="model", quantity="displacement"):
    """See :meth:`layergreen.Bank.forward`."""
    from .bank import Bank  # the default taper of Bank.seismograms is the processing's

    if components not in ("zne", "zrt", "xyz"):
        raise ValueError(f'components must be "zne", "zrt" or "xyz", not {components!r}')
    if quantity not in _QUANTITY_DATA:
        raise ValueError('quantity must be "displacement", "strain", "rotation" or "pressure", '
                         f"not {quantity!r}")
    if quantity not in bank.quantities:
        raise ValueError(f"{bank.path} holds no {quantity} spectra (compute the bank with "
                         f'quantities = ["displacement", "{quantity}"] in its [bank] table)')
    if quantity == "strain" and components != "xyz":
        raise ValueError('strain is a tensor: its components are xx, yy, zz, xy, xz, yz '
                         '(components="xyz"), not rotated')
    spectra_name, statics_name, ncomp = _QUANTITY_DATA[quantity]
    # Strain and rotation are displacement over the model's length unit: with m0 in units of
    # 1e15 N m and km, per 1e18 N m for a dimensionless value.
    # The pressure is in density x velocity^2 (g/cm^3 x (km/s)^2 = 1e9 Pa) per 1e18 N m: with
    # m0 in units of 1e15 N m, times 1e6 for pascals.
    scale = {"displacement": 1.0, "pressure": 1e6}.get(quantity, 1e-3)
    _, _, offset = _bank_positions(bank, slip_model)
    h5 = bank._h5["subfaults"]
    area_from_bank = "area" in h5
    if area_from_bank:
        slip_model = _with_area(slip_model, h5["area"][()])
    mu = h5["mu"][()] if "mu" in h5 else rigidity(bank.layers, bank.subfaults.depth)
    m0 = subfault_moments(slip_model, mu, moment)  # model units: 1e15 N m
    tensors = subfault_tensors(slip_model, m0)
    weights = np.array([element_weights(strike_dip_rake(slip_model.strike[j],
                                                        slip_model.dip[j],
                                                        slip_model.rake[j], m0[j]))
                        for j in range(len(slip_model))])  # [subfault, element]
    nfreq = len(bank.frequencies)
    omega = 2.0 * np.pi * np.arange(nfreq) / bank.tl + 1j * bank.omega_imag
    rate = moment_rate(slip_model, omega, source)  # [subfault, frequency]
    factor = weights[:, None, :] * (rate / (1j * omega))[:, :, None]  # [subfault, freq, element]
    nst = len(bank.stations)
    summed = np.zeros((nst, nfreq, 6, ncomp), complex)
    for i in range(nst):
        g = bank._h5[spectra_name][i]  # [subfault, frequency, element, component]
        summed[i, :, 0, :] = np.einsum("jfe,jfec->fc", factor, g)
    taper = inspect.signature(Bank.seismograms).parameters["taper"].default
    t, traces = seismograms(summed, bank.tl, bank.aw, "impulse", lowpass, poles, taper)
    traces = traces[:, 0] * scale  # [station, component, sample]
    epicentre = offset  # the hypocentre's place in the bank's frame
    azimuth = np.degrees(np.arctan2(bank.stations.y - epicentre[1],
                                    bank.stations.x - epicentre[0])) % 360.0
    if components != "xyz" and quantity != "pressure":  # the pressure is a scalar
        traces = np.array([rotate(traces[i], components, azimuth[i]) for i in range(nst)])
    if statics_name in bank._h5:
        static = np.einsum("je,ijec->ic", weights, bank._h5[statics_name][()]) * scale
    elif quantity != "displacement":
        static = None  # the bank holds no static values of the quantity (the pressure has none)
    else:
        static = static_sum(bank.layers, bank.subfaults.x, bank.subfaults.y,
                            bank.subfaults.depth, tensors, bank.stations.x, bank.stations.y)
    return Forward(t=t, waveforms=traces, static=static, components=components, quantity=quantity,
                   stations=bank.stations, station_azimuth=azimuth, epicentre=epicentre,
                   hypocentre=slip_model.hypocentre, moment=m0 * 1e15,
                   processing={"source": source, "lowpass": np.nan if lowpass is None
                               else float(lowpass), "poles": int(poles),
                               "moment_from": moment,
                               "area_from": "bank" if area_from_bank else "slip model",
                               "mu_from": "bank" if "mu" in h5 else "bank model"})


def _with_area(slip_model, area):
    """A copy of the slip model with the bank's subfault areas."""
    import copy
    out = copy.copy(slip_model)
    out.area = np.asarray(area, float)
    return out
