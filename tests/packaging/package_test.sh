#!/usr/bin/env bash
# Builds the Debian package from a Release tree of the programs alone,
# unpacks it into a throw-away root and checks what an operator gets: every
# program installed and stripped, one unit template per loader that systemd
# accepts, and the installed tarvo started the way its unit starts it, from
# an instance file, loading a file into SQLite and into PostgreSQL.
#   tests/packaging/package_test.sh [BUILD_DIR]     (default build-package)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-package}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQX_BUILD_TESTS=OFF -DQX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/qx-loaders_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/qx-loaders_*.deb)
echo "package_test: $deb, $(stat -c %s "$deb") bytes"

work=$(mktemp -d)
chmod 755 "$work"  # the PostgreSQL server's user reaches its socket below
cleanup() {
  tests/support/pg_server.sh stop "$work/pg" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
root=$work/root
dpkg -x "$deb" "$root"

fail() {
  echo "package_test: $*" >&2
  exit 1
}

loaders=(corvane corvane_narrow corvane_field_serial corvane_field_serial_sqllib18 tarvo meridon_full)
for program in "${loaders[@]}" qx_schema qx_generate; do
  [ -x "$root/usr/bin/$program" ] || fail "$program is not installed"
  if readelf -S "$root/usr/bin/$program" | grep -q '\.symtab'; then fail "$program is not stripped"; fi
done
[ -f "$root/usr/share/doc/qx-loaders/README.md" ] || fail "README.md is not installed"
[ -f "$root/usr/share/doc/qx-loaders/examples/instance.conf" ] || fail "instance.conf is not installed"
dpkg-deb -I "$deb" postinst >/dev/null || fail "the package has no postinst"

unit_of() { echo "$root/usr/lib/systemd/system/$1@.service"; }
for program in "${loaders[@]}"; do
  grep -q "^ExecStart=/usr/bin/$program " "$(unit_of "$program")" || fail "no unit runs $program"
done

# systemd checks a unit's program where the unit names it, so each unit is
# verified as a copy that points into the unpacked tree.
if command -v systemd-analyze >/dev/null; then
  mkdir "$work/verify"
  for program in "${loaders[@]}"; do
    sed "s#^ExecStart=/usr/bin/#ExecStart=$root/usr/bin/#" "$(unit_of "$program")" \
      >"$work/verify/$program@.service"
    complaints=$(systemd-analyze verify "$work/verify/$program@check.service" 2>&1) ||
      fail "$program@.service: $complaints"
    [ -z "$complaints" ] || fail "$program@.service: $complaints"
  done
else
  echo "package_test: systemd-analyze not found, the units are not verified"
fi

# The command line the unit would run: its specifiers filled in, ${VAR} kept
# as one word and $VAR split at spaces (as systemd does), the program taken
# from the unpacked tree.
unit_line() {  # KEY PROGRAM INSTANCE
  sed -n "s/^$1=//p" "$(unit_of "$2")" |
    sed -e "s/%i/$3/g; s/%p/$2/g; s/%H/$(hostname)/g" -e 's/\${\([A-Za-z_]*\)}/"${\1}"/g' \
      -e "s#^/usr/bin/#$root/usr/bin/#"
}

# Runs PROGRAM@INSTANCE once: the unit's Environment= lines, then the
# instance file over them, then its ExecStartPre and ExecStart lines.
run_instance() {  # PROGRAM INSTANCE CONF
  (
    set -a
    eval "$(unit_line Environment "$1" "$2")"
    # shellcheck disable=SC1090
    . "$3"
    set +a
    eval "$(unit_line ExecStartPre "$1" "$2")"
    eval "$(unit_line ExecStart "$1" "$2")"
  ) >"$work/$2.log" 2>&1 || fail "$1@$2 failed: $(cat "$work/$2.log")"
}

# Writes INSTANCE.conf with one file waiting in its input directory; the
# backup directory is left for the unit to create.
prepare_instance() {  # INSTANCE TARGET [KEY=VALUE...]
  local instance=$1 target=$2
  shift 2
  mkdir -p "$work/$instance/in"
  "$root/usr/bin/qx_generate" pnr --out "$work/$instance/in" --count 1 --records 20 --seed 7 >/dev/null
  {
    echo "QX_TARGET=$target"
    echo "QX_INPUT_DIR=$work/$instance/in"
    echo "QX_BACKUP_DIR=$work/$instance/backup"
    echo 'QX_OPTIONS="--once --settle-ms=0"'
    printf '%s\n' "$@"
  } >"$work/$instance.conf"
}

expect_loaded() {  # INSTANCE ROWS
  [ -z "$(ls -A "$work/$1/in")" ] || fail "$1: the file is still in the input directory"
  [ "$(ls "$work/$1/backup" | wc -l)" = 1 ] || fail "$1: the file is not in the backup directory"
  [ "$2" -gt 0 ] || fail "$1: no rows stored"
}

prepare_instance lite "x@$work/qx.db"
run_instance tarvo lite "$work/lite.conf"
expect_loaded lite "$(sqlite3 "$work/qx.db" 'select count(*) from qx_tarvo_m0')"

# PostgreSQL: the schema applied by the owner, and the loader logged in as
# a role of its own with only the documented grants.
tests/support/pg_server.sh start "$work/pg" >/dev/null
owner=(psql -q -h "$work/pg" -U qx -d postgres -v ON_ERROR_STOP=1)
"$root/usr/bin/qx_schema" postgresql | "${owner[@]}" >/dev/null
"${owner[@]}" -c 'CREATE ROLE tarvo_loader LOGIN'
"${owner[@]}" -v loader=tarvo -v role=tarvo_loader \
  -f "$root/usr/share/doc/qx-loaders/examples/grants.sql" >/dev/null
prepare_instance server "tarvo_loader@postgresql:///postgres" "PGHOST=$work/pg" \
  "PGPASSWORD=unused-with-trust"
run_instance tarvo server "$work/server.conf"
expect_loaded server "$("${owner[@]}" -Atc 'select count(*) from qx_tarvo_m0')"

echo "package_test: passed"
