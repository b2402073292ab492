#pragma once
// quorvelctl: the vendor operations and the logo file operations from the command line.
// main.cpp parses the global options and dispatches; each command family lives in its
// own file.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class COrvathVender;

namespace ctl {

// Exit statuses of quorvelctl.
enum ExitCode : int { kSuccess = 0, kFailure = 1, kUsage = 2 };

struct Options {
    std::string host = "127.0.0.1";
    uint16_t port = 9004;
    bool trace = false; // print the trace ring on standard error after the command
};

// "clock ...", "number ...", "logo send ..." (talks to the vendor).
int runVendorCommand(const Options &opt, const std::vector<std::string> &args);

// "logo render ...", "logo header ..." (files only, no vendor).
int runLogoFileCommand(const std::vector<std::string> &args);

// "mfp get ...", "mfp set ...", "mfp show ..." (the vendor's MFP parameters and their file).
int runMfpCommand(const Options &opt, const std::vector<std::string> &args);

// Opens the connection, runs `op`, closes it, and prints the trace when asked for. When
// the connection cannot be opened, says so and returns kFailure without running `op`.
int withVendor(const Options &opt, const std::function<int(COrvathVender &)> &op);

// `cp932` as UTF-8, as the command line prints the tool's texts.
std::string utf8(const std::string &cp932);

// Says "quorvelctl: <what><arg> (see --help)" on standard error; returns kUsage.
int usage(const char *what, const std::string &arg = {});

// Makes standard output and error carry the program's bytes unchanged (binary mode where
// the system has a text mode). One file per platform: ctl_console_posix.cpp,
// ctl_console_win.cpp. Call first thing in main.
void prepareStandardStreams();

// Help text for each family, appended to --help.
const char *vendorCommandsHelp();
const char *logoFileCommandsHelp();
const char *mfpCommandsHelp();

} // namespace ctl
