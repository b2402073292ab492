// The time limits, on the virtual clock: each row is a timeline of what the vendor does
// and when, the outcome the tool comes to, the virtual moment it comes to it, and the
// request frames the vendor saw ("connection@ms bytes"). The limits: 1 s per wait for reply
// bytes; the whole reply in before the calendar second of the send plus 5 has passed (5 to
// 6 s); 10 s for the connect and for sends that must wait, counted from the opening; 1 s
// for a connect made again inside an attempt; three attempts, each after a failure on a
// fresh connection.
#include "comm/socket.h"
#include "comm/vender.h"
#include "support/testutil.h"
#include "virtualvendor.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace testutil;

namespace {

const Bytes kReadClock = hex("01 01 01 00 00 01");
const char *const kRead = " 01 01 01 00 00 01";

std::string frameAt(int connection, int64_t ms, const char *bytes = kRead)
{
    return std::to_string(connection) + "@" + std::to_string(ms) + bytes;
}

std::set<int> every()
{
    std::set<int> s;
    for (int i = 1; i <= 100; ++i)
        s.insert(i);
    return s;
}

// Faults for a row, written as changes to the healthy vendor.
vendorsim::Faults with(const std::function<void(vendorsim::Faults &)> &change)
{
    vendorsim::Faults f;
    change(f);
    return f;
}

vendorsim::Faults trickle(size_t singleBytes, int gapMs = 930)
{
    return with([=](vendorsim::Faults &f) {
        f.pieces.assign(singleBytes, 1);
        f.pieceGapMs = gapMs;
    });
}

// What the connects get: the first, and every later one.
struct Connects {
    CConnectAnswer first{};
    CConnectAnswer later{};
};

CVirtualClock::Duration startingInto(int64_t msIntoSecond)
{
    return CVirtualClock::kDefaultCalendarStart + std::chrono::milliseconds(msIntoSecond);
}

} // namespace

TEST(Timelines, ConnectionOpenAndOneExchange)
{
    using A = CConnectAnswer;
    struct Row {
        const char *what;
        vendorsim::Faults faults;
        CConnectAnswer connect;
        int64_t intoSecondMs; // of the calendar clock at the start
        bool opened;
        bool exchanged;
        int64_t endMs;
        std::vector<std::string> frames;
    } rows[] = {
        {"reply at once", {}, {}, 0, true, true, 0, {frameAt(1, 0)}},
        {"reply 999 ms after the request",
         with([](auto &f) { f.delayMs = 999; }),
         {},
         0,
         true,
         true,
         999,
         {frameAt(1, 0)}},
        {"no answer fails after one wait of 1 s",
         with([](auto &f) { f.noReply = {1}; }),
         {},
         0,
         true,
         false,
         1000,
         {frameAt(1, 0)}},
        {"reply 1001 ms after: the wait is over first",
         with([](auto &f) { f.delayMs = 1001; }),
         {},
         0,
         true,
         false,
         1000,
         {frameAt(1, 0)}},
        // Single bytes 930 ms apart: every gap is under a wait, so only the whole reply's
        // deadline can decide.
        {"bytes 930 ms apart, the rest at 4.65 s: in time", trickle(5), {}, 0, true, true, 4650, {frameAt(1, 0)}},
        {"bytes 930 ms apart, the rest at 6.51 s: given up 6 s after a send on a whole second",
         trickle(7),
         {},
         0,
         true,
         false,
         6000,
         {frameAt(1, 0)}},
        {"the same, sent 0.999 s into its second: given up 5.001 s after",
         trickle(7),
         {},
         999,
         true,
         false,
         5001,
         {frameAt(1, 0)}},
        {"the rest at 5.58 s, sent on a whole second: in time",
         trickle(6),
         {},
         0,
         true,
         true,
         5580,
         {frameAt(1, 0)}},
        {"the rest at 5.58 s, sent 0.5 s into its second: too late at 5.5 s",
         trickle(6),
         {},
         500,
         true,
         false,
         5500,
         {frameAt(1, 0)}},
        {"the vendor closes mid-reply: failed at once",
         with([](auto &f) { f.closeMidReply = {1}; }),
         {},
         0,
         true,
         false,
         0,
         {frameAt(1, 0)}},
        {"connect completes after 9.999 s", {}, {A::Accept, 9999}, 0, true, true, 9999, {frameAt(1, 9999)}},
        {"connect would complete after 10.5 s: given up at the 10 s limit",
         {},
         {A::Accept, 10500},
         0,
         false,
         false,
         10001,
         {}},
        {"connect never completes: given up at the 10 s limit", {}, {A::Hang}, 0, false, false, 10001, {}},
        {"connect refused: failed at once", {}, {A::Refuse}, 0, false, false, 0, {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        VirtualVendor vendor(row.faults, {}, startingInto(row.intoSecondMs));
        vendor.connects = [&](int) { return row.connect; };
        CSocketBase sock;
        sock.SetBackend(vendor.net);
        EXPECT_EQ(sock.OpenConnection(), row.opened);
        uint8_t reply[frame::BufferSize] = {};
        EXPECT_EQ(sock.Exchange(kReadClock.data(), kReadClock.size(), reply), row.exchanged);
        EXPECT_EQ(vendor.nowMs(), row.endMs);
        EXPECT_EQ(vendor.framesSeen(), row.frames);
        sock.CloseConnection();
    }
}

TEST(Timelines, VendorClockRead)
{
    using A = CConnectAnswer;
    // The requests for the second and third reply block of a clock read in blocks of two.
    const char *const more1 = " 01 01 01 00 03 02 01 03 02";
    const char *const more2 = " 01 01 01 00 03 02 02 03 01";
    struct Row {
        const char *what;
        vendorsim::Faults faults;
        Connects connects;
        bool ok;
        int64_t endMs;
        std::vector<std::string> frames;
    } rows[] = {
        {"healthy vendor", {}, {}, true, 0, {frameAt(1, 0)}},
        {"no reply ever: three attempts of one wait, each on a fresh connection",
         with([](auto &f) { f.noReply = every(); }),
         {},
         false,
         3000,
         {frameAt(1, 0), frameAt(2, 1000), frameAt(3, 2000)}},
        {"no reply to the first two: the third attempt succeeds",
         with([](auto &f) {
             f.noReply = {1, 2};
         }),
         {},
         true,
         2000,
         {frameAt(1, 0), frameAt(2, 1000), frameAt(3, 2000)}},
        {"the vendor vanishes: no reply, and connects hang; each reconnect costs 1 s",
         with([](auto &f) { f.noReply = every(); }),
         {{}, {A::Hang}},
         false,
         3002,
         {frameAt(1, 0)}},
        {"reconnect completes after 999 ms",
         with([](auto &f) { f.noReply = {1}; }),
         {{}, {A::Accept, 999}},
         true,
         1999,
         {frameAt(1, 0), frameAt(2, 1999)}},
        {"reconnects would complete after 1.5 s: past the limit inside an attempt",
         with([](auto &f) { f.noReply = {1}; }),
         {{}, {A::Accept, 1500}},
         false,
         3002,
         {frameAt(1, 0)}},
        {"reconnect refused",
         with([](auto &f) { f.noReply = {1}; }),
         {{}, {A::Refuse}},
         false,
         1000,
         {frameAt(1, 0)}},
        {"every reply trickles past the whole-reply limit: 6 s an attempt",
         with([](auto &f) {
             f.junkBefore = 8;
             f.pieces.assign(10, 1);
             f.pieceGapMs = 930;
         }),
         {},
         false,
         18000,
         {frameAt(1, 0), frameAt(2, 6000), frameAt(3, 12000)}},
        {"the second reply block comes late: the next attempt starts over on a fresh connection",
         with([](auto &f) {
             f.splitReply = 2;
             f.delayMs = 1100;
             f.delayOn = {2};
         }),
         {},
         true,
         1000,
         {frameAt(1, 0), frameAt(1, 0, more1), frameAt(2, 1000), frameAt(2, 1000, more1),
          frameAt(2, 1000, more2)}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        VirtualVendor vendor(row.faults);
        vendor.connects = [&](int n) { return n == 1 ? row.connects.first : row.connects.later; };
        COrvathVender vender;
        vender.SetBackend(vendor.net);
        ASSERT_TRUE(vender.OpenSession(1));
        DeviceDateTime t{};
        EXPECT_EQ(vender.ReadClock(t), row.ok);
        EXPECT_EQ(vendor.nowMs(), row.endMs);
        EXPECT_EQ(vendor.framesSeen(), row.frames);
        vender.CloseSession();
    }
}

// Ten seconds after the opening, a send that goes out at once still succeeds; one that has
// to wait (the vendor has stopped reading) fails at once. Before then it waits until the
// ten seconds are over. A connect made under the shorter limit of a reconnect leaves its
// sends the ten seconds, counted from when it was made.
TEST(Timelines, SendsThatMustWaitAreHeldToTheLimitFromTheOpening)
{
    ASSERT_EQ(kConnectSendLimitMs, 10000u);
    struct Row {
        uint32_t connectLimitMs;
        int64_t connectTakesMs;
        int64_t sendAtMs;
        int64_t failedAtMs;
    } rows[] = {
        {kConnectSendLimitMs, 0, 3000, 10001},
        {kConnectSendLimitMs, 0, 10200, 10200},
        {kReconnectLimitMs, 500, 3000, 10501},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "connect limit " << row.connectLimitMs << ", send at " << row.sendAtMs);
        // The vendor answers one request, then reads no more than its buffers hold.
        CMemoryNet net({[&](CMemoryLink &) {
                            return CConnectAnswer{CConnectAnswer::Accept, row.connectTakesMs};
                        },
                        [](CMemoryLink &link, const uint8_t *, size_t) {
                            link.Deliver(link.NowMs(), hex("01 90 01 00 00 90"));
                            link.StopReading(64 * 1024);
                        }});
        CSocketBase sock;
        sock.SetBackend(net);
        ASSERT_TRUE(sock.OpenConnection(row.connectLimitMs));
        net.VirtualClock().AdvanceTo(std::chrono::milliseconds(row.sendAtMs));
        uint8_t reply[frame::BufferSize];
        EXPECT_TRUE(sock.Exchange(kReadClock.data(), kReadClock.size(), reply)); // sent at once
        EXPECT_EQ(net.VirtualClock().NowMs(), row.sendAtMs);

        const std::vector<uint8_t> big(1 << 20, 0x55);
        EXPECT_FALSE(sock.Transport()->Send(big.data(), big.size()));
        EXPECT_EQ(net.VirtualClock().NowMs(), row.failedAtMs);
        sock.CloseConnection();
    }
}
