#include "logo/workfile.h"

#include "logo/logorender.h"
#include "platform/atomicfile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr int kBands = kLogoHeight / 8;
constexpr size_t kImageOffset = 5;

std::string localPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

std::string WorkImageBytes(const QImage &workImage)
{
    std::string out(kWorkFileSize, '\0');
    const char head[] = {0x00, 0x1D, 0x2A, 0x30, 0x10};
    out.replace(0, sizeof head, head, sizeof head);
    const char tail[] = {0x1D, 0x2F, 0x00};
    out.replace(kWorkFileSize - sizeof tail, sizeof tail, tail, sizeof tail);

    const QImage image = workImage.format() == QImage::Format_RGB32 || workImage.format() == QImage::Format_ARGB32
                             ? workImage
                             : workImage.convertToFormat(QImage::Format_RGB32);
    const int w = std::min(image.width(), kLogoWidth);
    const int h = std::min(image.height(), kLogoHeight);
    // Row by row through the image (the order it lies in memory); each row sets one bit in
    // each column's byte of its band.
    unsigned char *bytes = reinterpret_cast<unsigned char *>(out.data()) + kImageOffset;
    for (int y = 0; y < h; ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        const unsigned char bit = static_cast<unsigned char>(0x80u >> (y % 8));
        unsigned char *band = bytes + y / 8;
        for (int x = 0; x < w; ++x)
            if (IsDot(row[x]))
                band[x * kBands] |= bit;
    }
    return out;
}

std::string HeaderText(std::string_view workFileBytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "const unsigned char BmpShopDef[] = \r\n{";
    out.reserve(out.size() + workFileBytes.size() * 5 + workFileBytes.size() / 16 * 3 + 8);
    for (size_t i = 0; i < workFileBytes.size(); i += 16) {
        out += '\t';
        const size_t end = std::min(workFileBytes.size(), i + 16);
        for (size_t j = i; j < end; ++j) {
            const auto b = static_cast<unsigned char>(workFileBytes[j]);
            out += "0x";
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
            out += ',';
        }
        out += "\r\n";
    }
    out += "};\r\n";
    return out;
}

WorkFileOutcome WriteWorkImage(const QImage &workImage, const QString &path, QString *absolutePath)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (absolutePath)
        *absolutePath = absolute;
    return platform::writeFileAtomically(localPath(absolute), WorkImageBytes(workImage))
               ? WorkFileOutcome::Written
               : WorkFileOutcome::CannotCreate;
}

HeaderOutcome ExportHeader(const QString &workFilePath, const QString &headerPath)
{
    // Without the work file's bytes there is nothing to export: no empty header is written,
    // and a previous file at the header's path stays as it was.
    std::string work;
    if (!platform::readWholeFile(localPath(workFilePath), work, kMaxWorkFileSize))
        return HeaderOutcome::WorkFileUnreadable;
    return platform::writeFileAtomically(localPath(headerPath), HeaderText(work)) ? HeaderOutcome::Written
                                                                                  : HeaderOutcome::CannotCreate;
}

OperatorMessage MessageFor(WorkFileOutcome outcome)
{
    if (outcome == WorkFileOutcome::Written)
        return {};
    return WorkFileUnusableMessage();
}

OperatorMessage MessageFor(HeaderOutcome outcome)
{
    switch (outcome) {
    case HeaderOutcome::Written:
        return FileWrittenMessage();
    case HeaderOutcome::CannotCreate:
        return CannotCreateFileMessage();
    case HeaderOutcome::WorkFileUnreadable:
        break;
    }
    return WorkFileUnusableMessage();
}
