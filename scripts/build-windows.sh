#!/usr/bin/env bash
# Cross-builds the Qt-free set for 64-bit Windows (quorvelctl.exe, quorvel-vendorsim.exe and
# their tests, linked statically: no DLLs to ship) with Debian's mingw-w64, and runs the
# tests under Wine. Installs the toolchain, Wine and GoogleTest's sources (and zip, for
# scripts/package-windows.sh) when missing.
#   BUILD_DIR   the Windows build folder (default: build-windows)
#   HOST_DIR    a host build whose bin/quorvel-textgen makes the text catalogue headers
#               (default: build when it has one, otherwise build-host, made here)
#   WERROR=1    warnings are errors
#   TESTS=0     build only
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-windows}
start=$(date +%s)

PACKAGES=(g++-mingw-w64-x86-64-posix wine64 googletest cmake ninja-build zip)
missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "build-windows: missing packages: ${missing[*]}; run as root or install them with apt-get" >&2
    exit 1
  fi
  echo "build-windows: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The text generator runs on the build machine: take a host build's, or build just it.
if [[ -z ${HOST_DIR:-} ]]; then
  if [[ -x build/bin/quorvel-textgen ]]; then HOST_DIR=build; else HOST_DIR=build-host; fi
fi
if [[ ! -x $HOST_DIR/bin/quorvel-textgen ]]; then
  echo "build-windows: building the text generator in $HOST_DIR"
  cmake -S . -B "$HOST_DIR" -G Ninja -DQUORVEL_BENCH=OFF >/dev/null
  cmake --build "$HOST_DIR" --target quorvel-textgen
fi
textgen=$(realpath "$HOST_DIR/bin/quorvel-textgen")

args=(-S . -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
  -DCMAKE_BUILD_TYPE=Release -DQUORVEL_QT=OFF -DQUORVEL_TEXTGEN="$textgen"
  -DQUORVEL_GTEST_SOURCE=/usr/src/googletest)
if [[ ${WERROR:-} == 1 ]]; then
  args+=(-DQUORVEL_WERROR=ON)
elif [[ ${WERROR:-} == 0 ]]; then
  args+=(-DQUORVEL_WERROR=OFF)
fi
cmake "${args[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
echo "build-windows: built in $(($(date +%s) - start)) s: $(cd "$BUILD_DIR/bin" && ls ./*.exe | tr '\n' ' ')"
[[ ${TESTS:-1} == 0 ]] && exit 0

# Wine: a prefix of the build's own, quiet, and one server kept up for all the runs.
export WINEPREFIX=$(realpath "$BUILD_DIR")/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[[ -x $wine ]] || wine=$(command -v wine64 || command -v wine)
[[ -x $wineserver ]] || wineserver=$(command -v wineserver)
mkdir -p "$WINEPREFIX"
"$wineserver" -p 2>/dev/null || true # exit status 2: one is up already
trap '"$wineserver" -k 2>/dev/null || true' EXIT
"$wine" wineboot -i >/dev/null 2>&1 || true

(cd "$BUILD_DIR" && ctest --output-on-failure -j"$(nproc)")
scripts/windows-smoke.sh "$BUILD_DIR/bin" "$wine"
echo "build-windows: built and tested in $(($(date +%s) - start)) s"
