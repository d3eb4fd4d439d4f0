#!/usr/bin/env bash
# Builds the Debian package from a Release tree of the programs alone,
# unpacks it into a throw-away root and checks what an operator gets: the
# project's version on the package and in --version, every program
# installed and stripped with its manual page, the changelog and copyright
# file, one unit template per loader that systemd accepts, lintian's verdict
# (where it is installed), the maintainer scripts run by dpkg in a
# throw-away root (install, upgrade to a higher version, remove, purge), and
# the installed tarvo started the way its unit starts it, from an instance
# file, loading a file into SQLite and into PostgreSQL.
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
for script in postinst prerm postrm; do
  dpkg-deb -I "$deb" "$script" >/dev/null || fail "the package has no $script"
done

# One version: the project's, on the package and beside each program's own.
version=$(sed -n 's/^project(qx_loaders VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package is not version $version"
"$root/usr/bin/tarvo" --version | grep -qx "tarvo 2.0 (qx-loaders $version)" ||
  fail "tarvo --version does not name the package version $version"
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 3 ] || fail "the description has no body"

doc=$root/usr/share/doc/qx-loaders
[ -f "$doc/copyright" ] || fail "no copyright file"
zcat "$doc/changelog.gz" | head -1 | grep -q "^qx-loaders ($version) " ||
  fail "the changelog does not begin with $version"
for program in "${loaders[@]}" qx_schema qx_generate; do
  page=$root/usr/share/man/man1/$program.1.gz
  [ -f "$page" ] || fail "$program has no manual page"
  zcat "$page" | grep -q "^\.SH NAME" || fail "$program.1 is not a manual page"
done
# A loader's page lists the options --help lists.
for option in $("$root/usr/bin/tarvo" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p'); do
  zcat "$root/usr/share/man/man1/tarvo.1.gz" | grep -qF "\\fB${option//-/\\-}\\fR" ||
    fail "tarvo.1 does not describe $option"
done
if command -v man >/dev/null; then
  complaints=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
    "$root/usr/share/man/man1/tarvo.1.gz" 2>&1 >/dev/null)
  [ -z "$complaints" ] || fail "tarvo.1: $complaints"
fi

if command -v lintian >/dev/null; then
  # Errors fail the test; warnings are shown for whoever reads the log.
  lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || true
  cat "$work/lintian.txt"
  if grep -q '^E: ' "$work/lintian.txt"; then fail "lintian reports errors"; fi
else
  echo "package_test: lintian not found, the package is not checked by it"
fi

# The maintainer scripts as dpkg runs them, in a throw-away root of their
# own (DPKG_ROOT, no chroot): install, upgrade to a higher version, remove,
# purge. The user and /etc/qx-loaders outlive a removal and go with the
# purge; an operator's instance file survives the upgrade.
check_maintainer_scripts() {
  local target=$work/dpkg-root newer=$work/newer
  mkdir -p "$target/etc" "$target/var/lib/dpkg/info" "$target/var/lib/dpkg/updates"
  touch "$target/var/lib/dpkg/status" "$target/var/lib/dpkg/available"
  echo 'root:x:0:0:root:/root:/bin/sh' >"$target/etc/passwd"
  echo 'root:x:0:' >"$target/etc/group"
  echo 'root:*:19000:0:99999:7:::' >"$target/etc/shadow"
  echo 'root:*::' >"$target/etc/gshadow"
  in_root() {
    dpkg --root="$target" --force-script-chrootless --force-depends --log=/dev/null "$@" \
      >>"$work/dpkg.log" 2>&1 || fail "dpkg $*: $(cat "$work/dpkg.log")"
  }
  has_user() { grep -q '^qx-loader:' "$target/etc/passwd" && grep -q '^qx-loader:' "$target/etc/group"; }
  installed() { dpkg-query --admindir="$target/var/lib/dpkg" -W -f='${Version}' qx-loaders; }

  in_root -i "$deb"
  has_user || fail "install: no user qx-loader"
  [ -d "$target/etc/qx-loaders/tarvo" ] || fail "install: no /etc/qx-loaders/tarvo"
  [ "$(installed)" = "$version" ] || fail "install: version $(installed)"
  echo 'QX_OPTIONS=--settle-ms=2000' >"$target/etc/qx-loaders/tarvo/agency.conf"

  dpkg-deb -R "$deb" "$newer"
  sed -i "s/^Version: .*/Version: $version+1/" "$newer/DEBIAN/control"
  dpkg-deb -b "$newer" "$work/newer.deb" >/dev/null
  in_root -i "$work/newer.deb"
  [ "$(installed)" = "$version+1" ] || fail "upgrade: version $(installed)"
  [ -f "$target/etc/qx-loaders/tarvo/agency.conf" ] || fail "upgrade: the instance file is gone"
  [ "$(grep -c '^qx-loader:' "$target/etc/passwd")" = 1 ] || fail "upgrade: the user was added again"

  in_root -r qx-loaders
  [ ! -e "$target/usr/bin/tarvo" ] || fail "remove: tarvo is still installed"
  has_user || fail "remove: the user is gone"
  [ -f "$target/etc/qx-loaders/tarvo/agency.conf" ] || fail "remove: the instance file is gone"

  in_root -P qx-loaders
  if grep -q '^qx-loader:' "$target/etc/passwd" "$target/etc/group"; then
    fail "purge: the user qx-loader is left"
  fi
  [ ! -e "$target/etc/qx-loaders" ] || fail "purge: /etc/qx-loaders is left"
}
if [ "$(id -u)" = 0 ]; then
  check_maintainer_scripts
else
  echo "package_test: not root, the maintainer scripts are not run"
fi

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
# as one word, $VAR split at spaces and $$ a plain $ (as systemd does), the
# program taken from the unpacked tree.
unit_line() {  # KEY PROGRAM INSTANCE
  sed -n "s/^$1=//p" "$(unit_of "$2")" |
    sed -e "s/%i/$3/g; s/%p/$2/g; s/%H/$(hostname)/g" -e 's/\${\([A-Za-z_]*\)}/"${\1}"/g' \
      -e 's/\$\$/$/g' -e "s#^/usr/bin/#$root/usr/bin/#"
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

prepare_instance lite "x@$work/qx.db" "QX_OPTIONS=\"--once --settle-ms=0 --failed-dir=$work/lite/failed\""
run_instance tarvo lite "$work/lite.conf"
[ -d "$work/lite/failed" ] || fail "the unit did not make the failed directory"
expect_loaded lite "$(sqlite3 "$work/qx.db" 'select count(*) from qx_tarvo_m0')"

# PostgreSQL: the schema applied by the owner, and the loader logged in as
# a role of its own with only the documented grants.
tests/support/pg_server.sh start "$work/pg" >/dev/null
owner=(psql -q -h "$work/pg" -U qx -d postgres -v ON_ERROR_STOP=1)
"$root/usr/bin/qx_schema" postgresql | "${owner[@]}" >/dev/null
"${owner[@]}" -c 'CREATE ROLE tarvo_loader LOGIN'
# Before the grants, --check names what the role lacks and the owner's
# command; after them, it says OK.
check_as_loader() {
  PGHOST="$work/pg" "$root/usr/bin/tarvo" --check "tarvo_loader@postgresql:///postgres" - \
    "$work/lite/in" "$work/lite/backup"
}
status=0
ungranted=$(check_as_loader) || status=$?
[ "$status" = 3 ] || fail "--check without grants: status $status, not 3"
grep -q "The role tarvo_loader lacks SELECT, INSERT, UPDATE on qx_tarvo_m0, .*-f /usr/share/doc/qx-loaders/examples/grants.sql" \
  <<<"$ungranted" || fail "--check without grants does not name them: $ungranted"
"${owner[@]}" -v loader=tarvo -v role=tarvo_loader \
  -f "$root/usr/share/doc/qx-loaders/examples/grants.sql" >/dev/null
check_as_loader | tail -n 1 | grep -qx OK || fail "--check with the grants is not OK"
prepare_instance server "tarvo_loader@postgresql:///postgres" "PGHOST=$work/pg" \
  "PGPASSWORD=unused-with-trust"
run_instance tarvo server "$work/server.conf"
expect_loaded server "$("${owner[@]}" -Atc 'select count(*) from qx_tarvo_m0')"

echo "package_test: passed"
