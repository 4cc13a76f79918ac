"""layergreen.Bank: a bank file of `layergreen bank` (HDF5, read with h5py), its spectra,
seismograms, synthetics for any mechanism, and export to SAC and npz. A file that is not a
bank, is cut short or has a damaged chunk is refused with an error naming the file."""

import os
import tomllib

import h5py
import numpy as np

from . import _layergreen, sac
from .mechanism import element_weights, mechanism_tensor, strike_dip_rake
from .seismograms import force_seismograms, rotate, seismograms, source_text


FORMAT = "layergreen-bank"
FORMAT_VERSION = 2  # the newest layout this package reads; files before version 2 have none
# What a bank without the format attribute (one written before it) must hold.
_LAYOUT = ("spectra", "iterations", "frequencies", "stations/name", "subfaults/x",
           "model/layers")


def _text(value, default=None):
    if value is None:
        return default
    return value.decode(errors="replace") if isinstance(value, bytes) else str(value)


def _damaged(path, name, error):
    return OSError(f"{path}: /{name} cannot be read: the file is damaged or cut short ({error})")


def _read(path, h5, name, index=()):
    """h5[name][index], a failed read (a damaged chunk) an OSError naming file and dataset."""
    try:
        return h5[name][index]
    except OSError as e:
        raise _damaged(path, name, e) from None


def _strings(values):
    return [v.decode() if isinstance(v, bytes) else str(v) for v in values]


class Stations:
    """The stations of a bank: ``name`` (list of str), ``x``, ``y`` (north, east, in the model's
    length unit), ``depth`` (below the free surface: sea-floor stations) and, when the
    configuration gave them, ``lat``, ``lon`` (degrees; else None)."""

    def __init__(self, group):
        self.name = _strings(group["name"][()])
        self.x = group["x"][()]
        self.y = group["y"][()]
        self.lat = group["lat"][()] if "lat" in group else None
        self.lon = group["lon"][()] if "lon" in group else None
        # Stations without lat/lon in a geographic bank are NaN there.
        # Sea-floor stations sit below the free surface; a bank without them has all at 0.
        self.depth = group["depth"][()] if "depth" in group else np.zeros(len(self.x))

    def __len__(self):
        return len(self.name)


class Subfaults:
    """The subfaults of a bank (index i from 0 is subfault number i + 1): centre ``x``, ``y``,
    ``depth``, fault ``row`` and ``along_strike`` index, and ``strike``, ``dip`` (degrees; None
    when the bank gives neither per-subfault values nor a [fault] strike and dip).

    For moments: ``area`` (model length squared; None when the subfault list gave none) and
    ``mu``, the rigidity rho vs^2 of the layer that holds the centre (GPa for g/cm^3 and km/s;
    the layer below for a centre on an interface); ``lat``, ``lon`` of the centres for a
    geographic fault (else None)."""

    def __init__(self, group, strike, dip):
        self.x = group["x"][()]
        self.y = group["y"][()]
        self.depth = group["depth"][()]
        self.row = group["row"][()]
        self.along_strike = group["along_strike"][()]
        for key in ("area", "mu", "lat", "lon"):
            setattr(self, key, group[key][()] if key in group else None)
        n = len(self.x)
        self.strike = None if strike is None else np.broadcast_to(np.asarray(strike, float), (n,))
        self.dip = None if dip is None else np.broadcast_to(np.asarray(dip, float), (n,))

    def __len__(self):
        return len(self.x)


def _fault_angles(h5):
    """Strike and dip per subfault, or the [fault] strike and dip of the configuration text
    kept in the root attributes, or (None, None)."""
    sub = h5["subfaults"]
    if "strike" in sub and "dip" in sub:
        return sub["strike"][()], sub["dip"][()]
    for value in h5.attrs.values():
        if isinstance(value, bytes):
            value = value.decode(errors="replace")
        if not isinstance(value, str) or "[fault]" not in value:
            continue
        try:
            fault = tomllib.loads(value).get("fault", {})
        except tomllib.TOMLDecodeError:
            continue
        if "strike" in fault and "dip" in fault:
            return float(fault["strike"]), float(fault["dip"])
    return None, None


class Bank:
    """A bank file, opened for reading; the spectra are read pair by pair when asked for.

    ``stations`` (:class:`Stations`), ``subfaults`` (:class:`Subfaults`), ``frequencies`` (the
    real frequencies k/tl), ``tl``, ``aw``, ``omega_imag`` (= -pi aw/tl), ``layers`` [layer, 6],
    ``q_law`` and ``xl``, ``ikmax``, ``uconv`` describe the bank. Stations are given by index (from 0) or name, subfaults by
    index from 0 (subfault number minus one).

    Conventions are those of the result files and layergreen-seis: x north, y east, z up for
    the components; moment tensors in x, y, z down (or r, t, p); the spectra are the impulse
    response at the complex frequencies; with km, km/s and g/cm^3 a value times 1e-15 is in
    metres per newton-metre.
    """

    def __init__(self, path):
        self.path = os.fspath(path)
        try:
            self._h5 = h5py.File(self.path, "r")
        except OSError as e:
            raise OSError(f"{self.path}: cannot open it as a bank file ({e})") from None
        try:
            self._check_format()
            self._read_tables()
        except Exception as e:
            self._h5.close()
            if isinstance(e, KeyError):
                raise ValueError(f"{self.path}: not a whole bank file ({e})") from None
            if isinstance(e, OSError) and not str(e).startswith(f"{self.path}:"):
                raise OSError(f"{self.path}: cannot be read: the file is damaged or cut short "
                              f"({e})") from None
            raise

    def _check_format(self):
        h5 = self._h5
        fmt = _text(h5.attrs.get("format"))
        if fmt is None:
            missing = [name for name in _LAYOUT if name not in h5]
            if missing:
                raise ValueError(f"{self.path}: not a bank file (no format attribute and no "
                                 f"/{missing[0]})")
            self.format_version = 1
        elif fmt != FORMAT:
            raise ValueError(f"{self.path}: not a bank file (its format is {fmt!r})")
        else:
            self.format_version = int(h5.attrs.get("format_version", 0))
            if not 1 <= self.format_version <= FORMAT_VERSION:
                raise ValueError(f"{self.path}: format_version {self.format_version} is not one "
                                 f"this package reads (1 to {FORMAT_VERSION})")
        # How the file stores its spectra: "double" (complex128) or "single" (complex64), and
        # "none" or "gzip"; the spectra are returned as complex128 either way.
        self.precision = _text(h5.attrs.get("precision"), "double")
        self.compression = _text(h5.attrs.get("compression"), "none")
        # What the sums met (counts over the bank; None for files without them).
        self.outcome = {key: int(h5.attrs[key]) for key in
                        ("sums", "sums_unconverged", "sums_nonfinite", "data_sets",
                         "data_sets_unconverged", "data_sets_nonfinite")
                        if key in h5.attrs} or None

    def _read_tables(self):
        freq = self._h5["frequencies"]
        self.frequencies = _read(self.path, self._h5, "frequencies")
        self.tl = float(freq.attrs["tl"])
        self.aw = float(freq.attrs["aw"])
        self.omega_imag = float(freq.attrs["omega_imag"]) if "omega_imag" in freq.attrs \
            else -np.pi * self.aw / self.tl
        self.stations = Stations(self._h5["stations"])
        self.subfaults = Subfaults(self._h5["subfaults"], *_fault_angles(self._h5))
        model = self._h5["model/layers"]
        self.layers = model[()]
        q_law = model.attrs.get("q_law", "classic")
        self.q_law = q_law.decode() if isinstance(q_law, bytes) else str(q_law)
        # The wavenumber sampling the bank was computed with (None when not recorded).
        self.xl = float(model.attrs["xl"]) if "xl" in model.attrs else None
        self.ikmax = int(model.attrs["ikmax"]) if "ikmax" in model.attrs else None
        self.uconv = float(model.attrs["uconv"]) if "uconv" in model.attrs else None
        self._rows = np.unique(self.subfaults.row)
        shape = self._h5["spectra"].shape
        if shape[:3] != (len(self.stations), len(self.subfaults), len(self.frequencies)):
            raise ValueError(f"{self.path}: /spectra {shape} does not fit the bank's "
                             f"{len(self.stations)} stations, {len(self.subfaults)} subfaults "
                             f"and {len(self.frequencies)} frequencies")

    def verify(self):
        """Reads every chunk of every dataset; returns the problems found, one line each
        naming dataset and chunk (an empty list: the file is whole)."""
        problems = []

        def visit(name, obj):
            if not isinstance(obj, h5py.Dataset) or obj.size == 0:
                return
            slices = obj.iter_chunks() if obj.chunks else [()]
            for where in slices:
                try:
                    obj[where]
                except OSError as e:
                    problems.append(f"{self.path}: /{name} {where}: {e}")

        self._h5.visititems(visit)
        return problems

    def close(self):
        self._h5.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __repr__(self):
        return (f"Bank({self.path!r}: {len(self.stations)} stations, {len(self.subfaults)} "
                f"subfaults, {len(self.frequencies)} frequencies)")

    # -- indices and geometry ------------------------------------------------------------------
    def station_index(self, station):
        """The index of a station given by index or name."""
        if isinstance(station, str):
            try:
                return self.stations.name.index(station)
            except ValueError:
                raise ValueError(f"no station named {station!r} in {self.path}") from None
        i = int(station)
        if not 0 <= i < len(self.stations):
            raise ValueError(f"station index {i} is out of range: the bank has "
                             f"{len(self.stations)} stations")
        return i

    def subfault_index(self, subfault):
        i = int(subfault)
        if not 0 <= i < len(self.subfaults):
            raise ValueError(f"subfault index {i} is out of range: the bank has "
                             f"{len(self.subfaults)} subfaults (indices from 0)")
        return i

    def distance(self, station, subfault):
        """Horizontal distance of the station from the subfault's centre."""
        return float(_read(self.path, self._h5, "geometry/distance",
                           (self.station_index(station), self.subfault_index(subfault))))

    def azimuth(self, station, subfault):
        """Azimuth of the station seen from the subfault (degrees from x towards y); None at
        zero distance."""
        i, j = self.station_index(station), self.subfault_index(subfault)
        if _read(self.path, self._h5, "geometry/distance", (i, j)) == 0:
            return None
        return float(_read(self.path, self._h5, "geometry/azimuth", (i, j)))

    def back_azimuth(self, station, subfault):
        """Back azimuth: the subfault seen from the station (degrees clockwise from north; on the
        ellipsoid for a geographic bank); None at zero distance."""
        i, j = self.station_index(station), self.subfault_index(subfault)
        if _read(self.path, self._h5, "geometry/distance", (i, j)) == 0:
            return None
        if "geometry/back_azimuth" not in self._h5:
            return (float(_read(self.path, self._h5, "geometry/azimuth", (i, j))) + 180.0) % 360.0
        return float(_read(self.path, self._h5, "geometry/back_azimuth", (i, j)))

    # -- spectra and time series ---------------------------------------------------------------
    def spectra(self, station, subfault):
        """Complex spectra [frequency, element, component] of one station and subfault
        (complex128, also from a bank of precision "single")."""
        return np.asarray(_read(self.path, self._h5, "spectra",
                                (self.station_index(station), self.subfault_index(subfault))),
                          dtype=np.complex128)

    def iterations(self, station, subfault):
        """Wavenumber steps taken [frequency] by the data set of the station and the subfault's
        row."""
        row = np.searchsorted(self._rows, self.subfaults.row[self.subfault_index(subfault)])
        return _read(self.path, self._h5, "iterations", (self.station_index(station), row))

    def seismograms(self, station, subfault, source="impulse", lowpass=None, poles=4,
                    components="xyz", taper=0.7, sources="moment", quantity="displacement"):
        """Time series of the six elements, as layergreen-seis makes them (sources="force": of
        the three forces of :meth:`force_spectra`, traces [force, component, sample]).

        source: "impulse" (velocity for a step in moment), "step", ("triangle", D) or
        ("ramp", D) (displacement for a final moment of 1); lowpass, poles: causal Butterworth
        low-pass (corner in cycles per time unit); taper: the top-of-band taper of
        layergreen-seis (width 0.7 by default, None for none); components: "xyz", "zne" (x north, y east)
        or "zrt" (radial away from the source, transverse 90 degrees clockwise from it), in
        that order, z up. Returns (t, traces [element, component, sample]), t from the source
        origin time.

        quantity: "strain" or "rotation" for the traces of :meth:`strain_spectra` or
        :meth:`rotation_spectra` (banks computed with them in ``[bank] quantities``), traces
        [element, 6 | 3, sample]; the strain's components are xx, yy, zz, xy, xz, yz
        (components must be "xyz"), the rotation's x, y, z take components as the
        displacement's do. quantity="pressure" (banks with the pressure in the water): traces
        [element, 1, sample] of :meth:`pressure_spectra`, a scalar (components not used).
        """
        if sources not in ("moment", "force"):
            raise ValueError(f'sources must be "moment" or "force", not {sources!r}')
        if quantity == "strain" and components != "xyz":
            raise ValueError('the strain\'s components are those of x, y, z: give components="xyz"')
        spectra = self._quantity_spectra(quantity, sources == "force", station, subfault)
        make = force_seismograms if sources == "force" else seismograms
        t, traces = make(spectra, self.tl, self.aw, source, lowpass, poles, taper)
        if quantity in ("strain", "pressure"):
            return t, traces
        azimuth = self.azimuth(station, subfault) if components == "zrt" else None
        return t, rotate(traces, components, azimuth)

    def synthetic(self, station, subfault, mechanism=None, m0=1.0, frame="xyz", source="impulse",
                  lowpass=None, poles=4, components="xyz", force=None, quantity="displacement"):
        """The three components of the field of one source mechanism at a station.

        mechanism: (strike, dip, rake) in degrees with scalar moment m0, or a moment tensor
        (3 x 3, or six components (Mxx, Myy, Mzz, Mxy, Mxz, Myz) for frame "xyz", (Mrr, Mtt,
        Mpp, Mrt, Mrp, Mtp) for frame "rtp") multiplied by m0. The field is the sum of the
        elements with the weights of :func:`layergreen.element_weights`; it is in the model's
        units times the unit of m0 (km, km/s, g/cm^3 and m0 in N m: times 1e-15 for metres).
        Other arguments as for :meth:`seismograms`. Returns (t, u [component, sample]).

        force: (fx, fy, fz) in place of a mechanism: a point force along x (north), y (east)
        and z (down) at the subfault, its history given by ``source`` as for a moment ("step":
        a force switched on at t = 0); in the model's units times the unit of the force (km,
        km/s, g/cm^3 and the force in N: times 1e-12 for metres). Needs a bank with forces.

        quantity: "strain" or "rotation" (see :meth:`seismograms`) for u [6 | 3, sample] of
        that quantity (km, km/s, g/cm^3: times 1e-18 per N m, 1e-15 per N).
        """
        if (mechanism is None) == (force is None):
            raise ValueError("synthetic takes either a mechanism or a force")
        if force is not None:
            f = np.asarray(force, dtype=float)
            if f.shape != (3,) or not np.all(np.isfinite(f)):
                raise ValueError(f"force must be three finite numbers (fx, fy, fz), not {force!r}")
            t, traces = self.seismograms(station, subfault, source, lowpass, poles, components,
                                         sources="force", quantity=quantity)
            return t, np.tensordot(f, traces, axes=(0, 0))
        weights = element_weights(mechanism_tensor(mechanism, m0, frame))
        t, traces = self.seismograms(station, subfault, source, lowpass, poles, components,
                                     quantity=quantity)
        return t, np.tensordot(weights, traces, axes=(0, 0))

    def strike_dip_slip(self, station, subfault, rake_pair=(0, 90), m0=1.0, source="impulse",
                        lowpass=None, poles=4, components="xyz"):
        """The two slip Green's functions of a linear slip inversion: the fields of unit slip
        directions rake_pair (degrees; default along strike and up dip) on the subfault's own
        strike and dip, scalar moment m0. Returns (t, u [rake, component, sample])."""
        j = self.subfault_index(subfault)
        if self.subfaults.strike is None:
            raise ValueError(f"{self.path} gives no strike and dip of its subfaults")
        strike, dip = self.subfaults.strike[j], self.subfaults.dip[j]
        weights = np.array([element_weights(strike_dip_rake(strike, dip, rake, m0))
                            for rake in rake_pair])
        t, traces = self.seismograms(station, j, source, lowpass, poles, components)
        return t, np.tensordot(weights, traces, axes=(1, 0))

    # -- static displacements ------------------------------------------------------------------
    @property
    def has_statics(self):
        """True when the bank was computed with ``[bank] statics = true``."""
        return "statics" in self._h5

    def statics(self, station, subfault):
        """Static displacements [element, component] of one station and subfault: the value
        after a step in moment (t -> infinity) of the six elements, components x, y, z (z up),
        in model length per unit moment (km, km/s, g/cm^3: times 1e-15 for metres per N m)."""
        if not self.has_statics:
            raise ValueError(f"{self.path} holds no static displacements (compute the bank with "
                             "statics = true in its [bank] table)")
        return _read(self.path, self._h5, "statics",
                     (self.station_index(station), self.subfault_index(subfault)))

    def static_offsets(self, station, subfault, mechanism, m0=1.0, frame="xyz"):
        """The static offset (x north, y east, z up) of the station for a source mechanism at
        the subfault, as for :meth:`synthetic` (a strike, dip, rake triple in degrees with scalar
        moment m0, or a moment tensor times m0): in the model's units times the unit of m0 (km,
        km/s, g/cm^3 and m0 in N m: times 1e-15 for metres). For InSAR, project it on the unit
        vector from the ground to the satellite (in x, y, z up)."""
        weights = element_weights(mechanism_tensor(mechanism, m0, frame))
        return weights @ self.statics(station, subfault)

    # -- forward model --------------------------------------------------------------------------
    def forward(self, slip_model, source="triangle", lowpass=None, poles=4, components="zne",
                moment="model", quantity="displacement"):
        """The displacement seismograms and static offsets of a kinematic slip model (a
        :class:`layergreen.SlipModel` whose subfaults are this bank's, in its order) at every
        station: the sum over the subfaults of moment mu area slip (mu and area from the bank
        when it holds them, else mu = rho vs^2 of the layer holding the subfault's centre and the
        slip model's areas; moment="file": the file's own moments), mechanism strike, dip, rake,
        moment-rate function ``source`` ("triangle", "cosine", "asymmetric-cosine", "sampled",
        "file") delayed by the rupture time, each a factor at the complex frequencies, then one
        inverse transform per station and component with the processing of :meth:`synthetic`.
        Returns a :class:`layergreen.forward.Forward` (t, waveforms [station, component,
        sample] in m, static [station, 3] north, east, up in m, to_sac, to_npz).
        quantity="strain" or "rotation" (banks computed with them): the same sum of the strain
        (components xx, yy, zz, xy, xz, yz; components="xyz") or rotation spectra,
        dimensionless and in radians; quantity="pressure": the pressure in the water
        (waveforms [station, 1, sample] in Pa, positive in compression; static None)."""
        from .forward import forward
        return forward(self, slip_model, source, lowpass, poles, components, moment, quantity)

    # -- export ---------------------------------------------------------------------------------
    def _pairs(self, stations, subfaults):
        st = range(len(self.stations)) if stations is None else \
            [self.station_index(s) for s in stations]
        sf = range(len(self.subfaults)) if subfaults is None else \
            [self.subfault_index(s) for s in subfaults]
        return [(i, j) for i in st for j in sf]

    def to_sac(self, folder, stations=None, subfaults=None, source="impulse", lowpass=None,
               poles=4, taper=0.7):
        """Writes the 18 SAC files of every station and subfault (or of those given) into
        folder, named NAME.N.e1x.sac ... NAME.N.e6z.sac for station NAME and subfault number N
        (index + 1), by the C++ writer of layergreen-seis: the same files as layergreen-seis
        makes of a result file of the same spectra. Each pair's files are written all or none.

        The headers hold DIST, AZ, BAZ, CMPAZ, CMPINC and KSTNM (the name cut to 8 characters;
        the whole name is the file name's first part); for a geographic bank also STLA, STLO,
        STEL (0), EVLA, EVLO (the subfault's centre) and EVDP (its depth, km), and BAZ on the
        ellipsoid.
        Returns the list of the pairs' file stems."""
        os.makedirs(folder, exist_ok=True)
        stems = []
        for i, j in self._pairs(stations, subfaults):
            name = self.stations.name[i]
            # A name that is not a plain file name would put the files elsewhere than folder.
            if name in ("", ".", "..") or "/" in name or "\\" in name or \
                    any(ord(c) < 0x20 or ord(c) == 0x7f for c in name):
                raise ValueError(f"{self.path}: station name {name!r} cannot be a file name; "
                                 "no SAC files were written for it")
            stem = os.path.join(os.fspath(folder), f"{name}.{j + 1}")
            _layergreen.write_sac(stem, self.distance(i, j), self.azimuth(i, j),
                                  float(self.subfaults.depth[j]), 0.0, self.spectra(i, j),
                                  self.tl, self.aw, source_text(source),
                                  None if lowpass is None else float(lowpass), int(poles),
                                  float(taper or 0.0))
            sac.set_fields(self._sac_paths(stem), self.sac_fields(i, j))
            stems.append(stem)
        return stems

    def sac_fields(self, station, subfault):
        """The SAC header fields of a station's traces from a subfault (see
        :func:`layergreen.sac.site_fields`): KSTNM, and the coordinates for a geographic bank."""
        i, j = self.station_index(station), self.subfault_index(subfault)
        f = self.subfaults
        if self.stations.lat is None or f.lat is None:
            return sac.site_fields(self.stations.name[i])
        return sac.site_fields(self.stations.name[i], self.stations.lat[i], self.stations.lon[i],
                               f.lat[j], f.lon[j], f.depth[j],
                               back_azimuth=self.back_azimuth(i, j))

    @staticmethod
    def _sac_paths(stem):
        elements = _layergreen.source_kinds["moment tensor"]["codes"]
        components = _layergreen.quantities["displacement"]["codes"]
        return [f"{stem}.{e}{c}.sac" for e in elements for c in components]

    def to_npz(self, path, stations=None, subfaults=None, source="impulse", lowpass=None,
               poles=4, components="xyz"):
        """Writes a numpy .npz file with the spectra [station, subfault, frequency, element,
        component] and the seismograms [station, subfault, element, component, sample] (see
        :meth:`seismograms`) of the stations and subfaults given (default all), the time
        axis ``t``, ``frequencies``, ``tl``, ``aw``, the station and subfault tables, the
        distances and azimuths, and the processing in words."""
        st = list(range(len(self.stations))) if stations is None else \
            [self.station_index(s) for s in stations]
        sf = list(range(len(self.subfaults))) if subfaults is None else \
            [self.subfault_index(s) for s in subfaults]
        spectra = np.array([[self.spectra(i, j) for j in sf] for i in st])
        t, traces = seismograms(spectra, self.tl, self.aw, source, lowpass, poles)
        if components != "xyz":
            traces = np.array([[rotate(traces[a, b], components,
                                       self.azimuth(i, j) if components == "zrt" else None)
                                for b, j in enumerate(sf)] for a, i in enumerate(st)])
        np.savez(path, spectra=spectra, seismograms=traces, t=t, frequencies=self.frequencies,
                 tl=self.tl, aw=self.aw, components=components,
                 source=source_text(source), lowpass=np.nan if lowpass is None else lowpass,
                 poles=poles, station_name=np.array([self.stations.name[i] for i in st]),
                 station_x=self.stations.x[st], station_y=self.stations.y[st],
                 subfault_index=np.array(sf), subfault_x=self.subfaults.x[sf],
                 subfault_y=self.subfaults.y[sf], subfault_depth=self.subfaults.depth[sf],
                 distance=self._h5["geometry/distance"][()][np.ix_(st, sf)],
                 azimuth=self._h5["geometry/azimuth"][()][np.ix_(st, sf)])

    # -- forces -------------------------------------------------------------------------------
    @property
    def has_forces(self):
        """True when the bank was computed with ``[bank] sources = ["moment", "force"]``."""
        return "force_spectra" in self._h5

    def force_spectra(self, station, subfault):
        """Complex spectra [frequency, force, component] of one station and subfault: forces
        along x (north), y (east) and z (down) at the subfault, components x, y, z (z up), in
        model length per unit force (km, km/s, g/cm^3: times 1e-12 for metres per newton)."""
        if not self.has_forces:
            raise ValueError(f"{self.path} holds no force spectra (compute the bank with "
                             'sources = ["moment", "force"] in its [bank] table)')
        return np.asarray(_read(self.path, self._h5, "force_spectra",
                                (self.station_index(station), self.subfault_index(subfault))),
                          dtype=np.complex128)

    def force_statics(self, station, subfault):
        """Static displacements [force, component] after a step in force (see
        :meth:`force_spectra`); banks with forces and statics."""
        if "force_statics" not in self._h5:
            raise ValueError(f"{self.path} holds no static displacements of forces (compute the "
                             'bank with statics = true and sources = ["moment", "force"])')
        return _read(self.path, self._h5, "force_statics",
                     (self.station_index(station), self.subfault_index(subfault)))

    # -- strain and rotation ------------------------------------------------------------------
    @property
    def quantities(self):
        """The quantities the bank holds: ("displacement",) and, as ``[bank] quantities``
        asked for them, "strain", "rotation" and "pressure"."""
        return ("displacement",) + tuple(q for q in ("strain", "rotation", "pressure")
                                         if f"{q}_spectra" in self._h5)

    def _quantity_spectra(self, quantity, force, station, subfault):
        if quantity not in ("displacement", "strain", "rotation", "pressure"):
            raise ValueError('quantity must be "displacement", "strain", "rotation" or '
                             f'"pressure", not {quantity!r}')
        if quantity == "displacement":
            return (self.force_spectra if force else self.spectra)(station, subfault)
        if quantity == "pressure" and force:
            raise ValueError("the pressure is held for the moment tensor only")
        name = ("force_" if force else "") + f"{quantity}_spectra"
        if name not in self._h5:
            raise ValueError(f"{self.path} holds no {name.replace('_', ' ')} (compute the bank "
                             f'with quantities = ["displacement", "{quantity}"]'
                             + (' and sources = ["moment", "force"]' if force else "")
                             + " in its [bank] table)")
        return np.asarray(_read(self.path, self._h5, name,
                                (self.station_index(station), self.subfault_index(subfault))),
                          dtype=np.complex128)

    def strain_spectra(self, station, subfault, sources="moment"):
        """Complex strain spectra [frequency, element, 6] of one station and subfault: xx, yy,
        zz, xy, xz, yz of (du_i/dx_j + du_j/dx_i)/2, x north, y east, z up (sources="force":
        [frequency, force, 6] of the forces), as :func:`layergreen.greens` with
        quantity="strain" gives them; per unit moment (force) and model length (km, km/s,
        g/cm^3: times 1e-18 per N m per hertz, 1e-15 per N per hertz)."""
        return self._quantity_spectra("strain", sources == "force", station, subfault)

    def rotation_spectra(self, station, subfault, sources="moment"):
        """Complex rotation spectra [frequency, element, 3] (half the curl of the
        displacement, along x north, y east, z up; sources="force": of the forces), units as
        for :meth:`strain_spectra`."""
        return self._quantity_spectra("rotation", sources == "force", station, subfault)

    def pressure_spectra(self, station, subfault):
        """Complex pressure spectra [frequency, element, 1] in the water at one station from
        one subfault, positive in compression, as :func:`layergreen.greens` with
        quantity="pressure" gives them (a station at the sea floor: the water's just above
        it); in model units of density x velocity^2 per unit moment (km, km/s, g/cm^3: times
        1e-9 for Pa per N m per hertz). Banks with "pressure" in ``[bank] quantities``."""
        return self._quantity_spectra("pressure", False, station, subfault)

    def quantity_statics(self, station, subfault, quantity, sources="moment"):
        """Static strain [element, 6] or rotation [element, 3] after a step in moment (or in
        force, sources="force") of one station and subfault, as :func:`layergreen.statics`
        with quantity=... gives them; banks with statics and that quantity."""
        name = ("force_" if sources == "force" else "") + f"{quantity}_statics"
        if quantity not in ("strain", "rotation") or name not in self._h5:
            raise ValueError(f"{self.path} holds no /{name} (compute the bank with statics = "
                             f'true and quantities = ["displacement", "{quantity}"])')
        return _read(self.path, self._h5, name,
                     (self.station_index(station), self.subfault_index(subfault)))
