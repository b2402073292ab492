// The vendor worker: operations in order and one at a time, cancels that end a wait at
// once, the vendor object's messages handed over with the outcome, and re-connections
// inside an attempt that cost one reply wait.
#include "comm/memorynet.h"
#include "comm/venderworker.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

using namespace testutil;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Completions arrive on the worker thread; this collects them for the test's thread.
struct Outcomes {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<int, CVenderWorker::Outcome>> got;

    CVenderWorker::Completion record(int id)
    {
        return [this, id](CVenderWorker::Outcome o) {
            std::lock_guard lock(mutex);
            got.emplace_back(id, std::move(o));
            changed.notify_all();
        };
    }
    bool waitFor(size_t n, std::chrono::milliseconds limit = 5000ms)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return got.size() >= n; });
    }
};

} // namespace

TEST(Worker, RunsOperationsInOrderOneAtATime)
{
    COrvathVender vender;
    Outcomes outcomes;
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
    std::vector<int> started;
    {
        CVenderWorker worker(vender);
        for (int i = 0; i < 20; ++i) {
            worker.Post(
                [&, i](COrvathVender &) {
                    const int now = ++running;
                    mostAtOnce = std::max(mostAtOnce.load(), now);
                    started.push_back(i); // only ever one writer at a time, or the test fails
                    std::this_thread::sleep_for(2ms);
                    --running;
                    return i % 2 == 0;
                },
                outcomes.record(i));
        }
        ASSERT_TRUE(outcomes.waitFor(20));
        EXPECT_TRUE(worker.Idle());
    }
    EXPECT_EQ(mostAtOnce.load(), 1);
    ASSERT_EQ(started.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(started[size_t(i)], i);
        EXPECT_EQ(outcomes.got[size_t(i)].first, i);
        EXPECT_EQ(outcomes.got[size_t(i)].second.ok, i % 2 == 0);
        EXPECT_FALSE(outcomes.got[size_t(i)].second.cancelled);
    }
}

// A cancel ends the running operation's wait at once, skips what was posted before it and
// leaves what is posted after it alone: a dialog that closes cancels its work and closes
// the session behind it.
TEST(Worker, CancelEndsTheWaitAtOnceAndOnlyWhatWasPostedBefore)
{
    struct Case {
        const char *name;
        bool hangingConnect; // the vendor has vanished: the connect itself waits
    };
    for (const Case &c : {Case{"silent vendor, reply wait", false}, Case{"vanished vendor, connect", true}}) {
        SCOPED_TRACE(c.name);
        Listener silent(c.hangingConnect ? 0 : 8);
        if (c.hangingConnect)
            silent.fillQueue();
        COrvathVender vender;
        vender.SetAddress("127.0.0.1", silent.port);
        Outcomes outcomes;
        CVenderWorker worker(vender);
        std::promise<void> begun;
        worker.Post(
            [&](COrvathVender &v) {
                begun.set_value();
                if (!c.hangingConnect && !v.OpenSession(1))
                    return false;
                if (c.hangingConnect)
                    return v.OpenSession(1);
                DeviceDateTime t;
                return v.ReadClock(t);
            },
            outcomes.record(1));
        std::atomic<bool> secondRan{false};
        const uint64_t second = worker.Post(
            [&](COrvathVender &) {
                secondRan = true;
                return true;
            },
            outcomes.record(2));
        begun.get_future().wait();
        std::this_thread::sleep_for(150ms); // well inside the waits (1 s reply, 10 s connect)

        const auto t0 = Clock::now();
        worker.CancelUpTo(second);
        const uint64_t third = worker.Post([](COrvathVender &v) { return !v.CloseSession(); }, outcomes.record(3));
        ASSERT_TRUE(outcomes.waitFor(3));
        EXPECT_LT(secondsSince(t0), 0.5);
        EXPECT_GT(third, second);

        EXPECT_FALSE(outcomes.got[0].second.ok);
        EXPECT_TRUE(outcomes.got[0].second.cancelled);
        EXPECT_FALSE(secondRan);
        EXPECT_FALSE(outcomes.got[1].second.ok);
        EXPECT_TRUE(outcomes.got[1].second.cancelled);
        EXPECT_TRUE(outcomes.got[2].second.ok);
        EXPECT_FALSE(outcomes.got[2].second.cancelled);
        if (!c.hangingConnect) {
            const std::vector<std::string> trace = traceLines(vender.Trace());
            EXPECT_NE(std::find(trace.begin(), trace.end(), "!! 通信中止"), trace.end());
        }
    }
}

TEST(Worker, DestroyingTheWorkerEndsAPendingExchange)
{
    Listener silent;
    COrvathVender vender;
    vender.SetAddress("127.0.0.1", silent.port);
    Outcomes outcomes;
    auto worker = std::make_unique<CVenderWorker>(vender);
    std::promise<void> begun;
    worker->Post(
        [&](COrvathVender &v) {
            EXPECT_TRUE(v.OpenSession(1));
            begun.set_value();
            DeviceDateTime t;
            return v.ReadClock(t);
        },
        outcomes.record(1));
    worker->Post([](COrvathVender &) { return true; }, outcomes.record(2));
    begun.get_future().wait();
    std::this_thread::sleep_for(150ms); // the read is waiting for its reply by now
    const auto t0 = Clock::now();
    worker.reset();
    EXPECT_LT(secondsSince(t0), 0.5);
    ASSERT_EQ(outcomes.got.size(), 2u); // every completion was called, as failures
    EXPECT_FALSE(outcomes.got[0].second.ok);
    EXPECT_TRUE(outcomes.got[1].second.cancelled);
}

TEST(Worker, MessagesOfAnOperationComeWithItsOutcome)
{
    COrvathVender vender;
    Outcomes outcomes;
    CVenderWorker worker(vender);
    worker.Post([](COrvathVender &v) { return v.SendLogo(1, "/nonexistent/shoplogo.imp"); }, outcomes.record(1));
    worker.Post([](COrvathVender &) { return true; }, outcomes.record(2));
    ASSERT_TRUE(outcomes.waitFor(2));
    const auto &first = outcomes.got[0].second;
    EXPECT_FALSE(first.ok);
    ASSERT_EQ(first.messages.size(), 1u);
    EXPECT_EQ(utf8(first.messages[0].cp932), "ロゴデータファイルが読み込めません");
    EXPECT_EQ(first.messages[0].icon, VenderMessageIcon::Stop);
    EXPECT_TRUE(outcomes.got[1].second.messages.empty());
}

// A vendor that goes away mid-session: the open connection stops answering and new
// connects hang. Each attempt's re-connection is given one reply wait (1 s), so a clock
// read fails after about 3 s (three waits) instead of the opening's 10 s per connect. On
// the virtual clock, through the worker.
TEST(Worker, AVanishedVendorCostsAClockReadAboutThreeSeconds)
{
    CMemoryNet gone({[](CMemoryLink &link) {
                         return link.Index() == 1 ? CConnectAnswer{} : CConnectAnswer{CConnectAnswer::Hang};
                     },
                     nullptr});
    COrvathVender vender;
    vender.SetBackend(gone);
    Outcomes outcomes;
    CVenderWorker worker(vender);
    worker.Post([](COrvathVender &v) { return v.OpenSession(1); }, outcomes.record(1));
    ASSERT_TRUE(outcomes.waitFor(1));
    ASSERT_TRUE(outcomes.got[0].second.ok);
    const int64_t t0 = gone.VirtualClock().NowMs();
    worker.Post(
        [](COrvathVender &v) {
            DeviceDateTime t;
            return v.ReadClock(t);
        },
        outcomes.record(2));
    worker.Post([](COrvathVender &v) { return !v.CloseSession(); }, outcomes.record(3));
    ASSERT_TRUE(outcomes.waitFor(3));
    EXPECT_FALSE(outcomes.got[1].second.ok);
    const double s = double(gone.VirtualClock().NowMs() - t0) / 1000;
    EXPECT_GT(s, 2.5);
    EXPECT_LT(s, 4.5);
}
