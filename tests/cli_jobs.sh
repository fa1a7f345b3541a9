#!/bin/sh
# vantor-cli -j: every command run with -j 2 and -j 0 shows, writes and
# returns what it does with -j 1, byte for byte, on the samples and on a
# generated tree of a few hundred files; and a bad -j runs nothing.
# cli_jobs.sh VANTOR_CLI SAMPLES_DIR
set -u
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
samples=$2
work=$(mktemp -d)
[ -n "${KEEP:-}" ] || trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A tree of C, C++ and Java sources over nested folders: rule breaks, code
# Apply rewrites, includes and calls for Design, CRLF files, an empty file
# and one that is not text.
gen=$work/gen
i=0
while [ $i -lt 320 ]; do
  d=$gen/d$((i % 4))/e$((i % 3))
  [ $((i % 5)) -eq 0 ] && d=$gen
  mkdir -p "$d"
  case $((i % 3)) in
  0) f=$d/m$i.c
     printf '#include "m%d.h"\n#include <stdio.h>\nint f%d(int a)\n{\n   if (a) return h%d(a); else return a ? 1 : 2;\n}\nvoid g%d(int x) { while (x) { x--; f%d(x); } goto end; end: ; }\n' \
       $((i % 7)) $i $((i % 5)) $i $((i % 11)) > "$f"
     [ $((i % 4)) -eq 0 ] && printf 'int long%d(void) { return 1 + 2 + 3 + 4 + 5 + 6 + 7 + 8 + 9 + 10 + 11 + 12 + 13 + 14 + 15 + 16 + 17 + 18 + 19; }\n' $i >> "$f"
     [ $((i % 6)) -eq 0 ] && printf 'int deep%d(int a)\n{\n if (a) { if (a > 1) { if (a > 2) { if (a > 3) { if (a > 4) { if (a > 5) { return a; } } } } } }\n return 0;\n}\n' $i >> "$f"
     ;;
  1) f=$d/k$i.cpp
     printf '#include "k%d.hpp"\nnamespace n%d {\nclass C%d {\npublic:\n  int m(int a) { switch (a) { case 1: a++; case 2: return a; default: return q%d(a); } }\n};\n}\nint use%d() { n%d::C%d c; return c.m(%d); }\n' \
       $((i % 9)) $i $i $((i % 4)) $i $i $i $i > "$f"
     ;;
  2) f=$d/J$i.java
     printf 'package p;\npublic class J%d {\n    int a(int x) { if (x > 0) return b(x - 1); return 0; }\n    int b(int x) { for (int k = 0; k < x; k++) { x = x ? 1 : 0; } return a(x); }\n}\n' $i > "$f"
     ;;
  esac
  [ $((i % 10)) -eq 7 ] && sed -i 's/$/\r/' "$f"
  i=$((i + 1))
done
: > "$gen/empty.c"
printf 'int x;\0\1\2binary\n' > "$gen/d1/blob.c"
printf 'int ok(void)\n{\n   return 0;\n}\n' > "$gen/d2/tidy.c"

masks="--mask *.c --mask *.h --mask *.cpp --mask *.hpp --mask *.java"
base="--set SousRepertoire=1 --color always"
undate() { sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}/DATE/' "$1"; }

# same NAME TREE ARGS...: runs "vantor-cli -j J ARGS TREE" for J = 1, 2, 0
# on one copy of TREE each (in place for apply and replace), with the pages
# of design and instrument in a folder of their own, and compares stdout,
# stderr, status and every file of the copy and of the folder with -j 1's.
same() {
  name=$1; tree=$2; shift 2
  for j in 1 2 0; do
    # Every run in the same folder: the paths it prints and writes are alike.
    r=$work/cur
    mkdir -p "$r/out"
    # Instrument writes each source's date into its table: the copies keep it.
    cp -rp "$tree" "$r/src"
    case "$*" in *design*|*instrument*) dest="-o out" ;; *) dest="" ;; esac
    # shellcheck disable=SC2086
    (cd "$r" && set -f && "$cli" $base -j $j $dest "$@" src > stdout 2> stderr; echo $? > status)
    undate "$r/stdout" > "$r/stdout.n"
    mv "$r" "$work/run.$name.$j"
  done
  for j in 2 0; do
    a=$work/run.$name.1; b=$work/run.$name.$j
    for f in stdout.n stderr status; do
      cmp -s "$a/$f" "$b/$f" || fail "$name -j $j: $f differs from -j 1"
    done
    diff -r "$a/src" "$b/src" > /dev/null || fail "$name -j $j: the source tree differs from -j 1's"
    diff -r "$a/out" "$b/out" > /dev/null || fail "$name -j $j: the written folder differs from -j 1's"
  done
  [ -s "$work/run.$name.1/stdout" ] || [ "$name" = sarif-empty ] || fail "$name printed nothing"
}

set -f
for t in "$samples" "$gen"; do
  n=$(basename "$t")
  same "$n-check" "$t" $masks check
  same "$n-gcc" "$t" $masks --format gcc check
  same "$n-sarif" "$t" $masks --format sarif check
  same "$n-apply" "$t" $masks apply
  same "$n-design" "$t" $masks design
  same "$n-instrument" "$t" $masks instrument
  same "$n-search" "$t" $masks --dict a=alpha --dict return=RETURN search
  same "$n-replace" "$t" $masks --dict a=alpha --dict return=RETURN replace
  same "$n-replace-sub" "$t" $masks --substring --dict ret=RET replace
  same "$n-search-sub" "$t" $masks --substring --dict ret=RET --dict include=INC search
  same "$n-apply-check" "$t" $masks apply --check
  same "$n-apply-diff" "$t" $masks apply --diff
done
# A file two masks take is processed twice, its second pass reading the first's rewrite.
same gen-apply-twice "$gen" --mask '*.c' --mask '*.*' apply
set +f

for f in liste.txt dependency.html calling.html; do
  [ -s "$work/run.gen-design.1/out/$f" ] || fail "design wrote no $f"
done
ls "$work"/run.gen-apply.1/src/d0/e0/*.bak > /dev/null 2>&1 || fail "apply rewrote nothing"
[ "$(cat "$work/run.gen-check.1/status")" = 1 ] || fail "check of the generated tree found no violation"
grep -q 'not a text file' "$work/run.gen-check.1/stdout" || fail "the binary file went unnoticed"

# A bad -j: one line on stderr, nothing on stdout, status 2, nothing run.
cp -r "$gen" "$work/bad"
for bad in x -1 '' 2x +2; do
  "$cli" -j "$bad" apply "$work/bad" > "$work/bad.out" 2> "$work/bad.err"
  status=$?
  [ $status -eq 2 ] || fail "-j '$bad': status $status"
  [ -s "$work/bad.out" ] && fail "-j '$bad': something on stdout"
  [ "$(wc -l < "$work/bad.err")" -eq 1 ] || fail "-j '$bad': not one line on stderr"
done
"$cli" --jobs=x check "$work/bad" > /dev/null 2>&1; [ $? -eq 2 ] || fail "--jobs=x is no usage error"
[ -z "$(find "$work/bad" -name '*.bak')" ] || fail "a bad -j still ran apply"

[ $failures -eq 0 ] && echo "all -j runs identical to -j 1"
[ $failures -eq 0 ]
