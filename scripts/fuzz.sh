#!/usr/bin/env bash
# Runs one fuzz harness for a given time:
#   scripts/fuzz.sh NAME SECONDS [libFuzzer options...]
# NAME is one of fuzz/fuzz_NAME.cpp (frame, vender, vendorsim, layout, profile, picture, mfpcsv).
# Builds fuzz_NAME with clang-14, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/ (installing clang-14, libfuzzer-14-dev and libclang-rt-14-dev when they are
# missing), then fuzzes from the committed seeds in fuzz/corpus/NAME/. New inputs go to
# build-fuzz/corpus/NAME/, a finding to build-fuzz/findings/NAME/ (then the exit status is
# non-zero); add it to fuzz/corpus/NAME/ as regression-<what>.bin once it is mended.
# Runs at low priority (nice 10): the machine is shared.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $# -lt 2 ]]; then
  sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
name=$1 seconds=$2
shift 2
if [[ ! -f fuzz/fuzz_$name.cpp ]]; then
  echo "fuzz: no harness fuzz/fuzz_$name.cpp" >&2
  exit 2
fi

packages=(clang-14 libfuzzer-14-dev libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "fuzz: missing packages: ${missing[*]}; run as root or install them with apt-get" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

build=build-fuzz
if [[ ! -f $build/CMakeCache.txt ]]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DQUORVEL_FUZZ=ON -DQUORVEL_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
nice -n 10 cmake --build "$build" -j2 --target "fuzz_$name"

mkdir -p "$build/corpus/$name" "$build/findings/$name"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec nice -n 10 "$build/bin/fuzz_$name" "$build/corpus/$name" "fuzz/corpus/$name" \
  -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$build/findings/$name/" "$@"
