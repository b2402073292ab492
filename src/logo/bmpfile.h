#pragma once
// BMP pictures decoded from memory, checked first: a picture is taken only when its pixel
// data cover its whole declared size. (Qt's reader takes a file whose rows end early as a
// whole picture and leaves the missing rows uninitialised, so they would print as garbage.)
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <string_view>

// Largest background picture file read: a 32-bit picture of 4096 x 4096 pixels.
constexpr size_t kMaxBackgroundFileSize = size_t(64) << 20;

// The largest background picture, in pixels each way: ten times the logo's width and more
// than any real picture for it. It bounds what a picture's header (which can ask for any
// size, even in a small run-length coded file) makes the decoder allocate.
constexpr int kMaxBackgroundSide = 4096;

// Decodes the BMP file `bytes` into `image`. Takes the Windows header (40, 108 or 124
// bytes), the old OS/2 header (12 bytes) and its 64-byte successor; 1, 4, 8, 16, 24 and
// 32 bits per pixel, uncompressed or as bit fields; 8-bit and 4-bit run-length encoding.
//
// Uncompressed pixel data must reach from the start of the pixel data (the file header's
// offset, or the end of the colour table when that lies further) over every row of the
// declared size. Run-length data must run, command by command, either to its end-of-picture
// mark or through the last row, before the bytes end; pixels the commands skip (a line
// ended early, a jump, an early end) take colour 0 of the table, as in a picture that
// starts cleared. Anything else, and pictures wider or higher than kMaxBackgroundSide, fail: false,
// `image` unchanged.
bool DecodeBmp(std::string_view bytes, QImage &image);
