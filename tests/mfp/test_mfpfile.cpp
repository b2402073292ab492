// The MFP parameter set, its code tables and the MFP parameter file.
#include "mfp/mfpfile.h"
#include "mfp/mfpparams.h"
#include "platform/cp932.h"
#include "support/testfolder.h"
#include "texts/mfp.h"

#include <gtest/gtest.h>

#include "support/testsys.h"
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using platform::cp932FromUtf8;

namespace {

std::string slurp(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const fs::path &p, const std::string &bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

// A set with a different value in every byte, some beyond their lists.
MfpParameterSet patterned()
{
    MfpParameterSet s;
    for (size_t i = 0; i < kMfpSetSize; ++i)
        s.bytes[i] = uint8_t(i * 37 + 5);
    return s;
}

} // namespace

TEST(MfpTables, RowsAndTextsAreThoseOfTheMfp)
{
    EXPECT_EQ(std::size(mfptext::kPaperCodeTable), 162u);
    EXPECT_EQ(std::size(mfptext::kPaperTypeNames), 26u);
    EXPECT_EQ(std::size(mfptext::kPaperWeightNames), 13u);
    EXPECT_EQ(std::size(mfptext::kIndexTabNames), 17u);
    EXPECT_EQ(std::size(mfptext::kPaperColorNames), 8u);
    EXPECT_EQ(std::size(mfptext::kOtherSpecNames), 4u);

    // Each series covers its rows, in order and without a gap.
    const size_t firstRowOfSeries[] = {0, 11, 22, 33, 40, 47, 73, 77, 87, 104, 114, 139, 145, 161, 162};
    for (size_t s = 0; s < 14; ++s)
        for (size_t r = firstRowOfSeries[s]; r < firstRowOfSeries[s + 1]; ++r)
            EXPECT_EQ(mfptext::kPaperCodeTable[r].series, s) << "row " << r;

    struct Item {
        size_t row;
        const char *utf8;
    };
    const Item items[] = {
        {0, "(0x*100) : A系列(ISO) - A0"},
        {4, "(0x*104) : A系列(ISO) - A4"},
        {10, "(0x*10A) : A系列(ISO) - A10"},
        {22, "(0x*300) : B系列(ISO) - B0"},
        {39, "(0x*406) : C系列(ISO) - C6(=Letter)"},
        {46, "(0x*550) : Metric定型外 - 297mm×17inch"},
        {72, "(0x*61A) : インチ系 - Exec-JIS"},
        {112, "(0x*B09) : 封筒<ISO269> - C6(=Letter)"},
        {132, "(0x*C25) : 封筒系ISO以外 - North America Number 9 business envelope "},
        {138, "(0x*C45) : 封筒系ISO以外 - 9.25×11"},
        {160, "(0x*E63) : PostCard - 9×13cm"},
        {161, "(0x*FFF) : その他 - 使用しない"},
    };
    for (const Item &i : items)
        EXPECT_EQ(PaperCodeItemText(i.row), cp932FromUtf8(i.utf8)) << "row " << i.row;
    EXPECT_EQ(PaperCodeItemText(162), "");

    // The multiplication sign is the two bytes 81 7E; the envelope "x" is the letter.
    EXPECT_EQ(std::string(mfptext::kPaperCodeTable[40].sizeName),
              "211\x81\x7E"
              "330");
    EXPECT_EQ(std::string(mfptext::kPaperCodeTable[121].sizeName), "10x15 North American envelope size");
    EXPECT_EQ(std::string(mfptext::kIndexTabNames[15]), cp932FromUtf8("インデックス15"));
    EXPECT_EQ(std::string(mfptext::kPaperTypeNames[25]), cp932FromUtf8("指定しない"));
}

TEST(MfpParameterSet, InitialStateAndBlocks)
{
    MfpParameterSet s = MfpParameterSet::Initial();
    for (size_t i = 0; i < kMfpSetSize; ++i)
        EXPECT_EQ(s.bytes[i], i % 11 == 0 && i < 110 ? i / 11 : 0) << "byte " << i;

    EXPECT_EQ(s.block(MfpParamKind::Paper), s.bytes.data());
    EXPECT_EQ(s.block(MfpParamKind::FaxLine2), s.bytes.data() + 110);
    EXPECT_EQ(s.block(MfpParamKind::ScanCharging), s.bytes.data() + 111);
    EXPECT_EQ(MfpParameterSet::blockSize(MfpParamKind::Paper), 110u);
    EXPECT_EQ(MfpParameterSet::blockSize(MfpParamKind::FaxLine2), 1u);
    EXPECT_EQ(MfpParameterSet::blockSize(MfpParamKind::ScanCharging), 1u);
    s.entry(3)[OtherSpec] = 7;
    EXPECT_EQ(s.bytes[3 * 11 + 10], 7);
}

TEST(MfpFile, InitialSetIsWrittenAsTheWorkedExample)
{
    const std::string expected = "MFPconfig\r\n"
                                 "0,0,0,0,0,0,0,0,0,0,0\r\n1,0,0,0,0,0,0,0,0,0,0\r\n2,0,0,0,0,0,0,0,0,0,0\r\n"
                                 "3,0,0,0,0,0,0,0,0,0,0\r\n4,0,0,0,0,0,0,0,0,0,0\r\n5,0,0,0,0,0,0,0,0,0,0\r\n"
                                 "6,0,0,0,0,0,0,0,0,0,0\r\n7,0,0,0,0,0,0,0,0,0,0\r\n8,0,0,0,0,0,0,0,0,0,0\r\n"
                                 "9,0,0,0,0,0,0,0,0,0,0\r\n100,0\r\n101,0\r\n";
    EXPECT_EQ(FormatMfpFile(MfpParameterSet::Initial()), expected);

    const fs::path dir = testfolder::fresh("qv-mfp");
    ASSERT_EQ(SaveMfpFile((dir / "MFPconfig.csv").string(), MfpParameterSet::Initial()), MfpSaveOutcome::Saved);
    EXPECT_EQ(slurp(dir / "MFPconfig.csv"), expected);
    fs::remove_all(dir);
}

TEST(MfpFile, SaveThenLoadRestoresEveryByte)
{
    const fs::path dir = testfolder::fresh("qv-mfp");
    const std::string path = (dir / "a.csv").string();
    MfpParameterSet s = patterned();
    for (size_t k = 0; k < kMfpPaperCount; ++k)
        s.entry(k).paperNumber() = uint8_t(k); // the file's keys are the paper numbers
    s.entry(2)[PaperCodeIndex] = 255;
    s.faxLine2() = 200;
    ASSERT_EQ(SaveMfpFile(path, s), MfpSaveOutcome::Saved);
    EXPECT_EQ(FormatMfpFile(s).substr(0, 11 + 11), "MFPconfig\r\n0,42,79,116");

    MfpParameterSet back = MfpParameterSet::Initial();
    ASSERT_EQ(LoadMfpFile(path, back), MfpLoadOutcome::Loaded);
    EXPECT_EQ(back, s);
    fs::remove_all(dir);
}

TEST(MfpFile, ReadCsvField)
{
    struct Case {
        std::string line;
        std::vector<int32_t> values; // read one after the other from position 0
    };
    const Case cases[] = {
        {"3,5", {3, 5, 0, 0}},
        {" +7, -1 ,12abc,abc,,9", {7, -1, 12, 0, 0, 9, 0}},
        {"\t\v42", {42, 0}},
        {"99999999999999999999,-99999999999999999999", {INT32_MAX, INT32_MIN, 0}},
        {"--5,+-5,- 5", {0, 0, 0, 0}},
        {"", {0, 0}},
        {std::string(100000, '0') + "7,8", {7, 8}}, // no fixed-size copy of a field
    };
    for (const Case &c : cases) {
        size_t pos = 0;
        for (size_t i = 0; i < c.values.size(); ++i)
            EXPECT_EQ(ReadCsvField(c.line, pos), c.values[i]) << "\"" << c.line.substr(0, 40) << "\" field " << i;
        EXPECT_EQ(pos, c.line.size());
    }
}

// Every case loads over the patterned set; `changes` lists the bytes that differ afterwards.
TEST(MfpFile, HeaderAndLineRules)
{
    struct Change {
        size_t byte;
        uint8_t value;
    };
    struct Case {
        const char *name;
        std::string content;
        bool loads;
        std::vector<Change> changes;
    };
    auto entry = [](size_t k, std::vector<uint8_t> v) {
        std::vector<Change> out;
        for (size_t f = 0; f < 11; ++f)
            out.push_back({11 * k + f, f < v.size() ? v[f] : uint8_t(0)});
        return out;
    };
    const Case cases[] = {
        {"header only", "MFPconfig", true, {}},
        {"header only, CR LF", "MFPconfig\r\n", true, {}},
        {"header, comma and more", "MFPconfig,x,y\r\n100,1\r\n", true, {{110, 1}}},
        {"header, blank and more", "MFPconfig 2024\n101,1\n", true, {{111, 1}}},
        {"letter after the keyword", "MFPconfigs\r\n100,1\r\n", false, {}},
        {"other letter case", "mfpconfig\r\n100,1\r\n", false, {}},
        {"empty first line", "\r\nMFPconfig\r\n100,1\r\n", false, {}},
        {"empty file", "", false, {}},
        {"tab after the keyword", "MFPconfig\t\r\n", false, {}},
        {"LF line ends", "MFPconfig\n3,1,1,1,1,1,1,1,1,1,1\n", true, entry(3, {3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1})},
        {"empty line is entry 0", "MFPconfig\r\n\r\n", true, entry(0, {})},
        {"word as key is entry 0", "MFPconfig\r\nword,4,1\r\n", true, entry(0, {0, 4, 1})},
        {"short entry line", "MFPconfig\r\n3,5\r\n", true, entry(3, {3, 5})},
        {"modulo 256", "MFPconfig\r\n1,256,-1,257,99999999999,-2\r\n", true, entry(1, {1, 0, 255, 1, 255, 254})},
        {"fields after the eleventh", "MFPconfig\r\n9,1,2,3,4,5,6,7,8,9,10,11,12\r\n", true,
         entry(9, {9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10})},
        {"100 and 101", "MFPconfig\r\n100,1,7\r\n101,300\r\n", true, {{110, 1}, {111, 44}}},
        {"100 alone", "MFPconfig\r\n100\r\n", true, {{110, 0}}},
        {"later line wins", "MFPconfig\r\n100,1\r\n100,0\r\n5,1\r\n5,2\r\n", true,
         [&] {
             auto c = entry(5, {5, 2});
             c.push_back({110, 0});
             return c;
         }()},
        {"keys 102-199, 200 and more, -100 and less",
         "MFPconfig\r\n102,1\r\n199,1\r\n200,1\r\n-100,1\r\n-101,1\r\n2147483647,1\r\n",
         true,
         {}},
        {"keys 10-99 and -1 to -99 name no entry", "MFPconfig\r\n10,1,1\r\n99,1\r\n-1,1\r\n-99,1\r\n", true, {}},
        {"lone CR inside a line", "MFPconfig\r\n4,1\r2\r\n", true, entry(4, {4, 1})},
    };
    for (const Case &c : cases) {
        const MfpParameterSet before = patterned();
        MfpParameterSet s = before;
        EXPECT_EQ(ParseMfpFile(c.content, s), c.loads) << c.name;
        MfpParameterSet expected = before;
        for (const Change &ch : c.changes)
            expected.bytes[ch.byte] = ch.value;
        EXPECT_EQ(s, expected) << c.name;
    }
}

TEST(MfpFile, OnlyRegularFilesOfSensibleSizeAreRead)
{
    const fs::path dir = testfolder::fresh("qv-mfp");
    const MfpParameterSet before = patterned();

    (void)testsys::makeFifo(dir / "fifo.csv"); // without FIFOs (Windows) the name is missing
    fs::create_directories(dir / "folder.csv");
    spit(dir / "huge.csv", "MFPconfig\r\n" + std::string(kMfpFileSizeLimit, '\n'));
    spit(dir / "wrong.csv", "SHOPLOGO\r\n100,1\r\n");
    std::error_code noLinks; // Windows may not let the user make one
    fs::create_symlink(dir / "good.csv", dir / "link.csv", noLinks);
    spit(dir / "good.csv", "MFPconfig\r\n100,1\r\n");

    struct Case {
        const char *file;
        MfpLoadOutcome outcome;
    };
    std::vector<Case> cases = {
        {"missing.csv", MfpLoadOutcome::CannotOpen}, {"fifo.csv", MfpLoadOutcome::CannotOpen},
        {"folder.csv", MfpLoadOutcome::CannotOpen},  {"huge.csv", MfpLoadOutcome::CannotOpen},
        {"wrong.csv", MfpLoadOutcome::WrongKind},    {"good.csv", MfpLoadOutcome::Loaded},
    };
    if (!noLinks)
        cases.push_back({"link.csv", MfpLoadOutcome::Loaded});
    for (const Case &c : cases) {
        MfpParameterSet s = before;
        EXPECT_EQ(LoadMfpFile((dir / c.file).string(), s), c.outcome) << c.file;
        if (c.outcome != MfpLoadOutcome::Loaded) {
            EXPECT_EQ(s, before) << c.file;
        }
    }
    fs::remove_all(dir);
}

TEST(MfpFile, FailedSaveLeavesThePreviousFile)
{
    const fs::path dir = testfolder::fresh("qv-mfp");
    fs::create_directories(dir / "folder.csv");
    EXPECT_EQ(SaveMfpFile((dir / "folder.csv").string(), patterned()), MfpSaveOutcome::CannotCreate);
    EXPECT_TRUE(fs::is_directory(dir / "folder.csv"));
    EXPECT_EQ(SaveMfpFile((dir / "no" / "such" / "a.csv").string(), patterned()), MfpSaveOutcome::CannotCreate);
    fs::remove_all(dir);
}
