// Fleet mode against a fleet of simulated vendors on loopback (127.0.1.x, one port), each
// figure beside bare round trips to the same fleet at the same concurrency, measured in
// the same run:
//
//   clock    `quorvelctl --hosts LIST clock set now` to 1000 vendors, against 1000 bare
//            connects each with one request/reply round trip (the same set-clock frame)
//   silent   the same with 10 of the 1000 vendors silent: against 1 s plus what one
//            silent vendor costs on its own
//   logo     `logo send` to 200 vendors, against 200 x 25 bare round trips of the logo's
//            25 request frames
//   memory   the most resident memory of quorvelctl for 1000 vendors at --jobs 256
//
// The quorvelctl figures are whole runs of the program (start-up included); beside them, the
// vendor objects alone in this process (a fresh one per vendor on the same number of
// threads), which is what the program adds to the bare round trips without its start-up.
// Medians of --reps runs (default 5), the kinds interleaved.
//
// Run: build-release/bin/bench_fleet [--reps N]
#include "support/bytes.h"
#include "support/loopback.h"
#include "vendorsim/fleet.h"

#include "comm/vender.h"
#include "platform/openfiles.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Frame = std::vector<uint8_t>;

namespace {

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct CtlRun {
    double seconds = 0;
    int status = -1;
    long maxRssKb = 0;
    std::string out;
};

// Starts quorvelctl for the bench: a small process forked before any simulated vendor
// exists, so that the runs it forks copy little and their most resident memory is their own
// (a child made from this process, with a thousand vendors' threads, would count this
// process's memory as its own).
class Launcher {
public:
    Launcher()
    {
        int toChild[2], fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0)
            std::exit(1);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
            serve(toChild[0], fromChild[1]);
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_to = toChild[1];
        m_from = fromChild[0];
    }
    ~Launcher()
    {
        ::close(m_to);
        ::close(m_from);
        ::waitpid(m_pid, nullptr, 0);
    }

    // Runs quorvelctl with `args`, its standard output into `outFile`.
    CtlRun run(const std::vector<std::string> &args, const fs::path &outFile)
    {
        std::string request = outFile.string();
        for (const std::string &a : args)
            request += '\0' + a;
        const uint32_t size = uint32_t(request.size());
        if (!writeAll(m_to, &size, sizeof size) || !writeAll(m_to, request.data(), size))
            std::exit(1);
        Result r{};
        if (!readAll(m_from, &r, sizeof r))
            std::exit(1);
        CtlRun run;
        run.seconds = r.seconds;
        run.status = r.status;
        run.maxRssKb = r.maxRssKb;
        std::ifstream in(outFile);
        run.out.assign(std::istreambuf_iterator<char>(in), {});
        return run;
    }

private:
    struct Result {
        double seconds;
        int status;
        long maxRssKb;
    };

    static bool writeAll(int fd, const void *data, size_t n)
    {
        const char *p = static_cast<const char *>(data);
        while (n > 0) {
            const ssize_t w = ::write(fd, p, n);
            if (w <= 0)
                return false;
            p += w;
            n -= size_t(w);
        }
        return true;
    }
    static bool readAll(int fd, void *data, size_t n)
    {
        char *p = static_cast<char *>(data);
        while (n > 0) {
            const ssize_t r = ::read(fd, p, n);
            if (r <= 0)
                return false;
            p += r;
            n -= size_t(r);
        }
        return true;
    }

    static void serve(int in, int out)
    {
        for (uint32_t size; readAll(in, &size, sizeof size);) {
            std::string request(size, '\0');
            if (!readAll(in, request.data(), size))
                return;
            std::vector<std::string> parts;
            for (size_t start = 0;;) {
                const size_t end = request.find('\0', start);
                parts.push_back(request.substr(start, end - start));
                if (end == std::string::npos)
                    break;
                start = end + 1;
            }
            std::string path = QUORVELCTL_PATH;
            std::vector<char *> argv{path.data()};
            for (size_t i = 1; i < parts.size(); ++i)
                argv.push_back(parts[i].data());
            argv.push_back(nullptr);
            const auto start = Clock::now();
            const pid_t pid = ::fork();
            if (pid == 0) {
                const int fd = ::open(parts[0].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                ::dup2(fd, 1);
                ::execv(argv[0], argv.data());
                ::_exit(127);
            }
            int w = 0;
            rusage ru{};
            ::wait4(pid, &w, 0, &ru);
            const Result r{secondsSince(start), WIFEXITED(w) ? WEXITSTATUS(w) : -1, ru.ru_maxrss};
            if (!writeAll(out, &r, sizeof r))
                return;
        }
    }

    pid_t m_pid = -1;
    int m_to = -1, m_from = -1;
};

Launcher *g_launcher = nullptr;

CtlRun runCtl(const std::vector<std::string> &args, const fs::path &outFile)
{
    return g_launcher->run(args, outFile);
}

// Connects to one vendor, sends each frame and reads each reply whole (SOH TYPE CMD STA
// LEN, then LEN bytes and BCC), closes. True when every reply came.
bool bareVendor(const std::string &host, uint16_t port, const std::vector<Frame> &frames)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, host.c_str(), &sa.sin_addr);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
    for (const Frame &f : frames) {
        uint8_t reply[300];
        ok = ok && ::send(fd, f.data(), f.size(), MSG_NOSIGNAL) == ssize_t(f.size()) &&
            testutil::recvExactly(fd, reply, 5) && testutil::recvExactly(fd, reply + 5, size_t(reply[4]) + 1);
    }
    ::close(fd);
    return ok;
}

// `op` for every vendor of the fleet in turn on `jobs` threads, as the fleet run takes them.
double eachVendor(size_t vendors, int jobs, const std::function<bool(size_t)> &op, size_t &failures)
{
    std::atomic<size_t> next{0}, failed{0};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < jobs; ++t)
        threads.emplace_back([&] {
            for (size_t i; (i = next++) < vendors;)
                if (!op(i))
                    ++failed;
        });
    for (std::thread &t : threads)
        t.join();
    failures = failed;
    return secondsSince(start);
}

double bareFleet(vendorsim::SimulatorFleet &fleet, size_t vendors, const std::vector<Frame> &frames, int jobs,
                 size_t &failures)
{
    return eachVendor(
        vendors, jobs, [&](size_t i) { return bareVendor(fleet.address(i), fleet.port(i), frames); }, failures);
}

// The vendor object alone, in this process: a fresh one per vendor, as the fleet run makes
// them, without the program around it.
double objectFleet(vendorsim::SimulatorFleet &fleet, size_t vendors,
                   const std::function<bool(COrvathVender &)> &op, int jobs, size_t &failures)
{
    return eachVendor(
        vendors, jobs,
        [&](size_t i) {
            COrvathVender v;
            v.SetAddress(fleet.address(i), fleet.port(i));
            const bool ok = v.OpenSession(1) && op(v);
            v.CloseSession();
            return ok;
        },
        failures);
}

std::unique_ptr<vendorsim::SimulatorFleet> startFleet(size_t count, const std::set<size_t> &silent = {})
{
    vendorsim::FleetOptions o;
    o.count = count;
    o.base.port = 0;
    o.base.recordRequests = false;
    for (size_t k : silent)
        o.faults[k].silent = true;
    auto fleet = std::make_unique<vendorsim::SimulatorFleet>(o);
    std::string error;
    if (!fleet->start(&error)) {
        std::fprintf(stderr, "bench_fleet: %s\n", error.c_str());
        std::exit(1);
    }
    return fleet;
}

// The request frames the tool sends for `op`, as a recording simulator took them.
std::vector<Frame> recordedFrames(const std::function<bool(COrvathVender &)> &op)
{
    vendorsim::Options o;
    o.port = 0;
    vendorsim::Simulator sim(o);
    if (!sim.start())
        std::exit(1);
    COrvathVender v;
    v.SetAddress("127.0.0.1", sim.port());
    if (!v.OpenSession(1) || !op(v))
        std::exit(1);
    v.CloseSession();
    return sim.requests();
}

std::string writeWorkFile(const fs::path &path)
{
    const testutil::Bytes work = testutil::sampleWorkFile();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(work.data()), std::streamsize(work.size()));
    return path.string();
}

fs::path writeList(const vendorsim::SimulatorFleet &fleet, const fs::path &dir, const char *name)
{
    const fs::path p = dir / name;
    std::ofstream(p) << fleet.listText();
    return p;
}

// The summary line of a report: "N ok, N failed, N not tried".
std::string summaryOf(const std::string &out)
{
    const size_t end = out.find_last_not_of('\n');
    const size_t start = out.find_last_of('\n', end);
    return out.substr(start == std::string::npos ? 0 : start + 1,
                      end - (start == std::string::npos ? 0 : start + 1) + 1);
}

// The longest time a FAIL line of the report gives.
long long longestFailureMs(const std::string &out)
{
    long long most = 0;
    size_t pos = 0;
    while ((pos = out.find("\tFAIL\t", pos)) != std::string::npos) {
        const size_t msStart = out.find('\t', pos + 6) + 1;
        most = std::max(most, std::atoll(out.c_str() + msStart));
        pos = msStart;
    }
    return most;
}

} // namespace

int main(int argc, char **argv)
{
    int reps = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "--reps"))
            reps = std::max(1, std::atoi(argv[++i]));
    platform::raiseOpenFileLimit();
    Launcher launcher; // before any thread or vendor
    g_launcher = &launcher;
    const fs::path dir = fs::temp_directory_path() / ("quorvel-bench-fleet-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path out = dir / "report.txt";
    const int jobs = 32;

    const std::vector<Frame> clockFrames = recordedFrames([](COrvathVender &v) {
        return v.SetClock({26, 1, 2, 3, 4, 5});
    });
    const std::string work = writeWorkFile(dir / "shoplogo.imp");
    const std::vector<Frame> logoFrames = recordedFrames([&](COrvathVender &v) { return v.SendLogo(1, work); });
    std::printf("frames: set clock %zu, logo %zu\n", clockFrames.size(), logoFrames.size());
    {
        std::vector<double> start;
        for (int r = 0; r < reps; ++r)
            start.push_back(runCtl({"--version"}, out).seconds);
        std::printf("quorvelctl --version (start-up and exit): %.3f s (median of %d)\n", median(start), reps);
    }

    {
        auto fleet = startFleet(1000);
        const fs::path list = writeList(*fleet, dir, "list1000.txt");
        std::vector<double> ctl, bare, objects;
        std::string summary;
        long rss = 0;
        for (int r = 0; r < reps; ++r) {
            const CtlRun run =
                runCtl({"--hosts", list.string(), "--jobs", std::to_string(jobs), "clock", "set", "now"}, out);
            if (run.status != 0)
                std::fprintf(stderr, "bench_fleet: quorvelctl ended with %d: %s\n", run.status,
                             summaryOf(run.out).c_str());
            ctl.push_back(run.seconds);
            summary = summaryOf(run.out);
            size_t failures = 0;
            bare.push_back(bareFleet(*fleet, 1000, clockFrames, jobs, failures));
            if (failures)
                std::fprintf(stderr, "bench_fleet: %zu bare round trips failed\n", failures);
            objects.push_back(objectFleet(
                *fleet, 1000,
                [](COrvathVender &v) {
                    return v.SetClock({26, 1, 2, 3, 4, 5});
                },
                jobs, failures));
        }
        for (int r = 0; r < reps; ++r) {
            const CtlRun run = runCtl({"--hosts", list.string(), "--jobs", "256", "clock", "set", "now"}, out);
            rss = std::max(rss, run.maxRssKb);
        }
        std::printf("clock set now, 1000 vendors, --jobs %d: quorvelctl %.3f s (median of %d; %s), bare %.3f s, "
                    "ratio %.2f\n",
                    jobs, median(ctl), reps, summary.c_str(), median(bare), median(ctl) / median(bare));
        std::printf("  the vendor objects alone, in-process: %.3f s, ratio %.2f\n", median(objects),
                    median(objects) / median(bare));
        std::printf("memory, 1000 vendors, --jobs 256: %.1f MB resident at most\n", double(rss) / 1024);
    }
    {
        auto fleet = startFleet(1000, vendorsim::spreadOver(10, 1000));
        const fs::path list = writeList(*fleet, dir, "list1000s.txt");
        std::vector<double> ctl;
        long long silentMs = 0;
        std::string summary;
        for (int r = 0; r < std::min(reps, 3); ++r) {
            const CtlRun run =
                runCtl({"--hosts", list.string(), "--jobs", std::to_string(jobs), "clock", "set", "now"}, out);
            ctl.push_back(run.seconds);
            silentMs = std::max(silentMs, longestFailureMs(run.out));
            summary = summaryOf(run.out);
        }
        std::printf("clock set now, 1000 vendors of which 10 silent: quorvelctl %.3f s (median of %d; %s); one "
                    "silent vendor %.3f s; goal 1 s + that = %.3f s\n",
                    median(ctl), int(ctl.size()), summary.c_str(), double(silentMs) / 1000,
                    1 + double(silentMs) / 1000);
    }
    {
        auto fleet = startFleet(200);
        const fs::path list = writeList(*fleet, dir, "list200.txt");
        std::vector<double> ctl, bare, objects;
        std::string summary;
        for (int r = 0; r < reps; ++r) {
            const CtlRun run =
                runCtl({"--hosts", list.string(), "--jobs", std::to_string(jobs), "logo", "send", work}, out);
            ctl.push_back(run.seconds);
            summary = summaryOf(run.out);
            size_t failures = 0;
            bare.push_back(bareFleet(*fleet, 200, logoFrames, jobs, failures));
            if (failures)
                std::fprintf(stderr, "bench_fleet: %zu bare logo transfers failed\n", failures);
            objects.push_back(objectFleet(
                *fleet, 200, [&](COrvathVender &v) { return v.SendLogo(1, work); }, jobs, failures));
        }
        std::printf(
            "logo send, 200 vendors, --jobs %d: quorvelctl %.3f s (median of %d; %s), bare 200 x %zu round "
            "trips %.3f s, ratio %.2f\n",
            jobs, median(ctl), reps, summary.c_str(), logoFrames.size(), median(bare), median(ctl) / median(bare));
        std::printf("  the vendor objects alone, in-process: %.3f s, ratio %.2f\n", median(objects),
                    median(objects) / median(bare));
    }
    fs::remove_all(dir);
    return 0;
}
