#pragma once
// quorvelctl: the vendor operations and the logo file operations from the command line.
// main.cpp parses the global options and dispatches; each command family lives in its
// own file.
//
// A vendor command is prepared once (its arguments checked, its files loaded) into a
// VendorJob, which then runs against one vendor or, with --hosts, against every vendor of
// a list: the same job, the same exchanges, the same limits. What the job says goes to a
// Reporter, which prints it (one vendor) or keeps it for the fleet report.
#include "comm/vender.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ctl {

// Exit statuses of quorvelctl.
enum ExitCode : int { kSuccess = 0, kFailure = 1, kUsage = 2 };

struct Options {
    std::string host = "127.0.0.1";
    uint16_t port = 9004;
    bool trace = false; // print the trace ring on standard error after the command
    std::string hostsFile; // --hosts: run the command against every vendor of this list
    int jobs = 32; // --jobs: vendors served at the same time
    std::string jsonFile; // --json: the fleet report as JSON too
};

// Where a job's words go. Texts are UTF-8 and end with a newline.
class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void out(const std::string &text) = 0; // what the command prints on standard output
    virtual void err(const std::string &text) = 0; // its messages on standard error
    // The clock a vendor gave, with the PC's calendar time when its reply was in.
    virtual void clock(const DeviceDateTime &vendor, std::time_t pcTime) = 0;
};

// The vendor a job runs against.
struct Target {
    std::string host;
    uint16_t port = 0;
    std::string name; // the operator's label (fleet only)
    std::string number; // the device number the list gives it (fleet only)
    std::string fileStem; // name of the files written for it (fleet only)
};

// Runs against the open session; returns an ExitCode.
using VendorJob = std::function<int(COrvathVender &, Reporter &, const Target &)>;

// What preparing a command gives: a job to run, or the exit status of a command that ends
// before any vendor is asked (a usage error, a file that cannot be read), already reported.
struct Prepared {
    VendorJob job;
    int status = kSuccess;
};

// Whether the command runs against one vendor or a list of them; prepare functions refuse
// what does not fit (`number set TEXT` for a whole list, `mfp get` to standard output).
struct Fleet {
    bool active = false;
    bool everyNumberListed = false; // every vendor of the list has a NUMBER
};

// "clock ...", "number ...", "logo send ..." (talks to the vendor).
Prepared prepareVendorCommand(const std::vector<std::string> &args, const Fleet &fleet);

// "logo render ...", "logo header ..." (files only, no vendor).
int runLogoFileCommand(const std::vector<std::string> &args);

// "mfp get ...", "mfp set ...", "mfp show ..." (the vendor's MFP parameters and their file).
// A command that needs no vendor (`mfp show FILE`) runs at once and gives no job.
Prepared prepareMfpCommand(const std::vector<std::string> &args, const Fleet &fleet);

// Opens the connection to `target`, runs `job`, closes it. When the connection cannot be
// opened, says so and returns kFailure without running the job. `vender` is fresh.
int runJob(COrvathVender &vender, const Target &target, const VendorJob &job, Reporter &reporter);

// Runs `job` against the one vendor of `opt`, printing as it goes; prints the trace after
// it when asked for.
int runSingle(const Options &opt, const VendorJob &job);

// Runs `job` against every vendor of opt.hostsFile and prints the report.
int runFleet(const Options &opt, const std::vector<std::string> &args);

// `cp932` as UTF-8, as the command line prints the tool's texts.
std::string utf8(const std::string &cp932);

// Says "quorvelctl: <what><arg> (see --help)" on standard error; returns kUsage.
int usage(const char *what, const std::string &arg = {});

// Makes standard output and error carry the program's bytes unchanged (binary mode where
// the system has a text mode). One file per platform: ctl_console_posix.cpp,
// ctl_console_win.cpp. Call first thing in main.
void prepareStandardStreams();

// The program's arguments with the tool's texts and paths as CP932 bytes: on POSIX argv as
// it is; on Windows read from the command line as UTF-16 and converted to CP932, whatever
// the system's ANSI code page (a character CP932 cannot hold becomes "?").
std::vector<std::string> commandLineArguments(int argc, char **argv);

// Help text for each family, appended to --help.
const char *vendorCommandsHelp();
const char *logoFileCommandsHelp();
const char *mfpCommandsHelp();
const char *fleetHelp();

} // namespace ctl
