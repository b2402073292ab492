// The connection and its time limits, against the simulated vendor and small loopback
// peers of the test's own. Some tests wait for a real limit (1 s, 6 s, 10 s): they are the
// only ones that do.
#include "comm/socket.h"
#include "support/testutil.h"
#include "vendorsim/vendorsim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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
    SimConnection c(f);
    EXPECT_FALSE(c.exchange(kReadClock));
    EXPECT_TRUE(c.exchange(kReadClock)); // the connection stays usable
}

TEST(Connection, NoAnswerFailsAfterOneSecond)
{
    vendorsim::Faults f;
    f.noReply = {1};
    SimConnection c(f);
    const auto t0 = Clock::now();
    EXPECT_FALSE(c.exchange(kReadClock));
    const double s = secondsSince(t0);
    EXPECT_GE(s, 0.9);
    EXPECT_LT(s, 3.0);
}

TEST(Connection, WholeReplyLimit)
{
    // The 15-byte clock reply in single bytes 930 ms apart: every gap is under the 1 s
    // limit of a wait, so only the limit of the whole reply (5 to 6 s after the send) can
    // decide. Five pieces end after 4.7 s and are in time; seven end after 6.5 s and are
    // rejected by 6 s, however late the wait that runs past the limit began.
    struct Case {
        size_t pieces;
        bool accepted;
        double lastByteS;
    } cases[] = {{5, true, 4.65}, {7, false, 6.51}};
    for (const Case &c : cases) {
        vendorsim::Faults f;
        f.pieces.assign(c.pieces, 1);
        f.pieceGapMs = 930;
        SimConnection conn(f);
        const auto t0 = Clock::now();
        EXPECT_EQ(conn.exchange(kReadClock), c.accepted) << c.pieces << " pieces";
        const double s = secondsSince(t0);
        if (c.accepted) {
            EXPECT_GE(s, c.lastByteS - 0.1);
        } else {
            EXPECT_GE(s, 4.9);
            EXPECT_LE(s, 6.1) << "a wait ran past the whole-reply limit";
        }
    }
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
    const int peer = ::accept(l.fd, nullptr, nullptr);
    const Bytes real = withBcc(hex("01 90 03 00 09 02 50 41 42 43 20 20 20 03"));
    Bytes stream = hex("01 90 03 00 40 02"); // announces 64 bytes from STX on
    stream.insert(stream.end(), real.begin(), real.end());
    stream.resize(stream.size() + 60, 0x00); // enough for the false start to fail at its ETX
    std::thread answer([&] { // answers once the request is in
        uint8_t req[64];
        if (::recv(peer, req, sizeof req, 0) > 0)
            ::send(peer, stream.data(), stream.size(), MSG_NOSIGNAL);
    });
    uint8_t buf[frame::BufferSize] = {};
    EXPECT_TRUE(sock.Exchange(hex("01 01 03 00 00 03").data(), 6, buf));
    answer.join();
    EXPECT_EQ(Bytes(buf, buf + real.size()), real);
    sock.CloseConnection();
    ::close(peer);
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
    SimConnection c(f);
    EXPECT_FALSE(c.exchange(kReadClock)); // given up after 1 s
    std::this_thread::sleep_for(600ms);  // the late reply arrives meanwhile
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
    // waits; a shortened limit keeps the test quick (the production limit is tested below).
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

TEST(Connection, TenSecondsAfterOpeningOnlySendsThatMustWaitFail)
{
    ASSERT_EQ(kConnectSendLimitMs, 10000u);
    // The peer answers one request, then stops reading.
    Listener l;
    std::atomic<bool> done{false};
    std::thread peer([&] {
        const int fd = ::accept(l.fd, nullptr, nullptr);
        uint8_t req[6];
        size_t got = 0;
        while (got < sizeof req) {
            const ssize_t r = ::recv(fd, req + got, sizeof req - got, 0);
            if (r <= 0)
                break;
            got += size_t(r);
        }
        const Bytes reply = hex("01 90 01 00 00 90");
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        while (!done)
            std::this_thread::sleep_for(20ms);
        ::close(fd);
    });

    CSocketBase sock;
    sock.SetAddress("127.0.0.1", l.port);
    const auto opened = Clock::now();
    ASSERT_TRUE(sock.OpenConnection());
    std::this_thread::sleep_until(opened + 10200ms);

    uint8_t reply[frame::BufferSize];
    EXPECT_TRUE(sock.Exchange(kReadClock.data(), kReadClock.size(), reply)); // sent at once

    // More than the socket buffers hold: the send has to wait, and gives up at once.
    const std::vector<uint8_t> big(16 << 20, 0x55);
    const auto t0 = Clock::now();
    EXPECT_FALSE(sock.Socket()->Send(big.data(), big.size()));
    EXPECT_LT(secondsSince(t0), 2.0);

    done = true;
    sock.CloseConnection();
    peer.join();
}
