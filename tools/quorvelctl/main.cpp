// quorvelctl [--host ADDR | --hosts FILE [--jobs N] [--json FILE]] [--port N] [--trace] COMMAND ...
#include "ctl.h"

#include "comm/port.h"
#include "comm/socket.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void printUsage(FILE *to)
{
    std::fprintf(to,
                 "Usage: quorvelctl [--host ADDR] [--port N] [--trace] COMMAND ...\n"
                 "       quorvelctl --hosts FILE [--jobs N] [--json FILE] [--port N] [--trace] COMMAND ...\n"
                 "\n"
                 "options:\n"
                 "  --host ADDR   vendor address in numeric form, IPv4 or IPv6 (default\n"
                 "                127.0.0.1); names are not looked up\n"
                 "  --port N      vendor TCP port (default 9004)\n"
                 "%s"
                 "  --trace       print the communication trace, oldest line first, on\n"
                 "                standard error after the command\n"
                 "  --help        this text\n"
                 "  --version     the version of quorvelctl\n"
                 "\n"
                 "commands:\n%s%s%s"
                 "\n"
                 "exit status: 0 success, 1 failure (vendor, communication or file), 2 usage error\n",
                 ctl::fleetHelp(), ctl::vendorCommandsHelp(), ctl::logoFileCommandsHelp(), ctl::mfpCommandsHelp());
}

} // namespace

int main(int argc, char **argv)
{
    ctl::prepareStandardStreams();
    std::vector<std::string> given = ctl::commandLineArguments(argc, argv);
    std::vector<char *> pointers;
    pointers.reserve(given.size() + 1);
    for (std::string &g : given)
        pointers.push_back(g.data());
    pointers.push_back(nullptr);
    argc = int(given.size());
    argv = pointers.data();
    ctl::Options opt;
    std::vector<std::string> args;
    bool hostGiven = false, jobsGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (!args.empty()) { // options come before the command
            args.emplace_back(a);
        } else if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            printUsage(stdout);
            return ctl::kSuccess;
        } else if (!std::strcmp(a, "--version")) {
            std::printf("quorvelctl (Quorvel) %s\n", QUORVEL_VERSION);
            return ctl::kSuccess;
        } else if (!std::strcmp(a, "--trace")) {
            opt.trace = true;
        } else if (!std::strcmp(a, "--host") || !std::strcmp(a, "--port") || !std::strcmp(a, "--hosts") ||
                   !std::strcmp(a, "--jobs") || !std::strcmp(a, "--json")) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "quorvelctl: %s needs a value\n", a);
                return ctl::kUsage;
            }
            const char *v = argv[++i];
            if (!std::strcmp(a, "--hosts")) {
                opt.hostsFile = v;
            } else if (!std::strcmp(a, "--json")) {
                opt.jsonFile = v;
            } else if (!std::strcmp(a, "--jobs")) {
                char *end = nullptr;
                const long n = std::strtol(v, &end, 10);
                if (*v < '0' || *v > '9' || *end || n < 1 || n > 1024) {
                    std::fprintf(stderr, "quorvelctl: --jobs takes a number from 1 to 1024: %s\n", v);
                    return ctl::kUsage;
                }
                opt.jobs = int(n);
                jobsGiven = true;
            } else if (a[2] == 'h') {
                hostGiven = true;
                if (!IsNumericAddress(v)) {
                    std::fprintf(stderr, "quorvelctl: --host takes a numeric IPv4 or IPv6 address: %s\n", v);
                    return ctl::kUsage;
                }
                opt.host = v;
            } else if (!ParsePort(v, opt.port)) {
                std::fprintf(stderr, "quorvelctl: invalid port: %s\n", v);
                return ctl::kUsage;
            }
        } else if (a[0] == '-' && a[1] == '-') {
            std::fprintf(stderr, "quorvelctl: unknown option: %s\n", a);
            return ctl::kUsage;
        } else {
            args.emplace_back(a);
        }
    }
    if (args.empty()) {
        printUsage(stderr);
        return ctl::kUsage;
    }
    const bool fleet = !opt.hostsFile.empty();
    if (fleet && hostGiven)
        return ctl::usage("--host and --hosts exclude each other");
    if (!fleet && (jobsGiven || !opt.jsonFile.empty()))
        return ctl::usage("--jobs and --json go with --hosts FILE");
    const std::string &cmd = args[0];
    if (cmd == "logo" && args.size() >= 2 && (args[1] == "render" || args[1] == "header")) {
        if (fleet)
            return ctl::usage("logo render and logo header work on files only: leave out --hosts");
        return ctl::runLogoFileCommand(args);
    }
    if (cmd != "mfp" && cmd != "clock" && cmd != "number" && cmd != "logo") {
        std::fprintf(stderr, "quorvelctl: unknown command: %s (see --help)\n", cmd.c_str());
        return ctl::kUsage;
    }
    if (fleet)
        return ctl::runFleet(opt, args);
    const ctl::Prepared prepared =
        cmd == "mfp" ? ctl::prepareMfpCommand(args, {}) : ctl::prepareVendorCommand(args, {});
    if (!prepared.job)
        return prepared.status;
    return ctl::runSingle(opt, prepared.job);
}
