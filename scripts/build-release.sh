#!/bin/sh
# The release build of vantor-cli: optimised and profile-guided with GCC
# (link-time optimisation, VANTOR_LTO, measured slower here). The profile
# comes from a training run over this repository's own sources (C++, C and
# the Java samples): every command the engine serves, never the trees the
# benchmarks measure.
# Usage: scripts/build-release.sh [BUILD_DIR]   (default: build-release)
set -e
REPO=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$REPO/build-release}
case "$BUILD" in /*) ;; *) BUILD=$(pwd)/$BUILD ;; esac

# The C++ runtime is linked in: the binary runs where no matching libstdc++
# is installed, and its calls into the runtime go through no PLT.
configure() {
  cmake -S "$REPO" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOR_TESTS=OFF \
    -DVANTOR_LTO=OFF -DVANTOR_PGO="$1" -DCMAKE_CXX_FLAGS="-fno-plt" \
    -DCMAKE_EXE_LINKER_FLAGS="-static-libstdc++ -static-libgcc" >/dev/null
  cmake --build "$BUILD" --target vantor-cli >/dev/null
}

# A compiler other than GCC gets the plain optimised build.
if ! "${CXX:-c++}" --version 2>/dev/null | grep -q "Free Software Foundation"; then
  configure ""
  exit 0
fi

find "$BUILD" -name '*.gcda' -delete 2>/dev/null || true
configure generate

TRAIN=$(mktemp -d "${TMPDIR:-/tmp}/vantor-train.XXXXXX")
trap 'rm -rf "$TRAIN"' EXIT INT TERM
mkdir -p "$TRAIN/src"
for d in engine config coverage design console platform cli runtime tests samples; do
  [ -d "$REPO/$d" ] && cp -r "$REPO/$d" "$TRAIN/src/"
done
CLI="$BUILD/vantor-cli --color never --set SousRepertoire=1"
M="--mask *.c --mask *.h --mask *.cpp --mask *.java"
set -f
# Findings make the exit status 1: the training only needs the runs.
$CLI $M check "$TRAIN/src" >/dev/null 2>&1 || true
$CLI $M instrument "$TRAIN/src" -o "$TRAIN/instrumented" >/dev/null 2>&1 || true
$CLI $M design "$TRAIN/src" -o "$TRAIN/design" >/dev/null 2>&1 || true
$CLI $M apply "$TRAIN/src" >/dev/null 2>&1 || true
$CLI $M check "$TRAIN/src" >/dev/null 2>&1 || true
set +f

configure use
echo "$BUILD/vantor-cli"
