#!/usr/bin/python3
"""Writes model.fsp, the slip model of the worked example (docs/forward.md): a made-up M6.6
thrust, 12 x 6 subfaults of 3 x 3 km on a plane of strike 20 and dip 25 whose top edge lies
2 km deep, slip a smooth patch of up to 2.5 m around the hypocentre, rupture spreading at
2.8 km/s, rise times from 1.2 to 2.4 s. Needs python3-geographiclib."""

import math

from geographiclib.geodesic import Geodesic

HYPO = (36.20, 138.10)  # the epicentre, degrees
NX, NZ, D = 12, 6, 3.0
STRIKE, DIP, TOP = 20.0, 25.0, 2.0
HYPO_ALONG, HYPO_DOWN = 0.0, 10.5  # km from the top edge's middle
GEOD = Geodesic.WGS84


def main():
    rows = []
    s, d = math.radians(STRIKE), math.radians(DIP)
    for k in range(NZ):
        for i in range(NX):
            along = (i + 0.5 - NX / 2) * D
            down = (k + 0.5) * D
            da, dd = along - HYPO_ALONG, down - HYPO_DOWN
            north = da * math.cos(s) - dd * math.cos(d) * math.sin(s)
            east = da * math.sin(s) + dd * math.cos(d) * math.cos(s)
            r = math.hypot(north, east)
            az = math.degrees(math.atan2(east, north))
            p = GEOD.Direct(HYPO[0], HYPO[1], az, 1000.0 * r)
            depth = TOP + down * math.sin(d)
            slip = 2.5 * math.exp(-(da / 9.0) ** 2 - (dd / 5.5) ** 2)
            dist = math.hypot(da, dd)
            rows.append(f"{p['lat2']:10.5f} {p['lon2']:10.5f} {east:9.4f} {north:9.4f} "
                        f"{depth:8.4f} {slip:7.4f} {95.0 - 0.5 * da:7.2f} {dist / 2.8:7.3f} "
                        f"{1.2 + 1.2 * slip / 2.5:6.3f}")
    hypo_depth = TOP + HYPO_DOWN * math.sin(d)
    header = f"""% ------------------------------  FINITE-SOURCE RUPTURE MODEL  ------------------------------
%
% Event : WORKED EXAMPLE THRUST [made up for layergreen's documentation]
%
% Loc  : LAT = {HYPO[0]:.4f}  LON = {HYPO[1]:.4f}  DEP = {hypo_depth:.3f}
% Size : LEN = {NX * D:.0f} km  WID = {NZ * D:.0f} km
% Mech : STRK = {STRIKE:.0f}  DIP = {DIP:.0f}  RAKE = 95  Htop = {TOP:.2f} km
% Rupt : avVr = 2.8 km/s
%
% Invs : Nx = {NX}  Nz = {NZ}
% Invs : Dx = {D:.2f} km  Dz = {D:.2f} km
% Invs : Ntw = 1  Nsg = 1
%
% SOURCE MODEL PARAMETERS
%  Nsbfs = {NX * NZ} subfaults
%  X,Y,Z coordinates in km; SLIP in m
%  if applicable: RAKE in deg, RISE in s, TRUP in s
%
%  Coordinates are given for center of each subfault or segment: |'|
%  Origin of local coordinate system at epicenter: X (EW) = 0, Y (NS) = 0
% -------------------------------------------------------------------------------------
%    LAT        LON      X==EW     Y==NS        Z    SLIP    RAKE    TRUP   RISE
% -------------------------------------------------------------------------------------
"""
    with open("model.fsp", "w") as f:
        f.write(header + "\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
