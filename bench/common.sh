# Shared by the benchmarks: where the trees are, how to build, how to time.
# The trees are unpacked outside the repository and never committed.
set -e
BENCH_ROOT=${BENCH_ROOT:-/work/trees}
REPO=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$REPO/build-bench}
KERNEL=$BENCH_ROOT/linux-source-6.1
JDK=$BENCH_ROOT/jdk

apt_need() {
  need=""
  for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 || need="$need $p"; done
  if [ -n "$need" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $need >/dev/null
  fi
}

ensure_trees() {
  apt_need linux-source-6.1 openjdk-17-source unzip
  mkdir -p "$BENCH_ROOT"
  [ -d "$KERNEL" ] || tar xJf /usr/src/linux-source-6.1.tar.xz -C "$BENCH_ROOT"
  if [ ! -d "$JDK" ]; then
    mkdir -p "$JDK" && unzip -q "$(ls /usr/lib/jvm/*17*/lib/src.zip | head -1)" -d "$JDK"
  fi
}

# The release build: optimised, link-time and profile-guided (trained on this
# repository's own sources, never on the trees measured here).
build_release() {
  apt_need cmake ninja-build g++
  "$REPO/scripts/build-release.sh" "$BUILD" >/dev/null
  CLI=$BUILD/vantor-cli
}

# lines of the files listed on stdin (NUL-separated)
count_lines() { xargs -0 cat | wc -l; }

# Runs "$@" pinned to one core; sets SECS (wall, to the millisecond: time's
# own figure has only two decimals, a tenth of a run of 0.1 s) and PEAK_KB
# (max resident).
timed() {
  t0=$(date +%s%N)
  /usr/bin/time -f "%e %M" -o /tmp/vantor-bench-time taskset -c 0 "$@" >/dev/null 2>&1 || true
  t1=$(date +%s%N)
  SECS=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
  # time writes a "Command exited with non-zero status" line first when the tool reports findings
  read _ PEAK_KB <<EOF_TIME
$(tail -n 1 /tmp/vantor-bench-time)
EOF_TIME
}

rate() { awk -v l="$1" -v s="$2" 'BEGIN { if (s <= 0) s = 0.001; printf "%.0f", l / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b <= 0) b = 1; printf "%.1f", a / b }'; }

# Best of N runs of timed (the machine may be shared): sets SECS and PEAK_KB.
best_of() {
  n=$1; shift
  best=""; bestkb=""
  for _ in $(seq "$n"); do
    timed "$@"
    if [ -z "$best" ] || awk -v a="$SECS" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$SECS; bestkb=$PEAK_KB; fi
  done
  SECS=$best; PEAK_KB=$bestkb
}
