#!/usr/bin/env bash
# start-with-simulator.sh PROGRAM_FOLDER [simulator options...]
# Starts zelmor-sim on a pseudo-terminal, points the workstation's port
# setting at it (only when no settings file exists yet) and runs the
# workstation. Without a display the workstation runs on a virtual one,
# served over VNC to this machine only (scripts/virtual-display.sh).
set -euo pipefail
. "$(dirname "$0")/virtual-display.sh"
stage="$(cd "$1" && pwd)"; shift || true
link_dir="${XDG_RUNTIME_DIR:-/tmp}/zelmor-$(id -u)"
mkdir -p "$link_dir"
link="$link_dir/ttyZM0"

"$stage/zelmor-sim" --link "$link" --warmup "${ZELMOR_SIM_WARMUP:-20}" "$@" \
  </dev/null >"$link_dir/sim.log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

mkdir -p "$stage/conf"
if [ ! -e "$stage/conf/zelmor.ini" ]; then
  printf '[Connect]\r\nComName=%s\r\nSpeed=38400\r\n' "$link" >"$stage/conf/zelmor.ini"
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
