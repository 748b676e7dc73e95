#!/usr/bin/env bash
# start-with-simulator.sh PROGRAM_FOLDER [--obd] [simulator options...]
# Starts zelmor-sim on a pseudo-terminal, points the workstation's port
# setting at it (only when no settings file exists yet) and runs the
# workstation. With --obd the simulator also plays a car with an OBD-II
# adapter on a second pseudo-terminal, and the settings' section "OBD" is
# pointed at it (in an existing settings file too). Without a display the workstation runs on a virtual one,
# served over VNC to this machine only (scripts/virtual-display.sh).
set -euo pipefail
. "$(dirname "$0")/virtual-display.sh"
stage="$(cd "$1" && pwd)"; shift || true
link_dir="${XDG_RUNTIME_DIR:-/tmp}/zelmor-$(id -u)"
mkdir -p "$link_dir"
link="$link_dir/ttyZM0"
obd_link=""
if [ "${1:-}" = --obd ]; then
  shift
  obd_link="$link_dir/ttyOBD0"
  set -- --obd "$obd_link" "$@"
fi

# set_ini_key FILE SECTION KEY VALUE: the key replaced where it stands, or
# added at the end of its section (the section at the end of the file), in
# CR LF lines as the program writes them; other lines stay as they are.
set_ini_key() {
  awk -v sec="$2" -v key="$3" -v val="$4" '
    BEGIN { RS = "\r?\n"; ORS = "\r\n" }
    /^\[.*\]$/ {
      if (insec && !done) { print key "=" val; done = 1 }
      insec = tolower($0) == "[" tolower(sec) "]"
      print; next
    }
    insec && tolower(substr($0, 1, length(key) + 1)) == tolower(key) "=" {
      if (!done) print key "=" val
      done = 1; next
    }
    { print }
    END { if (!done) { if (!insec) print "[" sec "]"; print key "=" val } }
  ' "$1" >"$1.new" && mv "$1.new" "$1"
}

"$stage/zelmor-sim" --link "$link" --warmup "${ZELMOR_SIM_WARMUP:-20}" "$@" \
  </dev/null >"$link_dir/sim.log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

mkdir -p "$stage/conf"
if [ ! -e "$stage/conf/zelmor.ini" ]; then
  printf '[Connect]\r\nComName=%s\r\nSpeed=38400\r\n' "$link" >"$stage/conf/zelmor.ini"
fi
if [ -n "$obd_link" ]; then
  set_ini_key "$stage/conf/zelmor.ini" OBD Enabled 1
  set_ini_key "$stage/conf/zelmor.ini" OBD Port "$obd_link"
  echo "Simulated car's OBD-II adapter on $obd_link (steer it with 'obd ...' lines, see tools/sim)"
fi

if locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  export LANG=ru_RU.UTF-8 LC_ALL=
fi

echo "Instrument simulator on $link (log: $link_dir/sim.log)"
# The program looks for its report template "conf/report.frf" below the
# working directory: it runs from its own folder.
cd "$stage"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  port="$(free_vnc_ports 1)"
  start_vnc_display "$port" "$link_dir/vnc.log"
  trap 'kill "$sim_pid" 2>/dev/null || true; kill -- "-$vnc_pid" 2>/dev/null || true; rm -f "$XAUTHORITY"' EXIT
  vnc_how_to_look "$port"
fi
./zelmor
