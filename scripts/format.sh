#!/usr/bin/env bash
# Lays out every C++ file of the project (src/, tools/, tests/, bench/, fuzz/, res/gen/) with
# clang-format and the rules in .clang-format; with --check, changes nothing and exits 1
# naming the files whose layout differs. Installs clang-format when missing (as root).
# The text catalogues (*.u8.h) are left as they are written.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "format: clang-format is missing; install the Debian package clang-format" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang-format >/dev/null
fi
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 'res/gen/*.cpp' | grep -v '\.u8\.h$')
if [[ ${1:-} == --check ]]; then
  bad=()
  for f in "${files[@]}"; do
    clang-format "$f" | cmp -s - "$f" || bad+=("$f")
  done
  if ((${#bad[@]})); then
    printf 'format: not laid out as .clang-format says (run scripts/format.sh): %s\n' "${bad[@]}" >&2
    exit 1
  fi
  echo "format: ${#files[@]} files laid out as .clang-format says"
else
  clang-format -i "${files[@]}"
fi
