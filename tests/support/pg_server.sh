#!/usr/bin/env bash
# Starts or stops the private PostgreSQL server the tests run against.
#   pg_server.sh start DIR [durable]
#                            new cluster in DIR/data, socket in DIR, port 5432,
#                            login "qx" without password, no TCP listener;
#                            without "durable" commits are not synced to disk
#                            (the tests need no durability, only speed)
#   pg_server.sh crash DIR   stops it at once, as a power cut would (no
#                            checkpoint; the next start recovers from the log)
#   pg_server.sh shutdown DIR stops it as an operator does (fast: sessions are
#                            ended with a reason, then a checkpoint)
#   pg_server.sh restart DIR starts the cluster in DIR again, as it was started
#   pg_server.sh stop DIR    stops it and removes DIR
# Run as root, the server runs as the unprivileged user "postgres".
set -euo pipefail
action=${1:?start or stop}
dir=${2:?state directory}

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bindir/pg_ctl" ] || { echo "pg_server.sh: no PostgreSQL server installed" >&2; exit 1; }

as_server_user() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop_server() {
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_server_user "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
}

case "$action" in
  start)
    stop_server
    mkdir -p "$dir"
    chmod 755 "$dir"
    [ "$(id -u)" = 0 ] && chown postgres: "$dir"
    as_server_user "$bindir/initdb" -D "$dir/data" -U qx --auth=trust -E UTF8 --locale=C \
      >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
    settings="-c listen_addresses='' -c unix_socket_directories='$dir' -c port=5432 -c max_connections=100"
    if [ "${3:-}" != durable ]; then
      settings="$settings -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
    fi
    echo "$settings" >"$dir/settings"
    as_server_user "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 -o "$settings" \
      start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    echo "PostgreSQL test server running, socket in $dir"
    ;;
  crash)
    as_server_user "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null
    ;;
  shutdown)
    as_server_user "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    ;;
  restart)
    as_server_user "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "$(cat "$dir/settings")" start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    ;;
  stop)
    stop_server
    ;;
  *)
    echo "usage: pg_server.sh start|crash|shutdown|restart|stop DIR" >&2
    exit 2
    ;;
esac
