#!/bin/sh
# Builds and runs every test: once plain, once under AddressSanitizer and
# UndefinedBehaviorSanitizer; the window's tests run on Qt's offscreen
# platform, and the window itself once on a real X server (Xvfb), pictured.
set -e
cd "$(dirname "$0")/.."
./scripts/deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build-test -G Ninja -DVANTOR_TESTS=ON -DVANTOR_UI=ON >/dev/null
cmake --build build-test -j "$jobs"
ctest --test-dir build-test --output-on-failure -j "$jobs"

# The Debian package: lintian, and the tool run from an unpacked copy.
./scripts/package-test.sh build-test

# The program as a user starts it, through the X11 platform plugin, with
# settings of its own; its picture lands beside the tests' ones.
settings=$(mktemp -d)
mkdir -p build-test/screenshots
XDG_CONFIG_HOME=$settings QT_QPA_PLATFORM=xcb xvfb-run -a ./build-test/ui/vantor --grab build-test/screenshots/vantor-xvfb.png
rm -rf "$settings"
test -s build-test/screenshots/vantor-xvfb.png
echo "window pictured under Xvfb: build-test/screenshots/vantor-xvfb.png"

cmake -S . -B build-asan -G Ninja -DVANTOR_TESTS=ON -DVANTOR_SANITIZE=ON -DVANTOR_UI=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
