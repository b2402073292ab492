// Fleet mode: one vendor command against every vendor of a list, a bounded number at a
// time, with a report in list order.
//
// Each vendor gets its own command object on a worker thread and exactly the exchanges the
// one-vendor command makes; a vendor that does not answer holds only its own worker for
// its own limits. The first Ctrl+C stops new vendors from starting and lets the running
// ones end; a second one ends their waits at once.
#include "ctl.h"
#include "fleetreport.h"
#include "interrupt.h"
#include "vendorlist.h"

#include "platform/atomicfile.h"
#include "platform/openfiles.h"
#include "platform/pathsplit.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

namespace ctl {

namespace {

// Keeps what a vendor's job says for its line of the report.
class CollectingReporter : public Reporter {
public:
    void out(const std::string &text) override { m_lines.push_back({text, false}); }
    void err(const std::string &text) override { m_lines.push_back({text, true}); }
    void clock(const DeviceDateTime &vendor, std::time_t pcTime) override
    {
        m_clock = DeviceDateTimeText(vendor);
        m_hasClock = true;
        m_hasOffset = ClockOffsetSeconds(vendor, pcTime, m_offset);
    }

    // Every line said, in order, joined by blanks; the blanks that end a message line are
    // dropped, those of an output value are kept.
    std::string message() const
    {
        std::string joined;
        for (const auto &[text, isMessage] : m_lines) {
            size_t start = 0;
            while (start < text.size()) {
                size_t end = text.find('\n', start);
                if (end == std::string::npos)
                    end = text.size();
                std::string line = text.substr(start, end - start);
                start = end + 1;
                if (isMessage)
                    line.erase(line.find_last_not_of(' ') + 1);
                if (line.empty())
                    continue;
                if (!joined.empty())
                    joined += ' ';
                joined += line;
            }
        }
        return joined;
    }

    void fill(VendorResult &r) const
    {
        r.message = message();
        r.hasClock = m_hasClock;
        r.clock = m_clock;
        r.hasOffset = m_hasOffset;
        r.offsetSeconds = m_offset;
    }

private:
    std::vector<std::pair<std::string, bool>> m_lines;
    bool m_hasClock = false, m_hasOffset = false;
    std::string m_clock;
    long long m_offset = 0;
};

// The files each vendor may hold open at once: its socket, its cancel pipe, a file it reads
// or writes and the temporary file of a whole-file write.
constexpr long kFilesPerJob = 5;
constexpr long kFilesOfTheProcess = 32;

// Two vendors whose files would have the same name (letter case aside, as on Windows).
bool fileNamesClash(const std::string &listFile, const std::vector<ListedVendor> &vendors)
{
    std::map<std::string, int> seen;
    bool clash = false;
    for (const ListedVendor &v : vendors) {
        std::string key = FileStem(v);
        std::transform(key.begin(), key.end(), key.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
        const auto [it, fresh] = seen.emplace(key, v.line);
        if (!fresh) {
            std::fprintf(stderr, "quorvelctl: %s:%d: the file %s.csv is the one of line %d already\n",
                         listFile.c_str(), v.line, FileStem(v).c_str(), it->second);
            clash = true;
        }
    }
    return clash;
}

// The folder a file is written into exists.
bool folderExists(const std::string &path)
{
    return platform::pathKind(platform::folderOfPath(path, platform::kPathSeparators)) ==
        platform::PathKind::Folder;
}

class FleetRun {
public:
    FleetRun(const Options &opt, std::vector<ListedVendor> vendors, VendorJob job, int jobs)
        : m_opt(opt), m_vendors(std::move(vendors)), m_job(std::move(job)), m_jobs(jobs),
          m_results(m_vendors.size()), m_traces(m_vendors.size()), m_running(size_t(jobs), nullptr)
    {
    }

    // Runs every vendor and prints the report as it fills, in list order.
    void run(const std::string &command, FleetSummary &summary)
    {
        const size_t workers = std::min(m_vendors.size(), size_t(m_jobs));
        m_workersLeft = workers;
        std::vector<std::thread> threads;
        threads.reserve(workers);
        for (size_t w = 0; w < workers; ++w)
            threads.emplace_back([this, w] { work(w); });

        const bool progress = isTerminal(stderr);
        const bool sharedTerminal = progress && isTerminal(stdout);
        std::string shownProgress;
        bool announced = false, cancelled = false;
        size_t printed = 0, seen = 0;
        for (;;) {
            std::vector<std::string> lines;
            size_t done = 0, failed = 0;
            bool over = false;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return m_events != seen; });
                seen = m_events;
                for (; printed < m_vendors.size() && m_results[printed].status != VendorResult::Status::NotTried;
                     ++printed)
                    lines.push_back(ReportLine(m_vendors[printed], m_results[printed], command));
                const int interrupts = interruptCount();
                if (interrupts >= 2 && !cancelled) {
                    for (COrvathVender *v : m_running)
                        if (v)
                            v->Connection().Cancel().CancelUpTo(1);
                    cancelled = true;
                }
                done = m_finished;
                failed = m_failed;
                over = m_workersLeft == 0;
                if (interrupts >= 1 && !announced) {
                    announced = true;
                    std::fprintf(stderr,
                                 "%squorvelctl: interrupted: no more vendors are started; waiting for the %zu "
                                 "running (Ctrl+C again ends their waits)\n",
                                 progress ? "\r\033[K" : "", m_started - m_finished);
                    shownProgress.clear();
                }
            }
            if (!lines.empty()) {
                if (sharedTerminal && !shownProgress.empty()) {
                    std::fputs("\r\033[K", stderr);
                    shownProgress.clear();
                }
                for (const std::string &line : lines)
                    std::fputs(line.c_str(), stdout);
                std::fflush(stdout);
            }
            if (over)
                break;
            if (progress) {
                char text[96];
                std::snprintf(text, sizeof text, "%zu/%zu done, %zu failed", done, m_vendors.size(), failed);
                if (shownProgress != text) {
                    std::fprintf(stderr, "\r\033[K%s", text);
                    std::fflush(stderr);
                    shownProgress = text;
                }
            }
        }
        for (std::thread &t : threads)
            t.join();
        if (!shownProgress.empty())
            std::fputs("\r\033[K", stderr);
        // The vendors never started.
        for (; printed < m_vendors.size(); ++printed)
            std::fputs(ReportLine(m_vendors[printed], m_results[printed], command).c_str(), stdout);
        summary = Summarize(m_results);
        std::printf("%s\n", SummaryLine(summary).c_str());
        std::fflush(stdout);
        if (m_opt.trace)
            for (size_t i = 0; i < m_vendors.size(); ++i) {
                if (m_results[i].status == VendorResult::Status::NotTried)
                    continue;
                std::fprintf(stderr, "== %s ==\n", m_vendors[i].label().c_str());
                for (const std::string &line : m_traces[i])
                    std::fprintf(stderr, "%s\n", utf8(line).c_str());
            }
    }

    const std::vector<ListedVendor> &vendors() const { return m_vendors; }
    const std::vector<VendorResult> &results() const { return m_results; }

private:
    void work(size_t slot)
    {
        for (;;) {
            auto vender = std::make_unique<COrvathVender>();
            size_t i = 0;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (interruptCount() > 0 || m_next >= m_vendors.size())
                    break;
                i = m_next++;
                ++m_started;
                vender->Connection().Cancel().Begin(1);
                m_running[slot] = vender.get();
            }
            const ListedVendor &v = m_vendors[i];
            Target target;
            target.host = v.host;
            target.port = v.port;
            target.name = v.name;
            target.number = v.number;
            target.fileStem = FileStem(v);
            CollectingReporter reporter;
            const auto start = std::chrono::steady_clock::now();
            const int rc = runJob(*vender, target, m_job, reporter);
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            VendorResult result;
            result.status = rc == kSuccess ? VendorResult::Status::Ok : VendorResult::Status::Failed;
            result.ms = ms.count();
            reporter.fill(result);
            std::vector<std::string> trace;
            if (m_opt.trace)
                trace = vender->Trace().entries();
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_running[slot] = nullptr;
                m_results[i] = std::move(result);
                m_traces[i] = std::move(trace);
                ++m_finished;
                if (rc != kSuccess)
                    ++m_failed;
                ++m_events;
            }
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_workersLeft;
            ++m_events;
        }
        m_changed.notify_one();
    }

    const Options &m_opt;
    const std::vector<ListedVendor> m_vendors;
    const VendorJob m_job;
    const int m_jobs;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<VendorResult> m_results;
    std::vector<std::vector<std::string>> m_traces;
    std::vector<COrvathVender *> m_running; // per worker, while a vendor runs on it
    size_t m_next = 0, m_started = 0, m_finished = 0, m_failed = 0, m_workersLeft = 0;
    size_t m_events = 0; // counts the changes the report waits for
};

} // namespace

const char *fleetHelp()
{
    return "  --hosts FILE  run the vendor command against every vendor of FILE, one vendor a\n"
           "                line: ADDR[:PORT] [NAME] [NUMBER] (IPv6 as [ADDR]:PORT; # starts a\n"
           "                comment); --port is the port of lines without one. Prints one line\n"
           "                per vendor in list order (vendor, name, OK/FAIL/NOT TRIED, message,\n"
           "                milliseconds; clock get adds the clock and its offset from the PC's)\n"
           "                and a summary; exit status 0 only when every vendor succeeded\n"
           "  --jobs N      vendors served at the same time with --hosts (1-1024, default 32)\n"
           "  --json FILE   with --hosts, write the report as JSON to FILE too\n";
}

int runFleet(const Options &opt, const std::vector<std::string> &args)
{
    std::string text;
    if (!platform::readWholeFile(opt.hostsFile, text, kVendorListSizeLimit)) {
        std::fprintf(stderr, "quorvelctl: cannot read the vendor list %s (a regular file of at most %zu MiB)\n",
                     opt.hostsFile.c_str(), kVendorListSizeLimit >> 20);
        return kUsage;
    }
    std::vector<ListedVendor> vendors;
    std::vector<ListProblem> problems;
    if (!ParseVendorList(text, opt.port, vendors, problems)) {
        for (const ListProblem &p : problems)
            std::fprintf(stderr, "quorvelctl: %s:%d: %s\n", opt.hostsFile.c_str(), p.line, p.text.c_str());
        std::fprintf(stderr, "quorvelctl: nothing was sent\n");
        return kUsage;
    }
    if (vendors.empty()) {
        std::fprintf(stderr, "quorvelctl: %s lists no vendor\n", opt.hostsFile.c_str());
        return kUsage;
    }
    if (!opt.jsonFile.empty() && !folderExists(opt.jsonFile))
        return usage("--json: the folder of the file does not exist: ", opt.jsonFile);

    Fleet fleet;
    fleet.active = true;
    fleet.everyNumberListed =
        std::all_of(vendors.begin(), vendors.end(), [](const ListedVendor &v) { return !v.number.empty(); });
    const std::string &cmd = args[0];
    Prepared prepared;
    if (cmd == "mfp")
        prepared = prepareMfpCommand(args, fleet);
    else
        prepared = prepareVendorCommand(args, fleet);
    if (!prepared.job)
        return prepared.status;
    if (cmd == "mfp" && args.size() > 1 && args[1] == "get" && fileNamesClash(opt.hostsFile, vendors))
        return usage("mfp get -o: give the vendors names of their own");

    // Every job holds a few files open: as many jobs as the process may have files for.
    int jobs = opt.jobs;
    const long files = platform::raiseOpenFileLimit();
    const long fit = (files - kFilesOfTheProcess) / kFilesPerJob;
    if (fit < jobs) {
        jobs = int(std::max(1L, fit));
        std::fprintf(stderr, "quorvelctl: --jobs %d: only %ld files may be open, so %d vendors at a time\n",
                     opt.jobs, files, jobs);
    }

    std::string command;
    for (const std::string &a : args)
        command += (command.empty() ? "" : " ") + a;
    watchInterrupts();
    FleetRun fleetRun(opt, std::move(vendors), prepared.job, jobs);
    FleetSummary summary;
    fleetRun.run(command, summary);

    int rc = summary.failed == 0 && summary.notTried == 0 ? kSuccess : kFailure;
    if (!opt.jsonFile.empty() &&
        !platform::writeFileAtomically(opt.jsonFile,
                                       ReportJson(command, fleetRun.vendors(), fleetRun.results(), summary))) {
        std::fprintf(stderr, "quorvelctl: cannot write %s\n", opt.jsonFile.c_str());
        rc = kFailure;
    }
    return rc;
}

} // namespace ctl
