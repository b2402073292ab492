#!/usr/bin/env bash
# quorvelctl's logo file commands end to end: a layout file with a background picture beside
# it renders into a 6152-byte work file and a PNG, the header has its 387 lines, and a file
# of another kind, a device and a FIFO are refused with the operator's message.
set -euo pipefail
CTL=$1
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
cd "$DIR"
mkdir shop
# "ＭＳ 明朝" and "中央商店\n本店" in CP932.
printf 'SHOPLOGO\r\nPRINTER,1\r\nBGLAYER,"Shop.bmp"\r\nTEXTLAYER,0,8,4,"\x82\x6c\x82\x72 \x96\xbe\x92\xa9",40,"\x92\x86\x89\x9b\x8f\xa4\x93\x58\\n\x96\x7b\x93\x58"\r\nTEXTLAYER,1,8,90,"\x82\x6c\x82\x72 \x96\xbe\x92\xa9",20,"TEL 000-000-0000"\r\n' >shop/default.slp
# A 1 x 1 black 24-bit BMP: the background picture, found beside the layout file.
printf 'BM\x3a\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0\0\0\0\0\x04\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0' >shop/Shop.bmp

out=$("$CTL" logo render shop/default.slp --png logo.png)
[[ $out == "$DIR/shoplogo.imp" ]] || { echo "printed: $out"; exit 1; }
[[ $(stat -c %s shoplogo.imp) == 6152 ]] || { echo "work file size"; exit 1; }
[[ -s logo.png ]] || { echo "no PNG"; exit 1; }
# The black background pixel at (0, 0) is the top bit of the first image byte.
[[ $(od -An -tx1 -j5 -N1 shoplogo.imp | tr -d ' ') == 80 ]] || { echo "background dot missing"; exit 1; }

"$CTL" logo header shoplogo.imp -o Shop.H
[[ $(wc -l <Shop.H) == 387 ]] || { echo "header lines"; exit 1; }

printf 'MFPCONFIG\r\n' >other.slp
set +e
msg=$("$CTL" logo render other.slp 2>&1 >/dev/null)
rc=$?
set -e
[[ $rc == 1 && $msg == *"異なるファイルです！"* ]] || { echo "wrong kind: rc=$rc msg=$msg"; exit 1; }
# A device or a FIFO as the layout file is refused at once with the file message.
mkfifo fifo.slp
for layout in /dev/zero fifo.slp; do
  set +e
  msg=$(timeout 20 "$CTL" logo render "$layout" 2>&1 >/dev/null)
  rc=$?
  set -e
  [[ $rc == 1 && $msg == *"ファイルが開けません！"* ]] || { echo "$layout: rc=$rc msg=$msg"; exit 1; }
done
set +e
"$CTL" logo render 2>/dev/null
rc=$?
set -e
[[ $rc == 2 ]] || { echo "usage: rc=$rc"; exit 1; }
echo ok
