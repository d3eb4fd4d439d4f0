#!/usr/bin/env bash
# Sets this machine up and starts the loaders on the embedded SQLite
# database demo/qx.db, each watching its own input directory under demo/.
# A few generated sample files are waiting there already; drop more in
# (see the lines printed below) and watch the rows arrive. Ctrl-C stops the
# loaders; each finishes the file in hand first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_BUILD_TESTS=OFF -DQX_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"

demo=$PWD/demo
database=$demo/qx.db
for format in air pnr mir; do
  mkdir -p "$demo/$format/in" "$demo/$format/backup"
  build/generator/qx_generate "$format" --out "$demo/$format/in" --count 3 --seed "$RANDOM" >/dev/null
done

cat <<TEXT

Loaders starting on $database (logs in $demo/*.log).
Drop sample files in from another terminal (air, pnr or mir):
  build/generator/qx_generate air --out demo/air/in --count 5 --first 100 --seed \$RANDOM
  build/generator/qx_generate pnr --out demo/pnr/in --count 5 --first 100 --seed \$RANDOM
  build/generator/qx_generate mir --out demo/mir/in --count 5 --first 100 --seed \$RANDOM
See the rows arrive:
  sqlite3 demo/qx.db "select count(*) from qx_air_corvane; select count(*) from qx_tarvo_m0; select count(*) from qx_meridon_t5;"
Stop with Ctrl-C.

TEXT

# Ctrl-C reaches every process of the terminal's foreground group, but the
# shell starts background jobs with SIGINT ignored: `tail -f` would outlive
# the loaders and hold the script. So the script itself asks each loader to
# stop, waits for them (each finishes the file in hand), then ends the tail.
pids=()
tail_pid=
stop() {
  trap - INT TERM
  kill -TERM "${pids[@]}" 2>/dev/null || true
  wait "${pids[@]}" 2>/dev/null || true
  sleep 0.5  # lets the tail show the loaders' last lines
  [ -z "$tail_pid" ] || kill "$tail_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  exit 0
}
trap stop INT TERM

build/corvane/corvane "demo@$database" - "$demo/air/in" "$demo/air/backup" >"$demo/corvane.log" 2>&1 &
pids+=($!)
build/tarvo/tarvo "demo@$database" - "$demo/pnr/in" "$demo/pnr/backup" >"$demo/tarvo.log" 2>&1 &
pids+=($!)
build/meridon_full/meridon_full "demo@$database" - "$demo/mir/in" "$demo/mir/backup" \
  >"$demo/meridon_full.log" 2>&1 &
pids+=($!)

tail -n +1 -f "$demo"/*.log &
tail_pid=$!
# Returns when the loaders end by themselves (or is cut short by Ctrl-C).
wait "${pids[@]}" || true
stop
