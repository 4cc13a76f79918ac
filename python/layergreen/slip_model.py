"""layergreen.SlipModel: the kinematic slip models that finite-fault studies exchange (FSP, the
USGS .param files and SRF 1.0 and 2.0), read into numpy arrays with one entry per subfault in
the file's order.

Units: positions in degrees (lat, lon) and km (x north, y east, depth down), angles in degrees
(strike clockwise from north, dip to the right of the strike, rake of the hanging wall's slip),
slip in m, area in km^2, times in s, moments in N m. Every position is a subfault's centre: a
file that gives top-centres has them moved half a subfault down dip (lat, lon, depth; x and y
stay as the file writes them).
"""

import math
import os
import re
from typing import NamedTuple

import numpy as np

FORMATS = ("fsp", "param", "srf")

# The Earth of the geodesics (WGS84), as the bank's geographic stations.
_GEOD = None


def _geodesic():
    global _GEOD  # noqa: PLW0603 - one immutable ellipsoid object, made on first use
    if _GEOD is None:
        from geographiclib.geodesic import Geodesic
        _GEOD = Geodesic.WGS84
    return _GEOD


def destination(lat, lon, azimuth, distance_km):
    """The point reached from (lat, lon) along azimuth (degrees from north) after distance_km."""
    g = _geodesic().Direct(float(lat), float(lon), float(azimuth), 1000.0 * float(distance_km))
    return g["lat2"], g["lon2"]


def to_local(origin_lat, origin_lon, lat, lon):
    """Azimuthal equidistant coordinates (x north, y east, km) of points about an origin, as the
    bank places geographic stations: the geodesic's length d and azimuth a give (d cos a,
    d sin a)."""
    lat, lon = np.broadcast_arrays(np.asarray(lat, float), np.asarray(lon, float))
    x, y = np.empty(lat.shape), np.empty(lat.shape)
    geod = _geodesic()
    for i in np.ndindex(lat.shape):
        g = geod.Inverse(float(origin_lat), float(origin_lon), lat[i], lon[i])
        a = math.radians(g["azi1"])
        x[i], y[i] = g["s12"] / 1000.0 * math.cos(a), g["s12"] / 1000.0 * math.sin(a)
    return x, y


class Hypocentre(NamedTuple):
    """The hypocentre of a slip model: lat, lon (degrees; NaN when the file gives none), depth
    (km) and x, y (km north and east in the file's local frame; NaN when it has none)."""
    lat: float
    lon: float
    depth: float
    x: float = math.nan
    y: float = math.nan


class SlipModelError(ValueError):
    """A slip model file that cannot be read: the message names the file, the line and what is
    wrong."""


class SlipModel:
    """A kinematic slip model, one entry per subfault in the file's order.

    Arrays (numpy, float): ``lat``, ``lon`` (degrees, NaN where the format has none), ``x``,
    ``y`` (the file's own local coordinates, km north and east, as written; NaN where it has
    none), ``depth`` (km, of the centre), ``strike``, ``dip``, ``rake`` (degrees), ``slip`` (m),
    ``area`` (km^2), ``rupture_time``, ``rise_time`` (s; NaN where the file gives none);
    ``segment`` (int, from 0); ``hypocentre`` (:class:`Hypocentre`); ``extras`` (dict of the
    format's other values: ``fall_time`` (s, .param), ``moment`` (N m: FSP SF_MOMENT, .param
    mo, SRF 2.0 from its rigidity), ``slip_rate`` (SRF: list of arrays in m/s) with
    ``slip_rate_dt`` (s), ``vs`` (km/s) and ``density`` (g/cm^3) of SRF 2.0, ``dz`` (km, the
    down-dip size of FSP subfaults)); ``header`` (dict of
    the header's numbers, FSP); ``format`` and ``path``.

    Build one from a file with :meth:`read`, or from arrays with the constructor (keywords as
    the attributes; lat, lon, x, y, times default to NaN).
    """

    _ARRAYS = ("lat", "lon", "x", "y", "depth", "strike", "dip", "rake", "slip", "area",
               "rupture_time", "rise_time")

    def __init__(self, *, depth, strike, dip, rake, slip, area, lat=None, lon=None, x=None,
                 y=None, rupture_time=None, rise_time=None, hypocentre=None, segment=None,
                 extras=None, header=None, format=None, path=None, top_centre=False):
        n = len(np.atleast_1d(depth))
        given = dict(lat=lat, lon=lon, x=x, y=y, depth=depth, strike=strike, dip=dip,
                     rake=rake, slip=slip, area=area, rupture_time=rupture_time,
                     rise_time=rise_time)
        for name in self._ARRAYS:
            value = given[name]
            a = np.full(n, np.nan) if value is None else \
                np.array(np.broadcast_to(np.asarray(value, float), (n,)))
            setattr(self, name, a)
        self.segment = np.zeros(n, int) if segment is None else np.asarray(segment, int)
        self.extras = dict(extras or {})
        self.header = dict(header or {})
        self.format = format
        self.path = path
        self.top_centre = bool(top_centre)
        # What the file does not say of its hypocentre is that of the first subfault to
        # rupture (else of the first subfault).
        first = int(np.nanargmin(self.rupture_time)) if np.isfinite(self.rupture_time).any() \
            else 0
        own = Hypocentre(self.lat[first], self.lon[first], self.depth[first], self.x[first],
                         self.y[first])
        h = list(own if hypocentre is None else (float(v) for v in hypocentre))
        h += list(own)[len(h):]
        if not (math.isfinite(h[0]) and math.isfinite(h[1])):
            h[0], h[1] = own.lat, own.lon
        if not math.isfinite(h[2]):
            h[2] = own.depth
        self.hypocentre = Hypocentre(*(float(v) for v in h))

    def __len__(self):
        return len(self.depth)

    def __repr__(self):
        return (f"SlipModel({self.path or 'arrays'!r}: {len(self)} subfaults, "
                f"{self.format or 'arrays'}, hypocentre {tuple(self.hypocentre)})")

    @property
    def has_geographic(self):
        """True when every subfault has a latitude and longitude."""
        return bool(np.isfinite(self.lat).all() and np.isfinite(self.lon).all())

    def local(self, origin=None):
        """Centres of the subfaults (x north, y east, km) about ``origin`` (lat, lon), default
        the hypocentre. From lat and lon when the file gives them, else from the file's x, y
        (relative to the hypocentre's x, y when the file gives them; a file that gives
        top-centres has them moved half a subfault down dip)."""
        if self.has_geographic:
            if origin is None:
                origin = (self.hypocentre.lat, self.hypocentre.lon)
            return to_local(origin[0], origin[1], self.lat, self.lon)
        if origin is not None:
            raise ValueError(f"{self.path or 'the slip model'} gives no latitude and longitude "
                             "of its subfaults: they cannot be placed about a geographic origin")
        x0 = self.hypocentre.x if np.isfinite(self.hypocentre.x) else 0.0
        y0 = self.hypocentre.y if np.isfinite(self.hypocentre.y) else 0.0
        x, y = self.x - x0, self.y - y0
        if self.top_centre:
            half = 0.5 * self.extras["dz"] * np.cos(np.radians(self.dip))
            x = x + half * np.cos(np.radians(self.strike + 90.0))
            y = y + half * np.sin(np.radians(self.strike + 90.0))
        return x, y

    def durations(self):
        """The duration of slip of every subfault: rise_time, plus the fall time of .param
        files (s)."""
        fall = self.extras.get("fall_time")
        return self.rise_time if fall is None else self.rise_time + fall

    def moments(self, mu):
        """Scalar moments (N m) of the subfaults for rigidities mu (GPa): mu area slip."""
        return 1e15 * np.asarray(mu, float) * self.area * self.slip

    @classmethod
    def read(cls, path, format=None):
        """Reads a slip model file. format: "fsp", "param" or "srf"; None recognises it from the
        content. A bad file raises :class:`SlipModelError` (a ValueError) whose message is one
        line: "FILE:LINE: what is wrong"."""
        path = os.fspath(path)
        try:
            with open(path, "rb") as f:
                raw = f.read()
        except OSError as e:
            raise SlipModelError(f"{path}: cannot be read ({e.strerror})") from None
        try:
            text = raw.decode("utf-8-sig")
        except UnicodeDecodeError:
            text = raw.decode("latin-1")
        lines = text.splitlines()
        if format is None:
            format = detect_format(path, lines)
        if format not in FORMATS:
            raise SlipModelError(f"{path}: unknown slip model format {format!r} "
                                 f"(use {', '.join(FORMATS)})")
        reader = {"fsp": _read_fsp, "param": _read_param, "srf": _read_srf}[format]
        return reader(path, lines)


def detect_format(path, lines):
    """The format of a slip model from its first meaningful lines."""
    for line in lines:
        s = line.strip()
        if not s:
            continue
        if s.startswith("%"):
            return "fsp"
        if s.startswith("#") and re.search(r"fault_segment", s, re.I):
            return "param"
        if re.fullmatch(r"[12]\.0", s):
            return "srf"
        break
    raise SlipModelError(f"{path}:1: not a slip model in a known format (FSP starts with '%' "
                         "header lines, USGS .param with '#Total number of fault_segments', SRF "
                         "with its version 1.0 or 2.0); give format= to read it as one")


def _fail(path, line, problem):
    raise SlipModelError(f"{path}:{line}: {problem}")


def _numbers(path, lineno, text, count=None, what="values"):
    tokens = text.split()
    if count is not None and len(tokens) != count:
        _fail(path, lineno, f"expected {count} {what}, found {len(tokens)}")
    try:
        values = [float(t) for t in tokens]
    except ValueError:
        bad = next(t for t in tokens if not _is_number(t))
        _fail(path, lineno, f"{bad!r} is not a number")
    return values


def _is_number(t):
    try:
        float(t)
        return True
    except ValueError:
        return False


def _check_values(path, rows, lines_of, names, finite=(), positive=(), nonnegative=()):
    """Checks columns of a table: rows [subfault, column], lines_of [subfault] line numbers."""
    for col, label in finite:
        bad = np.flatnonzero(~np.isfinite(rows[:, col]))
        if len(bad):
            _fail(path, lines_of[bad[0]], f"{label} is not a finite number")
    for col, label in positive:
        bad = np.flatnonzero(~(rows[:, col] > 0))
        if len(bad):
            _fail(path, lines_of[bad[0]], f"{label} must be positive, not {rows[bad[0], col]:g}")
    for col, label in nonnegative:
        bad = np.flatnonzero(rows[:, col] < 0)
        if len(bad):
            _fail(path, lines_of[bad[0]], f"{label} must not be negative, not "
                                          f"{rows[bad[0], col]:g}")


# -- FSP -----------------------------------------------------------------------------------------

_PAIR = re.compile(r"([A-Za-z][A-Za-z0-9_]*)\s*=\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)")
_FSP_COLUMNS = {"LAT": "lat", "LON": "lon", "X==EW": "x_ew", "Y==NS": "y_ns", "X": "x_ew",
                "Y": "y_ns", "Z": "z", "SLIP": "slip", "RAKE": "rake", "TRUP": "trup",
                "RISE": "rise", "SF_MOMENT": "moment"}


def _pairs(text):
    return {k.upper(): float(v) for k, v in _PAIR.findall(text)}


def _read_fsp(path, lines):
    header = {}
    slip_scale = 1.0
    top_centre = False
    columns = None
    segments = []  # dicts: strike, dip, dx, dz, rows, lines, line (of its header)
    current = None

    def segment(lineno):
        nonlocal current
        if current is None:
            current = {"line": lineno, "rows": [], "lines": []}
            segments.append(current)
        return current

    for lineno, line in enumerate(lines, 1):
        s = line.strip()
        if not s:
            continue
        if s.startswith("%"):
            body = s.lstrip("%").strip()
            upper = body.upper()
            if re.match(r"SEGMENT\s*#", upper):
                current = {"line": lineno, "rows": [], "lines": []}
                segments.append(current)
                p = _pairs(body.replace("#", " "))
                current.update({k: p[k.upper()] for k in ("STRIKE", "DIP") if k in p})
                continue
            if "COORDINATES ARE GIVEN FOR" in upper:
                top_centre = bool(re.search(r"TOP[- ]?CENT", upper))
            m = re.search(r"SLIP\s+in\s+(cm|m)\b", body, re.I)
            if m:
                slip_scale = 0.01 if m.group(1).lower() == "cm" else 1.0
            tokens = body.split()
            if ("LAT" in tokens and "LON" in tokens or "X==EW" in tokens) and "Z" in tokens and \
                    not _PAIR.search(body):
                columns = tokens
                names = [_FSP_COLUMNS.get(c.upper(), c) for c in columns]
                for need in ("z", "slip"):
                    if need not in names:
                        _fail(path, lineno, f"the column names lack {need.upper()}")
                if not ("lat" in names and "lon" in names) and \
                        not ("x_ew" in names and "y_ns" in names):
                    _fail(path, lineno, "the column names give neither LAT LON nor X==EW Y==NS")
                continue
            p = _pairs(body)
            if current is not None and current["rows"] == []:
                for key in ("DX", "DZ"):
                    if key in p:
                        current[key.lower()] = p[key]
            if upper.startswith("LOC") and current is None:
                header.update({"hypo_" + k.lower(): v for k, v in p.items()})
            else:
                for k, v in p.items():
                    if current is None or k in ("DX", "DZ"):
                        header.setdefault(k, v)
            continue
        if columns is None:
            _fail(path, lineno, "a row of numbers before the column names (a '%' line with "
                                "LAT LON ... Z SLIP)")
        seg = segment(lineno)
        seg["rows"].append(_numbers(path, lineno, s, len(columns),
                                    "columns (" + " ".join(columns) + ")"))
        seg["lines"].append(lineno)

    segments = [g for g in segments if g["rows"]]
    if not segments:
        _fail(path, len(lines), "no subfaults (rows of numbers after the column names)")
    names = [_FSP_COLUMNS.get(c.upper(), c) for c in columns]

    out = {k: [] for k in ("strike", "dip", "rake", "area", "half_dz", "segment", "line")}
    rows = []
    for k, seg in enumerate(segments):
        strike = seg.get("STRIKE", header.get("STRK"))
        dip = seg.get("DIP", header.get("DIP"))
        dx, dz = seg.get("dx", header.get("DX")), seg.get("dz", header.get("DZ"))
        for value, what in ((strike, "strike (STRK = or SEGMENT STRIKE =)"),
                            (dip, "dip (DIP = in the Mech line or the segment's)"),
                            (dx, "subfault length Dx"), (dz, "subfault width Dz")):
            if value is None:
                _fail(path, seg["line"], f"the header gives no {what}")
        if not (dx > 0 and dz > 0):
            _fail(path, seg["line"], f"the subfault size Dx = {dx:g}, Dz = {dz:g} must be "
                                     "positive")
        n = len(seg["rows"])
        rows += seg["rows"]
        out["strike"] += [strike] * n
        out["dip"] += [dip] * n
        out["area"] += [dx * dz] * n
        out["half_dz"] += [dz / 2.0] * n
        out["segment"] += [k] * n
        out["line"] += seg["lines"]
    rows = np.array(rows, float)
    col = {name: rows[:, i] for i, name in enumerate(names)}
    lines_of = out["line"]
    nan = np.full(len(rows), np.nan)
    index = {name: i for i, name in enumerate(names)}
    checks = [(index["slip"], "SLIP"), (index["z"], "Z")]
    checks += [(index[c], c.upper()) for c in ("lat", "lon", "x_ew", "y_ns", "rake")
               if c in index]
    _check_values(path, rows, lines_of, names, finite=checks)
    if "rake" in col:
        rake = col["rake"]
    elif "RAKE" in header:
        rake = np.full(len(rows), header["RAKE"])
    else:
        _fail(path, segments[0]["line"], "no RAKE column and no RAKE = in the header")
    strike, dip = np.array(out["strike"]), np.array(out["dip"])
    depth = col["z"].copy()
    lat, lon = col.get("lat", nan).copy(), col.get("lon", nan).copy()
    if top_centre:
        half = np.array(out["half_dz"])
        depth += half * np.sin(np.radians(dip))
        if np.isfinite(lat).all():
            for i in range(len(rows)):
                lat[i], lon[i] = destination(lat[i], lon[i], strike[i] + 90.0,
                                             half[i] * math.cos(math.radians(dip[i])))
    extras = {"dz": 2.0 * np.array(out["half_dz"])}
    if "moment" in col:
        extras["moment"] = col["moment"].copy()
    for name in names:
        if name not in _FSP_COLUMNS.values():
            extras[name] = col[name].copy()
    hypo = Hypocentre(header.get("hypo_lat", math.nan), header.get("hypo_lon", math.nan),
                      header.get("hypo_dep", math.nan), 0.0, 0.0)
    return SlipModel(lat=lat, lon=lon, x=col.get("y_ns", nan), y=col.get("x_ew", nan),
                     depth=depth, strike=strike, dip=dip, rake=rake,
                     slip=col["slip"] * slip_scale, area=np.array(out["area"]),
                     rupture_time=col.get("trup", nan), rise_time=col.get("rise", nan),
                     hypocentre=hypo, segment=out["segment"], extras=extras, header=header,
                     format="fsp", path=path, top_centre=top_centre)


# -- USGS .param -----------------------------------------------------------------------------

_PARAM_COLUMNS = ("lat", "lon", "depth", "slip", "rake", "strike", "dip", "t_rup", "t_ris",
                  "t_fal", "mo")


def _read_param(path, lines):
    segments = []
    hypo = None
    state = None  # "corners" or "rows"
    for lineno, line in enumerate(lines, 1):
        s = line.strip()
        if not s:
            continue
        if s.startswith("#"):
            low = s.lower()
            if low.startswith("#fault_segment"):
                p = {k.lower(): v for k, v in
                     re.findall(r"(Dx|Dy)\s*=\s*([-+0-9.eE]+)", s)}
                n = re.findall(r"n[xy]\([^)]*\)\s*=\s*(\d+)", s)
                if "dx" not in p or "dy" not in p or len(n) != 2:
                    _fail(path, lineno, "a #Fault_segment line needs nx(...)=, Dx=, ny(...)= "
                                        "and Dy=")
                segments.append({"line": lineno, "nx": int(n[0]), "ny": int(n[1]),
                                 "dx": float(p["dx"]), "dy": float(p["dy"]), "rows": [],
                                 "lines": []})
                state = None
            elif low.startswith("#boundary"):
                m = re.search(r"cell\s*\(\s*(\d+)\s*,\s*(\d+)\s*\).*?lon\s*:\s*(\S+)\s+lat\s*:"
                              r"\s*(\S+)", s, re.I)
                if m and hypo is None and segments:
                    try:
                        hypo = (len(segments) - 1, int(m.group(1)), int(m.group(2)),
                                float(m.group(3)), float(m.group(4)))
                    except ValueError:
                        _fail(path, lineno, "the hypocentre's Lon: and Lat: are not numbers")
            elif low.startswith("#lon"):
                state = "corners"
            elif low.startswith("#lat"):
                state = "rows"
            continue
        if not segments:
            _fail(path, lineno, "a row of numbers before the first #Fault_segment line")
        if state == "rows":
            segments[-1]["rows"].append(_numbers(path, lineno, s, len(_PARAM_COLUMNS),
                                                 "columns (" + " ".join(_PARAM_COLUMNS) + ")"))
            segments[-1]["lines"].append(lineno)
        elif state != "corners":
            _fail(path, lineno, "a row of numbers outside a segment's corners and subfaults")
    if not segments:
        _fail(path, len(lines), "no #Fault_segment line: not a USGS .param file")
    rows, area, seg_index, lines_of = [], [], [], []
    for k, seg in enumerate(segments):
        if len(seg["rows"]) != seg["nx"] * seg["ny"]:
            where = seg["lines"][-1] if seg["lines"] else seg["line"]
            _fail(path, where, f"segment {k + 1} has {len(seg['rows'])} subfaults, not "
                               f"nx x ny = {seg['nx'] * seg['ny']}")
        if not (seg["dx"] > 0 and seg["dy"] > 0):
            _fail(path, seg["line"], "Dx and Dy must be positive")
        rows += seg["rows"]
        area += [seg["dx"] * seg["dy"]] * len(seg["rows"])
        seg_index += [k] * len(seg["rows"])
        lines_of += seg["lines"]
    rows = np.array(rows, float)
    _check_values(path, rows, lines_of, _PARAM_COLUMNS,
                  finite=[(i, c) for i, c in enumerate(_PARAM_COLUMNS)],
                  nonnegative=[(7, "t_rup"), (8, "t_ris"), (9, "t_fal")])
    c = {name: rows[:, i] for i, name in enumerate(_PARAM_COLUMNS)}
    hypocentre = None
    if hypo is not None:
        k, i, j, lon0, lat0 = hypo
        first = seg_index.index(k)
        at = first + (j - 1) * segments[k]["nx"] + (i - 1)
        depth0 = c["depth"][at] if 1 <= i <= segments[k]["nx"] and \
            1 <= j <= segments[k]["ny"] else math.nan
        hypocentre = Hypocentre(lat0, lon0, depth0)
    return SlipModel(lat=c["lat"], lon=c["lon"], depth=c["depth"], strike=c["strike"],
                     dip=c["dip"], rake=c["rake"], slip=c["slip"] / 100.0, area=area,
                     rupture_time=c["t_rup"], rise_time=c["t_ris"], hypocentre=hypocentre,
                     segment=seg_index,
                     extras={"fall_time": c["t_fal"].copy(), "moment": c["mo"] * 1e-7},
                     format="param", path=path)


# -- SRF -------------------------------------------------------------------------------------


class _Tokens:
    """The numbers of an SRF file, with the line each comes from."""

    def __init__(self, path, lines, start):
        self.path, self.items, self.at = path, [], 0
        for lineno, line in enumerate(lines[start:], start + 1):
            s = line.split("#", 1)[0] if line.lstrip().startswith("#") else line
            for t in s.split():
                self.items.append((t, lineno))

    def line(self):
        return self.items[min(self.at, len(self.items) - 1)][1] if self.items else 1

    def word(self, what):
        if self.at >= len(self.items):
            _fail(self.path, self.line(), f"the file ends where {what} should follow")
        t, _ = self.items[self.at]
        self.at += 1
        return t

    def number(self, what):
        lineno = self.line() if self.at >= len(self.items) else self.items[self.at][1]
        t = self.word(what)
        try:
            return float(t)
        except ValueError:
            _fail(self.path, lineno, f"{what}: {t!r} is not a number")

    def count(self, what):
        lineno = self.line() if self.at >= len(self.items) else self.items[self.at][1]
        v = self.number(what)
        if v != int(v) or v < 0:
            _fail(self.path, lineno, f"{what} must be a whole number, not {v:g}")
        return int(v)


def _read_srf(path, lines):
    first = next((i for i, l in enumerate(lines) if l.strip()), None)
    if first is None or lines[first].strip() not in ("1.0", "2.0"):
        _fail(path, 1 if first is None else first + 1,
              "an SRF file starts with its version, 1.0 or 2.0")
    version = lines[first].strip()
    tok = _Tokens(path, lines, first + 1)
    planes = []
    word = tok.word("PLANE or POINTS")
    if word.upper() == "PLANE":
        for _ in range(tok.count("the number of planes")):
            keys = ("elon", "elat", "nstk", "ndip", "len", "wid", "stk", "dip", "dtop", "shyp",
                    "dhyp")
            planes.append({k: tok.number(f"the plane's {k.upper()}") for k in keys})
        word = tok.word("POINTS")
    if word.upper() != "POINTS":
        _fail(path, tok.line(), f"expected POINTS, found {word!r}")
    n = tok.count("the number of points")
    per_point = ("lon", "lat", "dep", "stk", "dip", "area", "tinit", "dt") + \
        (("vs", "den") if version == "2.0" else ())
    table = {k: np.empty(n) for k in per_point + ("rake", "slip1", "slip2", "slip3")}
    rates, lines_of = [], []
    for i in range(n):
        lines_of.append(tok.line() if tok.at >= len(tok.items) else tok.items[tok.at][1])
        for k in per_point:
            table[k][i] = tok.number(f"point {i + 1}'s {k.upper()}")
        table["rake"][i] = tok.number(f"point {i + 1}'s RAKE")
        counts = []
        for j in (1, 2, 3):
            table[f"slip{j}"][i] = tok.number(f"point {i + 1}'s SLIP{j}")
            counts.append(tok.count(f"point {i + 1}'s NT{j}"))
        series = [np.array([tok.number(f"point {i + 1}'s slip rate {j + 1}")
                            for _ in range(nt)]) for j, nt in enumerate(counts)]
        if table["slip2"][i] != 0 or table["slip3"][i] != 0 or counts[1] or counts[2]:
            _fail(path, lines_of[i], f"point {i + 1} slips in the second or third direction "
                                     "(SLIP2, SLIP3): only slip along the rake (SLIP1) is read")
        rates.append(series[0] / 100.0)
    if tok.at != len(tok.items):
        _fail(path, tok.items[tok.at][1], f"{len(tok.items) - tok.at} numbers follow the last "
                                          "of the POINTS")
    rows = np.column_stack([table[k] for k in per_point + ("rake", "slip1")])
    names = per_point + ("rake", "slip1")
    _check_values(path, rows, lines_of, names,
                  finite=[(i, k.upper()) for i, k in enumerate(names)],
                  positive=[(names.index("area"), "AREA")],
                  nonnegative=[(names.index("tinit"), "TINIT")])
    for i, r in enumerate(rates):
        if len(r) and not table["dt"][i] > 0:
            _fail(path, lines_of[i], f"point {i + 1}'s DT must be positive")
        if not np.isfinite(r).all():
            _fail(path, lines_of[i], f"point {i + 1}'s slip rates are not all finite numbers")
    area = table["area"] * 1e-10  # cm^2 -> km^2
    slip = table["slip1"] / 100.0
    extras = {"slip_rate": rates, "slip_rate_dt": table["dt"].copy()}
    if version == "2.0":
        extras["vs"] = table["vs"] / 1e5
        extras["density"] = table["den"].copy()
        # mu area slip in dyne cm -> N m
        extras["moment"] = table["den"] * table["vs"] ** 2 * table["area"] * table["slip1"] * 1e-7
    hypocentre = None
    if planes:
        p = planes[0]
        dip = math.radians(p["dip"])
        lat, lon = destination(p["elat"], p["elon"], p["stk"], p["shyp"])
        lat, lon = destination(lat, lon, p["stk"] + 90.0, p["dhyp"] * math.cos(dip))
        hypocentre = Hypocentre(lat, lon, p["dtop"] + p["dhyp"] * math.sin(dip))
    rise = np.array([len(r) * dt for r, dt in zip(rates, table["dt"])])
    return SlipModel(lat=table["lat"], lon=table["lon"], depth=table["dep"],
                     strike=table["stk"], dip=table["dip"], rake=table["rake"], slip=slip,
                     area=area, rupture_time=table["tinit"], rise_time=rise,
                     hypocentre=hypocentre, extras=extras,
                     header={"version": float(version), "planes": planes}, format="srf",
                     path=path)
