// Every vendor operation against every misbehaviour the simulated vendor can show. Each
// case must end in the true result or a failure within its time limit, never in a success
// for an operation that did not happen; and the same operation must succeed once the
// vendor behaves again. The cases run side by side, each with a simulator of its own,
// over the in-memory connection on the virtual clock: the times taken are virtual ones.
#include "comm/vender.h"
#include "support/testutil.h"
#include "vendorsim/vendorsim.h"
#include "virtualvendor.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <thread>

using namespace testutil;
namespace fs = std::filesystem;

namespace {

// What a fault lets an operation come to.
enum class Expect {
    Success, // the true result
    Failure, // a failure
    ReadsFail, // reads fail (their data are missing), settings succeed
};

struct Fault {
    const char *name;
    std::function<void(vendorsim::Faults &)> apply; // null: nothing listens (every connect is refused)
    Expect expect;
    double limitS; // the longest a failing operation may take (three attempts)
    double perExchangeS = 0; // time each exchange costs even when it succeeds
};

std::set<int> every()
{
    std::set<int> s;
    for (int i = 1; i <= 400; ++i)
        s.insert(i);
    return s;
}

const std::vector<Fault> &faults()
{
    static const std::vector<Fault> list = {
        {"no reply", [](vendorsim::Faults &f) { f.noReply = every(); }, Expect::Failure, 3 * 1.0},
        {"reply in pieces",
         [](vendorsim::Faults &f) {
             f.pieces = {3, 2};
             f.pieceGapMs = 150;
         },
         Expect::Success, 0, 0.3},
        {"reply slower than a wait", [](vendorsim::Faults &f) { f.delayMs = 1100; }, Expect::Failure, 3 * 1.0},
        // Every gap under the 1 s of a wait; junk in front makes even a six-byte reply
        // last past the whole-reply limit.
        {"trickle past the whole-reply limit",
         [](vendorsim::Faults &f) {
             f.junkBefore = 8;
             f.pieces.assign(10, 1);
             f.pieceGapMs = 930;
         },
         Expect::Failure, 3 * 6.0},
        {"wrong check byte", [](vendorsim::Faults &f) { f.badBcc = every(); }, Expect::Failure, 3 * 1.0},
        {"wrong TYPE", [](vendorsim::Faults &f) { f.badType = every(); }, Expect::Failure, 3 * 1.0},
        {"wrong CMD", [](vendorsim::Faults &f) { f.badCmd = every(); }, Expect::Failure, 0.5},
        {"wrong STA", [](vendorsim::Faults &f) { f.badSta = every(); }, Expect::Failure, 3 * 1.0},
        {"non-zero status", [](vendorsim::Faults &f) { f.status = 1; }, Expect::Failure, 0.5},
        {"close mid-reply", [](vendorsim::Faults &f) { f.closeMidReply = every(); }, Expect::Failure, 0.5},
        {"bytes after the frame", [](vendorsim::Faults &f) { f.trailing = 9; }, Expect::Success, 0},
        {"late reply to the previous request",
         [](vendorsim::Faults &f) {
             f.delayMs = 1100;
             f.delayOn = {1};
         },
         Expect::Success, 0, 0},
        {"acknowledgement without data", [](vendorsim::Faults &f) { f.ackOnly = every(); }, Expect::ReadsFail,
         0.5},
        {"request echoed", [](vendorsim::Faults &f) { f.echo = every(); }, Expect::Failure, 0.5},
        {"junk before the SOH", [](vendorsim::Faults &f) { f.junkBefore = 11; }, Expect::Success, 0},
        {"nothing listening", nullptr, Expect::Failure, 0.5},
    };
    return list;
}

// One vendor operation: runs it, and when it reports success, checks that the result is
// the vendor's truth (a read) or that the vendor's state changed (a setting).
struct Operation {
    const char *name;
    bool isRead;
    int exchanges; // when nothing goes wrong
    // Returns "" when the operation failed, "ok" when it succeeded with the true result,
    // and a description of the lie otherwise.
    std::function<std::string(COrvathVender &, vendorsim::Simulator &, const std::string &logo)> run;
};

const std::vector<Operation> &operations()
{
    static const std::vector<Operation> list = {
        {"clock read", true, 1,
         [](COrvathVender &v, vendorsim::Simulator &, const std::string &) -> std::string {
             DeviceDateTime t{};
             if (!v.ReadClock(t))
                 return "";
             return std::fabs(double(asTime(t) - std::time(nullptr))) <= 3 ? "ok"
                                                                           : "a clock that is not the vendor's";
         }},
        {"clock set", false, 1,
         [](COrvathVender &v, vendorsim::Simulator &sim, const std::string &) -> std::string {
             sim.setClockOffset(0);
             if (!v.SetClock({37, 5, 6, 7, 8, 9}))
                 return "";
             return sim.clockOffset() != 0 ? "ok" : "the vendor's clock was not set";
         }},
        {"number read", true, 1,
         [](COrvathVender &v, vendorsim::Simulator &sim, const std::string &) -> std::string {
             char n[kDeviceNumberLength + 1] = {};
             if (!v.ReadDeviceNumber(n))
                 return "";
             return sim.deviceNumber() == n ? "ok" : std::string("a number that is not the vendor's: ") + n;
         }},
        {"number set", false, 1,
         [](COrvathVender &v, vendorsim::Simulator &sim, const std::string &) -> std::string {
             if (!v.SetDeviceNumber("FM0042"))
                 return "";
             return sim.deviceNumber() == "FM0042" ? "ok" : "the number was not set";
         }},
        {"logo send", false, 25,
         [](COrvathVender &v, vendorsim::Simulator &sim, const std::string &logo) -> std::string {
             const int before = sim.logosReceived();
             if (!v.SendLogo(1, logo))
                 return "";
             return sim.logosReceived() > before && sim.receivedLogo() == sampleWorkFile() ? "ok"
                                                                                           : "no logo arrived";
         }},
        {"MFP get", true, 1,
         [](COrvathVender &v, vendorsim::Simulator &sim, const std::string &) -> std::string {
             std::array<uint8_t, 112> set{};
             for (size_t i = 0; i < set.size(); ++i)
                 set[i] = uint8_t(i * 3 + 1);
             sim.setMfpParameters(set);
             uint8_t block[kMfpPaperBlockSize] = {};
             if (!v.GetMfpParameter(MfpParamKind::Paper, block))
                 return "";
             return std::equal(block, block + kMfpPaperBlockSize, set.begin())
                 ? "ok"
                 : "a block that is not the vendor's";
         }},
        {"MFP set", false, 1,
         [](COrvathVender &v, vendorsim::Simulator &sim, const std::string &) -> std::string {
             uint8_t block[kMfpPaperBlockSize];
             for (size_t i = 0; i < sizeof block; ++i)
                 block[i] = uint8_t(200 - i);
             if (!v.SetMfpParameter(MfpParamKind::Paper, block))
                 return "";
             const auto set = sim.mfpParameters();
             return std::equal(block, block + sizeof block, set.begin()) ? "ok" : "the block was not set";
         }},
    };
    return list;
}

struct Result {
    std::string report; // empty when the case held
};

Result runCase(const Fault &fault, const Operation &op, const std::string &logo)
{
    std::ostringstream bad;
    const std::string label = std::string(op.name) + " / " + fault.name + ": ";
    vendorsim::Faults f;
    if (fault.apply)
        fault.apply(f);
    VirtualVendor vendor(f);
    vendorsim::Simulator &sim = vendor.sim;
    if (!fault.apply)
        vendor.connects = [](int) { return CConnectAnswer{CConnectAnswer::Refuse}; };

    COrvathVender v;
    v.SetBackend(vendor.net);
    const int64_t t0 = vendor.nowMs();
    v.OpenSession(1);
    const std::string outcome = op.run(v, sim, logo);
    const double took = double(vendor.nowMs() - t0) / 1000;

    const bool succeeded = !outcome.empty();
    const bool shouldSucceed =
        fault.expect == Expect::Success || (fault.expect == Expect::ReadsFail && !op.isRead);
    if (succeeded && outcome != "ok")
        bad << label << "success reported, but " << outcome << "\n";
    if (succeeded != shouldSucceed)
        bad << label << (succeeded ? "succeeded" : "failed") << ", expected the opposite\n";
    const double limit = (shouldSucceed ? 1.0 : fault.limitS) + fault.perExchangeS * op.exchanges + 2.0;
    if (took > limit)
        bad << label << "took " << took << " s, limit " << limit << " s\n";

    // The vendor behaves again: the same operation succeeds with the true result.
    vendor.setFaults({});
    if (!fault.apply) {
        v.CloseSession();
        vendor.connects = nullptr;
        v.OpenSession(1);
    }
    const std::string again = op.run(v, sim, logo);
    if (again != "ok")
        bad << label << "the next operation against a healthy vendor: " << (again.empty() ? "failed" : again)
            << "\n";
    v.CloseSession();
    return {bad.str()};
}

} // namespace

TEST(FaultMatrix, EveryOperationAgainstEveryMisbehaviour)
{
    const fs::path dir = fs::temp_directory_path() / ("quorvel-matrix-" + testsys::processId());
    fs::create_directories(dir);
    const std::string logo = (dir / "shoplogo.imp").string();
    const Bytes file = sampleWorkFile();
    std::ofstream(logo, std::ios::binary)
        .write(reinterpret_cast<const char *>(file.data()), std::streamsize(file.size()));

    std::vector<std::future<Result>> running;
    for (const Fault &fault : faults())
        for (const Operation &op : operations())
            running.push_back(
                std::async(std::launch::async, [&fault, &op, &logo] { return runCase(fault, op, logo); }));
    for (auto &r : running) {
        const Result res = r.get();
        EXPECT_TRUE(res.report.empty()) << res.report;
    }
    fs::remove_all(dir);
}
