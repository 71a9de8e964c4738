#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the data-store tests and benchmarks.
#
#   scripts/pg-test-cluster.sh start   initdb (when the folder holds no cluster yet) and start the server
#   scripts/pg-test-cluster.sh env     print "export NAME=value" lines for the tests:
#                                        TOLVANE_TEST_PG_HOST  socket folder (a path beginning with "/")
#                                        TOLVANE_TEST_PG_PORT  the cluster's private port
#                                        TOLVANE_TEST_PG_USER  the superuser ("postgres")
#                                        TOLVANE_TEST_PG_DIR   the cluster folder (tests that stop the server
#                                                              start a cluster of their own instead)
#   scripts/pg-test-cluster.sh stop    stop the server and delete the folder
#   scripts/pg-test-cluster.sh halt    stop the server at once and keep the folder (start brings it back);
#                                      used by the test of a server that goes away under the program
#   scripts/pg-test-cluster.sh status  exit 0 when the server answers
#
# Typical use:  scripts/pg-test-cluster.sh start; eval "$(scripts/pg-test-cluster.sh env)"; ctest; ...stop
#
# The folder is $TOLVANE_PG_DIR, or <build dir>/pgtest with the build dir $TOLVANE_BUILD_DIR (default "build").
# The port is $TOLVANE_PG_PORT when set, otherwise a free port above 20000 chosen at start and kept in the
# folder. Everything here runs as root and initdb refuses root, so the server runs as the "postgres" system
# user (runuser); authentication is "trust" and the server listens on its Unix socket in the folder and on
# 127.0.0.1 only. fsync stays on: the benchmark measures durable writes.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dir=${TOLVANE_PG_DIR:-$root/${TOLVANE_BUILD_DIR:-build}/pgtest}
data=$dir/data
pg_user=postgres

find_bindir() {
    local candidate
    for candidate in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
        if [ -x "$candidate/initdb" ] && [ -x "$candidate/pg_ctl" ]; then
            echo "$candidate"
            return 0
        fi
    done
    echo "pg-test-cluster: no PostgreSQL server found under /usr/lib/postgresql (install Debian's postgresql)" >&2
    return 1
}

as_pg() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u "$pg_user" -- "$@"
    else
        "$@"
    fi
}

free_port() {
    local port
    for port in $(shuf -i 20000-60000 -n 50); do
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    echo "pg-test-cluster: no free port found" >&2
    return 1
}

port() {
    cat "$dir/port"
}

start() {
    local bindir
    bindir=$(find_bindir)
    mkdir -p "$dir"
    if [ ! -f "$dir/port" ]; then
        echo "${TOLVANE_PG_PORT:-$(free_port)}" >"$dir/port"
    fi
    if [ "$(id -u)" -eq 0 ]; then
        chown "$pg_user" "$dir"
        # The server user must be able to reach its folder.
        if ! runuser -u "$pg_user" -- test -w "$dir"; then
            echo "pg-test-cluster: user $pg_user cannot write $dir (a parent folder is closed to it)" >&2
            return 1
        fi
    fi
    if [ ! -f "$data/PG_VERSION" ]; then
        as_pg "$bindir/initdb" -D "$data" -U "$pg_user" -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
            { cat "$dir/initdb.log" >&2; return 1; }
    fi
    if as_pg "$bindir/pg_ctl" -D "$data" status >/dev/null 2>&1; then
        return 0
    fi
    as_pg "$bindir/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 \
        -o "-p $(port) -k $dir -c listen_addresses=127.0.0.1 -c max_connections=40" start >/dev/null ||
        { cat "$dir/server.log" >&2; return 1; }
}

stop() {
    local bindir
    bindir=$(find_bindir)
    if [ -f "$data/PG_VERSION" ]; then
        as_pg "$bindir/pg_ctl" -D "$data" -m fast -w -t 60 stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
}

halt() {
    local bindir
    bindir=$(find_bindir)
    as_pg "$bindir/pg_ctl" -D "$data" -m immediate -w -t 60 stop >/dev/null
}

status() {
    local bindir
    bindir=$(find_bindir)
    as_pg "$bindir/pg_isready" -h "$dir" -p "$(port)" -q
}

env_lines() {
    if [ ! -f "$dir/port" ]; then
        echo "pg-test-cluster: no cluster in $dir (run start first)" >&2
        return 1
    fi
    echo "export TOLVANE_TEST_PG_HOST='$dir'"
    echo "export TOLVANE_TEST_PG_PORT='$(port)'"
    echo "export TOLVANE_TEST_PG_USER='$pg_user'"
    echo "export TOLVANE_TEST_PG_DIR='$dir'"
}

case "${1:-}" in
start) start ;;
stop) stop ;;
halt) halt ;;
status) status ;;
env) env_lines ;;
*)
    echo "usage: $0 start|stop|halt|env|status" >&2
    exit 2
    ;;
esac
