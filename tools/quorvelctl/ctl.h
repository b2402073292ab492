#pragma once
// quorvelctl: the vendor operations and the logo file operations from the command line.
// main.cpp parses the global options and dispatches; each command family lives in its
// own file.
#include <cstdint>
#include <string>
#include <vector>

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

// Help text for each family, appended to --help.
const char *vendorCommandsHelp();
const char *logoFileCommandsHelp();

} // namespace ctl
