#!/usr/bin/env bash
# Runs clang-tidy with the project's checks (.clang-tidy) over every source file of src/ and
# tools/ in the compile database of BUILD_DIR (default: build, configured by
# scripts/build.sh). Exits non-zero on any finding. Installs clang-tidy when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
if ! command -v clang-tidy >/dev/null; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "tidy: clang-tidy is missing; install the Debian package clang-tidy" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang-tidy >/dev/null
fi
[[ -f "$BUILD_DIR/compile_commands.json" ]] || { echo "tidy: no $BUILD_DIR/compile_commands.json; run scripts/build.sh first" >&2; exit 1; }
# Only the files this build compiles: the other platform's files (*_win.cpp, winsock.cpp)
# are checked by its compiler with warnings as errors (scripts/build-windows.sh).
mapfile -t files < <(git ls-files 'src/*.cpp' 'tools/*.cpp' | while read -r f; do
  grep -qF "\"file\": \"$PWD/$f\"" "$BUILD_DIR/compile_commands.json" && echo "$f"
done)
# Quiet on success: clang-tidy's counts of suppressed warnings in Qt's headers say nothing.
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$BUILD_DIR" --quiet 2> >(grep -v -E '^[0-9]+ warnings? generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^$' >&2)
echo "tidy: ${#files[@]} files clean"
