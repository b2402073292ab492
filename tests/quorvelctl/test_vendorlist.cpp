// The vendor list of fleet mode, line by line, and the file names made from it.
#include "fleetreport.h"
#include "vendorlist.h"

#include <gtest/gtest.h>

using namespace ctl;

namespace {

struct Good {
    const char *line;
    const char *label, *name, *number;
};

struct Bad {
    const char *line;
    const char *problem; // a part of the problem's text
};

} // namespace

TEST(VendorList, GoodLines)
{
    const Good cases[] = {
        {"127.0.0.1", "127.0.0.1:9004", "", ""},
        {"127.0.0.2:10001 新宿東口", "127.0.0.2:10001", "新宿東口", ""},
        {"  127.0.0.3\tshop-3  AB-1  # the third", "127.0.0.3:9004", "shop-3", "AB-1"},
        {"[::1]:9005 v6", "[::1]:9005", "v6", ""},
        {"[::1]", "[::1]:9004", "", ""},
        {"::2", "[::2]:9004", "", ""}, // several colons: IPv6 without a port
        {"127.0.0.4 shop ZZZZZZ\r", "127.0.0.4:9004", "shop", "ZZZZZZ"},
    };
    for (const Good &c : cases) {
        std::vector<ListedVendor> vendors;
        std::vector<ListProblem> problems;
        ASSERT_TRUE(ParseVendorList(c.line, 9004, vendors, problems)) << c.line << ": " << problems[0].text;
        ASSERT_EQ(vendors.size(), 1u) << c.line;
        EXPECT_EQ(vendors[0].label(), c.label) << c.line;
        EXPECT_EQ(vendors[0].name, c.name) << c.line;
        EXPECT_EQ(vendors[0].number, c.number) << c.line;
    }
}

TEST(VendorList, BadLinesAreAllReportedWithTheirLineNumbers)
{
    const Bad cases[] = {
        {"localhost", "not a numeric"},
        {"10.0.0.256", "not a numeric"},
        {"127.0.0.1:0", "invalid port"},
        {"127.0.0.1:65536", "invalid port"},
        {"127.0.0.1:+80", "invalid port"},
        {"127.0.0.1:", "no port"},
        {"[127.0.0.1]:80", "not a numeric"},
        {"[::1", "no ']'"},
        {"[::1]x", "after ']'"},
        {"127.0.0.1 a b c", "more than three fields"},
        {"127.0.0.1 shop ABCDEFG", "at most six"},
        {"127.0.0.1 shop \xEF\xBD\xB1", "7-bit ASCII"},
        {"127.0.0.1 \x82\xA0", "not UTF-8"}, // a CP932 name
        {"127.0.0.1 \xC0\xAF", "not UTF-8"}, // an overlong '/'
        {"127.0.0.1 a\x1b[2J", "control character"},
    };
    std::string text = "# header\n\n127.0.0.9 fine\n";
    for (const Bad &c : cases)
        text += std::string(c.line) + "\n";
    std::vector<ListedVendor> vendors;
    std::vector<ListProblem> problems;
    EXPECT_FALSE(ParseVendorList(text, 9004, vendors, problems));
    ASSERT_EQ(problems.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(problems[i].line, int(i) + 4) << cases[i].line;
        EXPECT_NE(problems[i].text.find(cases[i].problem), std::string::npos)
            << cases[i].line << ": " << problems[i].text;
    }
}

TEST(VendorList, AVendorListedTwiceIsAProblemHoweverItIsWritten)
{
    const char *text = "\xEF\xBB\xBF"
                       "127.0.0.1 first\r\n"
                       "127.0.0.1:9004 again\r\n" // the default port, written out
                       "127.0.0.1:9005 other-port\r\n"
                       "::1 six\r\n"
                       "[0:0:0:0:0:0:0:1]:9004 six-again\r\n";
    std::vector<ListedVendor> vendors;
    std::vector<ListProblem> problems;
    EXPECT_FALSE(ParseVendorList(text, 9004, vendors, problems));
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].line, 2);
    EXPECT_EQ(problems[0].text, "127.0.0.1:9004 is listed already, on line 1");
    EXPECT_EQ(problems[1].line, 5);
    EXPECT_NE(problems[1].text.find("on line 4"), std::string::npos);
}

TEST(VendorList, FileStemsAreSafeNames)
{
    const std::pair<ListedVendor, const char *> cases[] = {
        {{1, "127.0.0.1", 9004, "", ""}, "127.0.0.1_9004"},
        {{1, "::1", 9004, "", ""}, "__1_9004"},
        {{1, "127.0.0.1", 9004, "新宿/東口", ""}, "新宿_東口"},
        {{1, "127.0.0.1", 9004, "..", ""}, "_._"},
        {{1, "127.0.0.1", 9004, ".hidden", ""}, "_.hidden"},
        {{1, "127.0.0.1", 9004, "a\\b:c*d?", ""}, "a_b_c_d_"},
        {{1, "127.0.0.1", 9004, "con", ""}, "_con"},
        {{1, "127.0.0.1", 9004, "COM1.x", ""}, "_COM1.x"},
        {{1, "127.0.0.1", 9004, "console", ""}, "console"},
    };
    for (const auto &[vendor, stem] : cases)
        EXPECT_EQ(FileStem(vendor), stem) << vendor.name;
}

TEST(FleetReport, ClockOffsetCountsFromThePcsLocalTime)
{
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 11;
    tm.tm_mday = 31;
    tm.tm_hour = 23;
    tm.tm_min = 59;
    tm.tm_sec = 50;
    tm.tm_isdst = -1;
    const std::time_t pc = std::mktime(&tm);
    long long offset = 0;
    ASSERT_TRUE(ClockOffsetSeconds({27, 1, 1, 0, 0, 5}, pc, offset)); // over the new year
    EXPECT_EQ(offset, 15);
    ASSERT_TRUE(ClockOffsetSeconds({26, 12, 31, 23, 58, 50}, pc, offset));
    EXPECT_EQ(offset, -60);
    EXPECT_FALSE(ClockOffsetSeconds({26, 2, 30, 0, 0, 0}, pc, offset)); // no such day
    EXPECT_FALSE(ClockOffsetSeconds({26, 1, 1, 24, 0, 0}, pc, offset));
}
