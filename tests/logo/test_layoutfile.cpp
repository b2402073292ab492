#include "logo/logolayout.h"
#include "logotestutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>

TEST(LayoutFile, InitialValues)
{
    const TextLayer layer;
    EXPECT_EQ(layer.faceName, sj("ＭＳ 明朝"));
    EXPECT_EQ(layer.size, 32);
    EXPECT_EQ(layer.x, 0);
    EXPECT_EQ(layer.y, 0);
    EXPECT_TRUE(layer.text.empty());
    EXPECT_EQ(LogoLayout().printerType, 1);
}

TEST(LayoutFile, WorkedExampleIsWrittenByteForByteAndReadsBack)
{
    const std::string expected = sj("SHOPLOGO\r\n"
                                    "PRINTER,1\r\n"
                                    "BGLAYER,\"Shop.bmp\"\r\n"
                                    "TEXTLAYER,0,8,4,\"ＭＳ 明朝\",40,\"中央商店\\n本店\"\r\n"
                                    "TEXTLAYER,1,8,90,\"ＭＳ 明朝\",20,\"TEL 000-000-0000\"\r\n");
    EXPECT_EQ(FormatLayoutFile(workedExample()), expected);

    LogoLayout read;
    ASSERT_TRUE(ParseLayoutFile(expected, read));
    EXPECT_EQ(read, workedExample());

    QTemporaryDir dir;
    const QString path = dir.filePath("default.slp");
    ASSERT_EQ(SaveLayoutFile(path, workedExample()), SaveLayoutOutcome::Saved);
    EXPECT_EQ(readAll(path), expected);
    LogoLayout loaded;
    ASSERT_EQ(LoadLayoutFile(path, loaded), LoadLayoutOutcome::Loaded);
    EXPECT_EQ(loaded, workedExample());
}

// Each case reads `content` over the worked example as the file copy and names what differs.
struct ReadCase {
    const char *name;
    std::string content;
    bool accepted;
    void (*expect)(LogoLayout &); // turns the worked example into the expected file copy
};

TEST(LayoutFile, ReaderCases)
{
    const ReadCase cases[] = {
        {"only the first line keeps the file copy", "SHOPLOGO\r\n", true, [](LogoLayout &) {}},
        {"first line without line end", "SHOPLOGO", true, [](LogoLayout &) {}},
        {"trailing blank on the first line", "SHOPLOGO \r\nPRINTER,2\r\n", false, [](LogoLayout &) {}},
        {"empty first line", "\r\nSHOPLOGO\r\n", false, [](LogoLayout &) {}},
        {"empty file", "", false, [](LogoLayout &) {}},
        {"first line in lower case", "shoplogo\r\n", false, [](LogoLayout &) {}},
        {"LF line ends", "SHOPLOGO\nBGLAYER,\"a.bmp\"\nTEXTLAYER,1,1,2,\"f\",3,\"t\"\n", true,
         [](LogoLayout &l) {
             l.backgroundName = "a.bmp";
             l.layers[1] = {1, 2, "f", 3, "t"};
         }},
        {"BGLAYER with nothing after the comma", "SHOPLOGO\r\nBGLAYER,\r\n", true,
         [](LogoLayout &l) { l.backgroundName.clear(); }},
        {"BGLAYER with two quotes", "SHOPLOGO\r\nBGLAYER,\"\"\r\n", true,
         [](LogoLayout &l) { l.backgroundName.clear(); }},
        {"BGLAYER drops every quote", "SHOPLOGO\r\nBGLAYER,\"a\"b\".bmp\"\r\n", true,
         [](LogoLayout &l) { l.backgroundName = "ab.bmp"; }},
        {"PRINTER,2 is read into the file copy", "SHOPLOGO\r\nPRINTER,2\r\n", true,
         [](LogoLayout &l) { l.printerType = 2; }},
        {"PRINTER reads like the C conversion", "SHOPLOGO\r\nPRINTER, -7x9\r\n", true,
         [](LogoLayout &l) { l.printerType = -7; }},
        {"TEXTLAYER ending early", "SHOPLOGO\r\nTEXTLAYER,0,8\r\n", true,
         [](LogoLayout &l) { l.layers[0] = {8, 0, "", 0, ""}; }},
        {"short TEXTLAYER after a complete one",
         "SHOPLOGO\r\nTEXTLAYER,1,1,2,\"f\",3,\"t\"\r\nTEXTLAYER,1,5,6\r\n", true,
         [](LogoLayout &l) { l.layers[1] = {5, 6, "", 0, ""}; }},
        {"face name with a comma", "SHOPLOGO\r\nTEXTLAYER,0,1,2,\"a,b\",10,\"t,u\"\r\n", true,
         [](LogoLayout &l) { l.layers[0] = {1, 2, "a,b", 10, "t,u"}; }},
        {"negative positions", "SHOPLOGO\r\nTEXTLAYER,0,-8,-40,\"f\",10,\"t\"\r\n", true,
         [](LogoLayout &l) { l.layers[0] = {-8, -40, "f", 10, "t"}; }},
        {"numbers beyond 32 bits are held at the limits",
         "SHOPLOGO\r\nTEXTLAYER,0,99999999999,-99999999999,\"f\",2147483648,\"t\"\r\n", true,
         [](LogoLayout &l) { l.layers[0] = {INT_MAX, INT_MIN, "f", INT_MAX, "t"}; }},
        {"layer index 2 and -1 are ignored",
         "SHOPLOGO\r\nTEXTLAYER,2,1,1,\"f\",1,\"t\"\r\nTEXTLAYER,-1,1,1,\"f\",1,\"t\"\r\n", true,
         [](LogoLayout &) {}},
        {"keys in lower case and lines without a comma are ignored",
         "SHOPLOGO\r\nprinter,5\r\nbglayer,\"x\"\r\ntextlayer,0,1,1,\"f\",1,\"t\"\r\nPRINTER\r\n", true,
         [](LogoLayout &) {}},
        {"a later line overrides an earlier one",
         "SHOPLOGO\r\nBGLAYER,\"a.bmp\"\r\nTEXTLAYER,0,1,1,\"f\",1,\"t\"\r\nBGLAYER,\"b.bmp\"\r\n"
         "TEXTLAYER,0,2,2,\"g\",2,\"u\"\r\n",
         true,
         [](LogoLayout &l) {
             l.backgroundName = "b.bmp";
             l.layers[0] = {2, 2, "g", 2, "u"};
         }},
        {"missing closing quote takes the rest of the line", "SHOPLOGO\r\nTEXTLAYER,0,1,1,\"f\",1,\"abc\r\n", true,
         [](LogoLayout &l) { l.layers[0] = {1, 1, "f", 1, "abc"}; }},
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        LogoLayout fileCopy = workedExample();
        LogoLayout expected = workedExample();
        c.expect(expected);
        EXPECT_EQ(ParseLayoutFile(c.content, fileCopy), c.accepted);
        EXPECT_EQ(fileCopy, expected);
    }
}

TEST(LayoutFile, TextsAndFaceNamesRoundTripWhateverTheyHold)
{
    const std::string hyou = "\x95\x5C"; // 表: its second byte is the backslash value
    const std::string texts[] = {
        sj("一行目\r\n二行目\r\n\r\n四行目"),
        "say \"hi\"",
        "ends with a backslash \\",
        "a literal \\n and \\\" and \\\\ and \\x",
        "\\\r\nafter a backslash",
        hyou + "n" + hyou + "\"" + hyou,
        hyou,
        sj("￥100\t&タブ"),
        "\"",
        "\\",
        std::string(2000, 'L') + "\r\n" + std::string(600, 'M'), // far beyond any line buffer
    };
    for (const std::string &t : texts) {
        SCOPED_TRACE(t);
        LogoLayout layout;
        layout.layers[0].text = t;
        layout.layers[1].faceName = t;
        layout.layers[1].text = "x" + t;
        LogoLayout read;
        ASSERT_TRUE(ParseLayoutFile(FormatLayoutFile(layout), read));
        EXPECT_EQ(read, layout);
    }
}

TEST(LayoutFile, EscapingLeavesOrdinaryTextsAsTheyAre)
{
    const std::string hyou = "\x95\x5C";
    const struct {
        std::string text, written;
    } cases[] = {
        {sj("中央商店\r\n本店"), sj("中央商店\\n本店")},
        {"a\nb", "a\\nb"}, // a lone LF is a line break too
        {"C:\\dir", "C:\\dir"},
        {"\\n", "\\\\n"},
        {"q\"", "q\\\""},
        {"end\\", "end\\\\"},
        {hyou + "n", hyou + "n"},
    };
    for (const auto &c : cases) {
        std::string out;
        EscapeLineBreaks(out, c.text);
        EXPECT_EQ(out, c.written) << c.text;
    }
}

TEST(LayoutFile, FieldReadersAdvanceTheCursor)
{
    std::string_view cursor = "12,-3,\"a\\\"b\",x";
    EXPECT_EQ(ReadIntField(cursor), 12);
    EXPECT_EQ(cursor, ",-3,\"a\\\"b\",x");
    EXPECT_EQ(ReadIntField(cursor), -3);
    std::string s = "old";
    ReadQuotedField(cursor, s);
    EXPECT_EQ(s, "a\"b");
    EXPECT_EQ(cursor, ",x");
    EXPECT_EQ(ReadIntField(cursor), 0);
    EXPECT_TRUE(cursor.empty());
    s = "old";
    ReadQuotedField(cursor, s);
    EXPECT_EQ(s, "");

    // A minus sign counts only directly in front of the digits.
    std::string_view spaced = "- 5";
    EXPECT_EQ(ReadIntField(spaced), 5);
}

TEST(LayoutFile, FailuresChangeNothing)
{
    QTemporaryDir dir;
    EXPECT_EQ(SaveLayoutFile(dir.filePath("no/such/folder.slp"), LogoLayout()), SaveLayoutOutcome::CannotCreate);
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    EXPECT_EQ(SaveLayoutFile(dir.filePath("sub"), LogoLayout()), SaveLayoutOutcome::CannotCreate); // a folder
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList()); // nothing half-written left

    LogoLayout fileCopy = workedExample();
    EXPECT_EQ(LoadLayoutFile(dir.filePath("missing.slp"), fileCopy), LoadLayoutOutcome::CannotOpen);
    EXPECT_EQ(LoadLayoutFile(dir.path(), fileCopy), LoadLayoutOutcome::CannotOpen);
    QFile other(dir.filePath("other.slp"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("MFPCONFIG\r\nTEXTLAYER,0,1,1,\"f\",1,\"t\"\r\n");
    other.close();
    EXPECT_EQ(LoadLayoutFile(other.fileName(), fileCopy), LoadLayoutOutcome::WrongKind);
    EXPECT_EQ(fileCopy, workedExample());
}

// Only a regular file of a size a layout can have is read: a device or a FIFO is refused at
// once (neither read without end nor waited on), and so is a huge file.
TEST(LayoutFile, OnlyRegularFilesOfALayoutsSizeAreOpened)
{
    QTemporaryDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo.slp")).constData(), 0600), 0);
    QFile huge(dir.filePath("huge.slp"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write("SHOPLOGO\r\n");
    huge.resize(qint64(kMaxLayoutFileSize) + 1);
    huge.close();
    LogoLayout fileCopy = workedExample();
    for (const QString &path : {QStringLiteral("/dev/zero"), dir.filePath("fifo.slp"), dir.filePath("huge.slp")})
        EXPECT_EQ(LoadLayoutFile(path, fileCopy), LoadLayoutOutcome::CannotOpen) << path.toStdString();
    EXPECT_EQ(fileCopy, workedExample());

    ASSERT_TRUE(huge.resize(qint64(kMaxLayoutFileSize)));
    EXPECT_EQ(LoadLayoutFile(huge.fileName(), fileCopy), LoadLayoutOutcome::Loaded);
}
