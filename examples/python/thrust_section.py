#!/usr/bin/python3
"""Record section of a thrust on every subfault of one fault row, at every station of a bank:
radial, transverse and vertical displacement, each trace at its source-station distance.

After `layergreen bank` has made the example bank (see docs/getting-started.md):

    PYTHONPATH=build/python /usr/bin/python3 examples/python/thrust_section.py \
        examples/bank/bank.h5 -o thrust_section.png

Each subfault slips with rake 90 (pure thrust) on its own strike and dip, with a triangular
moment rate of 2 time units and a 0.5 Hz low-pass. Each trace's three components share one
scale (--common-scale: one scale for the whole section); --reduce V plots against the
reduced time t - distance/V.
"""

import argparse
import pathlib

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import layergreen  # noqa: E402


def main():
    default_bank = pathlib.Path(__file__).resolve().parents[1] / "bank" / "bank.h5"
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("bank", nargs="?", default=default_bank, help="bank file (HDF5)")
    parser.add_argument("-o", "--output", default="thrust_section.png", help="PNG to write")
    parser.add_argument("--row", type=int, default=None,
                        help="fault row (as in /subfaults/row; default: the shallowest)")
    parser.add_argument("--rake", type=float, default=90.0, help="rake in degrees")
    parser.add_argument("--duration", type=float, default=2.0, help="source duration")
    parser.add_argument("--lowpass", type=float, default=0.5, help="low-pass corner (Hz)")
    parser.add_argument("--common-scale", action="store_true",
                        help="one scale for every trace (default: each trace's three "
                             "components scaled by their largest value)")
    parser.add_argument("--reduce", type=float, default=None, metavar="V",
                        help="reduction velocity: time axis t - distance/V")
    args = parser.parse_args()

    with layergreen.Bank(args.bank) as bank:
        rows = np.unique(bank.subfaults.row)
        row = rows[0] if args.row is None else args.row
        subfaults = np.flatnonzero(bank.subfaults.row == row)
        if bank.subfaults.strike is None:
            parser.error(f"{args.bank} gives no strike and dip of its subfaults")
        if len(subfaults) == 0:
            parser.error(f"no subfault in row {row} (rows: {', '.join(map(str, rows))})")
        traces = []  # (station, distance, u [z, r, t])
        for station in range(len(bank.stations)):
            for j in subfaults:
                mechanism = (bank.subfaults.strike[j], bank.subfaults.dip[j], args.rake)
                t, u = bank.synthetic(station, j, mechanism, source=("triangle", args.duration),
                                      lowpass=args.lowpass, components="zrt")
                traces.append((station, bank.distance(station, j), u))
        names = bank.stations.name
        title = (f"{pathlib.Path(bank.path).name}: rake {args.rake:g} on the {len(subfaults)} "
                 f"subfaults of row {row}, triangle {args.duration:g}, low-pass "
                 f"{args.lowpass:g} Hz")

    distances = np.array([d for _, d, _ in traces])
    height = 3.0 * (np.ptp(distances) / max(len(traces) - 1, 1) or 1.0)
    common = max(np.abs(u).max() for _, _, u in traces) or 1.0
    colours = plt.get_cmap("tab10")
    fig, axes = plt.subplots(1, 3, figsize=(13, 8), sharey=True)
    for k, label in ((1, "radial"), (2, "transverse"), (0, "vertical (up)")):
        ax = axes[[1, 2, 0].index(k)]
        for station, d, u in traces:
            shift = 0.0 if args.reduce is None else d / args.reduce
            peak = common if args.common_scale else (np.abs(u).max() or 1.0)
            ax.plot(t - shift, d + height * u[k] / peak, lw=0.7, color=colours(station % 10))
        ax.set_title(label)
        ax.set_xlabel("time" if args.reduce is None else f"t - distance/{args.reduce:g}")
        ax.grid(alpha=0.3)
    axes[0].set_ylabel("distance")
    handles = [plt.Line2D([], [], color=colours(i % 10), label=n) for i, n in enumerate(names)]
    axes[2].legend(handles=handles, loc="upper right", fontsize="small")
    fig.suptitle(title)
    fig.tight_layout()
    fig.savefig(args.output, dpi=90)
    print(f"{args.output}: {len(traces)} traces")


if __name__ == "__main__":
    main()
