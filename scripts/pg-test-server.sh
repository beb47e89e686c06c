#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests, on a Unix socket in its own folder.
#   pg-test-server.sh start DIR   makes DIR, initdb into it, starts the server;
#                                 prints the libpq URI of its "postgres" database
#                                 (superuser "tess", trusted on the socket)
#   pg-test-server.sh halt DIR    stops the server, keeping its data
#   pg-test-server.sh resume DIR  starts the halted server again
#   pg-test-server.sh stop DIR    stops the server and removes DIR
#   pg-test-server.sh uri DIR     prints the URI again
# initdb refuses to run as root, so a root caller runs the server as "postgres".
set -euo pipefail
cmd="${1:-}"
dir="${2:-}"
if [ -z "$cmd" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|halt|resume|stop|uri DIR" >&2
  exit 2
fi
bin="${PG_BIN:-/usr/lib/postgresql/15/bin}"
run() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}
user=tess
uri() { echo "postgresql:///postgres?host=$dir/socket&user=$user"; }
launch() {
  # No TCP port: only the socket in the folder, so parallel runs never clash.
  run "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir/socket' -c fsync=off -c max_connections=60" \
    start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
}

case "$cmd" in
start)
  if [ ! -x "$bin/initdb" ]; then
    echo "PostgreSQL 15 is not installed (no $bin/initdb): run scripts/install-deps.sh --tests" >&2
    exit 1
  fi
  # A server left by an earlier run in the same folder goes first.
  if [ -f "$dir/data/postmaster.pid" ]; then
    run "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  mkdir -p "$dir/socket"
  if [ "$(id -u)" -eq 0 ]; then
    chown -R postgres: "$dir"
    # The server's user must reach the folder through its parents (a folder
    # under /tmp needs nothing).
    p="$(dirname "$dir")"
    while [ "$p" != "/" ]; do
      chmod o+x "$p" 2>/dev/null || true
      p="$(dirname "$p")"
    done
  fi
  run "$bin/initdb" -D "$dir/data" -A trust -U "$user" -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }
  launch
  uri
  ;;
halt)
  run "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >/dev/null
  ;;
resume)
  launch
  ;;
stop)
  if [ -f "$dir/data/postmaster.pid" ]; then
    run "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >/dev/null
  fi
  rm -rf "$dir"
  ;;
uri)
  uri
  ;;
*)
  echo "usage: $0 start|halt|resume|stop|uri DIR" >&2
  exit 2
  ;;
esac
