#include "logo/bmpfile.h"

#include <QList>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr size_t kFileHeaderSize = 14;

enum Compression : uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

uint32_t u16(std::string_view b, size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8;
}

uint32_t u32(std::string_view b, size_t at)
{
    return u16(b, at) | u16(b, at + 2) << 16;
}

struct BmpHeader {
    int64_t width = 0;
    int64_t height = 0; // negative: rows stored top row first
    uint32_t bits = 0;
    uint32_t compression = Rgb;
    size_t colours = 0; // entries of the colour table
    size_t colourSize = 4; // bytes per entry
    size_t colourTable = 0; // offset of the colour table
    size_t pixelData = 0; // offset of the pixel data
};

// Reads the headers as the decoder does; false for anything it would not take.
bool readHeader(std::string_view b, BmpHeader &h)
{
    if (b.size() < kFileHeaderSize + 4 || b[0] != 'B' || b[1] != 'M')
        return false;
    const uint32_t offBits = u32(b, 10);
    const uint32_t infoSize = u32(b, 14);
    uint32_t planes = 0;
    uint32_t coloursUsed = 0;
    if (infoSize == 12) {
        if (b.size() < kFileHeaderSize + 12)
            return false;
        h.width = int16_t(u16(b, 18));
        h.height = int16_t(u16(b, 20));
        planes = u16(b, 22);
        h.bits = u16(b, 24);
        h.colourSize = 3;
    } else if (infoSize == 40 || infoSize == 64 || infoSize == 108 || infoSize == 124) {
        if (b.size() < kFileHeaderSize + infoSize)
            return false;
        h.width = int32_t(u32(b, 18));
        h.height = int32_t(u32(b, 22));
        planes = u16(b, 26);
        h.bits = u16(b, 28);
        h.compression = u32(b, 30);
        coloursUsed = u32(b, 46);
    } else {
        return false;
    }
    const uint32_t bits = h.bits;
    const bool known = (h.compression == Rgb &&
                        (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
        (h.compression == Rle8 && bits == 8) || (h.compression == Rle4 && bits == 4) ||
        (h.compression == BitFields && (bits == 16 || bits == 32));
    if (planes != 1 || !known || h.width <= 0 || h.height == 0 || h.width > kMaxBackgroundSide ||
        std::abs(int64_t(h.height)) > kMaxBackgroundSide)
        return false;
    // Run-length data are stored bottom row first only.
    if ((h.compression == Rle8 || h.compression == Rle4) && h.height < 0)
        return false;

    // After the header: the colour masks of a 40- or 64-byte header with bit fields (the
    // larger headers hold them), then the colour table of a picture of up to 8 bits.
    h.colourTable = kFileHeaderSize + infoSize + (h.compression == BitFields && infoSize < 108 ? 12 : 0);
    if (bits <= 8) {
        h.colours = coloursUsed ? coloursUsed : size_t(1) << bits;
        if (h.colours > 256)
            return false;
    }
    // The pixel data start at the header's offset, unless that points into the table.
    h.pixelData = std::max<size_t>(offBits, h.colourTable + h.colours * h.colourSize);
    return h.pixelData <= b.size();
}

QList<QRgb> colourTable(std::string_view b, const BmpHeader &h)
{
    QList<QRgb> table;
    for (size_t i = 0; i < h.colours; ++i) {
        const size_t at = h.colourTable + i * h.colourSize;
        table.append(qRgb(uint8_t(b[at + 2]), uint8_t(b[at + 1]), uint8_t(b[at])));
    }
    return table;
}

// Decodes 8-bit or 4-bit run-length data into an 8-bit picture that starts as colour 0.
// False when the bytes end before the end-of-picture mark or the end of the last row.
bool decodeRunLength(std::string_view b, const BmpHeader &h, QImage &out)
{
    const int w = int(h.width), rows = int(h.height);
    QImage image(w, rows, QImage::Format_Indexed8);
    if (image.isNull())
        return false;
    image.setColorTable(colourTable(b, h));
    image.fill(0);
    const bool four = h.compression == Rle4;
    int64_t x = 0, y = 0; // y counts rows from the bottom
    const auto put = [&](uint8_t index) {
        if (x < w && y < rows)
            image.scanLine(int(rows - 1 - y))[x] = index;
        ++x;
    };
    size_t at = h.pixelData;
    while (y < rows) {
        if (b.size() - at < 2)
            return false;
        const uint8_t count = uint8_t(b[at]), value = uint8_t(b[at + 1]);
        at += 2;
        if (count > 0) { // a run of one colour (4 bits: two colours in turn)
            for (int i = 0; i < count; ++i)
                put(four ? uint8_t(i % 2 ? value & 0x0F : value >> 4) : value);
        } else if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of picture
            break;
        } else if (value == 2) { // jump right and up
            if (b.size() - at < 2)
                return false;
            x += uint8_t(b[at]);
            y += uint8_t(b[at + 1]);
            at += 2;
        } else { // `value` pixels stored one by one, padded to an even number of bytes
            const size_t bytes = four ? (size_t(value) + 1) / 2 : value;
            const size_t padded = bytes + (bytes & 1);
            if (b.size() - at < padded)
                return false;
            for (int i = 0; i < value; ++i) {
                const uint8_t byte = uint8_t(b[at + (four ? i / 2 : i)]);
                put(four ? uint8_t(i % 2 ? byte & 0x0F : byte >> 4) : byte);
            }
            at += padded;
        }
    }
    out = image;
    return true;
}

} // namespace

bool DecodeBmp(std::string_view bytes, QImage &image)
{
    BmpHeader h;
    if (!readHeader(bytes, h))
        return false;
    if (h.compression == Rle8 || h.compression == Rle4)
        return decodeRunLength(bytes, h, image);

    const int64_t stride = (h.width * h.bits + 31) / 32 * 4;
    const int64_t rows = std::abs(int64_t(h.height));
    if (int64_t(bytes.size() - h.pixelData) < stride * rows)
        return false;
    QImage decoded;
    if (!decoded.loadFromData(reinterpret_cast<const uchar *>(bytes.data()), qsizetype(bytes.size()), "BMP") ||
        decoded.isNull() || decoded.width() != h.width || decoded.height() != rows)
        return false;
    image = std::move(decoded);
    return true;
}
