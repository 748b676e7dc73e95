#!/usr/bin/env bash
# run-lanes.sh [LANES] [--seconds N]
# An inspection station with several lanes on this one machine: a database
# server of its own (folder stage-lanes-db: the cluster, its log and its
# Unix socket; no network port), one program folder per lane (stage-lane1,
# stage-lane2, ...) whose settings name that server, one instrument simulator
# and one workstation per lane, all storing into the one database "zelmor".
# Closing the last workstation (or Ctrl+C) stops the workstations, the
# simulators and the server. With --seconds N everything is stopped after N
# seconds, once the script has shown which workstations the server sees.
# Expects built programs in build-run (scripts/run.sh --lanes N does it all).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
. scripts/virtual-display.sh

lanes=2
seconds=0
usage() { echo "usage: $0 [LANES] [--seconds N]" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) [ $# -ge 2 ] || usage; seconds="$2"; shift 2 ;;
    [1-9]*) lanes="$1"; shift ;;
    *) usage ;;
  esac
done
[[ "$lanes" =~ ^[1-9][0-9]?$ ]] || { echo "the number of lanes is 1 to 99, not '$lanes'" >&2; exit 2; }
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "--seconds takes a whole number of seconds, not '$seconds'" >&2; exit 2; }

bin=/usr/lib/postgresql/15/bin
[ -x "$bin/initdb" ] || { echo "no database server in $bin: run scripts/install-deps.sh" >&2; exit 1; }

# The server refuses to run as root: as root it runs as the package's own
# account "postgres", which must be able to reach its folder.
server_user=""
if [ "$(id -u)" -eq 0 ]; then
  server_user=postgres
  id "$server_user" >/dev/null 2>&1 || { echo "no account $server_user: install postgresql-15" >&2; exit 1; }
fi
as_server() {
  if [ -n "$server_user" ]; then runuser -u "$server_user" -- "$@"; else "$@"; fi
}

db_root="${ZELMOR_LANES_DB:-$root/stage-lanes-db}"
mkdir -p "$db_root"
# A socket's path may not exceed about 100 characters, and the server's
# account must be able to enter the folder (not so below root's home).
if [ ${#db_root} -gt 80 ] || { [ -n "$server_user" ] && ! runuser -u "$server_user" -- test -x "$db_root"; }; then
  db_root="/var/tmp/zelmor-lanes-db-$(id -u)"
  mkdir -p "$db_root"
fi
data="$db_root/data"
sock="$db_root/sock"
mkdir -p "$sock"
[ -n "$server_user" ] && chown "$server_user:" "$db_root" "$sock"
# Workstations of any local account reach the socket; the cluster stays private.
chmod 0755 "$db_root" "$sock"
port=5432        # names the socket file only: the server listens on no network port
user=zelmor      # the database account the workstations use
database=zelmor

if [ ! -s "$data/PG_VERSION" ]; then
  echo "Creating the database cluster in $data"
  as_server "$bin/initdb" -D "$data" -U "$user" --auth=trust -E UTF8 --locale=C.UTF-8 >"$db_root/initdb.log"
fi
server_log="$db_root/server.log"
as_server "$bin/pg_ctl" -D "$data" -l "$server_log" -w -t 30 \
  -o "-c listen_addresses='' -c unix_socket_directories='$sock' -p $port" start >/dev/null

pids=()
workstations=()
vnc_auth=()
stop_all() {
  # Each lane's programs run in a process group of their own.
  for pid in "${pids[@]}"; do kill -- "-$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -f "${vnc_auth[@]}"
  as_server "$bin/pg_ctl" -D "$data" -m fast -w stop >/dev/null 2>&1 || true
  echo "Lanes stopped, database server stopped."
}
trap stop_all EXIT
trap 'exit 130' INT TERM

sql() { "$bin/psql" -h "$sock" -p "$port" -U "$user" -X -At -v ON_ERROR_STOP=1 "$@"; }
if [ "$(sql -d postgres -c "SELECT count(*) FROM pg_database WHERE datname = '$database'")" = 0 ]; then
  sql -d postgres -c "CREATE DATABASE $database" >/dev/null
fi
echo "Database server: socket $sock, database $database (log: $server_log)"

link_dir="${XDG_RUNTIME_DIR:-/tmp}/zelmor-$(id -u)"
mkdir -p "$link_dir"

if locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  export LANG=ru_RU.UTF-8 LC_ALL=
fi
vnc_lane_ports=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  mapfile -t vnc_lane_ports < <(free_vnc_ports "$lanes")
  [ "${#vnc_lane_ports[@]}" -eq "$lanes" ] || exit 2
fi

for lane in $(seq "$lanes"); do
  stage="$root/stage-lane$lane"
  cmake --install build-run --prefix "$stage" >/dev/null
  link="$link_dir/ttyZM-lane$lane"
  rm -f "$link"
  setsid "$stage/zelmor-sim" --link "$link" --warmup "${ZELMOR_SIM_WARMUP:-20}" --serial "$((1000 + lane))" \
    </dev/null >"$link_dir/sim-lane$lane.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

  # The lane's settings: its simulator's line (first run only) and the server
  # (added when the file does not name a database yet). No password: the
  # server trusts the local socket; a real server takes it from ~/.pgpass.
  ini="$stage/conf/zelmor.ini"
  mkdir -p "$stage/conf"
  [ -e "$ini" ] || printf '[Connect]\r\nComName=%s\r\nSpeed=38400\r\n' "$link" >"$ini"
  if ! grep -qi '^\[Database\]' "$ini"; then
    printf '[Database]\r\nDriver=PSQL\r\nHost=%s\r\nPort=%s\r\nName=%s\r\nUser=%s\r\n' \
      "$sock" "$port" "$database" "$user" >>"$ini"
  fi

  echo "Lane $lane: folder $stage, simulator on $link (serial $((1000 + lane)))"
  if [ ${#vnc_lane_ports[@]} -gt 0 ]; then
    vnc_port="${vnc_lane_ports[lane - 1]}"
    start_vnc_display "$vnc_port" "$link_dir/vnc-lane$lane.log"
    pids+=("$vnc_pid")
    vnc_auth+=("$XAUTHORITY")
    echo "Lane $lane: screen on VNC port $vnc_port (display $DISPLAY)"
  fi
  (cd "$stage" && exec setsid ./zelmor) >"$link_dir/zelmor-lane$lane.log" 2>&1 &
  pids+=($!)
  workstations+=($!)
done

[ ${#vnc_lane_ports[@]} -eq 0 ] || vnc_how_to_look "${vnc_lane_ports[@]}"

connected() { sql -d postgres -c "SELECT count(*) FROM pg_stat_activity WHERE datname = '$database' AND application_name = 'zelmor'"; }
if [ "$seconds" -gt 0 ]; then
  sleep "$seconds"
  echo "Workstations connected to the server: $(connected) of $lanes"
  exit 0
fi
for _ in $(seq 30); do [ "$(connected)" -ge "$lanes" ] && break; sleep 1; done
echo "Workstations connected to the server: $(connected) of $lanes"
for pid in "${workstations[@]}"; do wait "$pid" 2>/dev/null || true; done
