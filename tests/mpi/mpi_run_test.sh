#!/usr/bin/env bash
# Whole runs of layergreen-mpi under mpirun, checked against layergreen on the same input:
# every result file byte for byte, standard output, standard error and the exit status, for
# the bundled example and for runs that fail.
#
# usage: mpi_run_test.sh SERIAL MPI MPIRUN EXAMPLE CASE RANKS [THREADS]
#   SERIAL   the layergreen binary       MPI      the layergreen-mpi binary
#   MPIRUN   the mpirun command          EXAMPLE  the folder of the bundled example
#   CASE     example          the example as it is
#            warnings         sums that do not converge: a warning line per data set
#            header-mismatch  the second station's subfault header declares one row too many
#            bad-model        the second station's model file has too many layers
#            unwritable       a folder stands in place of a result file of the second station
#            rank-dies        a rank is killed while it computes (larger data sets)
#            not-a-file       the second station's subfault file is a folder
#            interrupted      mpirun gets SIGTERM while the ranks compute
#            groups           both stations share one model: one sweep of four data sets,
#                             computed whole, cut across the ranks, or one by one (--sweep 1)
#   RANKS    the number of ranks         THREADS  --threads of every rank (default 1)
set -euo pipefail
serial="$1" mpi="$2" mpirun="$3" example="$4" case="$5" ranks="$6" threads="${7:-1}"

# Ranks are not bound to single cores, so that a rank's threads can spread.
launch=("$mpirun" -q --oversubscribe --allow-run-as-root --bind-to none -np "$ranks" "$mpi")

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "FAIL ($case, $ranks ranks, $threads threads): $*" >&2
  exit 1
}

# prepare DIR [EDIT]: a copy of the example without any result file, then EDIT run inside it.
prepare() {
  cp -r "$example" "$1"
  find "$1/green" -type f -delete
  if [[ -n "${2:-}" ]]; then (cd "$1" && eval "$2"); fi
}

# run_serial DIR [OPTION...]: layergreen in DIR (one thread unless the options say otherwise);
# status, stdout and stderr beside DIR.
run_serial() {
  local rc=0 dir="$1"
  shift
  (cd "$dir" && env -u OMP_NUM_THREADS "$serial" --threads 1 "$@" >"$dir.out" 2>"$dir.err") ||
    rc=$?
  echo "$rc" >"$dir.rc"
}

# run_mpi DIR [OPTION...]: layergreen-mpi under mpirun in DIR, the same way.
run_mpi() {
  local rc=0 dir="$1"
  shift
  (cd "$dir" && env -u OMP_NUM_THREADS "${launch[@]}" --threads "$threads" "$@" \
    >"$dir.out" 2>"$dir.err") || rc=$?
  echo "$rc" >"$dir.rc"
}

# Temporary result files anywhere under DIR (there must be none after a run that ended).
partials() { find "$1" -name '.*.partial-*' | sort; }

# same_as_serial SER MPI: identical status, standard output, standard error and files.
same_as_serial() {
  [[ "$(cat "$1.rc")" == "$(cat "$2.rc")" ]] ||
    fail "status $(cat "$2.rc"), the serial run's is $(cat "$1.rc"); stderr: $(cat "$2.err")"
  if ! cmp -s "$1.out" "$2.out"; then
    diff "$1.out" "$2.out" | head -20 >&2
    fail "standard output differs"
  fi
  if ! cmp -s "$1.err" "$2.err"; then
    diff "$1.err" "$2.err" | head -20 >&2
    fail "standard error differs"
  fi
  diff -r "$1" "$2" >&2 || fail "the result files differ from the serial run's"
  [[ -z "$(partials "$2")" ]] || fail "temporary files left: $(partials "$2")"
}

# complete_units DIR: the data sets (station/row) whose five files are all in place; fails
# when a data set has only some of its files.
complete_units() {
  local dir="$1" st row n j have
  for st in OSK KBE; do
    for row in 1 2; do
      have=0
      for j in 1 2 3 4 5; do
        n=$(((row - 1) * 5 + j))
        [[ -f "$dir/green/$st/$st.$n" ]] && have=$((have + 1))
      done
      [[ $have -eq 0 || $have -eq 5 ]] || fail "$st row $row has $have of its 5 files"
      [[ $have -eq 5 ]] && echo "$st/$row"
    done
  done
  return 0
}

case "$case" in
  example)
    prepare "$scratch/ser"
    prepare "$scratch/mpi"
    run_serial "$scratch/ser"
    run_mpi "$scratch/mpi"
    [[ "$(cat "$scratch/ser.rc")" == 0 ]] || fail "the serial run failed"
    [[ $(find "$scratch/mpi/green" -type f | wc -l) -eq 20 ]] || fail "not 20 result files"
    same_as_serial "$scratch/ser" "$scratch/mpi"
    ;;

  warnings)
    # Every data set warns; the lines must come in run order, whichever rank computes what.
    edit="sed -i 's/UCONV=0.0001/UCONV=1e-12/; s/IKMAX=1500/IKMAX=300/' model/strOSK model/strKBE"
    prepare "$scratch/ser" "$edit"
    prepare "$scratch/mpi" "$edit"
    run_serial "$scratch/ser"
    run_mpi "$scratch/mpi"
    [[ $(grep -c '^layergreen: warning: station ' "$scratch/ser.err") -ge 2 ]] ||
      fail "the serial run gave too few warnings to check their order: $(cat "$scratch/ser.err")"
    same_as_serial "$scratch/ser" "$scratch/mpi"
    ;;

  header-mismatch)
    edit="sed -i '1s/^   5   2/   5   3/' zahyo/KBE.dat"
    prepare "$scratch/ser" "$edit"
    prepare "$scratch/mpi" "$edit"
    run_serial "$scratch/ser"
    run_mpi "$scratch/mpi"
    [[ "$(cat "$scratch/mpi.rc")" == 1 ]] || fail "status $(cat "$scratch/mpi.rc"), not 1"
    grep -q 'nszahyo.ne.(ns2-ns1+1).or.nwzahy.ne.nw1' "$scratch/mpi.out" ||
      fail "no mismatch line on standard output"
    # Exactly the first station's two data sets, as in the serial run.
    [[ "$(complete_units "$scratch/mpi" | tr '\n' ' ')" == "OSK/1 OSK/2 " ]] ||
      fail "complete data sets: $(complete_units "$scratch/mpi" | tr '\n' ' ')"
    same_as_serial "$scratch/ser" "$scratch/mpi"
    ;;

  bad-model)
    edit="sed -i 's/NC=[0-9]*/NC=25/' model/strKBE"
    prepare "$scratch/ser" "$edit"
    prepare "$scratch/mpi" "$edit"
    run_serial "$scratch/ser"
    run_mpi "$scratch/mpi"
    [[ "$(cat "$scratch/mpi.rc")" == 2 ]] || fail "status $(cat "$scratch/mpi.rc"), not 2"
    grep -q '^layergreen: model/strKBE:.*NC' "$scratch/mpi.err" ||
      fail "no message about the model file: $(cat "$scratch/mpi.err")"
    [[ "$(complete_units "$scratch/mpi" | tr '\n' ' ')" == "OSK/1 OSK/2 " ]] ||
      fail "complete data sets: $(complete_units "$scratch/mpi" | tr '\n' ' ')"
    same_as_serial "$scratch/ser" "$scratch/mpi"
    ;;

  unwritable)
    # The files of the second station's first row cannot all be put in place. The serial
    # run stops there; ranks busy with a later data set finish it, and nothing else starts.
    prepare "$scratch/ref"
    run_serial "$scratch/ref"
    edit="mkdir green/KBE/KBE.3"
    prepare "$scratch/ser" "$edit"
    prepare "$scratch/mpi" "$edit"
    run_serial "$scratch/ser"
    run_mpi "$scratch/mpi"
    [[ "$(cat "$scratch/ser.rc")" == 2 ]] || fail "the serial run did not fail"
    [[ "$(cat "$scratch/mpi.rc")" == 2 ]] || fail "status $(cat "$scratch/mpi.rc"), not 2"
    cmp -s "$scratch/ser.out" "$scratch/mpi.out" || fail "standard output differs"
    cmp -s "$scratch/ser.err" "$scratch/mpi.err" ||
      fail "standard error '$(cat "$scratch/mpi.err")', not '$(cat "$scratch/ser.err")'"
    units="$(complete_units "$scratch/mpi" | tr '\n' ' ')"
    [[ "$units" == "OSK/1 OSK/2 " || "$units" == "OSK/1 OSK/2 KBE/2 " ]] ||
      fail "complete data sets: $units"
    [[ -d "$scratch/mpi/green/KBE/KBE.3" ]] || fail "the folder in the way is gone"
    for f in $(cd "$scratch/mpi" && find green -type f); do
      cmp -s "$scratch/ref/$f" "$scratch/mpi/$f" || fail "$f differs from the serial result"
    done
    [[ -z "$(partials "$scratch/mpi")" ]] || fail "temporary files left: $(partials "$scratch/mpi")"
    ;;

  rank-dies)
    # Data sets large enough to take a while, those of KBE (a sweep of their own) four times
    # as long as those of OSK: a rank is killed while it writes one of KBE.
    edit="sed -i 's/IKMAX=1500/IKMAX=8000/; s/UCONV=0.0001/UCONV=0./' model/strOSK model/strKBE"
    edit+=" && sed -i 's/NFREQ=32/NFREQ=128/' model/strKBE"
    prepare "$scratch/ref" "$edit"
    prepare "$scratch/mpi" "$edit"
    run_serial "$scratch/ref"
    [[ "$(cat "$scratch/ref.rc")" == 0 ]] || fail "the serial run failed"
    rc=0
    (cd "$scratch/mpi" && env -u OMP_NUM_THREADS "${launch[@]}" --threads "$threads" \
      >"$scratch/mpi.out" 2>"$scratch/mpi.err") &
    run=$!
    # Once a data set is complete, kill the rank whose process writes the temporary files of
    # another one (their names end in the writer's process id).
    killed=""
    for ((i = 0; i < 6000; i++)); do
      if [[ -n "$(complete_units "$scratch/mpi")" ]]; then
        for p in $(partials "$scratch/mpi/green"); do
          pid="${p##*.partial-}"
          if kill -KILL "$pid" 2>/dev/null; then
            killed="$pid"
            break
          fi
        done
      fi
      [[ -z "$killed" ]] || break
      kill -0 "$run" 2>/dev/null || break
      sleep 0.02
    done
    wait "$run" || rc=$?
    [[ -n "$killed" ]] || fail "no rank was caught computing a data set"
    [[ $rc -ne 0 ]] || fail "mpirun reported success after rank process $killed was killed"
    units="$(complete_units "$scratch/mpi" | tr '\n' ' ')"
    [[ -n "$units" ]] || fail "the data set complete before the kill is gone"
    for f in $(cd "$scratch/mpi" && find green -type f ! -name '.*'); do
      cmp -s "$scratch/ref/$f" "$scratch/mpi/$f" || fail "$f differs from the serial result"
    done
    cmp -s "$scratch/ref.out" "$scratch/mpi.out" || fail "standard output differs"
    echo "killed rank process $killed; mpirun status $rc; complete: $units"
    ;;

  not-a-file)
    edit="rm zahyo/KBE.dat && mkdir zahyo/KBE.dat"
    prepare "$scratch/ser" "$edit"
    prepare "$scratch/mpi" "$edit"
    run_serial "$scratch/ser"
    run_mpi "$scratch/mpi"
    [[ "$(cat "$scratch/mpi.rc")" == 2 ]] || fail "status $(cat "$scratch/mpi.rc"), not 2"
    grep -qx 'layergreen: zahyo/KBE.dat: cannot open: it is a folder, not a file' \
      "$scratch/mpi.err" || fail "no message naming the file: $(cat "$scratch/mpi.err")"
    same_as_serial "$scratch/ser" "$scratch/mpi"
    ;;

  interrupted)
    # Every rank removes the temporaries of its data set, and the job says why it ended.
    # mpirun relays SIGTERM to the ranks about a second after it gets it and kills them a
    # second later, so the data sets are made long enough (tens of seconds) that the signal
    # finds them computing rather than already finishing.
    edit="sed -i 's/NFREQ=32/NFREQ=2048/; s/IKMAX=1500/IKMAX=8000/; s/UCONV=0.0001/UCONV=0./'"
    edit+=" model/strOSK model/strKBE"
    prepare "$scratch/mpi" "$edit"
    rc=0
    (cd "$scratch/mpi" && exec env -u OMP_NUM_THREADS "${launch[@]}" --threads "$threads" \
      >"$scratch/mpi.out" 2>"$scratch/mpi.err") &
    run=$!
    for ((i = 0; i < 3000; i++)); do
      [[ -z "$(partials "$scratch/mpi/green")" ]] && kill -0 "$run" 2>/dev/null || break
      sleep 0.02
    done
    [[ -n "$(partials "$scratch/mpi/green")" ]] || fail "no data set was caught in progress"
    kill -TERM "$run"
    wait "$run" || rc=$?
    [[ $rc -ne 0 ]] || fail "mpirun reported success after SIGTERM"
    grep -q '^layergreen: interrupted; the data sets in progress were not written$' \
      "$scratch/mpi.err" || fail "the interruption was not reported: $(cat "$scratch/mpi.err")"
    [[ -z "$(partials "$scratch/mpi")" ]] || fail "temporary files left: $(partials "$scratch/mpi")"
    complete_units "$scratch/mpi" >"$scratch/units"
    [[ ! -s "$scratch/units" ]] || fail "a data set finished before the signal: $(cat "$scratch/units")"
    ;;

  groups)
    # The four data sets form one sweep in layergreen (every one warns, so that the order of
    # the lines is seen too). layergreen-mpi hands the sweep out whole, or cut into parts when
    # there are more ranks than sweeps, or each data set on its own (--sweep 1); layergreen
    # computes it whole on three threads. All must give what layergreen gives
    # computing one data set after the other on one thread.
    edit="cp model/strOSK model/strKBE && sed -i 's/UCONV=0.0001/UCONV=1e-12/;"
    edit+=" s/IKMAX=1500/IKMAX=300/' model/strOSK model/strKBE"
    for run in ser one mpi mpi1; do prepare "$scratch/$run" "$edit"; done
    run_serial "$scratch/ser" --sweep 1
    run_serial "$scratch/one" --threads 3
    run_mpi "$scratch/mpi"
    run_mpi "$scratch/mpi1" --sweep 1
    [[ "$(cat "$scratch/ser.rc")" == 0 ]] || fail "the serial run failed"
    [[ $(grep -c '^layergreen: warning: station ' "$scratch/ser.err") -ge 2 ]] ||
      fail "too few warnings to see their order: $(cat "$scratch/ser.err")"
    for run in one mpi mpi1; do same_as_serial "$scratch/ser" "$scratch/$run"; done
    ;;

  *)
    fail "unknown case"
    ;;
esac
echo "ok: $case, $ranks ranks, $threads threads"
