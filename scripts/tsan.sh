#!/usr/bin/env bash
# Builds the project with ThreadSanitizer (folder build-tsan) and runs the tests that
# involve the vendor worker: the worker's own, and the vendor dialogs' (alone and run from
# the main window).
#   TSAN_TESTS   ctest -R pattern of the tests to run (default: the worker and the dialogs)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-tsan}
# Qt's own libraries are not instrumented: what they do among themselves is not ours to
# judge (see tsan.supp); every report in our code fails the run. (The build runs some of
# the programs it makes, so this holds for it too.)
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp ${TSAN_OPTIONS:-}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_TSAN=ON -DQUORVEL_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
ctest --output-on-failure -R "${TSAN_TESTS:-Worker\.|test_clocksetdlg|test_shopdlg|test_mfpcnfdlg|test_vendordialogs|test_venderaddrdlg}"
