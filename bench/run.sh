#!/usr/bin/env bash
# Builds the loaders and their benchmark for speed, starts a private
# PostgreSQL server with its usual durability (every commit synced to disk,
# as the SQLite loaders sync theirs), runs the benchmark, and stops the
# server. Arguments go to the benchmark (see bench/bench_main.cc): which
# loaders, databases and file sizes, and which parts (throughput with its
# baselines, latency, instances, memory), e.g.
#   bench/run.sh --loader=corvane --backend=sqlite --repetitions=3
#   bench/run.sh --loader=tarvo --backend=postgresql --only=latency,instances
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_packages.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j"$(nproc)" --target loader_bench >/dev/null

server_dir=$(mktemp -d /tmp/qxbench-XXXXXX)
trap 'tests/support/pg_server.sh stop "$server_dir"' EXIT
tests/support/pg_server.sh start "$server_dir" durable >/dev/null
export QX_TEST_PGHOST=$server_dir QX_TEST_PGPORT=5432 QX_TEST_PGUSER=qx

build-bench/bench/loader_bench "$@"
