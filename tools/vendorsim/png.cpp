// The simulator's picture of a received logo, as the receipt printer would print it:
// 384 x 128, black dots on white, written as an 8-bit grey PNG. The image data go into
// stored (uncompressed) deflate blocks: no image or compression library is needed, so the
// simulator builds wherever the protocol does.
#include "vendorsim/vendorsim.h"

#include "platform/atomicfile.h"

#include <array>
#include <string>

namespace vendorsim {

namespace {

uint32_t crc32Of(const std::string &bytes, size_t from)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i)
        c = table[(c ^ uint8_t(bytes[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put32(std::string &out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(char((v >> shift) & 0xFF));
}

void putChunk(std::string &out, const char *type, const std::string &data)
{
    put32(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.append(type, 4);
    out += data;
    put32(out, crc32Of(out, start));
}

// A zlib stream of stored deflate blocks holding `raw`.
std::string zlibStored(const std::string &raw)
{
    std::string z = {char(0x78), char(0x01)};
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - at, 65535);
        const bool last = at + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(char(n & 0xFF));
        z.push_back(char(n >> 8));
        z.push_back(char(~n & 0xFF));
        z.push_back(char((~n >> 8) & 0xFF));
        z.append(raw, at, n);
        at += n;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (char c : raw) {
        a = (a + uint8_t(c)) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, (b << 16) | a);
    return z;
}

} // namespace

bool writeLogoPng(const std::string &path, const uint8_t *workFile)
{
    // Each row: filter type 0, then one grey byte per dot. Image bytes start at offset 5:
    // 16 bytes per column from the left, the most significant bit of each byte being its
    // topmost dot.
    std::string raw;
    raw.reserve(size_t(kLogoHeight) * (kLogoWidth + 1));
    for (int y = 0; y < kLogoHeight; ++y) {
        raw.push_back(0);
        for (int x = 0; x < kLogoWidth; ++x) {
            const uint8_t byte = workFile[5 + 16 * x + y / 8];
            raw.push_back((byte & (0x80 >> (y % 8))) ? char(0x00) : char(0xFF));
        }
    }
    std::string header;
    put32(header, kLogoWidth);
    put32(header, kLogoHeight);
    header += {char(8), char(0), char(0), char(0), char(0)}; // 8-bit grey, no interlace

    std::string png = "\x89PNG\r\n\x1A\n";
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlibStored(raw));
    putChunk(png, "IEND", {});
    return platform::writeFileAtomically(path, png);
}

} // namespace vendorsim
