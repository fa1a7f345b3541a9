#!/bin/sh
# With the Methodes setting off, every output equals that of another binary
# (main's): Check's console, Design's pages, Instrument's sources, Apply's
# rewrite. Usage: methodes_off_same.sh OLD_CLI NEW_CLI TREE...
set -e
old=$1 new=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for tree in "$@"; do
    for bin in old new; do
        eval cli=\$$bin
        # The same folder for both runs: the pages and lists name it.
        d=$work/run
        rm -rf "$d" "$work/$bin" && mkdir -p "$d"
        masks="--mask *.c --mask *.h --mask *.cpp --mask *.cc --mask *.java"
        "$cli" --color never --lang en $masks --set SousRepertoire=1 check "$tree" >"$d/check.txt" 2>&1 || true
        "$cli" --color never --lang en $masks --set SousRepertoire=1 design -o "$d/design" "$tree" >/dev/null 2>&1 || true
        "$cli" --color never --lang en $masks --set SousRepertoire=1 instrument -o "$d/instr" "$tree" >"$d/instr.txt" 2>&1 || true
        cp -r "$tree" "$d/apply" && "$cli" --color never --lang en $masks --set SousRepertoire=1 apply "$d/apply" >/dev/null 2>&1 || true
        # The run's date and time stand on the first line.
        sed -i '1d' "$d/check.txt" "$d/instr.txt"
        mv "$d" "$work/$bin"
    done
    if diff -r -q "$work/old" "$work/new" >/dev/null; then
        echo "same: $tree"
    else
        echo "DIFFERENT: $tree"; diff -r -q "$work/old" "$work/new" | head; status=1
    fi
done
exit $status
