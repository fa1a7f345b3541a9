#!/bin/sh
# Installs the Debian 12 packages the build and the tests need (as root).
set -e
need=""
# clang and lcov: the coverage tests build instrumented programs with both compilers and render lcov output.
# Qt 6 for the window; xvfb and xauth run it on a display server in the tests, fonts draw its text.
# desktop-file-utils checks the installer's menu entries, lintian the Debian package.
for p in cmake ninja-build g++ libgtest-dev clang lcov qt6-base-dev xvfb xauth fonts-dejavu-core desktop-file-utils lintian; do
  dpkg -s "$p" >/dev/null 2>&1 || need="$need $p"
done
if [ -n "$need" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq $need
fi
