// A background picture of any content, loaded as the operator's BMP, rendered into the
// work image and converted to the work file.
//
// Input: the picture file.
// Properties:
//  - no crash, and memory stays bounded (the loader refuses pictures beyond its size
//    limit before decoding; libFuzzer's memory limit catches anything larger);
//  - a picture that loads is within the limit and in the work format;
//  - the work image holds the picture's pixels where the picture reaches and the fill
//    colour elsewhere, and the work file is 6152 bytes whose dots are exactly the work
//    image's black pixels.
#include "fuzzcheck.h"

#include "logo/logorender.h"
#include "logo/workfile.h"
#include "platform/fonts.h"

#include <QGuiApplication>

#include <bit>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {
QString g_path;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_picture";
    static char *argv[] = {name, nullptr};
    // Kept for the whole run and never destroyed: nothing of Qt's is torn down after main.
    static QGuiApplication *app = new QGuiApplication(argc, argv);
    (void)app;
    platform::installFontSubstitutions();
    char dir[] = "/tmp/fuzz_picture.XXXXXX";
    if (!::mkdtemp(dir))
        std::exit(1);
    g_path = QString::fromLocal8Bit(dir) + QStringLiteral("/Shop.bmp");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        std::ofstream f(g_path.toStdString(), std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char *>(data), std::streamsize(size));
    }
    QImage picture;
    if (!LoadBackgroundPicture(g_path, picture))
        return 0;
    FUZZ_CHECK(!picture.isNull() && picture.format() == QImage::Format_RGB32, "format %d", int(picture.format()));
    FUZZ_CHECK(picture.width() <= kMaxBackgroundSide && picture.height() <= kMaxBackgroundSide,
               "a %d x %d picture loaded", picture.width(), picture.height());

    QImage work = CreateWorkImage();
    RenderLogo(work, picture, LogoLayout().layers);
    FUZZ_CHECK(work.width() == kLogoWidth && work.height() == kLogoHeight, "work image %d x %d", work.width(),
               work.height());
    long dots = 0;
    for (int y = 0; y < kLogoHeight; ++y) {
        for (int x = 0; x < kLogoWidth; ++x) {
            const QRgb px = work.pixel(x, y);
            const QRgb want = x < picture.width() && y < picture.height() ? picture.pixel(x, y) : kLogoFillColour;
            FUZZ_CHECK(px == want, "pixel (%d, %d) is %08x, not %08x", x, y, unsigned(px), unsigned(want));
            dots += IsDot(px);
        }
    }
    const std::string bytes = WorkImageBytes(work);
    FUZZ_CHECK(bytes.size() == kWorkFileSize, "work file of %zu bytes", bytes.size());
    long bits = 0;
    for (size_t i = 5; i < 5 + 384 * 16; ++i)
        bits += std::popcount(static_cast<unsigned char>(bytes[i]));
    FUZZ_CHECK(bits == dots, "%ld dots in the work file, %ld black pixels", bits, dots);
    return 0;
}
