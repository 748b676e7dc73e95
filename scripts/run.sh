#!/usr/bin/env bash
# Installs the packages, builds the workstation and the instrument simulator,
# installs both into ./stage and starts the workstation connected to the
# simulator. Closing the workstation stops the simulator.
# run.sh --obd: the simulator also plays a car with an OBD-II adapter, and the
# workstation takes the engine speed and the diagnosis from it.
# run.sh --lanes N [--seconds S]: N lanes (workstation and simulator each)
# storing into one local database server instead, reached over TLS on
# 127.0.0.1 with a role per lane (scripts/run-lanes.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

scripts/install-deps.sh
as_invoking_user cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELMOR_BUILD_TESTS=OFF
as_invoking_user cmake --build build-run -j"$(nproc)"
if [ "${1:-}" = --lanes ]; then
  shift
  as_invoking_user scripts/run-lanes.sh "$@"
  exit
fi
as_invoking_user cmake --install build-run --prefix "$PWD/stage" >/dev/null
as_invoking_user scripts/start-with-simulator.sh "$PWD/stage" "$@"
