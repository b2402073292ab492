// Vendor operations and the logo transfer against the simulated vendor on loopback. Tests
// whose vendor makes the tool wait out a limit (VendorOnVirtualClock) run the simulated
// vendor over the in-memory connection on the virtual clock instead.
#include "comm/vender.h"
#include "support/testutil.h"
#include "vendorsim/vendorsim.h"
#include "virtualvendor.h"

#include <gtest/gtest.h>

#ifdef QT_GUI_LIB
#include <QImage>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

using namespace testutil;
namespace fs = std::filesystem;

namespace {

class Vendor : public ::testing::Test {
protected:
    void SetUp() override
    {
        vender.SetMessageSink([this](const std::string &text, VenderMessageIcon icon) {
            messages.push_back(utf8(text));
            icons.push_back(icon);
        });
    }
    void TearDown() override
    {
        vender.CloseSession();
        if (!dir.empty())
            fs::remove_all(dir);
    }

    void start(vendorsim::Faults faults = {}, bool keepFiles = false)
    {
        if (onVirtualClock) {
            virtualVendor = std::make_unique<VirtualVendor>(faults, keepFiles ? tempDir() : std::string());
            vender.SetBackend(virtualVendor->net);
            sim = &virtualVendor->sim;
        } else {
            realSim = startSimulator(std::move(faults), keepFiles ? tempDir() : std::string());
            ASSERT_TRUE(realSim);
            vender.SetAddress("127.0.0.1", realSim->port());
            sim = realSim.get();
        }
        ASSERT_TRUE(vender.OpenSession(1));
    }

    std::string tempDir()
    {
        if (dir.empty()) {
            dir = fs::temp_directory_path() /
                ("quorvel-comm-" + testsys::processId() + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
            fs::create_directories(dir);
        }
        return dir.string();
    }

    std::string writeFile(const std::string &name, const Bytes &bytes)
    {
        std::string path = tempDir() + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }

    // Request frame i as the simulator received it.
    Bytes request(size_t i) const { return sim->requests().at(i); }

    bool onVirtualClock = false;
    std::unique_ptr<vendorsim::Simulator> realSim;
    std::unique_ptr<VirtualVendor> virtualVendor;
    vendorsim::Simulator *sim = nullptr;
    COrvathVender vender;
    std::vector<std::string> messages;
    std::vector<VenderMessageIcon> icons;
    fs::path dir;
};

class VendorOnVirtualClock : public Vendor {
protected:
    VendorOnVirtualClock() { onVirtualClock = true; }
};

} // namespace

TEST_F(Vendor, RequestBytesOfEachOperation)
{
    start();
    DeviceDateTime t{};
    ASSERT_TRUE(vender.ReadClock(t));
    ASSERT_TRUE(vender.SetClock({9, 1, 5, 0, 7, 30}));
    char number[7];
    ASSERT_TRUE(vender.ReadDeviceNumber(number));
    ASSERT_TRUE(vender.SetDeviceNumber("ABC"));
    ASSERT_TRUE(vender.SetDeviceNumber(""));
    ASSERT_TRUE(vender.SetDeviceNumber("123456789"));
    const uint8_t one = 1;
    ASSERT_TRUE(vender.SetMfpParameter(MfpParamKind::ScanCharging, &one));
    uint8_t paper[110];
    ASSERT_TRUE(vender.GetMfpParameter(MfpParamKind::Paper, paper));

    EXPECT_EQ(request(0), hex("01 01 01 00 00 01"));
    EXPECT_EQ(dataOf(request(1)), hex("09 01 05 00 07 30"));
    EXPECT_EQ(request(2), hex("01 01 03 00 00 03"));
    EXPECT_EQ(request(3), hex("01 01 04 00 09 02 50 41 42 43 20 20 20 03 3C"));
    EXPECT_EQ(dataOf(request(4)), hex("20 20 20 20 20 20"));
    EXPECT_EQ(dataOf(request(5)), hex("31 32 33 34 35 36"));
    EXPECT_EQ(dataOf(request(6)), hex("00 02 01"));
    EXPECT_EQ(dataOf(request(7)), hex("00 00"));
    EXPECT_EQ(sim->deviceNumber(), "123456");
    EXPECT_EQ(sim->mfpParameters()[111], 1);
}

TEST_F(Vendor, ClockAndDeviceNumberRoundTrip)
{
    start();
    ASSERT_TRUE(vender.SetClock({25, 12, 31, 23, 59, 58}));
    DeviceDateTime t{};
    ASSERT_TRUE(vender.ReadClock(t));
    EXPECT_EQ(t.year, 25);
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.day, 31);
    EXPECT_EQ(t.hour, 23);
    EXPECT_EQ(t.minute, 59);
    EXPECT_TRUE(t.second == 58 || t.second == 59) << int(t.second);

    ASSERT_TRUE(vender.SetDeviceNumber("Q-7"));
    char number[7] = "xxxxxx";
    ASSERT_TRUE(vender.ReadDeviceNumber(number));
    EXPECT_STREQ(number, "Q-7   ");
}

TEST_F(Vendor, MfpBlocks)
{
    start();
    std::array<uint8_t, 112> set{};
    for (size_t i = 0; i < set.size(); ++i)
        set[i] = uint8_t(i * 7);
    set[110] = 5;
    sim->setMfpParameters(set);

    uint8_t paper[110] = {};
    ASSERT_TRUE(vender.GetMfpParameter(MfpParamKind::Paper, paper));
    EXPECT_TRUE(std::equal(paper, paper + 110, set.begin()));
    uint8_t fax = 0;
    ASSERT_TRUE(vender.GetMfpParameter(MfpParamKind::FaxLine2, &fax));
    EXPECT_EQ(fax, 5); // reply data 00 01 05

    paper[3] = 0xEE;
    ASSERT_TRUE(vender.SetMfpParameter(MfpParamKind::Paper, paper));
    EXPECT_EQ(dataOf(sim->requests().back()).size(), 112u);
    EXPECT_EQ(sim->mfpParameters()[3], 0xEE);

    const int before = sim->exchanges();
    EXPECT_FALSE(vender.SetMfpParameter(MfpParamKind(3), paper));
    EXPECT_EQ(sim->exchanges(), before); // nothing sent
}

TEST_F(Vendor, ShortMfpReplyFailsAndLeavesTheBlockAlone)
{
    vendorsim::Faults f;
    f.truncateReply = 50; // 2 kind bytes and 48 of the 110
    start(f);
    uint8_t paper[110];
    std::fill(std::begin(paper), std::end(paper), 0xAB);
    EXPECT_FALSE(vender.GetMfpParameter(MfpParamKind::Paper, paper));
    EXPECT_TRUE(std::all_of(std::begin(paper), std::end(paper), [](uint8_t b) { return b == 0xAB; }));
}

TEST_F(Vendor, ReplyInSeveralBlocksIsCollected)
{
    vendorsim::Faults f;
    f.splitReply = 2; // 6 clock bytes in blocks of 2: flags 30, 20, 40
    start(f);
    ASSERT_TRUE(vender.SetClock({24, 2, 29, 12, 34, 56}));
    DeviceDateTime t{};
    ASSERT_TRUE(vender.ReadClock(t));
    EXPECT_EQ(t.year, 24);
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.minute, 34);
    EXPECT_EQ(vender.ReplyDataCount(), 6u);
    const auto req = sim->requests();
    ASSERT_EQ(req.size(), 4u);
    EXPECT_EQ(req[1], hex("01 01 01 00 00 01"));
    EXPECT_EQ(req[2], withBcc(hex("01 01 01 00 03 02 01 03")));
    EXPECT_EQ(req[3], withBcc(hex("01 01 01 00 03 02 02 03")));
}

TEST_F(Vendor, NonZeroStatusEndsTheCommandAtOnce)
{
    vendorsim::Faults f;
    f.status = 1;
    start(f);
    DeviceDateTime t{};
    EXPECT_FALSE(vender.ReadClock(t));
    EXPECT_EQ(sim->exchanges(), 1);
}

TEST_F(VendorOnVirtualClock, ThirdAttemptSucceedsFromSequenceZero)
{
    vendorsim::Faults f;
    f.noReply = {1, 2};
    start(f);
    ASSERT_TRUE(vender.SetClock({30, 6, 15, 8, 0, 0}));
    const auto req = sim->requests();
    ASSERT_EQ(req.size(), 3u);
    EXPECT_EQ(req[0], req[2]);
    EXPECT_EQ(req[2][6], 0x50); // first and last block, sequence 0
}

TEST_F(VendorOnVirtualClock, RetryAfterAnInterruptedReplyStartsAfresh)
{
    // The second reply block is garbled in every attempt, so the read fails while the
    // vendor has said "more follows". The next command must still be sent as a command of
    // its own, not as a request for more.
    vendorsim::Faults f;
    f.splitReply = 2;
    f.badBcc = {2, 4, 6};
    start(f);
    DeviceDateTime t{};
    EXPECT_FALSE(vender.ReadClock(t));
    const auto req = sim->requests();
    ASSERT_EQ(req.size(), 6u);
    EXPECT_EQ(req[2], hex("01 01 01 00 00 01")); // attempt 2 starts over from the first block

    ASSERT_TRUE(vender.SetClock({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(sim->exchanges(), 7);
    EXPECT_EQ(request(6)[6], 0x50);
    ASSERT_TRUE(vender.ReadClock(t));
    EXPECT_EQ(vender.ReplyDataCount(), 6u);
}

TEST_F(Vendor, ReplyDataBeyondTheAreaFailTheCommand)
{
    vendorsim::Faults f;
    f.padReply = 7000; // 7006 bytes in 28 blocks
    start(f);
    DeviceDateTime t{};
    EXPECT_FALSE(vender.ReadClock(t));
    EXPECT_EQ(sim->exchanges(), 28); // no further attempt
    EXPECT_EQ(traceLines(vender.Trace()).back(), "!! 受信データ領域超過(6804+202>7000)");
}

TEST_F(Vendor, NoConnection)
{
    vender.SetAddress("127.0.0.1", portWithNothingListening());
    EXPECT_FALSE(vender.OpenSession(1));
    DeviceDateTime t{};
    EXPECT_FALSE(vender.ReadClock(t));
    EXPECT_FALSE(vender.CloseSession());
}

// ---------------------------------------------------------------------------------------
// Logo transfer

TEST_F(Vendor, LogoGoesOutIn25BlocksAndArrivesWhole)
{
    start({}, true);
    const Bytes file = sampleWorkFile();
    ASSERT_TRUE(vender.SendLogo(1, writeFile("shoplogo.imp", file)));
    EXPECT_TRUE(messages.empty());

    const auto req = sim->requests();
    ASSERT_EQ(req.size(), 25u);
    Bytes sent;
    for (size_t i = 0; i < req.size(); ++i) {
        const uint8_t flags = i == 0 ? 0x30 : i == 24 ? 0x40 : 0x20;
        EXPECT_EQ(req[i][6], flags | (i % 16)) << "block " << i;
        EXPECT_EQ(dataOf(req[i]).size(), i == 24 ? 105u : 252u) << "block " << i;
        const Bytes d = dataOf(req[i]);
        sent.insert(sent.end(), d.begin(), d.end());
    }
    ASSERT_EQ(sent.size(), 6153u);
    EXPECT_EQ(sent[0], 0x00);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), sent.begin() + 1));
    EXPECT_EQ(sim->receivedLogo(), file);

    // The simulator's picture of the printed logo: black dots on white.
    std::ifstream imp(dir / "received-logo.imp", std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(imp), {}), file);
    std::ifstream pngFile(dir / "received-logo.png", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(pngFile), {}).substr(0, 8), "\x89PNG\r\n\x1A\n");
#ifdef QT_GUI_LIB // read back by another PNG reader
    QImage png((dir / "received-logo.png").c_str());
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), QSize(384, 128));
    EXPECT_EQ(qGray(png.pixel(0, 0)), 0);
    EXPECT_EQ(qGray(png.pixel(1, 0)), 255);
    EXPECT_EQ(qGray(png.pixel(383, 127)), 0);
    EXPECT_EQ(qGray(png.pixel(105, 35)), 0);
    EXPECT_EQ(qGray(png.pixel(105, 40)), 255);
#endif
}

TEST_F(Vendor, LogoFileIsReadAsBytesNotAsText)
{
    // A text-mode read would stop at the first 0x1A and turn each CR LF into LF.
    start({}, true);
    Bytes file = sampleWorkFile();
    const uint8_t awkward[] = {0x1A, 0x0D, 0x0A, 0x0A, 0x0D};
    for (size_t i = 5; i < 6149; ++i)
        file[i] = awkward[i % sizeof awkward];
    ASSERT_TRUE(vender.SendLogo(1, writeFile("shoplogo.imp", file)));
    EXPECT_EQ(sim->receivedLogo(), file);
    std::ifstream imp(dir / "received-logo.imp", std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(imp), {}), file);
}

TEST_F(Vendor, LogoFileSizes)
{
    start();
    // An empty file: one block holding the single leading zero byte. The vendor refuses
    // a logo that is no work file.
    EXPECT_FALSE(vender.SendLogo(1, writeFile("empty.imp", {})));
    ASSERT_EQ(sim->requests().size(), 1u);
    EXPECT_EQ(request(0), withBcc(hex("01 01 15 00 04 02 50 00 03")));

    // 7997 bytes: 7998 bytes of command data in 32 blocks, the last of 186.
    EXPECT_FALSE(vender.SendLogo(1, writeFile("big.imp", Bytes(7997, 0x11))));
    const auto req = sim->requests();
    ASSERT_EQ(req.size(), 33u);
    EXPECT_EQ(req[1][6], 0x30);
    EXPECT_EQ(req[32][6], 0x40 | (31 % 16));
    EXPECT_EQ(dataOf(req[32]).size(), 186u);

    // 7998 bytes: refused, nothing sent.
    EXPECT_FALSE(vender.SendLogo(1, writeFile("toobig.imp", Bytes(7998, 0x11))));
    EXPECT_EQ(sim->exchanges(), 33);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "データファイルサイズが異常です");
    EXPECT_EQ(icons[0], VenderMessageIcon::Stop);
}

TEST_F(Vendor, LogoFileMissingOrPrinterTypeUnknown)
{
    start();
    EXPECT_FALSE(vender.SendLogo(1, tempDir() + "/no-such.imp"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "ロゴデータファイルが読み込めません");
    EXPECT_EQ(icons[0], VenderMessageIcon::Stop);

    EXPECT_FALSE(vender.SendLogo(2, writeFile("shoplogo.imp", sampleWorkFile())));
    EXPECT_EQ(messages.size(), 1u); // no message for this one
    EXPECT_EQ(sim->exchanges(), 0);

    // Not a regular file: refused at once, never waited on or read without end.
    const std::string fifo = tempDir() + "/fifo.imp";
    std::vector<std::string> notFiles = {tempDir(), testsys::endlessDevice()};
    if (testsys::makeFifo(fifo))
        notFiles.push_back(fifo);
    for (const std::string &path : notFiles) {
        EXPECT_FALSE(vender.SendLogo(1, path)) << path;
        EXPECT_EQ(messages.back(), "ロゴデータファイルが読み込めません") << path;
    }
    EXPECT_EQ(sim->exchanges(), 0);
}

TEST_F(VendorOnVirtualClock, LogoRestartsFromTheFirstBlockAfterAFailedExchange)
{
    vendorsim::Faults f;
    f.noReply = {5};
    start(f);
    std::vector<VenderProgress> progress;
    vender.SetProgressSink([&](const VenderProgress &p) { progress.push_back(p); });
    const Bytes file = sampleWorkFile();
    ASSERT_TRUE(vender.SendLogo(1, writeFile("shoplogo.imp", file)));
    const auto req = sim->requests();
    ASSERT_EQ(req.size(), 30u);
    EXPECT_EQ(req[5], req[0]); // block 1 again, sequence 0
    EXPECT_EQ(req[5][6], 0x30);
    EXPECT_EQ(sim->receivedLogo(), file);

    // The progress counts accepted blocks of 25 in each attempt: 0-4 in the first (block 5
    // went unanswered), 0-25 in the second.
    std::vector<std::pair<int, size_t>> seen;
    for (const VenderProgress &p : progress) {
        EXPECT_EQ(p.blocksTotal, 25u);
        seen.emplace_back(p.attempt, p.blocksDone);
    }
    std::vector<std::pair<int, size_t>> expected;
    for (size_t b = 0; b <= 4; ++b)
        expected.emplace_back(1, b);
    for (size_t b = 0; b <= 25; ++b)
        expected.emplace_back(2, b);
    EXPECT_EQ(seen, expected);
}

// ---------------------------------------------------------------------------------------
// Replies that are not what they seem

TEST_F(VendorOnVirtualClock, LateReplyNeverAnswersALaterRequest)
{
    // The clock comes in blocks of two bytes; the second block is 100 ms too late, so the
    // attempt is given up just before it arrives, right after the next attempt's request
    // went out. Then a clock read that fails whole, followed at once by a number read.
    struct Case {
        const char *what;
        size_t split;
        std::set<int> delayOn;
    } cases[] = {
        {"late follow-up block", 2, {2}},
        {"late single reply", 0, {1}},
    };
    for (const Case &c : cases) {
        vendorsim::Faults f;
        f.splitReply = c.split;
        f.delayMs = 1100;
        f.delayOn = c.delayOn;
        start(f);
        sim->setClockOffset(-400LL * 24 * 3600); // a date whose day and hour differ from year and month
        DeviceDateTime t{};
        ASSERT_TRUE(vender.ReadClock(t)) << c.what;
        const std::time_t expected = std::time(nullptr) - 400LL * 24 * 3600;
        EXPECT_LE(std::abs(double(asTime(t) - expected)), 3.0)
            << c.what << ": read " << int(t.year) << "/" << int(t.month) << "/" << int(t.day) << " " << int(t.hour)
            << ":" << int(t.minute);
        vender.CloseSession();
    }

    vendorsim::Faults f;
    f.delayMs = 1050;
    f.delayOn = {1, 2, 3};
    start(f);
    DeviceDateTime t{};
    EXPECT_FALSE(vender.ReadClock(t));
    char number[kDeviceNumberLength + 1] = "xxxxxx";
    ASSERT_TRUE(vender.ReadDeviceNumber(number));
    EXPECT_STREQ(number, "      ");
}

TEST_F(Vendor, ForeignShortOrEndlessRepliesAreFailures)
{
    // Each of these must end in a failure, soon, never in a success.
    struct Case {
        const char *what;
        vendorsim::Faults faults;
    };
    std::vector<Case> cases;
    auto add = [&](const char *what, auto change) {
        vendorsim::Faults f;
        change(f);
        cases.push_back({what, f});
    };
    const std::set<int> all = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    add("request echoed", [&](vendorsim::Faults &f) { f.echo = all; });
    add("another command's reply", [&](vendorsim::Faults &f) { f.badCmd = all; });
    add("reply shorter than the value", [](vendorsim::Faults &f) { f.truncateReply = 5; });
    add("acknowledgement where data were due", [&](vendorsim::Faults &f) { f.ackOnly = all; });
    add("acknowledgement after 'more follows'", [](vendorsim::Faults &f) {
        f.splitReply = 2;
        f.ackOnly = {2, 4};
    });
    for (const Case &c : cases) {
        start(c.faults);
        const auto t0 = std::chrono::steady_clock::now();
        DeviceDateTime t{};
        EXPECT_FALSE(vender.ReadClock(t)) << c.what;
        char number[kDeviceNumberLength + 1] = {};
        EXPECT_FALSE(vender.ReadDeviceNumber(number)) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(8)) << c.what;
        EXPECT_LE(sim->exchanges(), 10) << c.what;
        vender.CloseSession();
    }

    // An echoing peer does not accept a logo.
    vendorsim::Faults echo;
    echo.echo = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    start(echo);
    EXPECT_FALSE(vender.SendLogo(1, writeFile("shoplogo.imp", sampleWorkFile())));
    EXPECT_EQ(sim->logosReceived(), 0);
}

TEST_F(Vendor, MoreFollowsWithoutDataEndsTheAttempt)
{
    // A peer that answers every request with "more follows" and no data would be asked
    // for more for ever.
    const testutil::Listener listener(8);
    ASSERT_TRUE(listener.ok);
    std::atomic<int> requests{0};
    std::atomic<bool> done{false};
    std::thread peer([&] {
        const Bytes more = withBcc(hex("01 90 01 00 03 02 20 03"));
        while (!done) {
            const testutil::SocketHandle fd = listener.accept(50);
            if (fd == testutil::kNoSocket)
                continue;
            uint8_t buf[512];
            while (!done && testutil::peerReceive(fd, buf, sizeof buf) > 0) {
                ++requests;
                testutil::peerSend(fd, more.data(), more.size());
            }
            testutil::peerClose(fd);
        }
    });
    vender.SetAddress("127.0.0.1", listener.port);
    ASSERT_TRUE(vender.OpenSession(1));
    DeviceDateTime t{};
    EXPECT_FALSE(vender.ReadClock(t));
    vender.CloseSession();
    done = true;
    peer.join();
    EXPECT_LE(requests.load(), 3);
}

TEST_F(Vendor, ReplyAfterJunkIsReadFromItsSoh)
{
    vendorsim::Faults f;
    f.junkBefore = 7;
    start(f);
    ASSERT_TRUE(vender.SetDeviceNumber("AB12"));
    char number[kDeviceNumberLength + 1] = {};
    ASSERT_TRUE(vender.ReadDeviceNumber(number));
    EXPECT_STREQ(number, "AB12  ");
    EXPECT_EQ(sim->exchanges(), 2);
}
