#!/usr/bin/env bash
# Regenerates the PNG pictures of the tool's windows in docs/images/ (offscreen, no
# display needed). Builds first; BUILD_DIR as for scripts/build.sh. Names given as
# arguments limit it to those pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
mkdir -p docs/images
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bin/quorvel-screenshots" docs/images "$@"
