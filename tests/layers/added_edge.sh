#!/usr/bin/env bash
# The layer check must refuse a tree that is right but for one added edge: the MFP model
# including the logo model (one feature folder into another), and the logo model linking
# the vendor dialogs' library.
set -euo pipefail
root=$1
t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
cp -r "$root/src" "$root/tools" "$root/scripts" "$t/"
python3 "$t/scripts/check-layers.py" --root "$t" >/dev/null # the copy as it is passes
sed -i '1i #include "logo/logolayout.h"' "$t/src/mfp/mfpfile.cpp"
sed -i 's/^target_link_libraries(quorvel_logo PUBLIC /target_link_libraries(quorvel_logo PUBLIC quorvel_vendorui /' "$t/src/logo/CMakeLists.txt"
if out=$(python3 "$t/scripts/check-layers.py" --root "$t" 2>&1); then
  echo "the layer check passed a tree with added edges" >&2
  exit 1
fi
grep -q "src/mfp/mfpfile.cpp:1: src/mfp may not include logo/logolayout.h" <<<"$out"
grep -q "quorvel_logo (src/logo) may not link quorvel_vendorui" <<<"$out"
echo "refused: $out"
