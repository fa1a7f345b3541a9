#!/bin/sh
# Apply's two promises, on copies of the kernel tree (*.c, *.h) and of the
# JDK sources (*.java), once with the default settings and once with braces
# mandatory (accolades=1):
#   1. tokens: every rewritten file holds the tokens of its ".bak" with only
#      "{" and "}" added (bench/tokdiff);
#   2. a second run on the rewritten tree changes no file.
# Usage: bench/apply_guarantees.sh [kernel|jdk]...   (default: both)
# EXTRA_SET adds settings to every run (EXTRA_SET="--set Methodes=1").
. "$(dirname "$0")/common.sh"
apt_need time
ensure_trees
build_release
cmake --build "$BUILD" --target tokdiff >/dev/null
TOKDIFF=$BUILD/tokdiff

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vantor-guarantees.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
set -f

# copy_tree SRC DEST PATTERN...: the files matching the patterns, paths kept.
copy_tree() {
  src=$1; dest=$2; shift 2
  rm -rf "$dest"; mkdir -p "$dest"
  expr=""
  for p in "$@"; do expr="$expr -o -name $p"; done
  expr=${expr# -o }
  (cd "$src" && find . -type f \( $expr \) -print0 | tar --null -T - -cf -) | tar -xf - -C "$dest"
}

count_bak() { find "$1" -name '*.bak' | wc -l; }

# guarantee NAME SRC "MASK OPTIONS" "PATTERNS" "EXTRA SETTINGS"
guarantee() {
  name=$1; src=$2; masks=$3; patterns=$4; extra=$5
  tree=$WORK/$name
  copy_tree "$src" "$tree" $patterns
  files=$(find "$tree" -type f | wc -l)
  extra="$extra ${EXTRA_SET:-}"
  opts="--color never --set SousRepertoire=1 $masks $extra"
  echo "== $name ($files files) $extra"

  timed "$CLI" $opts apply "$tree"
  changed=$(count_bak "$tree")
  echo "first run: ${SECS}s, $changed files rewritten"
  "$TOKDIFF" -q "$tree" > "$WORK/tok1.txt" || true
  grep -v '^tokdiff:' "$WORK/tok1.txt" | head -20
  tail -1 "$WORK/tok1.txt"

  find "$tree" -name '*.bak' -delete
  timed "$CLI" $opts apply "$tree"
  again=$(count_bak "$tree")
  echo "second run: ${SECS}s, $again files rewritten again"
  if [ "$again" -gt 0 ]; then
    "$TOKDIFF" -q "$tree" > "$WORK/tok2.txt" || true
    grep -v '^tokdiff:' "$WORK/tok2.txt" | head -10
    find "$tree" -name '*.bak' | head -20 | while read -r bak; do
      f=${bak%.bak}
      echo "  again: ${f#$tree/} ($(diff "$bak" "$f" | grep -c '^>') lines differ)"
    done
  fi
  rm -rf "$tree"
}

targets=${*:-kernel jdk}
for t in $targets; do
  case $t in
    kernel)
      guarantee kernel "$KERNEL" "--mask *.c --mask *.h" "*.c *.h" ""
      guarantee kernel "$KERNEL" "--mask *.c --mask *.h" "*.c *.h" "--set accolades=1" ;;
    jdk)
      guarantee jdk "$JDK" "--mask *.java" "*.java" ""
      guarantee jdk "$JDK" "--mask *.java" "*.java" "--set accolades=1" ;;
    *) echo "unknown tree: $t" >&2; exit 2 ;;
  esac
done
