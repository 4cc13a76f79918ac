#!/usr/bin/env bash
# Runs every command of the README and of docs/getting-started.md as written: the fenced
# ```sh blocks of each file in order, in one shell, in a scratch copy of the sources whose
# build/ is this build. Each section (heading) starts from the top of the sources, as the
# documents say, and its blocks go on in the folder the one before left; HOME is a scratch
# folder, so ~/.local is one too.
# Inside the copy, `cmake -S ... -B build` and `cmake --build build` do nothing (build/ is this
# build, configured and built from the real sources) and `ctest` does nothing (it is this
# suite); every other command, `cmake --install` included, runs for real.
#   doc_commands_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/layergreen-doc-commands.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "documentation commands: $*" >&2; exit 1; }

mkdir "$tmp/bin" "$tmp/home"
real_cmake=$(command -v cmake)
cat >"$tmp/bin/cmake" <<WRAP
#!/usr/bin/env bash
for a in "\$@"; do
  if [[ \$a == --build || \$a == -B ]]; then
    echo "(cmake \$*: build/ is the test's build)"; exit 0
  fi
done
exec "$real_cmake" "\$@"
WRAP
printf '#!/usr/bin/env bash\necho "(ctest: this suite)"\n' >"$tmp/bin/ctest"
chmod +x "$tmp/bin/cmake" "$tmp/bin/ctest"

for doc in README.md docs/getting-started.md; do
  copy="$tmp/copy-$(basename "$doc" .md)"
  mkdir "$copy"
  (cd "$src" && tar -cf - --exclude='./build*' --exclude=./.git --exclude='*.h5' \
    --exclude='./examples/*/green/*/*[0-9]' .) | tar -xf - -C "$copy"
  ln -s "$build" "$copy/build"
  # The blocks, each preceded by a line that shows it and, when it starts with cd, by a return
  # to the top of the copy.
  script="$tmp/$(basename "$doc" .md).sh"
  /usr/bin/python3 - "$copy/$doc" "$copy" >"$script" <<'PY'
import re, shlex, sys
text = open(sys.argv[1], encoding="utf-8").read()
print("set -euo pipefail")
n = 0
for section in re.split(r"^(?=#+ )", text, flags=re.M):
    for i, b in enumerate(re.findall(r"^```sh\n(.*?)^```", section, re.S | re.M)):
        n += 1
        print(f"echo {shlex.quote(f'== block {n}: ' + b.splitlines()[0])}")
        if i == 0:
            print(f"cd {shlex.quote(sys.argv[2])}")
        print(b)
print(f"echo '== {n} blocks'")
PY
  grep -q "^echo '== [1-9]" "$script" || fail "$doc has no \`\`\`sh blocks"
  (cd "$copy" && HOME="$tmp/home" PATH="$tmp/bin:$PATH" bash "$script") >"$tmp/out.txt" 2>&1 ||
    fail "$doc: a command failed:
$(tail -n 30 "$tmp/out.txt")"
  tail -n 1 "$tmp/out.txt"
done
# What the commands leave: the example bank, the record section, seismograms, the install.
g="$tmp/copy-getting-started"
for f in examples/bank/bank.h5 examples/bank/thrust_section.png examples/bank/static_map.png \
  examples/basic/green/OSK/OSK.3 \
  examples/basic/seis/OSK.3.e6z.sac examples/basic/OSK.3.png; do
  [[ -s "$g/$f" ]] || fail "docs/getting-started.md's commands made no $f"
done
[[ -x "$tmp/home/.local/bin/layergreen" ]] || fail "the install went nowhere"
echo "documentation commands: every command of README.md and docs/getting-started.md ran"
