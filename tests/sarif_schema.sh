#!/bin/sh
# The SARIF log of a Check run, validated against the SARIF 2.1.0 schema by
# Microsoft's SARIF multitool (from the npm registry, installed once into a
# cache folder outside the tree). Skipped (77) where it cannot be installed.
# sarif_schema.sh VANTOR_CLI SAMPLES_DIR
set -u
cli=$1
samples=$2
cache=${VANTOR_NPM_CACHE:-${HOME:-/tmp}/.cache/vantor-npm}
tool=$cache/node_modules/.bin/sarif-multitool
if [ ! -x "$tool" ]; then
  command -v npm >/dev/null 2>&1 || { echo "npm is absent: SARIF schema test skipped"; exit 77; }
  mkdir -p "$cache"
  (cd "$cache" && npm install --silent --no-audit --no-fund @microsoft/sarif-multitool >/dev/null 2>&1) ||
    { echo "cannot install @microsoft/sarif-multitool: SARIF schema test skipped"; exit 77; }
fi
# npm leaves the native program without its execute bit when install scripts are off.
chmod u+x "$cache"/node_modules/@microsoft/sarif-multitool-*/Sarif.Multitool 2>/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$samples" "$work/src"
cd "$work/src" || exit 1
"$cli" --set SousRepertoire=1 --format sarif check . > "$work/check.sarif"
status=$?
[ "$status" -eq 1 ] || { echo "check of the samples should report violations (status $status)"; exit 1; }
grep -q '"results":\[{' "$work/check.sarif" || { echo "no result in the log"; exit 1; }
"$tool" validate "$work/check.sarif" -o "$work/validation.sarif" > "$work/validate.txt" 2>&1
cat "$work/validate.txt"
# The multitool exits 0 whatever it finds: its findings of level error fail the test.
if grep -q ': error ' "$work/validate.txt" || grep -q '"level": *"error"' "$work/validation.sarif"; then
  echo "the SARIF log does not validate"
  exit 1
fi
grep -q 'Analysis completed successfully' "$work/validate.txt" || { echo "the multitool did not finish"; exit 1; }
echo "SARIF log valid"
