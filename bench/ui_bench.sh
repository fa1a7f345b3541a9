#!/bin/sh
# Check from the window, headless (Qt's offscreen platform), over the kernel's
# kernel/ folder and over the whole kernel tree, beside vantor-cli check on
# the same tree in the same run. The window's time runs from the click on
# "Vérifier" to "terminé" in the pane; while the pane fills, a tab is clicked
# every 100 ms and the time until the page has changed is kept.
# Usage: bench/ui_bench.sh [RUNS]   (default 3: best of RUNS for each figure)
. "$(dirname "$0")/common.sh"
apt_need time cmake ninja-build g++ qt6-base-dev
ensure_trees
RUNS=${1:-3}
UIBUILD=${UIBUILD:-$REPO/build-uibench}
# One optimised build for both front ends, so that they differ only in how
# they show the text.
cmake -S "$REPO" -B "$UIBUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF -DVANTOR_UI=ON >/dev/null
cmake --build "$UIBUILD" --target vantor-cli vantor-ui-bench >/dev/null
CLI=$UIBUILD/vantor-cli
UI=$UIBUILD/ui/vantor-ui-bench
export QT_QPA_PLATFORM=offscreen
XDG_CONFIG_HOME=$(mktemp -d "${TMPDIR:-/tmp}/vantor-ui-bench.XXXXXX")
export XDG_CONFIG_HOME
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT INT TERM

set -f
find "$KERNEL" -type f \( -name '*.c' -o -name '*.h' \) -print0 | xargs -0 cat >/dev/null

# Best of RUNS window runs: sets UI_LINE to the report of the fastest.
ui_best() {
  UI_LINE=""; best=""
  for _ in $(seq "$RUNS"); do
    line=$("$UI" "$1" --subfolders --mask '*.c' --mask '*.h' 2>/dev/null | grep '^seconds=')
    s=$(echo "$line" | sed 's/^seconds=\([0-9.]*\).*/\1/')
    if [ -z "$best" ] || awk -v a="$s" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$s; UI_LINE=$line; fi
  done
}

for tree in "$KERNEL/kernel" "$KERNEL"; do
  echo "== $tree"
  best_of "$RUNS" "$CLI" --set SousRepertoire=1 --mask '*.c' --mask '*.h' --color never check "$tree"
  echo "vantor-cli check: ${SECS}s, peak ${PEAK_KB} KB (one core)"
  ui_best "$tree"
  echo "window:           $UI_LINE"
done
