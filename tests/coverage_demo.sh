#!/bin/sh
# Runs the README's coverage walk-through as written, in a scratch copy of
# samples/ and runtime/, with the vantor-cli under test first on PATH.
# Usage: coverage_demo.sh VANTOR_CLI REPO_ROOT
set -eu
cli=$1
root=$2
command -v gcc >/dev/null || { echo "SKIP: no gcc"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/samples" "$root/runtime" "$work/"
mkdir "$work/bin"
ln -s "$cli" "$work/bin/vantor-cli"

# The indented block after the marker line, its indentation taken off.
awk '/<!-- coverage-demo -->/ { on = 1; next }
     on && /^    / { sub(/^    /, ""); print; seen = 1; next }
     on && seen && /[^ ]/ { exit }' "$root/README.md" > "$work/walk.sh"
test -s "$work/walk.sh" || { echo "FAIL: no walk-through found in README.md"; exit 1; }
{
  echo 'set -e'
  command -v genhtml >/dev/null || echo 'genhtml() { echo "genhtml not installed: skipped" >&2; }'
  cat "$work/walk.sh"
} > "$work/run.sh"

cd "$work"
PATH="$work/bin:$PATH" sh run.sh > out.txt 2> err.txt || { cat out.txt err.txt; echo "FAIL: walk-through"; exit 1; }
fail=0
grep -q '^Branch 1 line 7->11$' out.txt || { echo "FAIL: the unrun 'negative' block is not reported"; fail=1; }
grep -q '^Total coverage : 75%$' out.txt || { echo "FAIL: total coverage"; fail=1; }
grep -qx "SF:$work/samples/demo/demo.c" demo.info || { echo "FAIL: SF path not absolute"; grep SF: demo.info; fail=1; }
if command -v genhtml >/dev/null; then
  find demo-html -name 'demo.c.gcov.html' | grep -q . || { echo "FAIL: genhtml made no page of demo.c"; fail=1; }
fi
[ $fail = 0 ] || { cat out.txt err.txt; exit 1; }
echo "coverage walk-through: ok"
