#!/usr/bin/python3
"""Map of a bank's fault and stations with the static offsets of a slip on the whole fault:
the subfaults coloured by depth, each station's horizontal offset as an arrow and its vertical
offset as the colour of its marker.

After `layergreen bank` has made the example bank (with statics = true; see
docs/getting-started.md):

    PYTHONPATH=build/python /usr/bin/python3 examples/python/static_map.py \\
        examples/bank/bank.h5 -o static_map.png

Every subfault slips with the same rake on its own strike and dip and the same scalar moment
(--m0, in the units of the moment; 1e18 N m by default, so that with a model in km, km/s and
g/cm^3 the offsets times 1e-15 are metres).
"""

import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import layergreen  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("bank", help="bank file (HDF5) computed with statics = true")
    parser.add_argument("-o", "--output", default="static_map.png", help="PNG to write")
    parser.add_argument("--rake", type=float, default=90.0, help="rake in degrees")
    parser.add_argument("--m0", type=float, default=1e18, help="scalar moment of each subfault")
    parser.add_argument("--scale", type=float, default=1e-15,
                        help="factor from the bank's units to metres (1e-15 for km, km/s, "
                             "g/cm^3 and N m)")
    args = parser.parse_args()

    with layergreen.Bank(args.bank) as bank:
        if not bank.has_statics:
            parser.error(f"{args.bank} has no static displacements (statics = true)")
        if bank.subfaults.strike is None:
            parser.error(f"{args.bank} gives no strike and dip of its subfaults")
        sf, st = bank.subfaults, bank.stations
        offsets = np.zeros((len(st), 3))  # x north, y east, z up
        for i in range(len(st)):
            for j in range(len(sf)):
                mechanism = (sf.strike[j], sf.dip[j], args.rake)
                offsets[i] += bank.static_offsets(i, j, mechanism, m0=args.m0)
        offsets *= args.scale
        names = list(st.name)
        sx, sy, depth = np.array(sf.x), np.array(sf.y), np.array(sf.depth)
        stx, sty = np.array(st.x), np.array(st.y)

    fig, ax = plt.subplots(figsize=(8, 7.5))
    faults = ax.scatter(sy, sx, c=depth, cmap="viridis_r", marker="s", s=60)
    fig.colorbar(faults, ax=ax, shrink=0.6, label="subfault depth")
    horizontal = np.hypot(offsets[:, 0], offsets[:, 1]).max() or 1.0
    span = max(np.ptp(np.r_[sx, stx]), np.ptp(np.r_[sy, sty]), 1.0)
    arrow = 0.2 * span / horizontal  # the largest arrow a fifth of the map
    ax.quiver(sty, stx, offsets[:, 1] * arrow, offsets[:, 0] * arrow, angles="xy",
              scale_units="xy", scale=1, width=0.004, color="k")
    up = np.abs(offsets[:, 2]).max() or 1.0
    marks = ax.scatter(sty, stx, c=offsets[:, 2], cmap="RdBu_r", vmin=-up, vmax=up, marker="^",
                       s=160, edgecolors="k", zorder=3)
    fig.colorbar(marks, ax=ax, shrink=0.6, label="vertical offset (m, up)")
    for name, x, y, (north, east, vert) in zip(names, stx, sty, offsets):
        ax.annotate(f"{name}\n{1000 * np.hypot(north, east):.0f} mm, up {1000 * vert:.0f} mm",
                    (y, x), textcoords="offset points", xytext=(8, -18), fontsize="small")
    ax.set_xlabel("east")
    ax.set_ylabel("north")
    ax.set_aspect("equal")
    ax.margins(0.15)
    ax.grid(alpha=0.3)
    ax.set_title(f"{len(sf)} subfaults, rake {args.rake:g}, moment {args.m0:g} each: "
                 "static offsets")
    fig.tight_layout()
    fig.savefig(args.output, dpi=80)
    print(f"{args.output}: {len(names)} stations, largest horizontal offset "
          f"{1000 * horizontal:.0f} mm")


if __name__ == "__main__":
    main()
