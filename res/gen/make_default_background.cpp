// Makes res/default_background.bmp, the built-in logo background: 384 x 134 pixels, 24 bits.
//
// Rows 0 to 127 are light grey cells (192) with mid-grey lines (128) on every 32nd column and
// on rows 0, 32, 64 and 96; the white label "３８４×１２８　（通常プリンタ仕様）" stands across
// columns 68 to 340, rows 49 to 63; rows 128 to 133 are white. There is no black pixel, so
// the background never prints a dot.
//
// Run by hand after changing it, from the top of the repository:
//   build/bin/quorvel-bggen res/default_background.bmp
// The BMP is committed; the build embeds it and does not run this program.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr int kWidth = 384;
constexpr int kHeight = 134;
constexpr QRgb kCell = 0xFFC0C0C0;
constexpr QRgb kLine = 0xFF808080;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRect kLabelBox(68, 49, 273, 15); // columns 68 to 340, rows 49 to 63

// The label's glyphs as a mask cut to their ink, `box` wide and high. The text is drawn
// unsmoothed; if its ink is a few columns narrower or wider than the box, the widest blank
// gap between glyphs (the full-width space) is widened or narrowed to fit exactly.
bool labelMask(QImage &mask, QSize box)
{
    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(16);
    font.setStretch(99);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setKerning(false);

    QImage drawn(600, 60, QImage::Format_RGB32);
    drawn.fill(0xFF000000);
    {
        QPainter p(&drawn);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setFont(font);
        p.setPen(QColor(255, 255, 255));
        p.drawText(QPointF(20, 40), QString::fromUtf8("３８４×１２８　（通常プリンタ仕様）"));
    }
    auto ink = [&](int x, int y) { return drawn.pixel(x, y) == kWhite; };
    int x0 = drawn.width(), x1 = -1, y0 = drawn.height(), y1 = -1;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            if (ink(x, y)) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    if (x1 < 0 || y1 - y0 + 1 != box.height()) {
        std::fprintf(stderr, "quorvel-bggen: the label's ink is %d rows high, not %d\n", y1 - y0 + 1,
                     box.height());
        return false;
    }
    // Widest run of blank columns inside the ink.
    int gapStart = -1, gapLength = 0;
    for (int x = x0, run = 0; x <= x1; ++x) {
        bool blank = true;
        for (int y = y0; y <= y1 && blank; ++y)
            blank = !ink(x, y);
        run = blank ? run + 1 : 0;
        if (run > gapLength)
            gapStart = x - run + 1, gapLength = run;
    }
    const int extra = box.width() - (x1 - x0 + 1);
    if (gapLength + extra < 1) {
        std::fprintf(stderr, "quorvel-bggen: the label's ink (%d columns) does not fit %d\n", x1 - x0 + 1,
                     box.width());
        return false;
    }
    const int cut = gapStart + gapLength / 2; // columns are added or removed from here
    mask = QImage(box, QImage::Format_RGB32);
    mask.fill(0xFF000000);
    for (int mx = 0; mx < box.width(); ++mx) {
        int sx = x0 + mx;
        if (sx >= cut)
            sx = (sx - cut < extra) ? -1 : sx - extra;
        if (sx < 0)
            continue;
        for (int my = 0; my < box.height(); ++my)
            if (ink(sx, y0 + my))
                mask.setPixel(mx, my, kWhite);
    }
    return true;
}

void put16(std::string &b, uint16_t v)
{
    b += char(v & 0xFF), b += char(v >> 8);
}

void put32(std::string &b, uint32_t v)
{
    put16(b, uint16_t(v & 0xFFFF)), put16(b, uint16_t(v >> 16));
}

// A bottom-up 24-bit BMP with a BITMAPINFOHEADER, written byte by byte.
std::string bmp24(const QImage &image)
{
    const uint32_t rowBytes = uint32_t(image.width() * 3 + 3) & ~3u;
    const uint32_t dataBytes = rowBytes * uint32_t(image.height());
    std::string b;
    b += "BM";
    put32(b, 54 + dataBytes);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);
    put32(b, uint32_t(image.width()));
    put32(b, uint32_t(image.height()));
    put16(b, 1);
    put16(b, 24);
    put32(b, 0); // no compression
    put32(b, dataBytes);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    for (int y = image.height() - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            row += char(qBlue(c)), row += char(qGreen(c)), row += char(qRed(c));
        }
        row.resize(rowBytes, '\0');
        b += row;
    }
    return b;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvel-bggen OUTPUT.bmp\n");
        return 2;
    }
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(kCell);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (x % 32 == 0 || y % 32 == 0)
                image.setPixel(x, y, kLine);
    for (int y = 128; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            image.setPixel(x, y, kWhite);
    QImage mask;
    if (!labelMask(mask, kLabelBox.size()))
        return 1;
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (mask.pixel(x, y) == kWhite)
                image.setPixel(kLabelBox.x() + x, kLabelBox.y() + y, kWhite);

    const std::string bytes = bmp24(image);
    FILE *f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "quorvel-bggen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
