#!/usr/bin/env bash
# Configures and builds the project.
#   BUILD_DIR   build folder (default: build)
#   SANITIZE=1  AddressSanitizer + UndefinedBehaviorSanitizer build
#   RELEASE=1   Release configuration (as packagers build it)
#   WERROR=1    warnings are errors (our CI and development builds); WERROR=0 turns it off
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
args=(-S . -B "$BUILD_DIR" -G Ninja)
if [[ ${SANITIZE:-0} == 1 ]]; then
  args+=(-DQUORVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
elif [[ ${RELEASE:-0} == 1 ]]; then
  args+=(-DCMAKE_BUILD_TYPE=Release)
fi
# Off unless asked for; an existing build folder keeps what it was configured with.
if [[ ${WERROR:-} == 1 ]]; then
  args+=(-DQUORVEL_WERROR=ON)
elif [[ ${WERROR:-} == 0 ]]; then
  args+=(-DQUORVEL_WERROR=OFF)
fi
cmake "${args[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
