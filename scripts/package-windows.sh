#!/usr/bin/env bash
# Builds the Windows package quorvel-<version>-windows-x64.zip: quorvelctl.exe,
# quorvel-vendorsim.exe (static, no DLLs) and README.txt (Japanese and English, CR LF).
# Uses the Windows build of scripts/build-windows.sh (built here when missing). Prints the
# package's path last.
#   BUILD_DIR  the Windows build folder (default: build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-windows}
if [[ ! -f $BUILD_DIR/bin/quorvelctl.exe || ! -f $BUILD_DIR/bin/quorvel-vendorsim.exe ]] || ! command -v zip >/dev/null; then
  TESTS=0 BUILD_DIR=$BUILD_DIR scripts/build-windows.sh >&2
fi
version=$(sed -n 's/^project(Quorvel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=quorvel-$version-windows-x64
stage=$BUILD_DIR/package/$name
rm -rf "$BUILD_DIR/package"
mkdir -p "$stage"
cp "$BUILD_DIR/bin/quorvelctl.exe" "$BUILD_DIR/bin/quorvel-vendorsim.exe" "$stage/"
x86_64-w64-mingw32-strip "$stage"/*.exe
# Notepad and the console read the README as UTF-8 with its byte order mark, CR LF ended.
{
  printf '\xEF\xBB\xBF'
  sed "s/@VERSION@/$version/; s/\$/\r/" packaging/windows/README.txt
} >"$stage/README.txt"
# No DLL beyond the system's own may be needed.
for exe in "$stage"/*.exe; do
  deps=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z' |
    grep -v -E '^(kernel32|ws2_32|msvcrt|user32|advapi32|shell32|ntdll|api-ms-win-.*)\.dll$' || true)
  if [[ -n $deps ]]; then
    echo "package-windows: $(basename "$exe") needs DLLs we do not ship: $deps" >&2
    exit 1
  fi
done
(cd "$BUILD_DIR/package" && rm -f "$name.zip" && TZ=UTC zip -q -X -r "$name.zip" "$name")
echo "$BUILD_DIR/package/$name.zip"
