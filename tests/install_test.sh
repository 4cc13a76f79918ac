#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses the installed programs as a user would:
# layergreen from the PATH on a copy of examples/basic (results compared byte for byte with
# the regression case of the example), the manual pages, and, when built, layergreen-seis and
# layergreen-plot (which must find the installed layergreen-seis beside itself).
#   install_test.sh CMAKE BUILD_DIR SOURCE_DIR WITH_SEIS(0|1)
set -euo pipefail
cmake_exe=$1 build=$2 src=$3 with_seis=$4
tmp=$(mktemp -d "${TMPDIR:-/tmp}/layergreen-install-test.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

"$cmake_exe" --install "$build" --prefix "$tmp/prefix" >"$tmp/install.log" ||
  fail "cmake --install failed: $(cat "$tmp/install.log")"
bin="$tmp/prefix/bin"
man="$tmp/prefix/share/man/man1"
[[ -x "$bin/layergreen" ]] || fail "no bin/layergreen"
[[ -f "$tmp/prefix/share/doc/layergreen/README.md" ]] || fail "no README in share/doc/layergreen"
programs=(layergreen)
if [[ $with_seis == 1 ]]; then programs+=(layergreen-seis layergreen-plot); fi
for p in "${programs[@]}"; do
  [[ -x "$bin/$p" ]] || fail "no bin/$p"
  page="$man/$p.1"
  [[ -f "$page" ]] || fail "no manual page $page"
  head -1 "$page" | grep -q "^\.TH " || fail "$page does not start with .TH"
  grep -q -- '\\-\\-help' "$page" || fail "$page lacks the --help text"
done
# What a user starts from: the documents with their pictures, the examples, and the bank's
# configuration keys in the manual page (from the table of docs/banks.md).
share="$tmp/prefix/share"
for f in doc/layergreen/docs/getting-started.md doc/layergreen/docs/statics.md \
  doc/layergreen/docs/python-thrust-section.png doc/layergreen/docs/seismograms-OSK.3.png \
  layergreen/examples/basic/quenta4.ctl layergreen/examples/bank/bank.toml \
  layergreen/examples/python/thrust_section.py layergreen/examples/python/static_map.py; do
  [[ -s "$share/$f" ]] || fail "no share/$f"
done
grep -q "top_center_geo" "$man/layergreen.1" || fail "man layergreen lists no configuration keys"
[[ -z $(find "$share/layergreen/examples" -name '*.h5' -o -path '*/green/*/*[0-9]') ]] ||
  fail "results of the sources' examples were installed"
if [[ $with_seis == 0 && -e "$bin/layergreen-seis" ]]; then
  fail "layergreen-seis installed though it was not built"
fi

# The example, run by name from the PATH in a folder of its own.
export PATH="$bin:/usr/bin:/bin"
unset LAYERGREEN_SEIS OMP_NUM_THREADS
cp -r "$src/examples/basic" "$tmp/run"
find "$tmp/run/green" -type f -delete
(cd "$tmp/run" && layergreen >"$tmp/stdout.txt" 2>"$tmp/stderr.txt") ||
  fail "installed layergreen failed: $(cat "$tmp/stderr.txt")"
expected="$src/tests/data/regression/basic/expected"
cmp -s "$tmp/stdout.txt" "$expected/stdout.txt" || fail "standard output differs"
count=0
for f in "$expected"/green/*/*; do
  rel=${f#"$expected/"}
  cmp -s "$tmp/run/$rel" "$f" || fail "$rel differs or is missing"
  count=$((count + 1))
done
((count == 20)) || fail "expected 20 result files, compared $count"

if [[ $with_seis == 1 ]]; then
  (cd "$tmp/run" && layergreen-seis -o seis green/OSK/OSK.3) || fail "layergreen-seis failed"
  [[ -s "$tmp/run/seis/OSK.3.e6z.sac" ]] || fail "layergreen-seis wrote no OSK.3.e6z.sac"
  # layergreen-plot must find layergreen-seis beside itself, not in a build folder.
  (cd "$tmp/run" && layergreen-plot -o osk3.png green/OSK/OSK.3 2>"$tmp/plot.err") ||
    fail "layergreen-plot failed: $(cat "$tmp/plot.err")"
  [[ $(head -c 4 "$tmp/run/osk3.png" | od -An -c | tr -d ' ') == '211PNG' ]] ||
    fail "layergreen-plot wrote no PNG"
fi
echo "install test: installed ${programs[*]} into a temporary prefix; example results identical"
