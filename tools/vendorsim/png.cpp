// A small PNG writer for the simulator's picture of a received logo: 8-bit greyscale,
// image data in uncompressed deflate blocks, so it needs nothing beyond the standard
// library.
#include "vendorsim/vendorsim.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace vendorsim {

namespace {

uint32_t crc32(const uint8_t *p, size_t n, uint32_t crc = 0)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void put32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(v >> s));
}

void chunk(std::vector<uint8_t> &out, const char *type, const std::vector<uint8_t> &body)
{
    put32(out, uint32_t(body.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    put32(out, crc32(out.data() + start, out.size() - start));
}

// zlib stream of stored (uncompressed) deflate blocks.
std::vector<uint8_t> zlibStored(const std::vector<uint8_t> &raw)
{
    std::vector<uint8_t> z{0x78, 0x01};
    size_t off = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - off, 65535);
        const bool last = off + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(uint8_t(n));
        z.push_back(uint8_t(n >> 8));
        z.push_back(uint8_t(~n));
        z.push_back(uint8_t(~n >> 8));
        z.insert(z.end(), raw.begin() + long(off), raw.begin() + long(off + n));
        off += n;
    } while (off < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, (b << 16) | a);
    return z;
}

} // namespace

bool writeLogoPng(const std::string &path, const uint8_t *workFile)
{
    // Image bytes start at offset 5: 16 bytes per column from the left, the most
    // significant bit of each byte being its topmost dot.
    std::vector<uint8_t> raw;
    raw.reserve(size_t(kLogoHeight) * (kLogoWidth + 1));
    for (int y = 0; y < kLogoHeight; ++y) {
        raw.push_back(0); // filter: none
        for (int x = 0; x < kLogoWidth; ++x) {
            const uint8_t byte = workFile[5 + 16 * x + y / 8];
            raw.push_back((byte & (0x80 >> (y % 8))) ? 0x00 : 0xFF);
        }
    }
    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    put32(ihdr, kLogoWidth);
    put32(ihdr, kLogoHeight);
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0}); // 8-bit greyscale
    chunk(png, "IHDR", ihdr);
    chunk(png, "IDAT", zlibStored(raw));
    chunk(png, "IEND", {});

    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace vendorsim
