#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated vendor on loopback and opens
# the tool pointed at it. The simulator stops when the tool closes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
BIN="$(cd "$BUILD_DIR" && pwd)/bin"

# A platform that draws nowhere (offscreen, minimal) is no display for a person to use.
case "${QT_QPA_PLATFORM:-}" in
  offscreen*|minimal*) unset QT_QPA_PLATFORM ;;
esac
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "run-demo: no display available; run it under a virtual display: xvfb-run -a scripts/run-demo.sh" >&2
  exit 1
fi

PORT=${QUORVEL_DEMO_PORT:-9004}
SIM_PID=
if [[ -x "$BIN/quorvel-vendorsim" ]]; then
  OUT=${QUORVEL_DEMO_OUT:-$PWD/out/demo}
  mkdir -p "$OUT"
  "$BIN/quorvel-vendorsim" --port "$PORT" --out "$OUT" &
  SIM_PID=$!
  trap '[[ -n "$SIM_PID" ]] && kill "$SIM_PID" 2>/dev/null; wait "$SIM_PID" 2>/dev/null || true' EXIT
  sleep 0.3
  if ! kill -0 "$SIM_PID" 2>/dev/null; then
    SIM_PID=
    echo "run-demo: the simulated vendor did not start (port $PORT taken? choose another with QUORVEL_DEMO_PORT=N)" >&2
    exit 1
  fi
  echo "run-demo: simulated vendor on 127.0.0.1:$PORT (received logos go to $OUT)"
fi

# The tool keeps its settings file in the working directory.
mkdir -p out/demo
cd out/demo
"$BIN/quorvel" --host 127.0.0.1 --port "$PORT"
