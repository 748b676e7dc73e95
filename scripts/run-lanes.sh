#!/usr/bin/env bash
# run-lanes.sh [LANES] [--seconds N]
# An inspection station with several lanes on this one machine, arranged as
# a station runs its database server:
# - a server of its own in the folder stage-lanes-db (the cluster, its log,
#   the run's certificates, the lanes' password files, and a Unix socket
#   only the server's own account reaches: the administrator's way in);
# - TLS on 127.0.0.1 (a free port, kept between runs): a certificate
#   authority and a server certificate for 127.0.0.1 and localhost made for
#   the run, and nothing but TLS with a password (scram-sha-256) accepted;
# - the roles: zelmor_owner owns the tables and prepares them once
#   (zelmor --init-station-db, which runs conf/station.sql); zelmor_lane1,
#   zelmor_lane2, ... log in, one per lane, each with its own password file
#   and in the group zelmor_lanes (read, and store through the chain's
#   server function); lane 1 is the chief's, also in zelmor_admin (deleting
#   results) and zelmor_models (editing the models);
# - one program folder per lane (stage-lane1, stage-lane2, ...) whose
#   settings name the server with verify-full and the run's authority, one
#   instrument simulator and one workstation per lane, all storing into the
#   one database "zelmor".
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
command -v openssl >/dev/null || { echo "no openssl: run scripts/install-deps.sh" >&2; exit 1; }

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
tls="$db_root/tls"
mkdir -p "$sock" "$tls"
chmod 0755 "$db_root" "$tls"
# Only the server's account (and root) reach the socket: the superuser's
# way in. The lanes come over TLS.
chmod 0700 "$sock"
[ -n "$server_user" ] && chown "$server_user:" "$db_root" "$sock"
superuser=zelmor # the cluster's own account, for this script only
database=zelmor
owner=zelmor_owner

# The port on 127.0.0.1: the one of the last run while it is free, else the
# first free one from 5432. The socket carries the same number.
busy=" $(busy_ports | tr '\n' ' ') "
port="$(cat "$db_root/port" 2>/dev/null || echo 5432)"
[[ "$port" =~ ^[0-9]+$ ]] || port=5432
while [[ "$busy" == *" $port "* ]]; do port=$((port + 1)); done
echo "$port" >"$db_root/port"

if [ ! -s "$data/PG_VERSION" ]; then
  echo "Creating the database cluster in $data"
  as_server "$bin/initdb" -D "$data" -U "$superuser" --auth=trust -E UTF8 --locale=C.UTF-8 >"$db_root/initdb.log"
fi
# Who may connect, written afresh at every start: the superuser through the
# socket, everybody else to the database "zelmor" over TLS with a password.
as_server tee "$data/pg_hba.conf" >/dev/null <<HBA
# Written by scripts/run-lanes.sh at every start.
local    all      $superuser                  trust
hostssl  $database  all         127.0.0.1/32  scram-sha-256
HBA

# A certificate authority for the run and the server's certificate for
# 127.0.0.1 and localhost. The authority's key is thrown away once it has
# signed: nothing else can ever be signed by it.
(
  cd "$tls"
  rm -f ca.key ca.crt server.key server.crt
  ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
  openssl req -x509 "${ec[@]}" -days 30 -keyout ca.key -out ca.crt \
    -subj "/CN=Zelmor station CA ($(date +%F))" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
  openssl req "${ec[@]}" -days 30 -keyout server.key -out server.crt -CA ca.crt -CAkey ca.key \
    -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 \
    -addext basicConstraints=critical,CA:FALSE -addext extendedKeyUsage=serverAuth 2>/dev/null
  rm -f ca.key
  chmod 0644 ca.crt server.crt
  chmod 0600 server.key
  [ -z "$server_user" ] || chown "$server_user:" server.key
)

server_log="$db_root/server.log"
as_server "$bin/pg_ctl" -D "$data" -l "$server_log" -w -t 30 \
  -o "-c listen_addresses=127.0.0.1 -c unix_socket_directories='$sock' -p $port -c ssl=on \
-c ssl_cert_file='$tls/server.crt' -c ssl_key_file='$tls/server.key' \
-c password_encryption=scram-sha-256" start >/dev/null

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

sql() { as_server "$bin/psql" -h "$sock" -p "$port" -U "$superuser" -X -At -v ON_ERROR_STOP=1 "$@"; }

# The roles, created once; the login roles get a new password at every run,
# each written into a password file of its own that only this account reads.
role() { # role NAME LOGIN|NOLOGIN
  sql -d postgres -q -c "DO \$\$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = '$1')
    THEN CREATE ROLE $1 $2; END IF; END\$\$" -c "ALTER ROLE $1 $2"
}
login() { # login NAME: a new password and its password file
  local password
  password="$(openssl rand -hex 24)"
  role "$1" LOGIN
  # Through standard input: a command line is visible to every account.
  printf "ALTER ROLE %s PASSWORD '%s';\n" "$1" "$password" | sql -d postgres -q
  (umask 077; printf '127.0.0.1:%s:%s:%s:%s\n' "$port" "$database" "$1" "$password" >"$db_root/$1.pgpass")
}
login "$owner"
role zelmor_lanes NOLOGIN
role zelmor_admin NOLOGIN
role zelmor_models NOLOGIN
for lane in $(seq "$lanes"); do
  login "zelmor_lane$lane"
  # An earlier run's lanes worked as the owner: no more.
  sql -d postgres -q -c "ALTER ROLE zelmor_lane$lane RESET role" -c "REVOKE $owner FROM zelmor_lane$lane" \
    -c "GRANT zelmor_lanes TO zelmor_lane$lane" 2>/dev/null
done
sql -d postgres -q -c "GRANT zelmor_admin, zelmor_models TO zelmor_lane1"

if [ "$(sql -d postgres -c "SELECT count(*) FROM pg_database WHERE datname = '$database'")" = 0 ]; then
  sql -d postgres -c "CREATE DATABASE $database OWNER $owner" >/dev/null
fi
# A database of an earlier run, whose tables the superuser made, passes to
# the owner with everything in it.
sql -d "$database" -q -c "ALTER DATABASE $database OWNER TO $owner" -c "DO \$\$DECLARE r record; BEGIN
  FOR r IN SELECT c.oid::regclass AS name FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
           WHERE n.nspname = 'public' AND c.relkind IN ('r', 'p', 'v') AND c.relowner <> '$owner'::regrole
  LOOP EXECUTE format('ALTER TABLE %s OWNER TO $owner', r.name); END LOOP;
  FOR r IN SELECT p.oid::regprocedure AS name FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace
           WHERE n.nspname = 'public' AND p.proowner <> '$owner'::regrole
  LOOP EXECUTE format('ALTER ROUTINE %s OWNER TO $owner', r.name); END LOOP;
END\$\$"
# The owner prepares the tables, the chain's functions and the roles'
# rights, as a station's administrator does once: the program's own command
# from a folder of its own whose settings name the owner.
owner_folder="$db_root/owner"
rm -rf "$owner_folder"
cmake --install build-run --prefix "$owner_folder" >/dev/null
printf '[Database]\r\nDriver=PSQL\r\nHost=127.0.0.1\r\nPort=%s\r\nName=%s\r\nUser=%s\r\nSslMode=verify-full\r\nSslRootCert=%s\r\n' \
  "$port" "$database" "$owner" "$tls/ca.crt" >"$owner_folder/conf/zelmor.ini"
PGPASSFILE="$db_root/$owner.pgpass" QT_QPA_PLATFORM=offscreen "$owner_folder/zelmor" --init-station-db
echo "Database server: 127.0.0.1:$port with TLS (authority $tls/ca.crt), database $database, log $server_log"

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

  # The lane's settings: its simulator's line (first run only) and the
  # server as this run serves it (the section "Database" written afresh).
  ini="$stage/conf/zelmor.ini"
  mkdir -p "$stage/conf"
  [ -e "$ini" ] || printf '[Connect]\r\nComName=%s\r\nSpeed=38400\r\n' "$link" >"$ini"
  awk 'BEGIN { skip = 0 }
       /^\[/ { skip = (tolower($0) ~ /^\[database\]/) }
       !skip' "$ini" >"$ini.new"
  printf '[Database]\r\nDriver=PSQL\r\nHost=127.0.0.1\r\nPort=%s\r\nName=%s\r\nUser=%s\r\nSslMode=verify-full\r\nSslRootCert=%s\r\nService=\r\n' \
    "$port" "$database" "zelmor_lane$lane" "$tls/ca.crt" >>"$ini.new"
  mv "$ini.new" "$ini"

  chief=""
  [ "$lane" -eq 1 ] && chief=" (the chief's: deletes results, edits models)"
  echo "Lane $lane: folder $stage, simulator on $link (serial $((1000 + lane))), role zelmor_lane$lane$chief"
  if [ ${#vnc_lane_ports[@]} -gt 0 ]; then
    vnc_port="${vnc_lane_ports[lane - 1]}"
    start_vnc_display "$vnc_port" "$link_dir/vnc-lane$lane.log"
    pids+=("$vnc_pid")
    vnc_auth+=("$XAUTHORITY")
    echo "Lane $lane: screen on VNC port $vnc_port (display $DISPLAY)"
  fi
  # The lane's password, as a workstation reads it from its ~/.pgpass.
  (cd "$stage" && PGPASSFILE="$db_root/zelmor_lane$lane.pgpass" exec setsid ./zelmor) \
    >"$link_dir/zelmor-lane$lane.log" 2>&1 &
  pids+=($!)
  workstations+=($!)
done

[ ${#vnc_lane_ports[@]} -eq 0 ] || vnc_how_to_look "${vnc_lane_ports[@]}"

connected() {
  sql -d postgres -c "SELECT count(*) || ' of $lanes, over TLS: ' || count(*) FILTER (WHERE s.ssl)
      || coalesce(', roles: ' || string_agg(DISTINCT a.usename, ', '), '')
    FROM pg_stat_activity a JOIN pg_stat_ssl s USING (pid)
    WHERE a.datname = '$database' AND a.application_name = 'zelmor'"
}
connected_count() { connected | cut -d' ' -f1; }
if [ "$seconds" -gt 0 ]; then
  sleep "$seconds"
  echo "Workstations connected to the server: $(connected)"
  exit 0
fi
for _ in $(seq 30); do [ "$(connected_count)" -ge "$lanes" ] && break; sleep 1; done
echo "Workstations connected to the server: $(connected)"
for pid in "${workstations[@]}"; do wait "$pid" 2>/dev/null || true; done
