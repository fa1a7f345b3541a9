#!/bin/bash
# Vantor's coverage against gcov's, on GoogleTest (Debian package googletest)
# and its own unit tests: the same test objects are linked once with the
# library built by `g++ --coverage` (run A) and once with the library built
# from Vantor's instrumented copies and runtime/vantor_cov.c (run B), both
# run the same way, then one row per googletest/src file: Vantor's share of
# instructions run, gcov's share of lines run, and their difference.
# Usage: bench/gtest_gcov.sh [SCRATCH]   (default: a new folder under /tmp)
#   VANTOR_CLI  the vantor-cli to use (default: build/vantor-cli of this tree)
#   GTEST_SRC   the googletest folder (default: /usr/src/googletest/googletest)
#   LIMIT       the largest difference allowed, in points (default: 10)
# Exit 0 when every file is within LIMIT, 1 otherwise, 2 on a setup failure.
# Two more columns say why a file is far apart: the share Vantor gives once
# the never-run blocks in which gcov found no code (the #if branches of other
# systems, which Vantor counts since it does not preprocess) are left out.
set -u
REPO=$(cd "$(dirname "$0")/.." && pwd)
GTEST_SRC=${GTEST_SRC:-/usr/src/googletest/googletest}
LIMIT=${LIMIT:-10}
CLI=${VANTOR_CLI:-}
if [ -z "$CLI" ]; then
  for c in "$REPO/build/cli/vantor-cli" "$REPO/build/vantor-cli"; do
    [ -x "$c" ] && CLI=$c && break
  done
fi
[ -n "$CLI" ] && [ -x "$CLI" ] || { echo "no vantor-cli (set VANTOR_CLI)" >&2; exit 2; }
[ -d "$GTEST_SRC/src" ] || { echo "no $GTEST_SRC/src (apt-get install googletest)" >&2; exit 2; }
W=${1:-$(mktemp -d /tmp/gtest_gcov.XXXXXX)}
mkdir -p "$W" && W=$(cd "$W" && pwd)
T0=$(date +%s)
die() { echo "gtest_gcov: $*" >&2; exit 2; }
# two compilers at most: the machine is shared
par() { xargs -0 -n1 -P2 sh -c "$1" sh; }

# 1. the copy: src, include, test
rm -rf "$W/gt" "$W/a" "$W/b" "$W/obj"
mkdir -p "$W/gt" "$W/a" "$W/b" "$W/obj"
cp -r "$GTEST_SRC/src" "$GTEST_SRC/include" "$GTEST_SRC/test" "$W/gt/" || die "copy failed"
GT=$W/gt
# gtest-all.cc only includes the other files (built one by one here)
LIBSRC=$(cd "$GT/src" && ls *.cc | grep -v -x -e gtest-all.cc -e gtest_main.cc)
CXX="nice g++ -O0 -pthread -w"

# The tests: NAME LIB [EXTRA SOURCES]; LIB main = gtest + gtest_main.
# Those with a Python driver are left out; each of these passes on its own.
TESTS="googletest-death-test-test main
googletest-filepath-test main
googletest-listener-test gtest
googletest-message-test main
googletest-options-test main
googletest-param-test-test gtest googletest-param-test2-test
googletest-port-test main
googletest-printers-test main
googletest-test-part-test main
gtest-typed-test_test main gtest-typed-test2_test
gtest-unittest-api_test gtest
gtest_environment_test gtest
gtest_main_unittest main
gtest_no_test_unittest gtest
gtest_pred_impl_unittest main
gtest_premature_exit_test gtest
gtest_prod_test main production
gtest_repeat_test gtest
gtest_skip_in_environment_setup_test gtest
gtest_skip_test main
gtest_sole_header_test main
gtest_stress_test gtest
gtest_throw_on_failure_ex_test gtest
gtest_unittest main"

# The test objects are built once, without coverage, from the plain copy:
# both runs link exactly the same tests.
tobjs=$(echo "$TESTS" | awk '{ for (i = 1; i <= NF; i++) if (i != 2) print $i }' | sort -u)
echo "== building $(echo "$tobjs" | wc -l) test objects"
for t in $tobjs; do printf '%s\0' "$t"; done |
  par "$CXX -I'$GT' -I'$GT/include' -c \"$GT/test/\$1.cc\" -o \"$W/obj/\$1.o\" || echo \"test object \$1 failed\" >&2"

# build_lib DIR SRCDIR FLAGS: the library objects of one run into DIR
build_lib() {
  dir=$1; srcdir=$2; flags=$3
  for f in $LIBSRC gtest_main.cc; do printf '%s\0' "$f"; done |
    par "$CXX $flags -I'$srcdir/..' -I'$GT' -I'$GT/include' -c \"$srcdir/\$1\" -o \"$dir/\${1%.cc}.o\" || echo \"\$1 failed in $dir\" >&2"
}

# run_tests DIR LINKEXTRA: links every test in DIR and runs it there;
# the status of each goes to DIR/status.txt
run_tests() {
  dir=$1; extra=$2
  lib=""; for f in $LIBSRC; do lib="$lib $dir/${f%.cc}.o"; done
  : > "$dir/status.txt"
  echo "$TESTS" | while read -r name kind more; do
    objs="$W/obj/$name.o"
    for m in $more; do objs="$objs $W/obj/$m.o"; done
    [ "$kind" = main ] && objs="$objs $dir/gtest_main.o"
    if ! $CXX -o "$dir/bin/$name" $objs $lib $extra 2>"$dir/link-$name.txt"; then
      echo "$name link-failed" >> "$dir/status.txt"; continue
    fi
    mkdir -p "$dir/run/$name"
    (cd "$dir/run/$name" && VANTOR_COV_DIR=$dir/traces timeout 300 "$dir/bin/$name" \
       > "$dir/run/$name.log" 2>&1)
    echo "$name $?" >> "$dir/status.txt"
  done
}

# 2. run A: gcov
echo "== run A: g++ --coverage"
mkdir -p "$W/a/bin"
build_lib "$W/a" "$GT/src" "--coverage"
run_tests "$W/a" "--coverage"
# gcov's "Lines executed" of each file, as compiled in its own object
: > "$W/a/gcov.txt"
for f in $LIBSRC gtest_main.cc; do
  (cd "$W/a" && gcov -n -o "$W/a/${f%.cc}.o" "$GT/src/$f" 2>/dev/null) |
    awk -v f="$f" '/^File / { want = ($0 ~ ("/src/" f "'"'"'$")) }
                   want && /^Lines executed:/ { sub(/^Lines executed:/, ""); sub(/%.*/, ""); print f, $0; exit }' \
    >> "$W/a/gcov.txt"
done

# 3. run B: Vantor (Methodes=1), the same tests
echo "== run B: vantor-cli instrument --set Methodes=1"
mkdir -p "$W/b/bin" "$W/b/traces"
"$CLI" --color never --lang en --set Methodes=1 --mask '*.cc' --mask '*.h' \
  --pragma-before '__attribute__((section("vantor_cov"),used))' \
  instrument "$GT/src" -o "$W/b/src" > "$W/b/instrument.txt" 2>&1 || die "instrument failed (see $W/b/instrument.txt)"
nice gcc -O0 -c "$REPO/runtime/vantor_cov.c" -o "$W/b/vantor_cov.o" || die "runtime failed"
build_lib "$W/b" "$W/b/src" ""
run_tests "$W/b" "$W/b/vantor_cov.o"
"$CLI" --color never --lang en analyse "$W/b/traces" > "$W/b/analyse.txt" 2>&1
echo "analyse exit status: $? ($(ls "$W/b/traces" | wc -l) traces)"

# Why the two differ: Vantor reads the sources without the preprocessor, so
# blocks in #if branches that this build leaves out (Windows, QNX, ESP32...)
# count as never run, while gcov does not see them. For each file, from its
# table (rows {block,first,last,instructions}), analyse's blocks not run and
# gcov's annotated lines: the share again without the blocks not run that hold
# no line gcov found code on.
: > "$W/b/compiled.txt"
for f in $LIBSRC gtest_main.cc; do
  (cd "$W/a" && gcov -t -o "$W/a/${f%.cc}.o" "$GT/src/$f" 2>/dev/null) |
    awk -v f="$f" '/^ *-: *0:Source:/ { p = ($0 ~ ("/src/" f "$")); next }
                   p { split($0, c, ":"); gsub(/ /, "", c[1]); if (c[1] != "-") print "X", c[2] + 0 }' > "$W/b/lines.txt"
  sed -n '/^}CovDef={/,$p' "$W/b/src/$f" | grep -o '{[0-9]*,[0-9]*,[0-9]*,[0-9]*}' | tr '{},' '   ' |
    awk '{ print "R", $1, $2, $3, $4 }' > "$W/b/rows.txt"
  awk -v f="$f" '/^---------/ { p = ($0 ~ ("/src/" f "\t")); next } /^Total/ { p = 0 }
                 p && /^Branch / { print "N", $2 }' "$W/b/analyse.txt" > "$W/b/notrun.txt"
  cat "$W/b/lines.txt" "$W/b/rows.txt" "$W/b/notrun.txt" | awk -v f="$f" '
    $1 == "X" { code[$2] = 1 } $1 == "N" { notrun[$2] = 1 }
    $1 == "R" { n++; first[n] = $3; last[n] = $4; ins[n] = $5; id[n] = $2 }
    END {
      for (i = 1; i <= n; i++) {
        all += ins[i]
        if (!(id[i] in notrun)) { run += ins[i]; continue }
        seen = 0; for (l = first[i]; l <= last[i]; l++) if (l in code) { seen = 1; break }
        if (!seen) { gone += ins[i]; blocks++ }
      }
      printf "%s %.2f %.2f %d\n", f, all ? 100 * run / all : 0, all - gone ? 100 * run / (all - gone) : 0, blocks
    }' >> "$W/b/compiled.txt"
done

# 4. the table
echo "== test status (gcov run / Vantor run)"
paste -d' ' "$W/a/status.txt" "$W/b/status.txt" | awk '{ printf "  %-38s %s / %s\n", $1, $2, $4 }'
echo "== per file: instructions run (Vantor, its report) vs lines run (gcov)"
echo "   (last columns: Vantor's share without the never-run blocks gcov saw no code in, their count)"
awk -F'\t' -v limit="$LIMIT" '
  function far(d) { return d > limit || d < -limit }
  FNR == 1 { part++ }
  part == 1 { split($0, w, " "); gc[w[1]] = w[2]; order[++n] = w[1]; next }
  part == 2 { split($0, w, " "); cp[w[1]] = w[3]; gone[w[1]] = w[4]; next }
  # analyse: "PATH<tab>VERSION<tab>DATE<tab>NN%" per file
  part == 3 && NF == 4 && $4 ~ /^[0-9]+%$/ { f = $1; sub(/.*\//, "", f); va[f] = $4 + 0 }
  END {
    printf "%-26s %8s %8s %7s   %10s %7s %6s\n", "file", "Vantor %", "gcov %", "diff", "compiled %", "diff", "blocks"
    off = 0; off2 = 0
    for (i = 1; i <= n; i++) {
      f = order[i]
      if (!(f in va)) { printf "%-26s %8s %8.2f %7s\n", f, "-", gc[f], "n/a"; off++; off2++; continue }
      d = va[f] - gc[f]; d2 = cp[f] - gc[f]
      printf "%-26s %8.2f %8.2f %+7.2f%s %10.2f %+7.2f %6d\n", f, va[f], gc[f], d, far(d) ? " *" : "  ", cp[f], d2, gone[f]
      off += far(d); off2 += far(d2)
    }
    printf "without the blocks gcov saw no code in, off by more than %s points: %d of %d\n", limit, off2, n
    printf "files off by more than %s points: %d of %d\n", limit, off, n
    exit off > 0
  }' "$W/a/gcov.txt" "$W/b/compiled.txt" "$W/b/analyse.txt"
rc=$?
echo "(${W}; $(( $(date +%s) - T0 )) s)"
exit $rc
