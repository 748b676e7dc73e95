#!/usr/bin/env bash
# check_run_scripts.sh SOURCE_DIR
# The run scripts on a machine without a display: which VNC ports they take,
# the arguments they refuse before starting anything, and that the virtual
# display is served to 127.0.0.1 only and opened only with its cookie.
set -uo pipefail
source_dir="$1"
. "$source_dir/scripts/virtual-display.sh"
failures=0
check() { # what expected actual
  if [ "$2" != "$3" ]; then
    echo "FAIL $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  fi
}

# first port setting | displays | ports in use | ports taken, or "refused"
while IFS='|' read -r what setting count in_use expected; do
  busy_ports() { printf '%s\n' $in_use; }
  actual="$(ZELMOR_VNC_PORT="$setting" free_vnc_ports "$count" 2>/dev/null | tr '\n' ' ')" || actual=refused
  check "$what" "$expected" "$actual"
done <<'ROWS'
one display, nothing in use||1||5900 
lanes skip ports in use||3|5900 5902 22|5901 5903 5904 
a first port of the user's|5910|1|5900|5910 
not a number|59x0|1||refused
leading zero|05900|1||refused
below the unprivileged ports|80|1||refused
beyond the last port|70000|1||refused
no port left|65535|2||refused
ROWS
unset -f busy_ports
. "$source_dir/scripts/virtual-display.sh"

check "ports read from ss" "5900 5901 22 5903 " "$(listening_ports <<'SS' | tr '\n' ' '
LISTEN 0      5        127.0.0.1:5900      0.0.0.0:*
LISTEN 0      5            [::1]:5901         [::]:*
LISTEN 0      128              *:22              *:*
LISTEN 0      4096 [::ffff:127.0.0.1]:5903       *:*
SS
)"

# run-lanes.sh refuses bad arguments before it starts a server (a copy, so a
# regression cannot leave a server behind in the source tree).
copy="$(mktemp -d)"
trap 'rm -rf "$copy"' EXIT
cp -r "$source_dir/scripts" "$copy/"
for args in "0" "abc" "100" "--seconds" "--seconds x" "2 --lanes"; do
  # shellcheck disable=SC2086
  "$copy/scripts/run-lanes.sh" $args >/dev/null 2>&1
  check "run-lanes.sh $args" 2 $?
done
[ ! -e "$copy/stage-lanes-db" ] || check "run-lanes.sh refused before starting" "no server" "a server"

# A real VNC server: it listens on 127.0.0.1 only, and the display takes
# clients with its cookie only.
port="$(ZELMOR_VNC_PORT=5900 free_vnc_ports 1)"
if start_vnc_display "$port" "$copy/vnc.log"; then
  addresses="$(ss -Hltnp | grep "pid=$vnc_pid," | awk '{print $4}' | tr '\n' ' ')"
  check "VNC server addresses" "127.0.0.1:$port " "$addresses"
  check "display with the cookie" "1280 1024" "$(xdotool getdisplaygeometry 2>&1)"
  XAUTHORITY=/dev/null xdotool getdisplaygeometry >/dev/null 2>&1
  check "display without the cookie refused" 1 $?
  kill -- "-$vnc_pid"
  rm -f "$XAUTHORITY"
else
  check "VNC server started" started failed
fi

[ "$failures" -eq 0 ] && echo "run scripts: all checks passed"
exit $((failures > 0))
