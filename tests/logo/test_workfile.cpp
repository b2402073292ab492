#include "logo/logorender.h"
#include "logo/workfile.h"
#include "logotestutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> splitCrLf(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text does not end in CR LF";
    return lines;
}

// Restores the current directory when a test moves it.
struct CurrentDirGuard {
    QString saved = QDir::currentPath();
    ~CurrentDirGuard() { QDir::setCurrent(saved); }
};

} // namespace

TEST(WorkFile, ImageWithoutDotsGivesHeaderZerosAndPrintCommand)
{
    const std::string bytes = WorkImageBytes(CreateWorkImage());
    ASSERT_EQ(bytes.size(), 6152u);
    EXPECT_EQ(bytes.substr(0, 5), std::string("\x00\x1D\x2A\x30\x10", 5));
    EXPECT_EQ(bytes.substr(5, 6144), std::string(6144, '\0'));
    EXPECT_EQ(bytes.substr(6149), std::string("\x1D\x2F\x00", 3));
}

TEST(WorkFile, SingleBlackPixelsLandOnTheirBytes)
{
    const struct {
        int x, y;
        size_t offset;
        unsigned char value;
    } cases[] = {
        {0, 0, 5, 0x80}, {0, 7, 5, 0x01}, {0, 8, 6, 0x80}, {1, 0, 21, 0x80}, {383, 127, 6148, 0x01}, {200, 77, 5 + 16 * 200 + 9, 0x04},
    };
    for (const auto &c : cases) {
        QImage image = CreateWorkImage();
        image.setPixel(c.x, c.y, qRgb(0, 0, 0));
        const std::string bytes = WorkImageBytes(image);
        std::string expected(6144, '\0');
        expected[c.offset - 5] = char(c.value);
        EXPECT_EQ(bytes.substr(5, 6144), expected) << c.x << "," << c.y;
    }
}

TEST(WorkFile, OnlyExactBlackIsADot)
{
    QImage image = CreateWorkImage();
    image.setPixel(0, 0, qRgb(0, 0, 1));
    image.setPixel(0, 1, qRgb(1, 0, 0));
    image.setPixel(0, 2, qRgb(0, 1, 0));
    image.setPixel(0, 3, qRgb(0, 0, 0));
    EXPECT_EQ(WorkImageBytes(image)[5], char(0x10));
}

TEST(WorkFile, HeaderOfTheWorkFile)
{
    QImage image = CreateWorkImage();
    image.setPixel(0, 0, qRgb(0, 0, 0));
    const std::string bytes = WorkImageBytes(image);
    const std::vector<std::string> lines = splitCrLf(HeaderText(bytes));
    ASSERT_EQ(lines.size(), 387u);
    EXPECT_EQ(lines[0], "const unsigned char BmpShopDef[] = ");
    EXPECT_EQ(lines[1], "{\t0x00,0x1D,0x2A,0x30,0x10,0x80,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,");
    EXPECT_EQ(lines[385], "\t0x00,0x00,0x00,0x00,0x00,0x1D,0x2F,0x00,");
    EXPECT_EQ(lines[386], "};");
    size_t values = 0;
    for (const std::string &l : lines)
        for (size_t p = 0; (p = l.find("0x", p)) != std::string::npos; p += 5, ++values)
            EXPECT_EQ(l.substr(p + 4, 1), ",");
    EXPECT_EQ(values, 6152u);
}

TEST(WorkFile, HeaderOfAFileOfAnotherLength)
{
    EXPECT_EQ(HeaderText(std::string("\x01\xAB\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10\xFF", 18)),
              "const unsigned char BmpShopDef[] = \r\n"
              "{\t0x01,0xAB,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0A,0x0B,0x0C,0x0D,0x0E,0x0F,\r\n"
              "\t0x10,0xFF,\r\n"
              "};\r\n");
    EXPECT_EQ(HeaderText(""), "const unsigned char BmpShopDef[] = \r\n{};\r\n");
}

// The header export and the transfer must read the file that WriteWorkImage wrote, even
// after a file dialog has moved the current directory elsewhere.
TEST(WorkFile, WorkFilePathIsFixedWhenItIsWritten)
{
    CurrentDirGuard guard;
    QTemporaryDir sendDir, headerDir;
    ASSERT_TRUE(QDir::setCurrent(sendDir.path()));
    QImage image = CreateWorkImage();
    image.setPixel(5, 5, qRgb(0, 0, 0));
    QString workPath;
    ASSERT_EQ(WriteWorkImage(image, kWorkFileName, &workPath), WorkFileOutcome::Written);
    EXPECT_EQ(workPath, QDir(sendDir.path()).absoluteFilePath(kWorkFileName));
    EXPECT_EQ(readAll(workPath), WorkImageBytes(image));

    ASSERT_TRUE(QDir::setCurrent(headerDir.path())); // as the header's file dialog does
    EXPECT_EQ(ExportHeader(workPath, "Shop.H"), HeaderOutcome::Written);
    EXPECT_EQ(readAll(headerDir.filePath("Shop.H")), HeaderText(WorkImageBytes(image)));
    EXPECT_FALSE(QFile::exists(headerDir.filePath(kWorkFileName)));
}

TEST(WorkFile, Failures)
{
    QTemporaryDir dir;
    QString workPath;
    const QString missingFolder = dir.filePath("no/such/" + QString(kWorkFileName));
    EXPECT_EQ(WriteWorkImage(CreateWorkImage(), missingFolder, &workPath), WorkFileOutcome::CannotCreate);
    EXPECT_EQ(workPath, missingFolder); // the path still names where the file was to be

    // A work file that cannot be read writes no header, and an earlier header stays.
    EXPECT_EQ(ExportHeader(missingFolder, dir.filePath("Shop.H")), HeaderOutcome::WorkFileUnreadable);
    EXPECT_FALSE(QFile::exists(dir.filePath("Shop.H")));
    {
        QFile earlier(dir.filePath("Shop.H"));
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier header\r\n");
    }
    EXPECT_EQ(ExportHeader(missingFolder, dir.filePath("Shop.H")), HeaderOutcome::WorkFileUnreadable);
    EXPECT_EQ(readAll(dir.filePath("Shop.H")), "earlier header\r\n");

    ASSERT_EQ(WriteWorkImage(CreateWorkImage(), dir.filePath(kWorkFileName), &workPath), WorkFileOutcome::Written);
    EXPECT_EQ(ExportHeader(workPath, dir.filePath("no/such/Shop.H")), HeaderOutcome::CannotCreate);

    // A device, or a file far larger than any work file, is no work file.
    EXPECT_EQ(ExportHeader(QStringLiteral("/dev/zero"), dir.filePath("Shop.H")), HeaderOutcome::WorkFileUnreadable);
    ASSERT_TRUE(QFile::resize(workPath, qint64(kMaxWorkFileSize) + 1));
    EXPECT_EQ(ExportHeader(workPath, dir.filePath("Shop.H")), HeaderOutcome::WorkFileUnreadable);
    EXPECT_EQ(readAll(dir.filePath("Shop.H")), "earlier header\r\n");
}

// Every outcome of the logo file operations with what the operator is told.
TEST(LogoFiles, OutcomeMessages)
{
    EXPECT_FALSE(MessageFor(WorkFileOutcome::Written).shown());
    const struct {
        OperatorMessage message;
        const char *text;
        platform::MsgIcon icon;
    } cases[] = {
        {MessageFor(SaveLayoutOutcome::Saved), "ファイルを記録しました", platform::MsgIcon::Information},
        {MessageFor(SaveLayoutOutcome::CannotCreate), "ファイルが作れません！", platform::MsgIcon::Exclamation},
        {MessageFor(LoadLayoutOutcome::Loaded), "ファイルを読込みました。", platform::MsgIcon::Information},
        {MessageFor(LoadLayoutOutcome::CannotOpen), "ファイルが開けません！", platform::MsgIcon::Stop},
        {MessageFor(LoadLayoutOutcome::WrongKind), "異なるファイルです！", platform::MsgIcon::Stop},
        {MessageFor(WorkFileOutcome::CannotCreate), "作業ファイルが開けません", platform::MsgIcon::Exclamation},
        {MessageFor(HeaderOutcome::Written), "ファイルを記録しました", platform::MsgIcon::Information},
        {MessageFor(HeaderOutcome::CannotCreate), "ファイルが作れません！", platform::MsgIcon::Exclamation},
        {MessageFor(HeaderOutcome::WorkFileUnreadable), "作業ファイルが開けません", platform::MsgIcon::Exclamation},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.message.text, sj(c.text)) << c.text;
        EXPECT_EQ(c.message.icon, c.icon) << c.text;
    }
}
