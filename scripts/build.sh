#!/usr/bin/env bash
# Configures and builds the project.
#   BUILD_DIR   build folder (default: build)
#   SANITIZE=1  AddressSanitizer + UndefinedBehaviorSanitizer build
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
args=(-S . -B "$BUILD_DIR" -G Ninja)
if [[ ${SANITIZE:-0} == 1 ]]; then
  args+=(-DQUORVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
cmake "${args[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
