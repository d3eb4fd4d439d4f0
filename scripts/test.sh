#!/usr/bin/env bash
# Sets up this machine and runs the whole test suite: installs what is
# missing, checks the layout with clang-format, builds everything with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test with
# CTest, which starts a private PostgreSQL server for the run and stops it
# afterwards; then builds the Debian package from a Release tree of the
# programs and runs the installed loader from it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_packages.sh

git ls-files '*.h' '*.cc' | xargs clang-format --dry-run -Werror

jobs=$(nproc)
cmake -S . -B build-asan -DQX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"
tests/packaging/package_test.sh build-package
