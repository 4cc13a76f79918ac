"""Writes the slip model fixtures of this folder (run it with /usr/bin/python3 from here).

A small thrust on a plane of strike 30 and dip 40 under (35.0 N, 140.0 E), in each format the
tests read; the subfault centres are placed with geodesics on WGS84 from the hypocentre, so the
tests know where every subfault lies. Slip, rake and times follow simple rules of the subfault's
indices (see the tests)."""

import math

from geographiclib.geodesic import Geodesic

GEOD = Geodesic.WGS84
HYPO = (35.0, 140.0, 10.0)
NX, NZ, DX, DZ = 3, 2, 4.0, 3.0


def move(lat, lon, az, km):
    g = GEOD.Direct(lat, lon, az, 1000.0 * km)
    return g["lat2"], g["lon2"]


def centres(strike, dip, along0, nx=NX, nz=NZ, origin=HYPO):
    """Centres (lat, lon, depth, along, down) of an nx x nz grid whose first column's centre
    lies `along0` km along strike from the origin, the hypocentre in the first row's middle
    down dip."""
    out = []
    for k in range(nz):
        for i in range(nx):
            along = along0 + (i - (nx - 1) / 2) * DX
            down = (k - 0.5) * DZ
            lat, lon = move(origin[0], origin[1], strike, along)
            lat, lon = move(lat, lon, strike + 90.0, down * math.cos(math.radians(dip)))
            out.append((lat, lon, origin[2] + down * math.sin(math.radians(dip)), along, down))
    return out


def xy(lat, lon):
    g = GEOD.Inverse(HYPO[0], HYPO[1], lat, lon)
    a = math.radians(g["azi1"])
    return g["s12"] / 1000 * math.cos(a), g["s12"] / 1000 * math.sin(a)


def fsp_single():
    rows = []
    for n, (lat, lon, z, along, down) in enumerate(centres(30.0, 40.0, 0.0)):
        x, y = xy(lat, lon)
        # The local columns rounded to 0.1 km and 0.3 km too far east: the file's own, not the
        # places (lat and lon are).
        rows.append(f"{lat:10.5f} {lon:10.5f} {y + 0.3:8.1f} {x:8.1f} {z:8.4f} {1.0 + 0.5 * n:7.3f}"
                    f" {80.0 + 5 * n:7.1f} {1.5 * n:7.2f} {2.0 + 0.25 * n:6.2f}"
                    f" {3.0e10 * 12e6 * (1.0 + 0.5 * n):11.4e}")
    return f"""% ------------------------------  FINITE-SOURCE RUPTURE MODEL  ------------------------------
%
% Event : TEST THRUST 2020/01/01 [written for the layergreen tests]
% EventTAG: s2020TESTxx01LAYE
%
% Loc  : LAT = {HYPO[0]:.4f}  LON = {HYPO[1]:.4f}  DEP = {HYPO[2]:.2f}
% Size : LEN = 12 km  WID = 6 km  Mw = 5.9  Mo = 1.0e+18 Nm
% Mech : STRK = 30  DIP = 40  RAKE = 90  Htop = 8.07 km
% Rupt : HypX = 6 km  Hypz = 3 km  avTr = 2.6 s  avVr = 2.8 km/s
%
% Invs : Nx = {NX}  Nz = {NZ} Fmin = 0.01 Hz  Fmax = 1.0 Hz
% Invs : Dx = {DX:.2f} km  Dz = {DZ:.2f} km
% Invs : Ntw = 1  Nsg = 1     (# of time-windows,# of fault segments)
%
% SOURCE MODEL PARAMETERS
%  Nsbfs = {NX * NZ} subfaults
%  X,Y,Z coordinates in km; SLIP in m
%  if applicable: RAKE in deg, RISE in s, TRUP in s, slip in each TW in m
%
%  Coordinates are given for center of each subfault or segment: |'|
%  Origin of local coordinate system at epicenter: X (EW) = 0, Y (NS) = 0
% ---------------------------------------------------------------------------------------------
%    LAT        LON     X==EW    Y==NS        Z     SLIP    RAKE    TRUP   RISE   SF_MOMENT
% ---------------------------------------------------------------------------------------------
""" + "\n".join(rows) + "\n"


def fsp_multi():
    text = f"""% ------------------------------  FINITE-SOURCE RUPTURE MODEL  ------------------------------
%
% Event : TEST BENT FAULT 2020/01/02 [written for the layergreen tests]
%
% Loc  : LAT = {HYPO[0]:.4f}  LON = {HYPO[1]:.4f}  DEP = {HYPO[2]:.2f}
% Mech : STRK = 30  DIP = 40  RAKE = 0  Htop = 8.07 km
% Invs : Dx = {DX:.2f} km  Dz = {DZ:.2f} km
% Invs : Ntw = 1  Nsg = 2     (# of time-windows,# of fault segments)
%
%  X,Y,Z coordinates in km; SLIP in cm
%  Coordinates are given for top-center of each subfault or segment: |'|
% ---------------------------------------------------------------------------------------------
"""
    for s, (strike, dip, along0) in enumerate(((30.0, 40.0, 0.0), (60.0, 70.0, 14.0))):
        text += f"""%
% SEGMENT # {s + 1}: STRIKE = {strike:.1f} deg  DIP = {dip:.1f} deg
%   LEN = 12.0 km  WID = 6.0 km
%   Nsbfs = {NX * NZ} subfaults
% ---------------------------------------------------------------------------------------------
%    LAT        LON     X==EW    Y==NS        Z     SLIP    RAKE
% ---------------------------------------------------------------------------------------------
"""
        for n, (lat, lon, z, along, down) in enumerate(centres(strike, dip, along0)):
            # The top-centre: half a subfault up dip from the centre.
            h = DZ / 2
            tlat, tlon = move(lat, lon, strike + 90.0, -h * math.cos(math.radians(dip)))
            tz = z - h * math.sin(math.radians(dip))
            x, y = xy(tlat, tlon)
            text += (f"{tlat:10.5f} {tlon:10.5f} {y:8.2f} {x:8.2f} {tz:8.4f}"
                     f" {100.0 * (s + 1) + 10 * n:7.1f} {10.0 * n:6.1f}\n")
    return text


def param():
    text = "#Total number of fault_segments=     1\n"
    text += (f"#Fault_segment =   1 nx(Along-strike)=   {NX} Dx=  {DX:.2f}km ny(downdip)=   "
             f"{NZ} Dy=  {DZ:.2f}km\n")
    text += (f"#Boundary of Fault_segment     1. EQ in cell (2,1). Lon:  {HYPO[1]:.4f}   Lat:  "
             f"{HYPO[0]:.4f}\n#Lon.  Lat.  Depth\n")
    corners = [(-6.0, -1.5), (6.0, -1.5), (6.0, 4.5), (-6.0, 4.5), (-6.0, -1.5)]
    for along, down in corners:
        lat, lon = move(HYPO[0], HYPO[1], 30.0, along)
        lat, lon = move(lat, lon, 120.0, down * math.cos(math.radians(40.0)))
        text += f"  {lon:12.5f} {lat:12.5f} {HYPO[2] + down * math.sin(math.radians(40.0)):10.5f}\n"
    text += "#Lat. Lon. depth slip rake strike dip t_rup t_ris t_fal mo\n"
    for n, (lat, lon, z, along, down) in enumerate(centres(30.0, 40.0, 0.0)):
        text += (f"  {lat:10.5f} {lon:11.5f} {z:10.4f} {100 + 20 * n:10.4f} {90.0 + n:9.4f}"
                 f" {30.0:9.4f} {40.0:8.4f} {1.5 * n:8.4f} {1.0 + 0.1 * n:7.4f}"
                 f" {2.0 + 0.2 * n:7.4f}  {3e11 * 12e10 * (100 + 20 * n):.4E}\n")
    return text


def srf(version):
    lat0, lon0 = move(HYPO[0], HYPO[1], 120.0, -1.5 * math.cos(math.radians(40.0)))
    dtop = HYPO[2] - 1.5 * math.sin(math.radians(40.0))
    text = f"{version}\n"
    if version == "2.0":
        text += "# written for the layergreen tests\n"
    text += "PLANE 1\n"
    text += f"  {lon0:10.5f} {lat0:10.5f} {NX:5d} {NZ:5d} {NX * DX:10.4f} {NZ * DZ:10.4f}\n"
    text += f"  {30.0:6.1f} {40.0:6.1f} {dtop:10.4f} {0.0:10.4f} {1.5:10.4f}\n"
    text += f"POINTS {NX * NZ}\n"
    for n, (lat, lon, z, along, down) in enumerate(centres(30.0, 40.0, 0.0)):
        dt = 0.1
        rate = [0.0, 10.0 * (n + 1), 20.0 * (n + 1), 10.0 * (n + 1), 0.0, 0.0, 0.0]
        slip = sum(rate) * dt
        text += f"  {lon:10.5f} {lat:10.5f} {z:10.4f} {30.0:6.1f} {40.0:6.1f} {DX * DZ * 1e10:.4e}"
        text += f" {1.5 * n:8.4f} {dt:.4e}"
        if version == "2.0":
            text += f" {3.4e5:.4e} {2.7:.4e}"
        text += f"\n  {90.0 + n:6.1f} {slip:10.4f} {len(rate)} 0.0 0 0.0 0\n"
        for k in range(0, len(rate), 6):
            text += "  " + " ".join(f"{v:.5e}" for v in rate[k:k + 6]) + "\n"
    return text


if __name__ == "__main__":
    for name, text in (("single.fsp", fsp_single()), ("two_segments.fsp", fsp_multi()),
                       ("model.param", param()), ("model_v1.srf", srf("1.0")),
                       ("model_v2.srf", srf("2.0"))):
        with open(name, "w") as f:
            f.write(text)
