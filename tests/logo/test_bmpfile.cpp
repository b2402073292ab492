// BMP background pictures: a picture is taken only when its pixel data cover its declared
// size; run-length pictures are decoded command by command.
#include "logo/bmpfile.h"
#include "logo/logorender.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace {

void le16(std::string &s, uint32_t v)
{
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}

void le32(std::string &s, uint32_t v)
{
    le16(s, v & 0xFFFF);
    le16(s, v >> 16);
}

// A BMP file with the 40-byte header: `palette` (4 bytes per colour) and then `pixels`.
std::string bmp(int width, int height, int bits, uint32_t compression, const std::string &palette,
                const std::string &pixels)
{
    const uint32_t offset = 14 + 40 + uint32_t(palette.size());
    std::string s = "BM";
    le32(s, offset + uint32_t(pixels.size()));
    le32(s, 0);
    le32(s, offset);
    le32(s, 40);
    le32(s, uint32_t(width));
    le32(s, uint32_t(height));
    le16(s, 1);
    le16(s, uint32_t(bits));
    le32(s, compression);
    le32(s, uint32_t(pixels.size()));
    le32(s, 2835);
    le32(s, 2835);
    le32(s, uint32_t(palette.size() / 4));
    le32(s, 0);
    return s + palette + pixels;
}

// 24-bit rows of `width` pixels, each row padded to 4 bytes: pixel (x, row) is black when
// x == row, white otherwise.
std::string rows24(int width, int rows)
{
    std::string out;
    for (int r = 0; r < rows; ++r) {
        for (int x = 0; x < width; ++x)
            out.append(3, x == r ? '\0' : '\xFF');
        out.append(size_t((4 - width * 3 % 4) % 4), '\0');
    }
    return out;
}

// Colour 0 white, 1 black, 2 red.
std::string palette3()
{
    std::string p;
    le32(p, 0x00FFFFFF);
    le32(p, 0x00000000);
    le32(p, 0x00FF0000);
    return p;
}

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += char(v);
    return out;
}

// The decoded picture as rows of colour letters: W white, K black, R red, ? other.
std::vector<std::string> letters(const QImage &image)
{
    std::vector<std::string> out;
    for (int y = 0; y < image.height(); ++y) {
        std::string row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) & 0xFFFFFF;
            row += c == 0xFFFFFF ? 'W' : c == 0 ? 'K' : c == 0xFF0000 ? 'R' : '?';
        }
        out.push_back(row);
    }
    return out;
}

} // namespace

TEST(DecodeBmp, UncompressedDataMustCoverTheDeclaredSize)
{
    const std::string full = bmp(64, 32, 24, 0, "", rows24(64, 32));
    const std::string topDown = bmp(64, -32, 24, 0, "", rows24(64, 32));
    std::string offsetBeyond = full;
    offsetBeyond[10] = char(0xFF), offsetBeyond[11] = char(0x7F);
    const std::string mono = bmp(9, 3, 1, 0, bytes({0, 0, 0, 0, 255, 255, 255, 0}), std::string(12, '\x80'));
    const struct {
        const char *what;
        std::string file;
        bool loads;
    } cases[] = {
        {"all 32 rows", full, true},
        {"4 of 32 rows", bmp(64, 32, 24, 0, "", rows24(64, 4)), false},
        {"one byte short", full.substr(0, full.size() - 1), false},
        {"top row first, whole", topDown, true},
        {"top row first, 4 rows", bmp(64, -32, 24, 0, "", rows24(64, 4)), false},
        {"pixel data offset beyond the end", offsetBeyond, false},
        {"1 bit, whole", mono, true},
        {"1 bit, last row short", mono.substr(0, mono.size() - 2), false},
        {"8 bits, colour table cut", bmp(4, 1, 8, 0, palette3(), "").substr(0, 14 + 40 + 6), false},
        {"header only", full.substr(0, 14 + 40), false},
        {"not a BMP", "GIF89a" + std::string(60, '\0'), false},
    };
    for (const auto &c : cases) {
        QImage image(1, 1, QImage::Format_RGB32);
        const bool loaded = DecodeBmp(c.file, image);
        EXPECT_EQ(loaded, c.loads) << c.what;
        if (!loaded) {
            EXPECT_EQ(image.size(), QSize(1, 1)) << c.what << ": the picture is left as it was";
        }
    }

    QImage image;
    ASSERT_TRUE(DecodeBmp(full, image));
    ASSERT_EQ(image.size(), QSize(64, 32));
    // Stored bottom row first: stored row r is picture row 31 - r.
    EXPECT_EQ(image.pixel(0, 31) & 0xFFFFFF, 0u);
    EXPECT_EQ(image.pixel(31, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(image.pixel(1, 31) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(DecodeBmp, RunLengthPicturesMustReachTheirEnd)
{
    // 4 x 3, 8 bits: bottom row "KKWW", middle "RRRR" by an absolute run, top row a run
    // of white, then the end-of-picture mark.
    const std::string rle8 = bytes({2, 1, 2, 0, 0, 0, // KKWW, end of line
                                    0, 4, 2, 2, 2, 2, 0, 0, // absolute RRRR, end of line
                                    4, 0, 0, 1}); // WWWW, end of picture
    QImage image;
    ASSERT_TRUE(DecodeBmp(bmp(4, 3, 8, 1, palette3(), rle8), image));
    EXPECT_EQ(letters(image), (std::vector<std::string>{"WWWW", "RRRR", "KKWW"}));

    // Through the end of the last row without the end mark: whole as well.
    std::string lastLineEnded = rle8;
    lastLineEnded.back() = 0;
    ASSERT_TRUE(DecodeBmp(bmp(4, 3, 8, 1, palette3(), lastLineEnded), image));
    EXPECT_EQ(letters(image), (std::vector<std::string>{"WWWW", "RRRR", "KKWW"}));

    // Skipped pixels (a jump, an early end) take colour 0, every time.
    const std::string skipping = bytes({1, 1, 0, 2, 2, 1, 1, 2, 0, 1});
    for (int run = 0; run < 3; ++run) {
        ASSERT_TRUE(DecodeBmp(bmp(4, 3, 8, 1, palette3(), skipping), image));
        EXPECT_EQ(letters(image), (std::vector<std::string>{"WWWW", "WWWR", "KWWW"}));
    }

    // Ending early: after the first row, inside the absolute run, before the end mark,
    // inside a jump.
    for (size_t cut : {size_t(6), size_t(10), size_t(16)}) {
        QImage kept(1, 1, QImage::Format_RGB32);
        EXPECT_FALSE(DecodeBmp(bmp(4, 3, 8, 1, palette3(), rle8.substr(0, cut)), kept)) << cut;
        EXPECT_EQ(kept.size(), QSize(1, 1));
    }
    EXPECT_FALSE(DecodeBmp(bmp(4, 3, 8, 1, palette3(), bytes({1, 1, 0, 2, 2})), image));
    // Run-length data stored top row first do not exist.
    EXPECT_FALSE(DecodeBmp(bmp(4, -3, 8, 1, palette3(), rle8), image));

    // 4 bits: two colours in turn, and an absolute run of three padded to two bytes.
    const std::string rle4 = bytes({4, 0x12, 0, 0, 0, 3, 0x21, 0x00, 0, 0, 0, 1});
    ASSERT_TRUE(DecodeBmp(bmp(4, 2, 4, 2, palette3(), rle4), image));
    EXPECT_EQ(letters(image), (std::vector<std::string>{"RKWW", "KRKR"}));
    EXPECT_FALSE(DecodeBmp(bmp(4, 2, 4, 2, palette3(), rle4.substr(0, 4)), image));
}

TEST(LoadBackgroundPicture, TruncatedFileLeavesThePictureInUse)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Shop.bmp");
    std::ofstream(path.toStdString(), std::ios::binary) << bmp(64, 32, 24, 0, "", rows24(64, 4));
    QImage picture = DefaultBackground();
    EXPECT_FALSE(LoadBackgroundPicture(path, picture));
    EXPECT_EQ(picture, DefaultBackground());

    std::ofstream(path.toStdString(), std::ios::binary | std::ios::trunc)
        << bmp(64, 32, 24, 0, "", rows24(64, 32));
    ASSERT_TRUE(LoadBackgroundPicture(path, picture));
    EXPECT_EQ(picture.size(), QSize(64, 32));
    EXPECT_EQ(picture.format(), QImage::Format_RGB32);
}
