// quorvelctl --hosts, run as a process against a fleet of simulated vendors.
#include "support/simulator.h"
#include "support/testfolder.h"
#include "vendorsim/fleet.h"

#include "mfp/mfpfile.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct CtlRun {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const fs::path &p, const std::string &text)
{
    std::ofstream(p, std::ios::binary) << text;
}

std::vector<std::string> split(const std::string &text, char by)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(by, start)) != std::string::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    if (start < text.size())
        parts.push_back(text.substr(start));
    return parts;
}

// A report line cut into its fields.
using Fields = std::vector<std::string>;

class Fleet : public ::testing::Test {
protected:
    // Starts `count` vendors on consecutive ports; `setUp` gives some of them faults.
    void startFleet(size_t count, const std::function<void(vendorsim::FleetOptions &)> &setUp = {})
    {
        vendorsim::FleetOptions o;
        o.count = count;
        o.portRange = true;
        o.base.port = 0;
        o.base.recordRequests = false;
        if (setUp)
            setUp(o);
        fleet = std::make_unique<vendorsim::SimulatorFleet>(o);
        std::string error;
        ASSERT_TRUE(fleet->start(&error)) << error;
        spit(list(), fleet->listText());
    }

    void SetUp() override { dir = testfolder::fresh("quorvel-fleet"); }
    void TearDown() override
    {
        fleet.reset();
        fs::remove_all(dir);
    }

    fs::path list() const { return dir / "list.txt"; }

    // Starts quorvelctl with `args` (as the shell takes them); out and err go to files.
    pid_t spawn(const std::string &args)
    {
        const std::string cmd = std::string("exec ") + QUORVELCTL_PATH + " " + args + " >" +
            (dir / "out").string() + " 2>" + (dir / "err").string();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char *>(nullptr));
            ::_exit(127);
        }
        return pid;
    }

    CtlRun finish(pid_t pid)
    {
        int w = 0;
        ::waitpid(pid, &w, 0);
        CtlRun r;
        r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
        r.out = slurp(dir / "out");
        r.err = slurp(dir / "err");
        return r;
    }

    CtlRun ctl(const std::string &args) { return finish(spawn(args)); }

    // The report's vendor lines, cut into fields, and its summary line.
    static std::vector<Fields> vendorLines(const CtlRun &r, std::string *summary = nullptr)
    {
        std::vector<Fields> lines;
        for (const std::string &line : split(r.out, '\n')) {
            if (line.find('\t') == std::string::npos) {
                if (summary)
                    *summary = line;
                continue;
            }
            lines.push_back(split(line, '\t'));
        }
        return lines;
    }

    int exchanges() const
    {
        int n = 0;
        for (size_t i = 0; i < fleet->size(); ++i)
            if (fleet->at(i))
                n += fleet->at(i)->exchanges();
        return n;
    }

    fs::path dir;
    std::unique_ptr<vendorsim::SimulatorFleet> fleet;
};

} // namespace

TEST_F(Fleet, ExactlyTheBrokenVendorsFailWithTheirMessages)
{
    startFleet(16, [](vendorsim::FleetOptions &o) {
        o.faults[3].silent = true;
        o.faults[9].silent = true;
        o.faults[5].status = 2;
        o.faults[12].status = 2;
        o.notListening = {14};
    });
    const fs::path json = dir / "report.json";
    const CtlRun r = ctl("--hosts " + list().string() + " --jobs 4 --json " + json.string() + " clock set now");
    EXPECT_EQ(r.status, 1) << r.err;
    std::string summary;
    const std::vector<Fields> lines = vendorLines(r, &summary);
    ASSERT_EQ(lines.size(), 16u) << r.out;
    EXPECT_EQ(summary, "11 ok, 5 failed, 0 not tried");
    for (size_t i = 0; i < lines.size(); ++i) {
        const Fields &f = lines[i];
        ASSERT_EQ(f.size(), 5u) << i;
        EXPECT_EQ(f[0], "127.0.0.1:" + std::to_string(fleet->port(i))); // in list order, the port shown
        EXPECT_EQ(f[1], vendorsim::fleetVendorName(i));
        const size_t k = i + 1;
        const bool refused = k == 14, broken = k == 3 || k == 9 || k == 5 || k == 12;
        EXPECT_EQ(f[2], refused || broken ? "FAIL" : "OK") << k;
        EXPECT_EQ(f[3],
                  refused      ? "通信できません。 環境を確認してください。"
                      : broken ? "時刻情報の設定に失敗しました。"
                               : "時刻情報を設定しました")
            << k;
        EXPECT_EQ(f[4].substr(f[4].size() - 3), " ms");
    }

    // The JSON holds the same report.
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(slurp(json)));
    ASSERT_TRUE(doc.isObject());
    const QJsonArray vendors = doc.object().value("vendors").toArray();
    ASSERT_EQ(vendors.size(), 16);
    for (int i = 0; i < vendors.size(); ++i) {
        const QJsonObject v = vendors[i].toObject();
        const Fields &f = lines[size_t(i)];
        EXPECT_EQ(v.value("vendor").toString().toStdString(), f[0]);
        EXPECT_EQ(v.value("name").toString().toStdString(), f[1]);
        EXPECT_EQ(v.value("status").toString().toStdString(), f[2]);
        EXPECT_EQ(v.value("message").toString().toStdString(), f[3]);
        EXPECT_EQ(std::to_string(v.value("ms").toInt()) + " ms", f[4]);
    }
    const QJsonObject s = doc.object().value("summary").toObject();
    EXPECT_EQ(s.value("ok").toInt(), 11);
    EXPECT_EQ(s.value("failed").toInt(), 5);
    EXPECT_EQ(s.value("not_tried").toInt(), 0);
    EXPECT_EQ(doc.object().value("command").toString(), "clock set now");
}

TEST_F(Fleet, EveryVendorGetsItsOwnNumberAndTheClockReportShowsTheOffset)
{
    startFleet(6);
    fleet->at(2)->setClockOffset(-90);
    CtlRun r = ctl("--hosts " + list().string() + " number set --from-list");
    EXPECT_EQ(r.status, 0) << r.err;
    for (size_t i = 0; i < fleet->size(); ++i)
        EXPECT_EQ(fleet->at(i)->deviceNumber(), "S0000" + std::to_string(i + 1));
    std::string summary;
    EXPECT_EQ(vendorLines(r, &summary).size(), 6u);
    EXPECT_EQ(summary, "6 ok, 0 failed, 0 not tried");

    r = ctl("--hosts " + list().string() + " clock get");
    EXPECT_EQ(r.status, 0);
    const std::vector<Fields> lines = vendorLines(r);
    ASSERT_EQ(lines.size(), 6u);
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].size(), 7u);
        EXPECT_EQ(lines[i][5].size(), 17u); // YY/MM/DD hh:mm:ss
        const long long offset = std::stoll(lines[i][6]);
        if (i == 2)
            EXPECT_NEAR(offset, -90, 1) << lines[i][6];
        else
            EXPECT_NEAR(offset, 0, 1) << lines[i][6];
    }
}

TEST_F(Fleet, MfpGetWritesOneExactFilePerSucceedingVendor)
{
    startFleet(5, [](vendorsim::FleetOptions &o) {
        o.faults[2].status = 3;
        o.notListening = {4};
    });
    std::array<uint8_t, vendorsim::kMfpSetSize> params{};
    for (size_t i = 0; i < params.size(); ++i)
        params[i] = uint8_t(i % 7);
    fleet->at(4)->setMfpParameters(params);
    const fs::path out = dir / "csv";
    fs::create_directory(out);
    const CtlRun r = ctl("--hosts " + list().string() + " mfp get -o " + out.string());
    EXPECT_EQ(r.status, 1);
    std::set<std::string> files;
    for (const auto &e : fs::directory_iterator(out))
        files.insert(e.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"vendor0001.csv", "vendor0003.csv", "vendor0005.csv"}));

    // Each is what the one-vendor command writes for that vendor.
    for (size_t i : {0, 2, 4}) {
        const fs::path one = dir / "one.csv";
        const CtlRun single = ctl("--port " + std::to_string(fleet->port(i)) + " mfp get -o " + one.string());
        ASSERT_EQ(single.status, 0) << single.err;
        EXPECT_EQ(slurp(out / (vendorsim::fleetVendorName(i) + ".csv")), slurp(one)) << i;
    }
}

TEST_F(Fleet, EachVendorGetsTheExchangesOfTheOneVendorCommand)
{
    startFleet(3, [](vendorsim::FleetOptions &o) { o.base.recordRequests = true; });
    const fs::path csv = dir / "set.csv";
    spit(csv, "MFPconfig\r\n3,161,1,1\r\n101,1\r\n");
    ASSERT_EQ(ctl("--hosts " + list().string() + " mfp set " + csv.string()).status, 0);
    ASSERT_EQ(ctl("--hosts " + list().string() + " number set --from-list").status, 0);

    auto single = testutil::startSimulator();
    ASSERT_TRUE(single);
    const std::string port = "--port " + std::to_string(single->port());
    ASSERT_EQ(ctl(port + " mfp set " + csv.string()).status, 0);
    ASSERT_EQ(ctl(port + " number set S00002").status, 0);
    EXPECT_EQ(fleet->at(1)->requests(), single->requests());
    EXPECT_GT(single->requests().size(), 3u);
}

TEST_F(Fleet, ASlowVendorHoldsOnlyItsOwnJob)
{
    startFleet(12, [](vendorsim::FleetOptions &o) {
        for (size_t k : {1, 2, 3})
            o.faults[k].silent = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const CtlRun r = ctl("--hosts " + list().string() + " --jobs 4 number get");
    const auto wall = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, 1);
    const std::vector<Fields> lines = vendorLines(r);
    ASSERT_EQ(lines.size(), 12u);
    const long long silentMs = std::stoll(lines[0][4]);
    for (size_t i = 3; i < lines.size(); ++i)
        EXPECT_EQ(lines[i][2], "OK") << i;
    // The three silent vendors ran side by side, and the others on the fourth job meanwhile.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(wall).count(), 2 * silentMs);
}

TEST_F(Fleet, CtrlCLetsTheRunningVendorsEndAndTriesNoMore)
{
    startFleet(30, [](vendorsim::FleetOptions &o) { o.base.faults.delayMs = 150; });
    const fs::path out = dir / "csv";
    fs::create_directory(out);
    const pid_t pid = spawn("--hosts " + list().string() + " --jobs 3 mfp get -o " + out.string());
    // Interrupted once some vendors have been served and others are running.
    for (int i = 0; i < 200 && exchanges() < 9; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(pid, SIGINT);
    const CtlRun r = finish(pid);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
    std::string summary;
    const std::vector<Fields> lines = vendorLines(r, &summary);
    ASSERT_EQ(lines.size(), 30u);
    size_t ok = 0, notTried = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool written = fs::exists(out / (vendorsim::fleetVendorName(i) + ".csv"));
        if (lines[i][2] == "OK") {
            ++ok;
            EXPECT_TRUE(written) << i;
            EXPECT_EQ(notTried, 0u) << "vendors start in list order";
        } else {
            EXPECT_EQ(lines[i][2], "NOT TRIED") << i; // the running ones ended within their limits
            EXPECT_FALSE(written) << i;
            EXPECT_EQ(fleet->at(i)->exchanges(), 0) << i;
            ++notTried;
        }
    }
    EXPECT_GE(ok, 3u);
    EXPECT_GE(notTried, 1u);
    EXPECT_EQ(summary, std::to_string(ok) + " ok, 0 failed, " + std::to_string(notTried) + " not tried");
    // Nothing half written: the folder holds the finished files only.
    size_t files = 0;
    for ([[maybe_unused]] const auto &e : fs::directory_iterator(out))
        ++files;
    EXPECT_EQ(files, ok);
}

TEST_F(Fleet, ASecondCtrlCEndsTheRunningWaitsAtOnce)
{
    startFleet(8, [](vendorsim::FleetOptions &o) { o.base.faults.silent = true; });
    const pid_t pid = spawn("--hosts " + list().string() + " --jobs 3 clock get");
    for (int i = 0; i < 200 && exchanges() < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto start = std::chrono::steady_clock::now();
    ::kill(pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(pid, SIGINT);
    const CtlRun r = finish(pid);
    // A silent vendor holds a clock read for about 3 s; cancelled, it ends at once.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    std::string summary;
    const std::vector<Fields> lines = vendorLines(r, &summary);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(summary, "0 ok, 3 failed, 5 not tried");
    EXPECT_EQ(lines[0][2], "FAIL");
    EXPECT_EQ(lines[3][2], "NOT TRIED");
}

TEST_F(Fleet, UsageErrorsSendNothingToAnyone)
{
    startFleet(3);
    const std::string hosts = "--hosts " + list().string() + " ";
    const fs::path bad = dir / "bad.txt";
    spit(bad, slurp(list()) + "127.0.0.1:" + std::to_string(fleet->port(0)) + " again\nlocalhost\n");
    const fs::path noNumbers = dir / "nonumbers.txt";
    spit(noNumbers,
         "127.0.0.1:" + std::to_string(fleet->port(0)) + " a\n127.0.0.1:" + std::to_string(fleet->port(1)) +
             " b B\n");
    const fs::path sameNames = dir / "samenames.txt";
    spit(sameNames,
         "127.0.0.1:" + std::to_string(fleet->port(0)) + " Shop\n127.0.0.1:" + std::to_string(fleet->port(1)) +
             " shop\n");
    const struct {
        std::string args;
        std::string says;
    } cases[] = {
        {"--hosts " + bad.string() + " clock get", ":5: 127.0.0.1:"},
        {"--hosts " + bad.string() + " clock get", ":6: not a numeric"},
        {"--hosts " + (dir / "missing.txt").string() + " clock get", "cannot read the vendor list"},
        {"--hosts /dev/zero clock get", "cannot read the vendor list"},
        {hosts + "number set ABC", "--from-list"},
        {"--hosts " + noNumbers.string() + " number set --from-list", "a NUMBER on every line"},
        {"number set --from-list", "needs --hosts"},
        {hosts + "mfp get", "-o DIR"},
        {hosts + "mfp get -o " + (dir / "nowhere").string(), "no such folder"},
        {"--hosts " + sameNames.string() + " mfp get -o " + dir.string(), "line 1 already"},
        {hosts + "--host 127.0.0.1 clock get", "exclude each other"},
        {hosts + "--jobs 0 clock get", "--jobs"},
        {hosts + "--jobs 1025 clock get", "--jobs"},
        {"--jobs 4 clock get", "go with --hosts"},
        {hosts + "logo render x.slp", "files only"},
        {hosts + "mfp show x.csv", "reads no vendor"},
        {hosts + "clock set 2024-02-30 10:00", "invalid date"},
        {hosts + "--json " + (dir / "nowhere" / "r.json").string() + " clock get", "--json"},
    };
    for (const auto &c : cases) {
        const CtlRun r = ctl(c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_EQ(exchanges(), 0);
}

TEST_F(Fleet, TheSimulatorCommandStartsAFleetAndWritesItsList)
{
    // The simulator as a program: five vendors on consecutive ports, the second silent.
    const fs::path simList = dir / "sim-list.txt";
    const std::string cmd = std::string("exec ") + VENDORSIM_PATH +
        " --quiet --count 5 --port-range --port 0 --fault-hosts 2:no-reply --fault-hosts 4:status=1 --list " +
        simList.string() + " >" + (dir / "sim.out").string() + " 2>&1";
    const pid_t sim = ::fork();
    if (sim == 0) {
        ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 500 && slurp(dir / "sim.out").find("listening") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const CtlRun r = ctl("--hosts " + simList.string() + " number get");
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    EXPECT_EQ(r.status, 1) << slurp(dir / "sim.out") << r.err;
    std::string summary;
    const std::vector<Fields> lines = vendorLines(r, &summary);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1][2], "FAIL");
    EXPECT_EQ(lines[3][2], "FAIL");
    EXPECT_EQ(summary, "3 ok, 2 failed, 0 not tried");
    EXPECT_NE(slurp(simList).find(" vendor0002 S00002  # no-reply\n"), std::string::npos);
}
