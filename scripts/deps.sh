#!/bin/sh
# Installs the Debian 12 packages the build and the tests need (as root).
set -e
need=""
# clang and lcov: the coverage tests build instrumented programs with both compilers and render lcov output.
for p in cmake ninja-build g++ libgtest-dev clang lcov; do
  dpkg -s "$p" >/dev/null 2>&1 || need="$need $p"
done
if [ -n "$need" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq $need
fi
