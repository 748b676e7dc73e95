# Sourced by start-with-simulator.sh and run-lanes.sh: without a display the
# workstation runs on a virtual X display that a VNC server shows to
# 127.0.0.1 only, so a user on a server or over SSH can look at it through an
# SSH tunnel and nobody else on the network can reach it.
# ZELMOR_VNC_PORT sets the first port (5900); each further display takes the
# next port nobody listens on.

# vnc_first_port: the first VNC port, checked.
vnc_first_port() {
  local port="${ZELMOR_VNC_PORT:-5900}"
  if ! [[ "$port" =~ ^[1-9][0-9]{3,4}$ ]] || [ "$port" -lt 1024 ] || [ "$port" -gt 65535 ]; then
    echo "ZELMOR_VNC_PORT must be a port number from 1024 to 65535, not '$port'" >&2
    return 2
  fi
  echo "$port"
}

# listening_ports: the TCP ports something listens on, on any address, read
# from the output of "ss -Hltn" on standard input.
listening_ports() {
  awk '{ n = split($4, part, ":"); print part[n] }'
}

# busy_ports: the TCP ports something listens on now.
busy_ports() {
  ss -Hltn | listening_ports
}

# free_vnc_ports COUNT: COUNT ports nobody listens on, from the first VNC port.
free_vnc_ports() {
  local count="$1" port busy
  port="$(vnc_first_port)" || return
  busy=" $(busy_ports | tr '\n' ' ') "
  while [ "$count" -gt 0 ]; do
    while [[ "$busy" == *" $port "* ]]; do port=$((port + 1)); done
    [ "$port" -le 65535 ] || {
      echo "no free port for VNC" >&2
      return 1
    }
    echo "$port"
    port=$((port + 1))
    count=$((count - 1))
  done
}

# start_vnc_display PORT LOG: starts an X server on a free display number that
# serves its screen over VNC on 127.0.0.1:PORT; sets DISPLAY, XAUTHORITY
# (a cookie of its own, so other accounts cannot open the display) and
# vnc_pid. The caller stops it (it runs in a process group of its own).
start_vnc_display() {
  local port="$1" log="$2" auth cookie number_file
  command -v Xvnc >/dev/null || {
    echo "Xvnc not found: run scripts/install-deps.sh" >&2
    return 1
  }
  auth="$(mktemp "${TMPDIR:-/tmp}/zelmor-xauth.XXXXXX")"
  number_file="$auth.display"
  cookie="$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
  # The server takes every cookie in the file whatever display it names.
  xauth -q -f "$auth" add :0 . "$cookie"
  # No password: the port is reached only from this machine. -interface
  # alone keeps it to 127.0.0.1 (-localhost would add ::1).
  setsid Xvnc -displayfd 3 -auth "$auth" -geometry 1280x1024 -depth 24 \
    -rfbport "$port" -interface 127.0.0.1 -SecurityTypes None -nolisten tcp \
    3>"$number_file" </dev/null >"$log" 2>&1 &
  vnc_pid=$!
  for _ in $(seq 300); do
    [ -s "$number_file" ] && break
    kill -0 "$vnc_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$number_file" ]; then
    kill "$vnc_pid" 2>/dev/null || true
    rm -f "$auth" "$number_file"
    echo "the VNC server did not start on port $port (log: $log):" >&2
    tail -n 5 "$log" >&2
    return 1
  fi
  DISPLAY=":$(tr -dc 0-9 <"$number_file")"
  rm -f "$number_file"
  xauth -q -f "$auth" add "$DISPLAY" . "$cookie"
  XAUTHORITY="$auth"
  export DISPLAY XAUTHORITY
}

# vnc_how_to_look PORT...: tells the user how to see the displays.
vnc_how_to_look() {
  local first="$1" ports="port $1"
  [ $# -eq 1 ] || ports="ports $(echo "$@" | sed 's/ /, /g') (one per lane)"
  echo "No display found: the screen is served over VNC on 127.0.0.1, $ports, to this machine only."
  echo "To look at it, run on your own computer"
  echo "  ssh -L $first:127.0.0.1:$first $(id -un)@$(uname -n)"
  echo "and, while that is open, point any VNC viewer at localhost:$first (e.g. vncviewer localhost:$first)."
  [ $# -eq 1 ] || echo "For another lane use its port in both places."
}
