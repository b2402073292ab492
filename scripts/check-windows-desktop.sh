#!/usr/bin/env bash
# A syntax check of the desktop tool's sources for Windows: every file of src/ but the
# POSIX ones, compiled with mingw-w64 (-fsyntax-only, warnings on) against Debian's Qt 6
# headers, which are the same on every system but for their configuration header. It shows
# that no POSIX call is left outside the per-platform files and that the Windows files that
# need Qt (termination_win.cpp) compile. It links and runs nothing: Qt 6 for Windows is not
# in Debian. About a minute and a half on two cores; not part of CI.
#   HOST_DIR  a host build with the generated text headers (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
HOST_DIR=${HOST_DIR:-build}
qt=/usr/include/x86_64-linux-gnu/qt6
[[ -d $HOST_DIR/src/texts/gen/texts ]] || { echo "check-windows-desktop: build $HOST_DIR first (scripts/build.sh)" >&2; exit 1; }
mapfile -t files < <(git ls-files 'src/*.cpp' | grep -v -E '_posix\.cpp$|posixsock\.cpp$|textgen\.cpp$')
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 8 x86_64-w64-mingw32-g++-posix -fsyntax-only -std=c++20 \
  -Wall -Wextra -Werror -D_WIN32_WINNT=0x0A00 -DWIN32_LEAN_AND_MEAN -DNOMINMAX -DQUORVEL_VERSION='"check"' \
  -isystem "$qt" -isystem "$qt/QtCore" -isystem "$qt/QtGui" -isystem "$qt/QtWidgets" -Isrc -I"$HOST_DIR/src/texts/gen"
echo "check-windows-desktop: ${#files[@]} files compile for Windows"
