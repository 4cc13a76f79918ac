#!/usr/bin/python3
"""The worked example of docs/forward.md, after `layergreen bank bank.toml` in this folder:
the slip model's seismograms at the bank's stations (Bank.forward), their GNSS offsets, and an
InSAR line-of-sight map from static_field, drawn into forward-example.png.

Usage: forward_example.py [--bank bank.h5] [--model model.fsp] [--out forward-example.png]
(the build tree's package is used when PYTHONPATH names it, e.g. PYTHONPATH=../../build/python)
"""

import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import layergreen  # noqa: E402

parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
parser.add_argument("--bank", default="bank.h5")
parser.add_argument("--model", default="model.fsp")
parser.add_argument("--out", default="forward-example.png")
args = parser.parse_args()

model = layergreen.SlipModel.read(args.model)
with layergreen.Bank(args.bank) as bank:
    f = bank.forward(model, source="triangle", lowpass=0.5)
    layers = bank.layers

print(f"{len(model)} subfaults, moment {f.moment.sum():.3e} N m "
      f"(Mw {(np.log10(f.moment.sum()) - 9.1) / 1.5:.2f})")
print("GNSS offsets (m):")
print(f"{'station':8s} {'lat':>9s} {'lon':>10s} {'north':>9s} {'east':>9s} {'up':>9s}")
for i, name in enumerate(f.stations.name):
    n, e, u = f.static[i]
    print(f"{name:8s} {f.stations.lat[i]:9.4f} {f.stations.lon[i]:10.4f} "
          f"{n:9.4f} {e:9.4f} {u:9.4f}")

# InSAR: line-of-sight change towards an ascending satellite looking east, 34 degrees off
# vertical (unit vector from the ground to the satellite, east, north, up).
inc, heading = np.radians(34.0), np.radians(-12.0)
look = np.array([-np.sin(inc) * np.cos(heading), np.sin(inc) * np.sin(heading), np.cos(inc)])
lat = np.linspace(35.85, 36.55, 90)
lon = np.linspace(137.70, 138.50, 90)
glat, glon = np.meshgrid(lat, lon, indexing="ij")
los = layergreen.static_field(layers, model, np.column_stack([glat.ravel(), glon.ravel()]),
                              look=look).reshape(glat.shape)

fig = plt.figure(figsize=(12.5, 6.2))
ax = fig.add_axes([0.06, 0.09, 0.40, 0.82])
lim = np.abs(los).max()
im = ax.pcolormesh(glon, glat, los * 100, cmap="RdBu_r", vmin=-lim * 100, vmax=lim * 100,
                   shading="auto")
fig.colorbar(im, ax=ax, shrink=0.8, label="line-of-sight change (cm, + towards the satellite)")
ax.scatter(model.lon, model.lat, s=6 + 20 * model.slip, c="k", alpha=0.35, lw=0,
           label="subfaults (size: slip)")
ax.plot(model.hypocentre.lon, model.hypocentre.lat, "*", ms=14, mfc="yellow", mec="k",
        label="epicentre")
scale = 0.6 / np.abs(f.static[:, :2]).max()  # degrees per metre of the arrows
for i, name in enumerate(f.stations.name):
    ax.plot(f.stations.lon[i], f.stations.lat[i], "^", ms=8, mfc="w", mec="k")
    ax.annotate("", xy=(f.stations.lon[i] + scale * 0.25 * f.static[i, 1],
                        f.stations.lat[i] + scale * 0.25 * f.static[i, 0]),
                xytext=(f.stations.lon[i], f.stations.lat[i]),
                arrowprops={"arrowstyle": "->", "lw": 1.6, "color": "k"})
    ax.text(f.stations.lon[i] + 0.02, f.stations.lat[i] + 0.012, name, ha="left",
            va="bottom", fontsize=8)
ax.set_xlabel("longitude (°)")
ax.set_ylabel("latitude (°)")
ax.set_title("line of sight (static_field), GNSS horizontal offsets", fontsize=10)
ax.legend(loc="lower right", fontsize=8)
ax.set_aspect(1 / np.cos(np.radians(36.2)))

ax = fig.add_axes([0.60, 0.09, 0.33, 0.82])
colours = {"Z": "k", "N": "tab:blue", "E": "tab:red"}
step = 1.1 * np.abs(f.waveforms).max()
for i, name in enumerate(f.stations.name):
    for c, letter in enumerate("ZNE"):
        ax.plot(f.t, f.waveforms[i, c] - i * step, color=colours[letter], lw=0.9,
                label=letter if i == 0 else None)
    ax.text(f.t[-1] * 1.01, -i * step, name, va="center", fontsize=8)
ax.set_xlim(0, f.t[-1])
ax.set_yticks([])
ax.set_xlabel("time after the origin (s)")
ax.set_title(f"Bank.forward: displacement, low-pass 0.5 Hz ({step * 100:.0f} cm a trace)",
             fontsize=10)
ax.legend(loc="upper right", fontsize=8)
fig.savefig(args.out, dpi=90)
print(f"wrote {args.out}; line of sight from {los.min() * 100:.1f} to {los.max() * 100:.1f} cm")
