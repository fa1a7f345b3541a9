#!/bin/sh
# Each batch command over one tree at -j 1 and -j 2: best of 3 runs each,
# lines per second, CPU seconds and the -j 1 / -j 2 time ratio. The runs are not pinned to a
# core (common.sh's `timed` pins them), and the machine may be shared: the
# load average before and after is printed beside the figures.
# jobs_bench.sh TREE [VANTOR_CLI]   (default: build/vantor-cli of this checkout)
set -e
[ -d "${1:-}" ] || { echo "usage: jobs_bench.sh TREE [VANTOR_CLI]"; exit 2; }
TREE=$(cd "$1" && pwd)
REPO=$(cd "$(dirname "$0")/.." && pwd)
CLI=${2:-$REPO/build/vantor-cli}
RUNS=${RUNS:-3}
# The copies and pages go to memory when it can hold them: the figure is
# the tool's, not the file system's.
if [ -d /dev/shm ] && [ "$(df -Pm /dev/shm | awk 'NR == 2 { print $4 }')" -gt 4096 ]; then
  WORK=$(mktemp -d -p /dev/shm)
else
  WORK=$(mktemp -d)
fi
trap 'rm -rf "$WORK"' EXIT
set -f
SET="--set SousRepertoire=1 --mask *.c --mask *.h --color never"

rate() { awk -v l="$1" -v s="$2" 'BEGIN { if (s <= 0) s = 0.001; printf "%.0f", l / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b <= 0) b = 0.001; printf "%.2f", b / a }'; }
now() { date +%s%N; }

lines=$(find "$TREE" -type f \( -name '*.c' -o -name '*.h' \) -print0 | xargs -0 cat | wc -l)
files=$(find "$TREE" -type f \( -name '*.c' -o -name '*.h' \) | wc -l)
# Warm the page cache: the figure is the tool's, not the disk's.
find "$TREE" -type f \( -name '*.c' -o -name '*.h' \) -print0 | xargs -0 cat > /dev/null
echo "tree: $TREE, $files files, $lines lines; $(nproc) cores; work in $WORK; load before: $(cut -d' ' -f1-3 /proc/loadavg)"

# run J CMD: one run of "vantor-cli -j J CMD"; sets SECS (wall) and CPU
# (user + system seconds). Apply and Replace rewrite a fresh copy each run
# (the copy is not timed); Design and Instrument write into a folder emptied
# before each run.
run() {
  j=$1; cmd=$2; src=$TREE; extra=""
  case $cmd in
    apply|replace) rm -rf "$WORK/copy"; cp -rp "$TREE" "$WORK/copy"; src=$WORK/copy; sync ;;
    design|instrument) rm -rf "$WORK/out"; extra="-o $WORK/out" ;;
  esac
  [ "$cmd" = search ] || [ "$cmd" = replace ] && extra="--dict return=RETURN --dict int=INT"
  t0=$(now)
  /usr/bin/time -f "%U %S" -o "$WORK/time" "$CLI" $SET -j "$j" $extra "$cmd" "$src" > /dev/null 2>&1 || true
  t1=$(now)
  SECS=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
  CPU=$(tail -n 1 "$WORK/time" | awk '{ printf "%.2f", $1 + $2 }')
}

# -j 1 and -j 2 take turns, so that a busy spell of the machine falls on
# both; the best wall time of each is kept, with that run's CPU time.
for cmd in ${COMMANDS:-check apply design instrument search replace}; do
  b1=""; b2=""
  for _ in $(seq "$RUNS"); do
    run 1 "$cmd"
    if [ -z "$b1" ] || awk -v a="$SECS" -v b="$b1" 'BEGIN { exit !(a < b) }'; then b1=$SECS; c1=$CPU; fi
    run 2 "$cmd"
    if [ -z "$b2" ] || awk -v a="$SECS" -v b="$b2" 'BEGIN { exit !(a < b) }'; then b2=$SECS; c2=$CPU; fi
  done
  printf '%-10s -j1 %7.2fs %9s lines/s (cpu %6.2fs)   -j2 %7.2fs %9s lines/s (cpu %6.2fs)   ratio %s\n' \
    "$cmd" "$b1" "$(rate "$lines" "$b1")" "$c1" "$b2" "$(rate "$lines" "$b2")" "$c2" "$(ratio "$b2" "$b1")"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
