#include "logo/logorender.h"
#include "logo/workfile.h"
#include "logotestutil.h"
#include "platform/codepage.h"

#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr QRgb kPlain = 0xFFC0C0C0;

QImage plainBackground()
{
    QImage bg(kLogoWidth, kLogoHeight, QImage::Format_RGB32);
    bg.fill(kPlain);
    return bg;
}

QImage render(const std::array<TextLayer, 2> &layers, const QImage &background = plainBackground())
{
    QImage work = CreateWorkImage();
    RenderLogo(work, background, layers);
    return work;
}

QImage renderOne(const TextLayer &layer)
{
    return render({layer, TextLayer()});
}

int dotCount(const QImage &image, QRect area = QRect(0, 0, kLogoWidth, kLogoHeight))
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += IsDot(image.pixel(x, y));
    return n;
}

// `image` shifted by (dx, dy); what comes in from outside is the plain colour.
QImage shifted(const QImage &image, int dx, int dy)
{
    QImage out(image.size(), image.format());
    out.fill(kPlain);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int sx = x - dx, sy = y - dy;
            if (sx >= 0 && sy >= 0 && sx < image.width() && sy < image.height())
                out.setPixel(x, y, image.pixel(sx, sy));
        }
    return out;
}

} // namespace

TEST(DefaultBackground, IsTheDescribedPicture)
{
    QFile resource(":/logo/default_background.bmp");
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    const QByteArray bmp = resource.readAll();
    ASSERT_GE(bmp.size(), 30);
    EXPECT_EQ(bmp.left(2), "BM");
    EXPECT_EQ(uchar(bmp[28]), 24u); // bits per pixel

    const QImage bg = DefaultBackground();
    ASSERT_EQ(bg.size(), QSize(384, 134));
    int labelLeft = 384, labelRight = -1, labelTop = 128, labelBottom = -1;
    for (int y = 0; y < 134; ++y)
        for (int x = 0; x < 384; ++x) {
            const QRgb c = bg.pixel(x, y);
            ASSERT_FALSE(IsDot(c)) << x << "," << y;
            if (y >= 128) {
                ASSERT_EQ(c, 0xFFFFFFFFu) << x << "," << y;
            } else if (c == 0xFFFFFFFF) {
                labelLeft = std::min(labelLeft, x), labelRight = std::max(labelRight, x);
                labelTop = std::min(labelTop, y), labelBottom = std::max(labelBottom, y);
            } else {
                const bool line = x % 32 == 0 || y % 32 == 0;
                ASSERT_EQ(c, line ? 0xFF808080u : 0xFFC0C0C0u) << x << "," << y;
            }
        }
    EXPECT_EQ(QRect(QPoint(labelLeft, labelTop), QPoint(labelRight, labelBottom)), QRect(68, 49, 273, 15));
}

TEST(RenderLogo, InitialLayoutOnTheDefaultBackgroundPrintsNothing)
{
    const QImage work = render(LogoLayout().layers, DefaultBackground());
    EXPECT_EQ(WorkImageBytes(work).substr(5, 6144), std::string(6144, '\0'));
    EXPECT_EQ(work.pixel(10, 10), 0xFFC0C0C0u); // the background is there
}

TEST(RenderLogo, UserBackgroundIsCopiedAtItsOwnSizeAndItsBlackPixelsAreDots)
{
    QTemporaryDir dir;
    // Larger than the logo: cut at the right and bottom.
    QImage big(400, 140, QImage::Format_RGB32);
    big.fill(qRgb(255, 255, 255));
    big.setPixel(3, 4, qRgb(0, 0, 0));
    big.setPixel(383, 127, qRgb(0, 0, 0));
    big.setPixel(384, 10, qRgb(0, 0, 0)); // beyond the right edge
    big.setPixel(10, 128, qRgb(0, 0, 0)); // beyond the bottom
    big.setPixel(20, 20, qRgb(10, 10, 10)); // dark, but not black
    ASSERT_TRUE(big.save(dir.filePath("big.bmp"), "BMP"));
    QImage picture;
    ASSERT_TRUE(LoadBackgroundPicture(dir.filePath("big.bmp"), picture));
    ASSERT_EQ(picture.size(), QSize(400, 140));
    QImage work = render(LogoLayout().layers, picture);
    EXPECT_EQ(dotCount(work), 2);
    EXPECT_TRUE(IsDot(work.pixel(3, 4)));
    EXPECT_TRUE(IsDot(work.pixel(383, 127)));

    // Smaller: the fill colour stays to its right and below it and prints nothing.
    QImage small(10, 5, QImage::Format_RGB32);
    small.fill(qRgb(0, 0, 0));
    ASSERT_TRUE(small.save(dir.filePath("small.bmp"), "BMP"));
    ASSERT_TRUE(LoadBackgroundPicture(dir.filePath("small.bmp"), picture));
    work = render(LogoLayout().layers, picture);
    EXPECT_EQ(dotCount(work), 50);
    EXPECT_EQ(work.pixel(10, 0), kLogoFillColour);
    EXPECT_EQ(work.pixel(0, 5), kLogoFillColour);

    // Not a BMP, or no file: the picture in use stays.
    ASSERT_TRUE(small.save(dir.filePath("small.png"), "PNG"));
    EXPECT_FALSE(LoadBackgroundPicture(dir.filePath("small.png"), picture));
    EXPECT_FALSE(LoadBackgroundPicture(dir.filePath("missing.bmp"), picture));
    EXPECT_EQ(picture.size(), QSize(10, 5));
}

// The header's size decides before anything is decoded: a side beyond the limit is refused
// (and the picture in use stays), a side at the limit loads.
TEST(RenderLogo, BackgroundPicturesBeyondTheSizeLimitAreRefused)
{
    QTemporaryDir dir;
    QImage picture(7, 3, QImage::Format_RGB32);
    struct Case {
        int width, height;
        bool loads;
    } cases[] = {
        {kMaxBackgroundSide, 2, true},
        {kMaxBackgroundSide + 1, 2, false},
        {2, kMaxBackgroundSide, true},
        {2, kMaxBackgroundSide + 1, false},
    };
    for (const Case &c : cases) {
        QImage bmp(c.width, c.height, QImage::Format_Mono);
        bmp.fill(1);
        const QString path = dir.filePath(QStringLiteral("%1x%2.bmp").arg(c.width).arg(c.height));
        ASSERT_TRUE(bmp.save(path, "BMP"));
        QImage loaded = picture;
        EXPECT_EQ(LoadBackgroundPicture(path, loaded), c.loads) << c.width << "x" << c.height;
        EXPECT_EQ(loaded.size(), c.loads ? QSize(c.width, c.height) : QSize(7, 3)) << c.width << "x" << c.height;
    }
}

TEST(RenderLogo, NullBackgroundLeavesTheWorkImageAlone)
{
    QImage work = CreateWorkImage();
    work.setPixel(1, 1, qRgb(0, 0, 0));
    RenderLogo(work, QImage(), {TextLayer{0, 0, sj("ＭＳ 明朝"), 32, "A"}, TextLayer()});
    EXPECT_EQ(dotCount(work), 1);
}

TEST(LayerFont, CellHeightAndAverageWidthFollowTheSize)
{
    LayerFont lf;
    for (const auto &[size, cell, width] : {std::tuple{40, 40, 20}, {41, 41, 20}, {32, 32, 16}, {20, 20, 10}}) {
        ASSERT_TRUE(CreateLayerFont(sj("ＭＳ 明朝"), size, lf));
        EXPECT_EQ(lf.cellHeight, cell) << size;
        EXPECT_EQ(lf.averageCharWidth, width) << size;
        EXPECT_EQ(QFontMetrics(lf.font).averageCharWidth(), width) << size;
        EXPECT_EQ(lf.font.weight(), QFont::Normal);
        EXPECT_FALSE(lf.font.italic());
    }
    EXPECT_FALSE(CreateLayerFont(sj("ＭＳ 明朝"), 0, lf));
}

// Face x size -> line pitch: for every size the dialog offers and every odd size a file may
// hold, in each face a layout from the field names, the cell is exactly `size` dots (the
// IPA faces' own metrics fall one short for about one size in five). A text whose first
// line is empty, placed one cell higher, draws its second line exactly where the one-line
// text draws its first; as the second image is clipped only at the top edge of the logo,
// this also shows that no dot of a line lies above its cell's top.
TEST(LayerFont, LinesStepByExactlyTheSizeInEveryFace)
{
    std::vector<int> sizes;
    for (const std::string &offered : SizeList())
        sizes.push_back(std::stoi(offered));
    for (int odd = 5; odd <= 79; odd += 2)
        sizes.push_back(odd);
    const std::string text = sj("中gy|");
    const int y = 10;
    for (const char *face : {"ＭＳ 明朝", "ＭＳ Ｐ明朝", "ＭＳ ゴシック", "ＭＳ Ｐゴシック", "MS UI Gothic"})
        for (int size : sizes) {
            LayerFont lf;
            ASSERT_TRUE(CreateLayerFont(sj(face), size, lf));
            EXPECT_EQ(lf.cellHeight, size) << face << " " << size;
            EXPECT_EQ(lf.averageCharWidth, size / 2) << face << " " << size;
            const QImage first = renderOne({4, y, sj(face), size, text});
            const QImage second = renderOne({4, y - size, sj(face), size, "\r\n" + text});
            EXPECT_GT(dotCount(first), 0) << face << " " << size;
            EXPECT_TRUE(second == first) << face << " " << size;
        }
}

TEST(LayerFont, FacesReachTheirStandInsAndUnknownFacesTheMinchoOne)
{
    const struct {
        const char *face, *family;
    } cases[] = {
        {"ＭＳ 明朝", "IPAMincho"},        {"ＭＳ Ｐ明朝", "IPAPMincho"}, {"ＭＳ ゴシック", "IPAGothic"},
        {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"No Such Face", "IPAMincho"}, {"DejaVu Sans", "DejaVu Sans"},
    };
    for (const auto &c : cases) {
        LayerFont lf;
        ASSERT_TRUE(CreateLayerFont(sj(c.face), 32, lf));
        EXPECT_EQ(QFontInfo(lf.font).family(), QString::fromUtf8(c.family)) << c.face;
    }
}

TEST(RenderLogo, GlyphPixelsAreExactlyBlack)
{
    for (int size : {12, 16, 40, 78, 120, -30}) {
        const QImage work = renderOne({2, 2, sj("ＭＳ 明朝"), size, sj("中央商店 ABC\r\ngy 本店")});
        int other = 0;
        for (int y = 0; y < kLogoHeight; ++y)
            for (int x = 0; x < kLogoWidth; ++x) {
                const QRgb c = work.pixel(x, y);
                other += !IsDot(c) && c != kPlain;
            }
        EXPECT_EQ(other, 0) << size;
        EXPECT_GT(dotCount(work), 0) << size;
    }
}

TEST(RenderLogo, ThreeLinesAtRow100ShowTheFirstWholeTheSecondCutTheThirdNot)
{
    // Each line's glyph stands in its own columns so the lines can be told apart.
    const std::string glyph = sj("中");
    const std::string pad = sj("　");
    const QImage work =
        renderOne({0, 100, sj("ＭＳ 明朝"), 16, glyph + "\r\n" + pad + glyph + "\r\n" + pad + pad + glyph});
    const QImage line1 = renderOne({0, 100, sj("ＭＳ 明朝"), 16, glyph});
    const QImage line2Alone = renderOne({16, 116, sj("ＭＳ 明朝"), 16, glyph});
    const QImage line2Unclipped = renderOne({16, 0, sj("ＭＳ 明朝"), 16, glyph});

    const QRect col1(0, 0, 16, 128), col2(16, 0, 16, 128), col3(32, 0, 352, 128);
    EXPECT_EQ(work.copy(col1), line1.copy(col1));
    EXPECT_EQ(dotCount(line1, QRect(0, 0, 16, 100)), 0);
    EXPECT_EQ(work.copy(col2), line2Alone.copy(col2));
    EXPECT_GT(dotCount(work, col2), 0);
    EXPECT_LT(dotCount(work, col2), dotCount(line2Unclipped, col2)); // cut below row 127
    EXPECT_EQ(dotCount(work, col3), 0);
}

TEST(RenderLogo, TextIsClippedToItsBoxAndMovesOffTheEdges)
{
    const TextLayer at0{0, 0, sj("ＭＳ 明朝"), 40, sj("中央\r\n商店")};
    const QImage base = renderOne(at0);
    for (const auto &[dx, dy] : {std::pair{-10, 0}, {0, -25}, {-7, -9}, {30, 20}}) {
        TextLayer moved = at0;
        moved.x = dx, moved.y = dy;
        EXPECT_EQ(renderOne(moved), shifted(base, dx, dy)) << dx << "," << dy;
    }
    for (const auto &[x, y] : {std::pair{384, 0}, {0, 128}, {INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MIN}}) {
        TextLayer off = at0;
        off.x = x, off.y = y;
        EXPECT_EQ(dotCount(renderOne(off)), 0) << x << "," << y;
    }
}

TEST(RenderLogo, LineBreaksTabsAndAmpersands)
{
    const auto draw = [](int x, const char *text) { return renderOne({x, 0, sj("ＭＳ 明朝"), 20, sj(text)}); };
    // A tab goes to the next stop, 8 average widths (8 x 10 dots) from the left edge.
    EXPECT_EQ(draw(3, "\tB"), draw(83, "B"));
    EXPECT_EQ(draw(3, "AB\tC"), draw(3, "AB      C"));
    // A lone LF or CR breaks no line.
    EXPECT_EQ(draw(0, "A\nB"), draw(0, "AB"));
    EXPECT_EQ(draw(0, "A\rB"), draw(0, "AB"));
    EXPECT_NE(draw(0, "A\r\nB"), draw(0, "AB"));
    // "&" is drawn as itself, not taken as a mnemonic prefix.
    const int one = dotCount(draw(0, "&"));
    EXPECT_GT(one, 0);
    EXPECT_EQ(dotCount(draw(0, "&&")), 2 * one);
}

TEST(RenderLogo, BothLayersAreDrawn)
{
    const TextLayer shop{0, 0, sj("ＭＳ 明朝"), 20, "A"};
    const TextLayer tel{100, 50, sj("ＭＳ 明朝"), 20, "B"};
    EXPECT_EQ(dotCount(render({shop, tel})), dotCount(renderOne(shop)) + dotCount(renderOne(tel)));
}

TEST(FontAndSizeLists, AreAsOffered)
{
    const std::vector<std::string> sizes = SizeList();
    ASSERT_EQ(sizes.size(), 38u);
    EXPECT_EQ(sizes.front(), "4");
    EXPECT_EQ(sizes[1], "6");
    EXPECT_EQ(sizes.back(), "78");

    const std::vector<std::string> fonts = FontList();
    for (const char *face : {"ＭＳ 明朝", "ＭＳ Ｐゴシック", "MS UI Gothic", "IPAMincho"})
        EXPECT_NE(std::find(fonts.begin(), fonts.end(), sj(face)), fonts.end()) << face;
    for (size_t i = 0; i < fonts.size(); ++i) {
        EXPECT_NE(fonts[i][0], '@');
        if (i > 0) {
            EXPECT_LT(
                platform::fromCp932(fonts[i - 1]).compare(platform::fromCp932(fonts[i]), Qt::CaseInsensitive), 0)
                << fonts[i - 1] << " / " << fonts[i];
        }
    }
}
