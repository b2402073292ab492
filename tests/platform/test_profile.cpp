#include "platform/atomicfile.h"
#include "platform/profile.h"
#include "support/testfolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace platform;

namespace {

class Profile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testfolder::fresh("qv-profile");
        path = (dir / "quorvel.ini").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    void put(const std::string &bytes) { ASSERT_TRUE(writeFileAtomically(path, bytes)); }
    std::string content()
    {
        std::string b;
        EXPECT_TRUE(readWholeFile(path, b, kMaxProfileFileSize));
        return b;
    }

    fs::path dir;
    std::string path;
};

} // namespace

TEST_F(Profile, ReadsTextWithTheFileRules)
{
    struct Case {
        const char *what;
        std::string file, section, key;
        std::size_t size;
        std::string expected;
    };
    const std::string sectionWithTrailByte = "[\x83\x5D]\r\nK=dbcs\r\n"; // "[ゾ]": 0x5D is ']'
    const Case cases[] = {
        {"exact", "[PC]\r\nCOMPORT=COM3\r\n", "PC", "COMPORT", 10, "COM3"},
        {"case and blanks", "[ pc ]\r\n  comport =  COM3 \t\r\n", "PC", "COMPORT", 10, "COM3"},
        {"LF lines, no final line end", "[PC]\nCOMRATE=1\nCOMPORT=COM4", "PC", "COMPORT", 10, "COM4"},
        {"cut to size - 1", "[PC]\r\nCOMPORT=COM123456789\r\n", "PC", "COMPORT", 10, "COM123456"},
        {"size 1 leaves nothing", "[PC]\r\nCOMPORT=COM3\r\n", "PC", "COMPORT", 1, ""},
        {"empty value", "[PC]\r\nCOMPORT=\r\n", "PC", "COMPORT", 10, ""},
        {"value keeps inner '='", "[PC]\r\nK=a=b\r\n", "PC", "K", 10, "a=b"},
        {"absent key", "[PC]\r\nCOMRATE=1\r\n", "PC", "COMPORT", 10, "dflt"},
        {"key of another section", "[VENDER]\r\nCOMPORT=COM3\r\n", "PC", "COMPORT", 10, "dflt"},
        {"comment is no key", "[PC]\r\n;COMPORT=COM3\r\n", "PC", ";COMPORT", 10, "dflt"},
        {"first of two", "[PC]\r\nK=1\r\nK=2\r\n", "PC", "K", 10, "1"},
        {"default is cut too", "", "PC", "K", 3, "df"},
        {"double-byte name", sectionWithTrailByte, "\x83\x5D", "k", 10, "dbcs"},
        // Trail bytes 0x61 'a' and 0x41 'A' belong to different characters.
        {"no case folding in trail bytes", "[PC]\r\n\x83\x61=x\r\n", "PC", "\x83\x41", 10, "dflt"},
    };
    for (const Case &c : cases) {
        put(c.file);
        EXPECT_EQ(readProfileString(path, c.section, c.key, "dflt", c.size), c.expected) << c.what;
    }
    EXPECT_EQ(readProfileString((dir / "absent.ini").string(), "PC", "COMPORT", "COM1", 10), "COM1");
}

TEST_F(Profile, ReadsIntegersWithSignAndLeadingDigits)
{
    const std::pair<const char *, int32_t> cases[] = {
        {"9600", 9600}, {"-12", -12},   {"+7", 7},        {"12abc", 12},         {"abc", 0},
        {"", 0},        {"  42  ", 42}, {"- 5", 0},       {"4294967297", 1},     {"0x10", 0},
    };
    for (const auto &[value, expected] : cases) {
        put(std::string("[VENDER]\r\nSHOPLOGO=") + value + "\r\n");
        EXPECT_EQ(readProfileInt(path, "vender", "shoplogo", 99), expected) << '"' << value << '"';
    }
    put("[VENDER]\r\n");
    EXPECT_EQ(readProfileInt(path, "VENDER", "SHOPLOGO", 99), 99);
}

TEST_F(Profile, WritingCreatesTheFileAndAddsSectionsAndKeys)
{
    const std::string missing = (dir / "new.ini").string();
    ASSERT_TRUE(writeProfileString(missing, "PC", "COMPORT", "COM1"));
    ASSERT_TRUE(writeProfileString(missing, "PC", "COMRATE", "9600"));
    ASSERT_TRUE(writeProfileString(missing, "VENDER", "PRTTYPE", "0"));
    std::string bytes;
    ASSERT_TRUE(readWholeFile(missing, bytes, kMaxProfileFileSize));
    EXPECT_EQ(bytes, "[PC]\r\nCOMPORT=COM1\r\nCOMRATE=9600\r\n[VENDER]\r\nPRTTYPE=0\r\n");
}

TEST_F(Profile, WritingKeepsEveryOtherLineByteForByte)
{
    put("; settings of the shop PC\n"
        "[pc]\n"
        "  comport = COM3 \n"
        "; the rate follows\n"
        "Extra=\x83\x5D\x82\xA0\n"
        "\n"
        "[Other]\r\n"
        "COMPORT=untouched\r\n"
        "junk line without equals\r\n");
    ASSERT_TRUE(writeProfileString(path, "PC", "COMPORT", "COM5"));
    ASSERT_TRUE(writeProfileString(path, "PC", "COMRATE", "19200"));
    ASSERT_TRUE(writeProfileString(path, "VENDER", "PRTTYPE", "0"));
    EXPECT_EQ(content(), "; settings of the shop PC\r\n"
                         "[pc]\r\n"
                         "comport=COM5\r\n"
                         "; the rate follows\r\n"
                         "Extra=\x83\x5D\x82\xA0\r\n"
                         "COMRATE=19200\r\n"
                         "\r\n"
                         "[Other]\r\n"
                         "COMPORT=untouched\r\n"
                         "junk line without equals\r\n"
                         "[VENDER]\r\n"
                         "PRTTYPE=0\r\n");
    EXPECT_EQ(readProfileString(path, "PC", "COMPORT", "", 10), "COM5");
}

TEST_F(Profile, FailedWriteReportsFalseAndLeavesTheFileWhole)
{
    const std::string before = "[PC]\r\nCOMPORT=COM1\r\n; " + std::string(200, 'x') + "\r\n";
    put(before);

    // A file-size limit below the new content makes the write fail, even for root.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = writeProfileString(path, "PC", "COMRATE", "9600");
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);

    EXPECT_FALSE(ok);
    EXPECT_EQ(content(), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "temporary file left";

    // A path that exists but cannot be read as a file is never overwritten.
    EXPECT_FALSE(writeProfileString(dir.string(), "PC", "COMPORT", "COM1"));
    EXPECT_TRUE(fs::is_directory(dir));
}

// A settings file that is a FIFO or far too large reads as absent (at once, without waiting
// for a writer) and is never overwritten.
TEST_F(Profile, FifoOrHugeFileReadsAsAbsentAndIsKept)
{
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(readProfileInt(path, "PC", "COMRATE", 9600), 9600);
    EXPECT_FALSE(writeProfileString(path, "PC", "COMRATE", "38400"));
    EXPECT_TRUE(fs::is_fifo(path));
    fs::remove(path);

    put("[PC]\r\nCOMRATE=19200\r\n");
    fs::resize_file(path, kMaxProfileFileSize + 1);
    EXPECT_EQ(readProfileInt(path, "PC", "COMRATE", 9600), 9600);
    EXPECT_FALSE(writeProfileString(path, "PC", "COMRATE", "38400"));
    EXPECT_EQ(fs::file_size(path), kMaxProfileFileSize + 1);
    fs::resize_file(path, kMaxProfileFileSize);
    EXPECT_EQ(readProfileInt(path, "PC", "COMRATE", 9600), 19200);
}

TEST_F(Profile, SeveralValuesGoInOneWriteOrNotAtAll)
{
    put("; mine\r\n[VENDER]\r\nprttype=0\r\n\r\n[PC]\r\nCOMRATE=9600\r\n");
    ASSERT_TRUE(writeProfileStrings(path, {{"VENDER", "ADDRESS", "::1"},
                                           {"VENDER", "PORT", "19004"},
                                           {"NEW", "KEY", "v"},
                                           {"vender", "address", "127.0.0.2"}})); // later values win
    EXPECT_EQ(content(), "; mine\r\n[VENDER]\r\nprttype=0\r\nADDRESS=127.0.0.2\r\nPORT=19004\r\n\r\n"
                         "[PC]\r\nCOMRATE=9600\r\n[NEW]\r\nKEY=v\r\n");

    // A write that fails part-way through the new content changes none of the keys.
    const std::string before = content();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = before.size() + 4; // room for one of the changes, not for both
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = writeProfileStrings(path, {{"VENDER", "ADDRESS", "::2"}, {"VENDER", "PORT", "19005" + std::string(40, '0')}});
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(content(), before);
}
