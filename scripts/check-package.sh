#!/usr/bin/env bash
# Checks a built quorvel .deb:
#   - lintian reports no error (its warnings are printed, they do not fail the check),
#   - the package holds what an install needs (programs, desktop entry, icons, metainfo,
#     manual pages, completion, copyright, changelog),
#   - desktop-file-validate and appstreamcli accept the desktop entry and the metainfo,
#   - the programs run from the package's contents unpacked into a temporary folder:
#     --version and --help, and `quorvelctl clock get` against the packaged simulated
#     vendor on a free loopback port.
#   check-package.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "$1")
app_id=org.quorvel.quorvel

tmp=$(mktemp -d)
sim_pid=
cleanup()
{
  if [[ -n $sim_pid ]]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

echo "=== lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

echo "=== contents"
root=$tmp/root
dpkg-deb -x "$deb" "$root"
expected=(
  usr/bin/quorvel usr/bin/quorvelctl usr/bin/quorvel-vendorsim
  usr/share/applications/$app_id.desktop
  usr/share/metainfo/$app_id.metainfo.xml
  usr/share/man/man1/quorvel.1.gz usr/share/man/man1/quorvelctl.1.gz
  usr/share/man/man1/quorvel-vendorsim.1.gz
  usr/share/bash-completion/completions/quorvelctl
  usr/share/doc/quorvel/copyright usr/share/doc/quorvel/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=(usr/share/icons/hicolor/${size}x${size}/apps/quorvel.png)
done
for f in "${expected[@]}"; do
  [[ -f $root/$f ]] || fail "missing from the package: /$f"
done
echo "${#expected[@]} files present"

echo "=== desktop entry and metainfo"
desktop-file-validate "$root/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
# The metainfo, the desktop entry and the icon together, as a software centre reads them.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"

echo "=== programs from the unpacked package"
bin=$root/usr/bin
for p in quorvel quorvelctl quorvel-vendorsim; do
  version=$("$bin/$p" --version) || fail "$p --version failed"
  [[ $version =~ ^$p\ \(Quorvel\)\ [0-9] ]] || fail "$p --version printed: $version"
  echo "$version"
  "$bin/$p" --help | grep -q "^Usage: $p" || fail "$p --help does not start with its usage"
done

# The simulated vendor on a free loopback port; it prints the port it took.
"$bin/quorvel-vendorsim" --port 0 --quiet --out "$tmp" >"$tmp/sim.out" 2>&1 &
sim_pid=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/^quorvel-vendorsim: listening on 127\.0\.0\.1 port \([0-9]*\)$/\1/p' "$tmp/sim.out")
  [[ -n $port ]] && break
  kill -0 "$sim_pid" 2>/dev/null || fail "the simulated vendor ended: $(cat "$tmp/sim.out")"
  sleep 0.1
done
[[ -n $port ]] || fail "the simulated vendor did not start: $(cat "$tmp/sim.out")"
clock=$("$bin/quorvelctl" --host 127.0.0.1 --port "$port" clock get) || fail "quorvelctl clock get failed"
[[ $clock =~ ^[0-9]{2}/[0-9]{2}/[0-9]{2}\ [0-9]{2}:[0-9]{2}:[0-9]{2}$ ]] || fail "quorvelctl clock get printed: $clock"
echo "quorvelctl clock get (simulated vendor on port $port): $clock"
echo "=== package $(basename "$deb") checked"
