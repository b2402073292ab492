// The 6152-byte work file sent as the receipt logo, against 25 bare request/reply round
// trips of the same frame sizes (24 frames of 261 bytes and one of 114, each answered by
// 6 bytes). Both run against the same bare responder on loopback, which reads each request
// frame and acknowledges it at once, so the ratio counts only what the tool's side adds to
// the round trips (its own reads and waits around each request, the frames, the trace), the
// aim being at most 1.1 times the bare round trips.
//
// The same transfer through the vendor worker (as the desktop tool makes it), and over the
// in-memory connection on the virtual clock (the protocol's own work, without a network).
//
// Run: build-release/bin/bench_comm --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include "comm/memorynet.h"
#include "comm/vender.h"
#include "comm/venderworker.h"
#include "support/loopback.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
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

// The vendor's acknowledgement of a logo block: TYPE 0x90, CMD 0x15, status 0, no data.
const uint8_t kAck[6] = {0x01, 0x90, 0x15, 0x00, 0x00, 0x84};

std::string writeWorkFile()
{
    std::vector<char> f(6152, 0);
    const char head[] = {0x00, 0x1D, 0x2A, 0x30, 0x10};
    std::copy(std::begin(head), std::end(head), f.begin());
    f[6149] = 0x1D;
    f[6150] = 0x2F;
    for (size_t i = 5; i < 6149; i += 7)
        f[i] = char(0x5A);
    const auto path =
        std::filesystem::temp_directory_path() / ("quorvel-bench-" + std::to_string(::getpid()) + ".imp");
    std::ofstream(path, std::ios::binary).write(f.data(), std::streamsize(f.size()));
    return path.string();
}

// A loopback peer that reads each request frame whole (its LEN tells how long) and answers
// it with the acknowledgement; one connection at a time.
class BareResponder {
public:
    BareResponder()
    {
        if (m_listener.ok)
            m_thread = std::thread([this] { serve(); });
    }
    ~BareResponder()
    {
        ::shutdown(m_listener.fd, SHUT_RDWR); // ends the accept
        if (m_thread.joinable())
            m_thread.join();
    }
    BareResponder(const BareResponder &) = delete;
    BareResponder &operator=(const BareResponder &) = delete;

    bool ok() const { return m_listener.ok; }
    uint16_t port() const { return m_listener.port; }

private:
    void serve()
    {
        for (;;) {
            const int fd = ::accept4(m_listener.fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            uint8_t frame[262];
            while (testutil::recvExactly(fd, frame, 5)) {
                const size_t rest = frame[4] == 0 ? 1 : size_t(frame[4]) + 1;
                if (!testutil::recvExactly(fd, frame + 5, rest))
                    break;
                ::send(fd, kAck, sizeof kAck, MSG_NOSIGNAL);
            }
            ::close(fd);
        }
    }

    testutil::Listener m_listener{4};
    std::thread m_thread;
};

void SendLogoToResponder(benchmark::State &state)
{
    BareResponder responder;
    if (!responder.ok()) {
        state.SkipWithError("no loopback listener");
        return;
    }
    const std::string path = writeWorkFile();
    COrvathVender vender;
    vender.SetAddress("127.0.0.1", responder.port());
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
BENCHMARK(SendLogoToResponder)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same transfer as the desktop tool makes it: posted to the vendor worker, with the
// progress reported after every block, the caller waiting for the completion.
void SendLogoThroughWorker(benchmark::State &state)
{
    BareResponder responder;
    if (!responder.ok()) {
        state.SkipWithError("no loopback listener");
        return;
    }
    const std::string path = writeWorkFile();
    COrvathVender vender;
    vender.SetAddress("127.0.0.1", responder.port());
    CVenderWorker worker(vender);
    std::mutex mutex;
    std::condition_variable changed;
    auto runAndWait = [&](CVenderWorker::Operation op) {
        bool done = false;
        bool ok = false;
        worker.Post(std::move(op), [&](const CVenderWorker::Outcome &outcome) {
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

// The transfer over the in-memory connection: the peer acknowledges every request at once.
void SendLogoInMemory(benchmark::State &state)
{
    CMemoryNet net({nullptr, [](CMemoryLink &link, const uint8_t *, size_t) {
                        link.Deliver(link.NowMs(), kAck, sizeof kAck);
                    }});
    net.SetRecording(false);
    const std::string path = writeWorkFile();
    COrvathVender vender;
    vender.SetBackend(net);
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
BENCHMARK(SendLogoInMemory)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BareRoundTrips(benchmark::State &state)
{
    BareResponder responder;
    if (!responder.ok()) {
        state.SkipWithError("no loopback listener");
        return;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(responder.port());
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        state.SkipWithError("no connection");
        ::close(fd);
        return;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // Request frames of the logo's sizes, each announcing its own length.
    std::vector<std::vector<uint8_t>> frames;
    for (size_t i = 0; i < kFrames; ++i) {
        std::vector<uint8_t> f(frameSize(i), 0x5A);
        f[0] = 0x01;
        f[1] = 0x01;
        f[2] = 0x15;
        f[3] = 0x00;
        f[4] = uint8_t(f.size() - 6);
        frames.push_back(std::move(f));
    }
    uint8_t reply[6];
    for (auto _ : state) {
        for (const std::vector<uint8_t> &f : frames) {
            ::send(fd, f.data(), f.size(), MSG_NOSIGNAL);
            if (!testutil::recvExactly(fd, reply, sizeof reply)) {
                state.SkipWithError("peer went away");
                break;
            }
        }
    }
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}
BENCHMARK(BareRoundTrips)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
