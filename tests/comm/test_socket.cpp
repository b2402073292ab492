// The connection against the simulated vendor and small loopback peers of the test's own,
// on real sockets; tests that would wait out a limit run the simulated vendor over the
// in-memory connection on the virtual clock (the time limits themselves: test_timelines).
// One real limit is waited for here, shortened.
#include "comm/socket.h"
#include "support/testutil.h"
#include "vendorsim/vendorsim.h"
#include "virtualvendor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace testutil;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const Bytes kReadClock = hex("01 01 01 00 00 01");

double secondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

struct SimConnection {
    explicit SimConnection(vendorsim::Faults faults = {})
    {
        sim = startSimulator(std::move(faults));
        EXPECT_TRUE(sim);
        sock.SetAddress("127.0.0.1", sim ? sim->port() : portWithNothingListening());
        EXPECT_TRUE(sock.OpenConnection());
    }
    ~SimConnection() { sock.CloseConnection(); }

    bool exchange(const Bytes &request, Bytes *replyOut = nullptr)
    {
        uint8_t reply[frame::BufferSize] = {};
        const bool ok = sock.Exchange(request.data(), request.size(), reply);
        if (replyOut)
            replyOut->assign(reply, reply + reply[frame::OfsLen] + 6);
        return ok;
    }

    std::unique_ptr<vendorsim::Simulator> sim;
    CSocketBase sock;
};

// The same against the simulated vendor over the in-memory connection.
struct VirtualConnection {
    explicit VirtualConnection(const vendorsim::Faults &faults = {}) : vendor(faults)
    {
        sock.SetBackend(vendor.net);
        EXPECT_TRUE(sock.OpenConnection());
    }
    ~VirtualConnection() { sock.CloseConnection(); }

    bool exchange(const Bytes &request, Bytes *replyOut = nullptr)
    {
        uint8_t reply[frame::BufferSize] = {};
        const bool ok = sock.Exchange(request.data(), request.size(), reply);
        if (replyOut)
            replyOut->assign(reply, reply + reply[frame::OfsLen] + 6);
        return ok;
    }

    VirtualVendor vendor;
    CSocketBase sock;
};

} // namespace

TEST(Connection, NothingListening)
{
    CSocketBase sock;
    EXPECT_TRUE(sock.CloseConnection()); // not connected: nothing to do
    sock.SetAddress("127.0.0.1", portWithNothingListening());
    EXPECT_FALSE(sock.OpenConnection());
    EXPECT_FALSE(sock.IsConnected());
    uint8_t reply[frame::BufferSize];
    EXPECT_FALSE(sock.Exchange(kReadClock.data(), kReadClock.size(), reply));
    EXPECT_TRUE(sock.CloseConnection());
}

TEST(Connection, ExchangeTracesAndAcceptsAValidReply)
{
    SimConnection c;
    Bytes reply;
    ASSERT_TRUE(c.exchange(kReadClock, &reply));
    EXPECT_EQ(reply.size(), 15u);
    EXPECT_EQ(reply[frame::OfsType], 0x90);
    const auto lines = traceLines(c.sock.Log());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "送信準備(受信タスクIDLE化)");
    EXPECT_EQ(lines[1], "送信開始(6byte)");
    EXPECT_EQ(lines.back(), "<<パケット確定");
}

TEST(Connection, ReplyInPiecesIsAssembled)
{
    vendorsim::Faults f;
    f.pieces = {3, 2};
    f.pieceGapMs = 300;
    SimConnection c(f);
    Bytes reply;
    EXPECT_TRUE(c.exchange(kReadClock, &reply));
    EXPECT_EQ(reply.size(), 15u);
}

TEST(Connection, TrailingBytesAfterTheReplyAreDropped)
{
    vendorsim::Faults f;
    f.trailing = 7;
    SimConnection c(f);
    Bytes reply;
    EXPECT_TRUE(c.exchange(kReadClock, &reply));
    EXPECT_EQ(reply.size(), 15u);
    EXPECT_TRUE(c.exchange(kReadClock, &reply)); // the next exchange is not disturbed
}

TEST(Connection, InvalidReplyFails)
{
    vendorsim::Faults f;
    f.badBcc = {1};
    VirtualConnection c(f);
    EXPECT_FALSE(c.exchange(kReadClock));
    EXPECT_TRUE(c.exchange(kReadClock)); // the connection stays usable
}

TEST(Connection, ReplyIsTakenFromItsSoh)
{
    // Junk before the frame, a false start (SOH then no TYPE) and a false start whose
    // LEN would swallow the real frame: the frame is found where its SOH is.
    vendorsim::Faults f;
    f.junkBefore = 8;
    SimConnection c(f);
    Bytes reply;
    ASSERT_TRUE(c.exchange(kReadClock, &reply));
    EXPECT_EQ(reply[0], frame::SOH);
    EXPECT_EQ(reply[frame::OfsType], frame::TypeReply);
    EXPECT_EQ(reply[frame::OfsLen], 9);

    Listener l;
    CSocketBase sock;
    sock.SetAddress("127.0.0.1", l.port);
    ASSERT_TRUE(sock.OpenConnection());
    const testutil::SocketHandle peer = l.accept();
    const Bytes real = withBcc(hex("01 90 03 00 09 02 50 41 42 43 20 20 20 03"));
    Bytes stream = hex("01 90 03 00 40 02"); // announces 64 bytes from STX on
    stream.insert(stream.end(), real.begin(), real.end());
    stream.resize(stream.size() + 60, 0x00); // enough for the false start to fail at its ETX
    std::thread answer([&] { // answers once the request is in
        uint8_t req[64];
        if (testutil::peerReceive(peer, req, sizeof req) > 0)
            testutil::peerSend(peer, stream.data(), stream.size());
    });
    uint8_t buf[frame::BufferSize] = {};
    EXPECT_TRUE(sock.Exchange(hex("01 01 03 00 00 03").data(), 6, buf));
    answer.join();
    EXPECT_EQ(Bytes(buf, buf + real.size()), real);
    sock.CloseConnection();
    testutil::peerClose(peer);
}

TEST(Connection, PeerClosingMidReplyFailsAtOnce)
{
    vendorsim::Faults f;
    f.closeMidReply = {1};
    SimConnection c(f);
    const auto t0 = Clock::now();
    EXPECT_FALSE(c.exchange(kReadClock));
    EXPECT_LT(secondsSince(t0), 1.0); // not after the 5 s reply limit
    EXPECT_EQ(traceLines(c.sock.Log()).back(), "!! 受信中に切断されました(7byte受信済)");
    EXPECT_FALSE(c.exchange(kReadClock));
}

TEST(Connection, LateReplyIsDroppedBeforeTheNextRequest)
{
    vendorsim::Faults f;
    f.delayMs = 1300;
    f.delayOn = {1};
    VirtualConnection c(f);
    EXPECT_FALSE(c.exchange(kReadClock)); // given up after 1 s
    EXPECT_EQ(c.vendor.nowMs(), 1000);
    c.vendor.net.VirtualClock().AdvanceMs(600); // the late reply arrives meanwhile
    const Bytes readNumber = hex("01 01 03 00 00 03");
    Bytes reply;
    ASSERT_TRUE(c.exchange(readNumber, &reply));
    EXPECT_EQ(reply[frame::OfsCmd], 0x03); // the answer to this request, not the late one
    const auto lines = traceLines(c.sock.Log());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "  残留データ破棄(15byte)"), lines.end());
}

TEST(Connection, ConnectGivesUpAtTheLimit)
{
    // A listener whose queue is full drops further connection requests, so the connect
    // waits; a shortened limit keeps the test quick (the production limit: test_timelines).
    Listener full(0);
    ASSERT_TRUE(full.ok);
    full.fillQueue();
    CSocketBase sock;
    sock.SetAddress("127.0.0.1", full.port);
    sock.SetConnectSendLimit(400);
    const auto t0 = Clock::now();
    EXPECT_FALSE(sock.OpenConnection());
    const double s = secondsSince(t0);
    EXPECT_GE(s, 0.4);
    EXPECT_LT(s, 2.0);
    EXPECT_FALSE(sock.IsConnected());
}
