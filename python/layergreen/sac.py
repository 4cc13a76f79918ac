"""The site fields of SAC headers: the station's and the source's coordinates and the
station's name, set in SAC files already written (by the C++ writer of layergreen-seis, which
fills DIST, AZ, BAZ, CMPAZ, CMPINC and the trace's times and names).

:func:`site_fields` gathers the fields of a station and a source, :func:`set_fields` writes
them into files. Both writers of SAC files of the package (:meth:`layergreen.Bank.to_sac` and
the forward model's) use them.
"""

import numpy as np

# Word index (4 bytes each) of the float fields of the header (version 6).
FLOAT_WORDS = {"stla": 31, "stlo": 32, "stel": 33, "evla": 35, "evlo": 36, "evdp": 38,
               "dist": 50, "az": 51, "baz": 52, "cmpaz": 57, "cmpinc": 58}
# Byte offset and width of the character fields.
TEXT_FIELDS = {"kstnm": (440, 8), "kevnm": (448, 16)}
UNDEFINED = -12345.0


def station_code(name):
    """KSTNM of a station: its name cut to the field's 8 characters."""
    return name.encode()[:8].decode(errors="ignore")


def site_fields(station, station_lat=None, station_lon=None, source_lat=None, source_lon=None,
                source_depth=None, distance=None, azimuth=None, back_azimuth=None):
    """The header fields of a trace of `station` (its name) from a source: KSTNM (the name
    cut to 8 characters), STLA, STLO, STEL (0: stations at the surface), EVLA, EVLO, EVDP
    (source depth, km) when given, and DIST, AZ, BAZ when given (degrees clockwise from north:
    the station seen from the source, the source seen from the station; BAZ is AZ + 180 when
    only AZ is given). Values that are None or NaN are left out."""
    fields = {"kstnm": station_code(station)}
    values = {"stla": station_lat, "stlo": station_lon, "evla": source_lat, "evlo": source_lon,
              "evdp": source_depth, "dist": distance, "az": azimuth, "baz": back_azimuth}
    if station_lat is not None and np.isfinite(station_lat):
        values["stel"] = 0.0
    if back_azimuth is None and azimuth is not None and np.isfinite(azimuth):
        values["baz"] = (azimuth + 180.0) % 360.0
    for key, value in values.items():
        if value is not None and np.isfinite(value):
            fields[key] = float(value)
    return fields


def set_fields(paths, fields):
    """Writes the header fields (names as in :data:`FLOAT_WORDS` and :data:`TEXT_FIELDS`) into
    each SAC file of paths, in place."""
    for path in paths:
        with open(path, "r+b") as f:
            for key, value in fields.items():
                if key in FLOAT_WORDS:
                    f.seek(4 * FLOAT_WORDS[key])
                    f.write(np.float32(value).astype("<f4").tobytes())
                elif key in TEXT_FIELDS:
                    at, width = TEXT_FIELDS[key]
                    text = value.encode()[:width]
                    f.seek(at)
                    f.write(text + b" " * (width - len(text)))
                else:
                    raise ValueError(f"no SAC header field {key!r} here")


def read_fields(path):
    """The fields of :data:`FLOAT_WORDS` (None where undefined) and :data:`TEXT_FIELDS` of a SAC
    file's header."""
    with open(path, "rb") as f:
        head = f.read(632)
    words = np.frombuffer(head[:280], dtype="<f4")
    out = {key: (None if words[i] == UNDEFINED else float(words[i]))
           for key, i in FLOAT_WORDS.items()}
    for key, (at, width) in TEXT_FIELDS.items():
        out[key] = head[at:at + width].decode(errors="replace").rstrip()
    return out
