#!/bin/sh
# Builds instrumented copies of real C code: every .c file of the kernel's
# tools/ and scripts/ folders that gcc accepts on its own (-fsyntax-only) is
# instrumented and must still be accepted. Lists the files that are not.
. "$(dirname "$0")/common.sh"
apt_need gcc
ensure_trees
build_release

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
set -f
INC="-I $KERNEL/tools/include -I $KERNEL/tools/lib -I $KERNEL/tools/include/uapi -I $KERNEL/tools/arch/x86/include"
INC="$INC -I $KERNEL/tools/perf -I $KERNEL/tools/perf/util -I $KERNEL/scripts/dtc/libfdt"
for top in tools scripts; do
  "$CLI" --set SousRepertoire=1 --mask '*.c' --mask '*.h' --color never --lang en \
    instrument "$KERNEL/$top" -o "$WORK/$top" >"$WORK/$top.log" 2>&1
done
n=0; bad=0
for f in $(cd "$KERNEL" && find tools scripts -name '*.c' | sort); do
  d=$(dirname "$f")
  timeout 10 gcc -fsyntax-only -w -I "$KERNEL/$d" $INC "$KERNEL/$f" 2>/dev/null || continue
  n=$((n + 1))
  if ! timeout 10 gcc -fsyntax-only -w -I "$WORK/$d" -I "$KERNEL/$d" $INC "$WORK/$f" 2>"$WORK/err"; then
    bad=$((bad + 1))
    echo "does not compile: $f"
    grep -m1 error "$WORK/err"
  fi
done
echo "files accepted by gcc: $n; instrumented copies refused: $bad"
