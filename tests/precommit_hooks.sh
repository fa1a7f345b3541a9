#!/bin/sh
# Runs each hook of .pre-commit-hooks.yaml as pre-commit does (its entry, then
# the staged files) on a clean and on an unruly file: 0 for the first, 1 for
# the second, and the file named on stdout.
# Usage: precommit_hooks.sh VANTOR_CLI REPO_ROOT
set -eu
cli=$1
root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$cli" "$work/bin/vantor-cli"
printf 'int f(void)\n{\n   return 0;\n}\n' > "$work/clean.c"
printf 'int g(void)\n{\nif (a) { goto e; }\n}\n' > "$work/unruly.c"
cd "$work"
hooks=0
grep '^  entry: ' "$root/.pre-commit-hooks.yaml" | sed 's/^  entry: //' > entries
while read -r entry; do
  hooks=$((hooks + 1))
  PATH="$work/bin:$PATH" $entry clean.c > out || { echo "FAIL: $entry clean.c gave $?"; cat out; exit 1; }
  status=0
  PATH="$work/bin:$PATH" $entry clean.c unruly.c > out || status=$?
  [ "$status" = 1 ] || { echo "FAIL: $entry clean.c unruly.c gave $status, not 1"; cat out; exit 1; }
  grep -q '^unruly.c' out || { echo "FAIL: $entry does not name unruly.c"; cat out; exit 1; }
done < entries
[ "$hooks" = 2 ] || { echo "FAIL: $hooks hooks found, 2 expected"; exit 1; }
echo "pre-commit hooks: ok"
