#!/usr/bin/env bash
# Builds the Debian package quorvel_<version>_<arch>.deb with CPack from an optimised build
# (-O2, as Debian builds its packages, with its hardening flags; CPack strips the programs)
# and checks it (scripts/check-package.sh). Prints the package's path last.
#   BUILD_DIR  build folder (default: build-package)
#   CHECK=0    build the package only
set -euo pipefail
cd "$(dirname "$0")/.."
# The folders CPack stages the package in keep the mode they are made with.
umask 022
scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build-package}

# All of Debian's hardening flags (bind-now too). The manual pages carry the date of the
# newest changelog entry.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/changelog -S Timestamp)
export SOURCE_DATE_EPOCH
cmake -S . -B "$BUILD_DIR" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEL_SANITIZE=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
# Only what the package holds; the tests are built and run by scripts/run-tests.sh.
cmake --build "$BUILD_DIR" -j"$(nproc)" --target quorvel_package_files
rm -f "$BUILD_DIR"/quorvel_*.deb
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD_DIR"/quorvel_*.deb)
if [[ ${CHECK:-1} != 0 ]]; then
  scripts/check-package.sh "$deb"
fi
echo "$deb"
