#!/bin/sh
# CPU use of the workstation program while it polls the simulated instrument
# with the measuring page shown. Prints the share of one core over the
# measuring window.
#   bench/app_cpu.sh BUILD_DIR [SECONDS]
set -eu
build=${1:?build directory}
seconds=${2:-25}
work=$(mktemp -d)
sim_pid=
app_pid=
cleanup() {
    # The program ends in order on SIGTERM; let it finish before the folder goes.
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null || true
    exec 3>&- 2>/dev/null || true
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/prog/conf"
printf '[Connect]\r\nComName=%s\r\n' "$work/tty" > "$work/prog/conf/zelmor.ini"
# The simulator reads steering lines from a pipe that stays open meanwhile.
mkfifo "$work/steer"
"$build/tools/sim/zelmor-sim" --link "$work/tty" --warmup 0 < "$work/steer" > "$work/sim.out" 2>&1 &
sim_pid=$!
exec 3> "$work/steer"
for _ in $(seq 50); do grep -q ready "$work/sim.out" 2>/dev/null && break; sleep 0.1; done

QT_QPA_PLATFORM=offscreen ZELMOR_PROGRAM_DIR="$work/prog/" ZELMOR_DATA_ROOT="$work" \
    "$build/app/zelmor" > "$work/app.out" 2>&1 &
app_pid=$!
sleep 5 # start-up, connect, first readings

ticks=$(getconf CLK_TCK)
cpu() { awk '{ print $14 + $15 }' "/proc/$app_pid/stat"; }
before=$(cpu)
sleep "$seconds"
after=$(cpu)
awk -v a="$before" -v b="$after" -v t="$ticks" -v s="$seconds" \
    'BEGIN { printf "zelmor CPU while polling: %.2f %% of one core over %d s\n", (b - a) / t / s * 100, s }'
