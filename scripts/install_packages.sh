#!/usr/bin/env bash
# Installs the Debian packages the loaders need to build, run and be tested,
# when any is missing: compiler and CMake, SQLite, the PostgreSQL client
# library and server, the digest libraries, GoogleTest, clang-format, and
# lintian for the package test (about 25 MB).
set -euo pipefail

packages=(build-essential cmake pkg-config libsqlite3-dev sqlite3 libpq-dev libssl-dev libxxhash-dev
          postgresql libgtest-dev libgmock-dev clang-format lintian)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" = 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
