#!/bin/sh
# Builds the Debian package of a configured build folder, has lintian and
# desktop-file-validate judge it, unpacks it into a scratch root and runs the
# command-line tool from there: its version and a Check of the samples.
set -e
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target package
deb=$(ls "$build"/vantor_*.deb)
version=$(dpkg-deb -f "$deb" Version)
lintian --fail-on error "$deb"
desktop-file-validate packaging/vantor.desktop
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
"$root/usr/bin/vantor-cli" --version | grep -qx "vantor-cli $version"
for f in usr/lib/vantor/VANTOR.html usr/lib/vantor/vantor2.html usr/share/vantor/runtime/vantor_cov.c \
         usr/share/man/man1/vantor-cli.1.gz usr/share/applications/vantor.desktop; do
  test -s "$root/$f" || { echo "missing from the package: $f"; exit 1; }
done
if [ -x "$build/ui/vantor" ]; then
  test -x "$root/usr/lib/vantor/vantor" && test -L "$root/usr/bin/vantor" || { echo "the window is missing"; exit 1; }
fi
out=$("$root/usr/bin/vantor-cli" check samples) || test $? -eq 1
echo "$out" | grep -q '^Analyzed:4 files' || { echo "$out"; exit 1; }
echo "package: $deb passes lintian; vantor-cli $version checks the samples from a scratch root"
