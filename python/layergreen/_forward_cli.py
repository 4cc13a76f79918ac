"""`layergreen forward BANK.h5 SLIP_MODEL -o DIR [--source S] [--lowpass FC] [--components C]`:
the forward model of Bank.forward from the command line (the program `layergreen` runs this
module with /usr/bin/python3). Writes one SAC file per station and component and static.csv
into DIR, and a line per station on standard output; a problem is one line on standard error
and exit status 2."""

import argparse
import csv
import io
import os
import sys

import numpy as np

from .bank import Bank
from .forward import SOURCES
from .slip_model import SlipModel


def _parser():
    p = argparse.ArgumentParser(prog="layergreen forward", add_help=False)
    p.add_argument("bank")
    p.add_argument("slip_model")
    p.add_argument("-o", "--output", required=True)
    p.add_argument("--source", default="triangle", choices=SOURCES)
    p.add_argument("--lowpass", type=float)
    p.add_argument("--components", default="zne", choices=("zne", "zrt"))
    return p


def static_table(f):
    """static.csv: station, lat, lon (or x, y in km when the bank's stations have no
    coordinates on the ellipsoid), north, east, up in metres."""
    st = f.stations
    geo = st.lat is not None and bool(np.isfinite(st.lat).all() and np.isfinite(st.lon).all())
    out = io.StringIO()
    w = csv.writer(out, lineterminator="\n")
    w.writerow(["station", "lat", "lon", "north_m", "east_m", "up_m"] if geo else
               ["station", "x_km", "y_km", "north_m", "east_m", "up_m"])
    for i, name in enumerate(st.name):
        a, b = (st.lat[i], st.lon[i]) if geo else (st.x[i], st.y[i])
        w.writerow([name, f"{a:.6f}", f"{b:.6f}"] + [f"{v:.9e}" for v in f.static[i]])
    return out.getvalue()


def main(argv):
    args = _parser().parse_args(argv)
    try:
        model = SlipModel.read(args.slip_model)
        with Bank(args.bank) as bank:
            f = bank.forward(model, source=args.source, lowpass=args.lowpass,
                             components=args.components)
        table = static_table(f)
        os.makedirs(args.output, exist_ok=True)
        paths = f.to_sac(args.output, extra={"static.csv": table.encode()})
    except (ValueError, OSError) as e:
        sys.stderr.write(f"layergreen forward: {e}\n")
        return 2
    lines = []
    for i, name in enumerate(f.stations.name):
        n, e, u = f.static[i]
        peak = np.abs(f.waveforms[i]).max()
        lines.append(f"{name}: static north {n:.4e} m, east {e:.4e} m, up {u:.4e} m; "
                     f"largest displacement {peak:.4e} m\n")
    lines.append(f"{len(paths) - 1} SAC files and static.csv in {args.output}\n")
    try:
        sys.stdout.write("".join(lines))
        sys.stdout.flush()
    except OSError as e:
        # The files are written; the report could not be (a closed pipe, a full disk).
        sys.stderr.write(f"layergreen forward: cannot write to standard output: {e.strerror}; "
                         f"the files in {args.output} are complete\n")
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
