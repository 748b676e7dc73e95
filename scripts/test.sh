#!/usr/bin/env bash
# Installs the packages, builds everything with the tests and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

scripts/install-deps.sh
as_invoking_user cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZELMOR_BUILD_TESTS=ON
as_invoking_user cmake --build build -j"$(nproc)"
as_invoking_user env QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)"
