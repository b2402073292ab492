#include "platform/codepage.h"

#include <gtest/gtest.h>

using platform::fromCp932;
using platform::toCp932;

TEST(CodePage, RoundTripsJapaneseTextAsCp932Bytes)
{
    // "ＭＳ 明朝" in CP932, and the two characters whose mapping differs between
    // plain Shift-JIS and the Windows code page (wave dash, full-width minus).
    const std::string bytes = "\x82\x6C\x82\x72\x20\x96\xBE\x92\xA9\x81\x60\x81\x7C";
    const QString text = fromCp932(bytes);
    EXPECT_EQ(text, QString::fromUtf8("ＭＳ 明朝～－"));
    EXPECT_EQ(toCp932(text), bytes);
}

TEST(CodePage, UnmappableCharacterBecomesQuestionMark)
{
    EXPECT_EQ(toCp932(QString::fromUtf8("a😀b")), "a?b");
}
