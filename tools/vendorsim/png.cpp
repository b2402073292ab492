// The simulator's picture of a received logo, as the receipt printer would print it:
// 384 x 128, black dots on white, written as a PNG by Qt's image writer.
#include "vendorsim/vendorsim.h"

#include <QImage>
#include <QString>

namespace vendorsim {

bool writeLogoPng(const std::string &path, const uint8_t *workFile)
{
    QImage img(kLogoWidth, kLogoHeight, QImage::Format_Grayscale8);
    if (img.isNull())
        return false;
    // Image bytes start at offset 5: 16 bytes per column from the left, the most
    // significant bit of each byte being its topmost dot.
    for (int y = 0; y < kLogoHeight; ++y) {
        uchar *line = img.scanLine(y);
        for (int x = 0; x < kLogoWidth; ++x) {
            const uint8_t byte = workFile[5 + 16 * x + y / 8];
            line[x] = (byte & (0x80 >> (y % 8))) ? 0x00 : 0xFF;
        }
    }
    return img.save(QString::fromLocal8Bit(path.c_str()), "PNG");
}

} // namespace vendorsim
