// Request frames, the reply checker and the trace ring.
#include "comm/frame.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testutil;

namespace {

Bytes build(const RequestInput &in, BuiltRequest *info = nullptr)
{
    uint8_t buf[frame::BufferSize];
    std::memset(buf, 0xCC, sizeof buf);
    BuiltRequest r = BuildRequestFrame(in, buf);
    if (info)
        *info = r;
    return Bytes(buf, buf + r.length);
}

} // namespace

TEST(RequestFrame, KnownRequests)
{
    const uint8_t abc[] = {'A', 'B', 'C', ' ', ' ', ' '};
    struct Case {
        const char *what;
        RequestInput in;
        const char *bytes;
    } cases[] = {
        {"read clock", {.cmd = 0x01}, "01 01 01 00 00 01"},
        {"read device number", {.cmd = 0x03}, "01 01 03 00 00 03"},
        {"device number ABC",
         {.cmd = 0x04, .data = abc, .total = 6},
         "01 01 04 00 09 02 50 41 42 43 20 20 20 03 3C"},
        {"ask for the next reply block",
         {.cmd = 0x20,
          .sequence = 1,
          .data = abc,
          .total = 2,
          .offset = 2,
          .replyCollected = true,
          .lastReplyFlags = 0x20},
         "01 01 20 00 03 02 01 03 23"},
        {"reply TYPE for a vendor frame", {.type = 0x90, .cmd = 0x02, .sta = 0x01}, "01 90 02 01 00 92"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(build(c.in), hex(c.bytes)) << c.what;
}

TEST(RequestFrame, DataLongerThanOneBlockIsSplit)
{
    Bytes data(253);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i);
    RequestInput in{.cmd = 0x15, .data = data.data(), .total = data.size()};

    BuiltRequest first;
    Bytes f1 = build(in, &first);
    EXPECT_EQ(first.count, 252u);
    EXPECT_EQ(first.flags, 0x30);
    ASSERT_EQ(f1.size(), 261u);
    EXPECT_EQ(f1[4], 255);
    EXPECT_EQ(f1[6], 0x30);
    EXPECT_EQ(f1[7], 0);
    EXPECT_EQ(f1[258], 251);
    EXPECT_EQ(f1[259], 0x03);
    EXPECT_EQ(f1[260], bcc(Bytes(f1.begin(), f1.end() - 1)));

    in.offset = 252;
    in.sequence = 1;
    BuiltRequest second;
    Bytes f2 = build(in, &second);
    EXPECT_EQ(second.count, 1u);
    EXPECT_EQ(second.flags, 0x40);
    EXPECT_EQ(f2, withBcc(hex("01 01 15 00 04 02 41 FC 03")));
}

TEST(RequestFrame, FirstFlagOnlyAtTheVeryStartOfACommand)
{
    const uint8_t d[4] = {1, 2, 3, 4};
    BuiltRequest r;
    build({.cmd = 0x21, .sequence = 0, .data = d, .total = 4}, &r);
    EXPECT_EQ(r.flags, 0x50);
    build({.cmd = 0x21, .sequence = 0, .data = d, .total = 4, .replyCollected = true}, &r);
    EXPECT_EQ(r.flags, 0x40);
    build({.cmd = 0x21, .sequence = 3, .data = d, .total = 4}, &r);
    EXPECT_EQ(r.flags, 0x40);
}

// Each case: the bytes of one call (after a reset), the result and the trace lines.
TEST(ReplyChecker, StatesTable)
{
    const Bytes clock = withBcc(hex("01 90 01 00 09 02 50 25 12 31 23 59 58 03"));
    struct Case {
        const char *what;
        Bytes bytes;
        bool ok;
        std::vector<std::string> trace; // after the " >>Packet..." line
    } cases[] = {
        {"reply without data",
         hex("01 90 01 00 00 90"),
         true,
         {"  SOH検出(ofs=0)", " 総パケット長(5byte / dwLen=5)", "<<パケット確定"}},
        {"reply with data",
         clock,
         true,
         {"  SOH検出(ofs=0)", " 総パケット長(14byte / dwLen=5)", "<<パケット確定"}},
        {"bytes before SOH skipped silently",
         hex("FF 00 03 01 90 01 00 00 90"),
         true,
         {"  SOH検出(ofs=0)", " 総パケット長(5byte / dwLen=5)", "<<パケット確定"}},
        {"TYPE 0x01 accepted",
         hex("01 01 01 00 00 01"),
         true,
         {"  SOH検出(ofs=0)", " 総パケット長(5byte / dwLen=5)", "<<パケット確定"}},
        {"TYPE 0x02 rejected",
         hex("01 02 01 00 00 02"),
         false,
         {"  SOH検出(ofs=0)", "!! TYPE異常(ofs=1)", "  SOH検出(ofs=0)", "!! TYPE異常(ofs=1)"}},
        {"CMD 0x2F accepted",
         hex("01 90 2F 00 00 BE"),
         true,
         {"  SOH検出(ofs=0)", " 総パケット長(5byte / dwLen=5)", "<<パケット確定"}},
        {"CMD 0x30 rejected", hex("01 90 30 00 00 A1"), false, {"  SOH検出(ofs=0)", "!! CMD異常(ofs=2)"}},
        {"STA 0x0F accepted",
         hex("01 90 01 0F 00 9F"),
         true,
         {"  SOH検出(ofs=0)", " 総パケット長(5byte / dwLen=5)", "<<パケット確定"}},
        {"STA 0x10 rejected", hex("01 90 01 10 00 80"), false, {"  SOH検出(ofs=0)", "!! STA異常(STA=10)"}},
        {"missing STX",
         hex("01 90 01 00 03 05 50 03 C6"),
         false,
         {"  SOH検出(ofs=0)", " 総パケット長(8byte / dwLen=5)", "!! STX異常"}},
        {"missing ETX",
         hex("01 90 01 00 03 02 50 04 C7"),
         false,
         {"  SOH検出(ofs=0)", " 総パケット長(8byte / dwLen=5)", "!! ETX異常"}},
        {"LEN 1 is refused at once, even where STX, ETX and BCC would follow",
         hex("01 90 01 00 01 02 03 90"),
         false,
         {"  SOH検出(ofs=0)", " 総パケット長(6byte / dwLen=5)", "!! ETX異常"}},
        {"wrong check byte",
         hex("01 90 01 00 00 91"),
         false,
         {"  SOH検出(ofs=0)", " 総パケット長(5byte / dwLen=5)", " 破棄(BCC異常 00->90 : wIdx=5)!"}},
        {"the offending byte is dropped, the scan goes on",
         hex("01 02 01 90 01 00 00 90"),
         true,
         {"  SOH検出(ofs=0)", "!! TYPE異常(ofs=1)", "  SOH検出(ofs=0)", " 総パケット長(5byte / dwLen=5)",
          "<<パケット確定"}},
        {"incomplete frame", hex("01 90 01"), false, {"  SOH検出(ofs=0)"}},
    };
    for (const Case &c : cases) {
        TraceLog log;
        FrameChecker checker;
        ResetChecker(checker);
        EXPECT_EQ(CheckReplyFrame(checker, log, c.bytes.data(), c.bytes.size()), c.ok) << c.what;
        std::vector<std::string> expected{" >>Packet正当性チェック(" + std::to_string(c.bytes.size()) +
                                          "Byteについて)"};
        expected.insert(expected.end(), c.trace.begin(), c.trace.end());
        EXPECT_EQ(traceLines(log), expected) << c.what;
        EXPECT_EQ(checker.bufferLength, 0u) << c.what;
    }
}

TEST(ReplyChecker, ResetExaminesTheNextReplyFromItsFirstByte)
{
    TraceLog log;
    FrameChecker checker;
    const Bytes bad = hex("01 90 01 00 00 91");
    const Bytes good = hex("01 90 03 00 00 92");
    ResetChecker(checker);
    EXPECT_FALSE(CheckReplyFrame(checker, log, bad.data(), bad.size()));
    ResetChecker(checker);
    EXPECT_TRUE(CheckReplyFrame(checker, log, good.data(), good.size()));

    // A half frame leaves the checker mid-way; the reset puts it back to idle.
    const Bytes half = hex("01 90 01");
    ResetChecker(checker);
    EXPECT_FALSE(CheckReplyFrame(checker, log, half.data(), half.size()));
    EXPECT_EQ(checker.state, 3);
    ResetChecker(checker);
    EXPECT_TRUE(CheckReplyFrame(checker, log, good.data(), good.size()));
}

// Without a reset, the next call goes on with the frame the last one left unfinished:
// the check byte covers the whole frame and the ETX test counts from its first byte.
TEST(ReplyChecker, AFrameSplitOverCallsIsCheckedAsAWhole)
{
    const Bytes clock = withBcc(hex("01 90 01 00 09 02 50 25 12 31 23 59 58 03"));
    struct Case {
        const char *what;
        Bytes first, second;
        bool ok;
    } cases[] = {
        {"split in the data", Bytes(clock.begin(), clock.begin() + 8), Bytes(clock.begin() + 8, clock.end()),
         true},
        {"split before the check byte", Bytes(clock.begin(), clock.end() - 1), Bytes(clock.end() - 1, clock.end()),
         true},
        // The check byte of the second part alone (0x00 over nothing) must not pass.
        {"check byte over the second part only", hex("01 90 01 00 00"), hex("00"), false},
        {"split right after STX", hex("01 90 01 00 03 02"), hex("50 03 C2"), true},
    };
    for (const Case &c : cases) {
        TraceLog log;
        FrameChecker checker;
        ResetChecker(checker);
        EXPECT_FALSE(CheckReplyFrame(checker, log, c.first.data(), c.first.size())) << c.what;
        EXPECT_EQ(CheckReplyFrame(checker, log, c.second.data(), c.second.size()), c.ok) << c.what;
        if (c.ok) {
            Bytes whole = c.first;
            whole.insert(whole.end(), c.second.begin(), c.second.end());
            EXPECT_EQ(Bytes(checker.frame, checker.frame + checker.writeIndex), whole) << c.what;
        }
    }
}

TEST(TraceLog, RingWrapsAndKeepsABlankLineAfterTheNewest)
{
    TraceLog log;
    EXPECT_TRUE(log.entries().empty());
    for (int i = 0; i < 100; ++i)
        log.Trace("entry %d", i);
    EXPECT_EQ(log.index(), 0);
    EXPECT_EQ(log.line(0), std::string(79, ' '));
    EXPECT_EQ(log.line(99), "entry 99");
    ASSERT_EQ(log.entries().size(), 99u); // entry 0 has been blanked by the wrap
    EXPECT_EQ(log.entries().front(), "entry 1");

    log.Trace("entry %d", 100); // overwrites line 0
    EXPECT_EQ(log.line(0), "entry 100");
    EXPECT_EQ(log.index(), 1);
    EXPECT_EQ(log.line(1), std::string(79, ' '));
    EXPECT_EQ(log.entries().front(), "entry 2");
    EXPECT_EQ(log.entries().back(), "entry 100");
}

TEST(TraceLog, NumberedEntriesAndLongEntriesStayInTheirLine)
{
    TraceLog log;
    log.TraceNumbered(0, ">>PACKET COMMAND START --------");
    log.TraceNumbered(0xBEEF, "%s", std::string(200, 'y').c_str());
    log.Trace("%s", std::string(200, 'x').c_str());
    EXPECT_EQ(log.line(0), "0000:>>PACKET COMMAND START --------");
    EXPECT_EQ(log.line(1), "BEEF:" + std::string(74, 'y'));
    EXPECT_EQ(log.line(2), std::string(79, 'x'));
    EXPECT_EQ(log.line(3), std::string(79, ' ')); // the neighbour is untouched
}
