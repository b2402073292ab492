#!/usr/bin/env bash
# The Windows programs against each other and against the Linux ones, over loopback only:
# quorvelctl.exe clock get towards quorvel-vendorsim.exe and towards the Linux
# quorvel-vendorsim (when a host build has one), on 127.0.0.1 and on ::1; then fleet mode,
# quorvelctl.exe --hosts towards a fleet of each simulator; and a Japanese file name.
#   windows-smoke.sh WINDOWS_BIN_DIR [WINE] [LINUX_BIN_DIR]
set -euo pipefail
bin=$1
wine=${2:-/usr/lib/wine/wine64}
linux=${3:-build/bin}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Starts a simulator (its command line in "$@") on a free port; sets $port.
start_sim() {
  local log=$work/sim-$RANDOM.log
  "$@" --port 0 --quiet >"$log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on .* port \([0-9]*\).*/\1/p' "$log" | tr -d '\r')
    [[ -n $port ]] && return 0
    sleep 0.1
  done
  echo "windows-smoke: the simulator did not start: $*" >&2
  cat "$log" >&2
  return 1
}

check() { # what, host, port
  local out
  out=$("$wine" "$bin/quorvelctl.exe" --host "$2" --port "$3" clock get 2>&1 | tr -d '\r' || true)
  if [[ $out =~ ^[0-9]{2}/[0-9]{2}/[0-9]{2}\ [0-9]{2}:[0-9]{2}:[0-9]{2} ]]; then
    echo "windows-smoke: quorvelctl.exe clock get, $1 on $2: $out"
  else
    echo "windows-smoke: quorvelctl.exe clock get, $1 on $2 failed: $out" >&2
    return 1
  fi
}

for host in 127.0.0.1 ::1; do
  start_sim "$wine" "$bin/quorvel-vendorsim.exe" --bind "$host"
  check "the Windows simulator" "$host" "$port"
  if [[ -x $linux/quorvel-vendorsim ]]; then
    start_sim "$linux/quorvel-vendorsim" --bind "$host"
    check "the Linux simulator" "$host" "$port"
  fi
done

# Fleet mode: three vendors on consecutive free ports of 127.0.0.1, their list written by
# the simulator, read by quorvelctl.exe (as a Windows path: the host's / is drive Z:).
fleet() { # what, simulator command...
  local list=$work/hosts-$RANDOM.txt what=$1
  shift
  "$@" --count 3 --port-range --port 0 --quiet --list "$(listPath "$list")" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    [[ -s $list ]] && break
    sleep 0.1
  done
  local out
  out=$("$wine" "$bin/quorvelctl.exe" --hosts "Z:$list" clock get 2>&1 | tr -d '\r' || true)
  if [[ $(tail -1 <<<"$out") == "3 ok, 0 failed, 0 not tried" ]]; then
    echo "windows-smoke: quorvelctl.exe --hosts clock get, a fleet of $what: $(tail -1 <<<"$out")"
  else
    echo "windows-smoke: quorvelctl.exe --hosts clock get, a fleet of $what failed:" >&2
    echo "$out" >&2
    return 1
  fi
}
winPath() { echo "Z:$1"; }
listPath() { echo "$1"; }
if [[ -x $linux/quorvel-vendorsim ]]; then
  fleet "Linux simulators" "$linux/quorvel-vendorsim"
fi
listPath() { winPath "$1"; }
fleet "Windows simulators" "$wine" "$bin/quorvel-vendorsim.exe"

# A file name in Japanese reaches the file system whatever the ANSI code page (Wine's here
# is not CP932): quorvelctl.exe reads its arguments from the UTF-16 command line.
start_sim "$wine" "$bin/quorvel-vendorsim.exe"
"$wine" "$bin/quorvelctl.exe" --port "$port" mfp get -o "Z:$work/表ソ.csv" >/dev/null 2>&1 || true
if [[ -s $work/表ソ.csv ]]; then
  echo "windows-smoke: quorvelctl.exe mfp get -o 表ソ.csv wrote that file"
else
  echo "windows-smoke: quorvelctl.exe mfp get -o 表ソ.csv did not write that file: $(ls "$work")" >&2
  exit 1
fi
