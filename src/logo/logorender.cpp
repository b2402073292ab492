#include "logo/logorender.h"

#include "logo/bmpfile.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Cells beyond this are drawn at it: many times the logo's height already, and it keeps
// glyph outlines far inside the rasteriser's coordinate range.
constexpr int kMaxCellHeight = 1024;

// Text is drawn only where its position stays well inside the rasteriser's fixed-point range;
// anything further off the image is invisible anyway.
constexpr int64_t kFarOff = int64_t(1) << 20;

// The face that stands in for a face that is not installed: the Mincho stand-in, what a
// Japanese fixed-pitch serif request comes to.
QString fallbackFamily()
{
    QString mincho = platform::fromCp932(std::string(kDefaultFaceName));
    for (const auto &[face, standIn] : platform::fontSubstitutions())
        if (face == mincho)
            return standIn;
    return mincho;
}

int cellHeightAt(QFont &font, int pixelSize)
{
    font.setPixelSize(pixelSize);
    const QFontMetrics fm(font);
    return fm.ascent() + fm.descent();
}

// Largest pixel size whose cell height does not exceed `cell` (at least 1).
int pixelSizeForCell(QFont &font, int cell)
{
    const int atCell = std::max(1, cellHeightAt(font, cell));
    int px = std::max(1, int(int64_t(cell) * cell / atCell));
    while (px > 1 && cellHeightAt(font, px) > cell)
        --px;
    while (px < 2 * cell && cellHeightAt(font, px + 1) <= cell)
        ++px;
    return px;
}

// Sets the horizontal stretch that brings the font's average character width to `width`.
void stretchToAverageWidth(QFont &font, int width)
{
    const qreal natural = QFontMetricsF(font).averageCharWidth();
    if (width <= 0 || natural <= 0)
        return;
    int stretch = int(std::clamp(std::lround(100.0 * width / natural), 1L, 4000L));
    font.setStretch(stretch);
    // The metrics are rounded: step to the nearest stretch that gives the exact width.
    for (int step = 0; step < 8; ++step) {
        const int got = QFontMetrics(font).averageCharWidth();
        if (got == width)
            return;
        const int next = stretch + (got < width ? 1 : -1);
        if (next < 1 || next > 4000)
            return;
        stretch = next;
        font.setStretch(stretch);
    }
}

void copyBackground(QImage &work, const QImage &background)
{
    const QImage bg = background.format() == QImage::Format_RGB32
        ? background
        : background.convertToFormat(QImage::Format_RGB32);
    const int w = std::min(bg.width(), kLogoWidth);
    const int h = std::min(bg.height(), kLogoHeight);
    for (int y = 0; y < h; ++y)
        std::memcpy(work.scanLine(y), bg.constScanLine(y), size_t(w) * sizeof(QRgb));
}

// Draws one line, expanding tabs, with its left edge at `left` and its baseline at `baseline`.
void drawLine(QPainter &painter, const QFontMetrics &fm, const QString &line, int64_t left, int64_t baseline,
              int tabWidth)
{
    int64_t pen = left;
    const QStringList segments = line.split(QLatin1Char('\t'));
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (i > 0)
            pen = left + ((pen - left) / tabWidth + 1) * tabWidth;
        if (pen >= kLogoWidth)
            return;
        const QString &segment = segments[i];
        if (segment.isEmpty())
            continue;
        const int advance = fm.horizontalAdvance(segment);
        if (pen + advance > 0 && pen > -kFarOff)
            painter.drawText(QPointF(qreal(pen), qreal(baseline)), segment);
        pen += advance;
    }
}

void drawLayer(QPainter &painter, const TextLayer &layer)
{
    if (layer.text.empty() || layer.x >= kLogoWidth || layer.y >= kLogoHeight)
        return;
    LayerFont lf;
    if (!CreateLayerFont(layer.faceName, layer.size, lf))
        return;
    const int left = std::max(layer.x, 0);
    const int top = std::max(layer.y, 0);
    painter.setClipRect(QRect(left, top, kLogoWidth - left, kLogoHeight - top));
    painter.setFont(lf.font);
    const QFontMetrics fm(lf.font);
    const int tabWidth = std::max(1, 8 * lf.averageCharWidth);

    QString text = platform::fromCp932(layer.text);
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    const int cell = std::max(1, lf.cellHeight);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int64_t lineTop = int64_t(layer.y) + int64_t(i) * cell;
        if (lineTop >= kLogoHeight)
            break;
        if (lineTop + 2 * int64_t(cell) < 0 || lineTop < -kFarOff)
            continue; // wholly above the image
        QString line = lines[i];
        // A lone CR or LF is no line break and has no glyph.
        line.remove(QLatin1Char('\r'));
        line.remove(QLatin1Char('\n'));
        drawLine(painter, fm, line, layer.x, lineTop + lf.ascent, tabWidth);
    }
}

} // namespace

QImage CreateWorkImage()
{
    QImage image(kLogoWidth, kLogoHeight, QImage::Format_RGB32);
    image.fill(kLogoFillColour);
    return image;
}

QImage DefaultBackground()
{
    QImage image(QStringLiteral(":/logo/default_background.bmp"), "BMP");
    return image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
}

bool LoadBackgroundPicture(const QString &path, QImage &picture)
{
    std::string bytes;
    QImage image;
    if (path.isEmpty() ||
        !platform::readWholeFile(QFile::encodeName(path).toStdString(), bytes, kMaxBackgroundFileSize) ||
        !DecodeBmp(bytes, image))
        return false;
    if (image.hasAlphaChannel()) {
        // The stored colours count, as a plain bit copy would use them; the alpha is dropped.
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                row[x] |= 0xFF000000;
        }
        image.reinterpretAsFormat(QImage::Format_RGB32);
    } else if (image.format() != QImage::Format_RGB32) {
        image = image.convertToFormat(QImage::Format_RGB32);
    }
    picture = std::move(image);
    return true;
}

bool CreateLayerFont(std::string_view faceName, int32_t size, LayerFont &out)
{
    if (size == 0)
        return false;
    const QString face = platform::fromCp932(std::string(faceName));
    QStringList families{face};
    families += QFont::substitutes(face);
    families += fallbackFamily();

    QFont font;
    font.setFamilies(families);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setStyleHint(QFont::Serif);
    font.setFixedPitch(true);
    font.setStyleStrategy(QFont::NoAntialias);
    // Full hinting gives whole-pixel advances, as the platform's bi-level text has.
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setKerning(false);

    const int64_t magnitude = std::llabs(int64_t(size));
    const int cell = int(std::min<int64_t>(magnitude, kMaxCellHeight));
    if (size > 0)
        font.setPixelSize(pixelSizeForCell(font, cell));
    else
        font.setPixelSize(cell); // a character height: the em itself
    stretchToAverageWidth(font, int(std::min<int64_t>(magnitude / 2, kMaxCellHeight)));

    const QFontMetrics fm(font);
    out.font = font;
    out.ascent = fm.ascent();
    out.cellHeight = fm.ascent() + fm.descent();
    out.averageCharWidth = fm.averageCharWidth();
    if (size > 0) {
        // Where the face's rounded metrics give no pixel size with exactly this cell (the
        // IPA faces miss one height in five or so), the cell is still `size` dots, and the
        // dot it has to spare goes above or below the glyphs as ascent and descent share
        // the cell.
        const int natural = out.cellHeight;
        if (natural > 0 && natural < cell)
            out.ascent += ((cell - natural) * out.ascent + natural / 2) / natural;
        out.cellHeight = cell;
    }
    return true;
}

void RenderLogo(QImage &workImage, const QImage &background, const std::array<TextLayer, 2> &layers)
{
    if (background.isNull())
        return;
    if (workImage.size() != QSize(kLogoWidth, kLogoHeight) || workImage.format() != QImage::Format_RGB32)
        workImage = CreateWorkImage();
    else
        workImage.fill(kLogoFillColour);
    copyBackground(workImage, background);

    QPainter painter(&workImage);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setPen(QColor(0, 0, 0));
    for (const TextLayer &layer : layers)
        drawLayer(painter, layer);
}

std::vector<std::string> FontList()
{
    QStringList names = QFontDatabase::families();
    for (const auto &[face, standIn] : platform::fontSubstitutions())
        if (QFontDatabase::hasFamily(standIn))
            names.append(face);

    std::vector<QString> kept;
    for (const QString &name : names) {
        if (name.isEmpty() || name.startsWith(QLatin1Char('@')))
            continue;
        const bool known = std::any_of(
            kept.begin(), kept.end(), [&](const QString &k) { return k.compare(name, Qt::CaseInsensitive) == 0; });
        if (!known)
            kept.push_back(name);
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });

    std::vector<std::string> out;
    for (const QString &name : kept) {
        // A name the code page cannot hold could never be chosen back by its CP932 form.
        std::string cp932 = platform::toCp932(name);
        if (platform::fromCp932(cp932) == name)
            out.push_back(std::move(cp932));
    }
    return out;
}

std::vector<std::string> SizeList()
{
    std::vector<std::string> sizes;
    for (int s = 4; s <= 78; s += 2)
        sizes.push_back(std::to_string(s));
    return sizes;
}
