#include "platform/codepage.h"
#include "platform/messages.h"
#include "platform/textlines.h"

#include <gtest/gtest.h>

TEST(TextLines, MatchKeyword)
{
    const struct {
        const char *line;
        bool match;
    } cases[] = {
        {"MFPCONFIG", true},   {"MFPCONFIG,1", true},  {"MFPCONFIG 1", true}, {"MFPCONFIGX", false},
        {"mfpconfig", false},  {"MFPCONF", false},     {"", false},           {" MFPCONFIG", false},
        {"MFPCONFIG\t", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MatchKeyword(c.line, "MFPCONFIG"), c.match) << c.line;
    EXPECT_EQ(WrongFileMessage().text, platform::cp932FromUtf8("異なるファイルです！"));
    EXPECT_EQ(WrongFileMessage().icon, platform::MsgIcon::Stop);
}
