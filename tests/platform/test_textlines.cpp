#include "platform/cp932.h"
#include "platform/messages.h"
#include "platform/textlines.h"

#include <gtest/gtest.h>

TEST(TextLines, MatchKeyword)
{
    const struct {
        const char *line;
        bool match;
    } cases[] = {
        {"MFPCONFIG", true},   {"MFPCONFIG,1", true}, {"MFPCONFIG 1", true},
        {"MFPCONFIGX", false}, {"mfpconfig", false},  {"MFPCONF", false},
        {"", false},           {" MFPCONFIG", false}, {"MFPCONFIG\t", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MatchKeyword(c.line, "MFPCONFIG"), c.match) << c.line;
    EXPECT_EQ(WrongFileMessage().text, platform::cp932FromUtf8("異なるファイルです！"));
    EXPECT_EQ(WrongFileMessage().icon, platform::MsgIcon::Stop);
}

TEST(TextLines, ReadDecimal)
{
    const struct {
        std::string_view text;
        int32_t value;
        size_t end;
    } cases[] = {
        {"42", 42, 2},
        {"  -7x9", -7, 4},
        {"+5,6", 5, 2},
        {" \t\n\v\f\r12", 12, 8},
        {"1 2", 1, 1},
        {"007", 7, 3},
        {"2147483647", 2147483647, 10},
        {"2147483648", 2147483647, 10},
        {"-2147483648", -2147483647 - 1, 11},
        {"-2147483649", -2147483647 - 1, 11},
        {"99999999999999999999", 2147483647, 20},
        {"- 1", 0, 0},
        {"+-1", 0, 0},
        {"-", 0, 0},
        {"x1", 0, 0},
        {"", 0, 0},
    };
    for (const auto &c : cases) {
        size_t end = 99;
        EXPECT_EQ(ReadDecimal(c.text, &end), c.value) << '"' << c.text << '"';
        EXPECT_EQ(end, c.end) << '"' << c.text << '"';
        EXPECT_EQ(ReadDecimal(c.text), c.value) << '"' << c.text << '"';
    }
}
