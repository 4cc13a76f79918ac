#!/usr/bin/env bash
# layergreen-mpi bank under mpirun with RANKS ranks gives byte for byte the file of
# layergreen bank (also with forces, strain and rotation, and under an ocean with the pressure).
#   mpi_bank_test.sh LAYERGREEN LAYERGREEN_MPI MPIEXEC RANKS
set -euo pipefail
serial="$1" parallel="$2" mpiexec="$3" ranks="$4"
work="$(mktemp -d "${TMPDIR:-/tmp}/layergreen-mpi-bank.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir "$work/serial" "$work/mpi"
cat >"$work/serial/bank.toml" <<'TOML'
[bank]
output = "bank.h5"
[sampling]
nfreq = 16
tl = 10.0
aw = 1.0
xl = 200.0
ikmax = 400
uconv = 1e-3
[model]
layers = [[2.0, 4.5, 2.6, 2.4, 200, 100], [0.0, 6.0, 3.45, 2.7, 400, 200]]
[fault]
top_center = [0.0, 0.0, 1.0]
strike = 30.0
dip = 40.0
length = 6.0
width = 4.0
n_strike = 3
n_dip = 2
[[station]]
name = "NEAR"
x = 10.0
y = 4.0
[[station]]
name = "FARAWAY2"
x = -5.0
y = 20.0
[[station]]
name = "C"
x = 3.0
y = -12.0
TOML
cp "$work/serial/bank.toml" "$work/mpi/bank.toml"
(cd "$work/serial" && "$serial" bank bank.toml --threads 1 >/dev/null)
(cd "$work/mpi" && "$mpiexec" -q --oversubscribe --allow-run-as-root --bind-to none \
  -np "$ranks" "$parallel" bank bank.toml --threads 1 >out.txt 2>err.txt) || {
  cat "$work/mpi/err.txt" >&2
  exit 1
}
cmp "$work/serial/bank.h5" "$work/mpi/bank.h5"
test ! -e "$work/mpi/bank.h5.journal"
grep -q "bank written: bank.h5" "$work/mpi/out.txt"
# A bank with forces, static values, strain and rotation: the same bytes too.
for d in serial mpi; do
  sed 's/^output = "bank.h5"/output = "forces.h5"\nsources = ["moment", "force"]\nstatics = true\nquantities = ["displacement", "strain", "rotation"]/' \
    "$work/$d/bank.toml" >"$work/$d/forces.toml"
done
(cd "$work/serial" && "$serial" bank forces.toml --threads 1 >/dev/null)
(cd "$work/mpi" && "$mpiexec" -q --oversubscribe --allow-run-as-root --bind-to none \
  -np "$ranks" "$parallel" bank forces.toml --threads 1 >out.txt 2>err.txt) || {
  cat "$work/mpi/err.txt" >&2
  exit 1
}
cmp "$work/serial/forces.h5" "$work/mpi/forces.h5"
# Under an ocean, with the pressure: a station at the sea floor and one in the water.
for d in serial mpi; do
  sed -e 's/^output = "bank.h5"/output = "ocean.h5"\nstatics = true\nquantities = ["displacement", "pressure"]/' \
    -e 's/^layers = \[/layers = [[1.0, 1.5, 0.0, 1.0, 1e4, 1e4], /' -e 's/^top_center = .*/top_center = [0.0, 0.0, 2.0]/' \
    -e 's/^name = "NEAR"/name = "NEAR"\ndepth = 1.0/' -e 's/^name = "C"/name = "C"\ndepth = 0.4/' \
    -e 's/^name = "FARAWAY2"/name = "FARAWAY2"\ndepth = 1.0/' "$work/$d/bank.toml" >"$work/$d/ocean.toml"
done
(cd "$work/serial" && "$serial" bank ocean.toml --threads 1 >/dev/null)
(cd "$work/mpi" && "$mpiexec" -q --oversubscribe --allow-run-as-root --bind-to none \
  -np "$ranks" "$parallel" bank ocean.toml --threads 1 >out.txt 2>err.txt) || {
  cat "$work/mpi/err.txt" >&2
  exit 1
}
cmp "$work/serial/ocean.h5" "$work/mpi/ocean.h5"
echo "mpi bank with $ranks ranks: same file as layergreen bank"
