// The 6152-byte work file sent to the simulated vendor on loopback, against 25 bare
// request/reply round trips of the same frame sizes (24 frames of 261 bytes and one of
// 114, each answered by 6 bytes) over a plain loopback TCP connection. The transfer should
// take at most 1.5 times the bare round trips.
//
// Run: build/bin/bench_comm --benchmark_repetitions=10 --benchmark_report_aggregates_only
#include "comm/vender.h"
#include "comm/venderworker.h"
#include "vendorsim/vendorsim.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kFrames = 25;
size_t frameSize(size_t i)
{
    return i + 1 < kFrames ? 252 + 9 : 105 + 9;
}

std::string writeWorkFile()
{
    std::vector<char> f(6152, 0);
    const char head[] = {0x00, 0x1D, 0x2A, 0x30, 0x10};
    std::copy(std::begin(head), std::end(head), f.begin());
    f[6149] = 0x1D;
    f[6150] = 0x2F;
    for (size_t i = 5; i < 6149; i += 7)
        f[i] = char(0x5A);
    const auto path = std::filesystem::temp_directory_path() / ("quorvel-bench-" + std::to_string(::getpid()) + ".imp");
    std::ofstream(path, std::ios::binary).write(f.data(), std::streamsize(f.size()));
    return path.string();
}

void SendLogoToSimulator(benchmark::State &state)
{
    vendorsim::Options o;
    o.port = 0; // no log, no files: the simulator keeps the logo in memory
    o.recordRequests = false;
    vendorsim::Simulator sim(o);
    if (!sim.start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    const std::string path = writeWorkFile();
    COrvathVender vender;
    vender.SetAddress("127.0.0.1", sim.port());
    if (!vender.OpenSession(1)) {
        state.SkipWithError("no connection");
        return;
    }
    for (auto _ : state) {
        if (!vender.SendLogo(1, path)) {
            state.SkipWithError("transfer failed");
            break;
        }
    }
    vender.CloseSession();
    std::filesystem::remove(path);
}
BENCHMARK(SendLogoToSimulator)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same transfer as the desktop tool makes it: posted to the vendor worker, with the
// progress reported after every block, the caller waiting for the completion.
void SendLogoThroughWorker(benchmark::State &state)
{
    vendorsim::Options o;
    o.port = 0;
    o.recordRequests = false;
    vendorsim::Simulator sim(o);
    if (!sim.start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    const std::string path = writeWorkFile();
    COrvathVender vender;
    vender.SetAddress("127.0.0.1", sim.port());
    CVenderWorker worker(vender);
    std::mutex mutex;
    std::condition_variable changed;
    auto runAndWait = [&](CVenderWorker::Operation op) {
        bool done = false;
        bool ok = false;
        worker.Post(std::move(op), [&](CVenderWorker::Outcome outcome) {
            std::lock_guard lock(mutex);
            done = true;
            ok = outcome.ok;
            changed.notify_all();
        });
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return done; });
        return ok;
    };
    if (!runAndWait([](COrvathVender &v) { return v.OpenSession(1); })) {
        state.SkipWithError("no connection");
        return;
    }
    std::atomic<size_t> blocks{0};
    for (auto _ : state) {
        const bool ok = runAndWait([&](COrvathVender &v) {
            v.SetProgressSink([&](const VenderProgress &p) { blocks = p.blocksDone; });
            const bool sent = v.SendLogo(1, path);
            v.SetProgressSink({});
            return sent;
        });
        if (!ok) {
            state.SkipWithError("transfer failed");
            break;
        }
    }
    runAndWait([](COrvathVender &v) { return !v.CloseSession(); });
    std::filesystem::remove(path);
}
BENCHMARK(SendLogoThroughWorker)->Unit(benchmark::kMicrosecond)->UseRealTime();

bool readExactly(int fd, uint8_t *buf, size_t n)
{
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::recv(fd, buf + got, n - got, 0);
        if (r <= 0)
            return false;
        got += size_t(r);
    }
    return true;
}

void BareRoundTrips(benchmark::State &state)
{
    const int lfd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(lfd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::listen(lfd, 1);
    ::getsockname(lfd, reinterpret_cast<sockaddr *>(&a), &len);

    // The peer reads each frame whole and answers with 6 bytes.
    std::thread peer([lfd] {
        const int fd = ::accept(lfd, nullptr, nullptr);
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        uint8_t buf[262];
        const uint8_t ack[6] = {0x01, 0x90, 0x15, 0x00, 0x00, 0x84};
        for (size_t i = 0;; i = (i + 1) % kFrames) {
            if (!readExactly(fd, buf, frameSize(i)))
                break;
            ::send(fd, ack, sizeof ack, MSG_NOSIGNAL);
        }
        ::close(fd);
    });

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::vector<uint8_t> frame(261, 0x5A);
    uint8_t reply[6];
    for (auto _ : state) {
        for (size_t i = 0; i < kFrames; ++i) {
            ::send(fd, frame.data(), frameSize(i), MSG_NOSIGNAL);
            if (!readExactly(fd, reply, sizeof reply)) {
                state.SkipWithError("peer went away");
                break;
            }
        }
    }
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    peer.join();
    ::close(lfd);
}
BENCHMARK(BareRoundTrips)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
