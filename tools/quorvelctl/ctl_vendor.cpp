// Vendor commands of quorvelctl: clock, number, logo send. Every argument is checked
// before the connection is opened, so a usage error sends nothing.
#include "ctl.h"

#include "comm/vender.h"
#include "platform/atomicfile.h"
#include "platform/calendar.h"
#include "platform/cp932.h"
#include "platform/messages.h"
#include "texts/clock.h"
#include "texts/comm.h"
#include "texts/logo.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

namespace ctl {

std::string utf8(const std::string &cp932)
{
    return platform::utf8FromCp932(cp932);
}

int usage(const char *what, const std::string &arg)
{
    std::fprintf(stderr, "quorvelctl: %s%s (see --help)\n", what, arg.c_str());
    return kUsage;
}

namespace {

// The first line of the vendor dialogs' failure report for the operation `title`.
void failed(Reporter &r, const char *title)
{
    const std::string text = utf8(FailureMessage(title));
    r.err(text.substr(0, text.find('\n')) + "\n");
}

bool parseInt(const std::string &text, int min, int max, int &out)
{
    if (text.empty() || text.size() > 4)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    out = int(std::strtol(text.c_str(), nullptr, 10)); // at most four digits, checked above
    return out >= min && out <= max;
}

// "YYYY-MM-DD" and "HH:MM[:SS]"; the vendor keeps the year within the century, so only
// 2000-2099 can be set.
bool parseDateTime(const std::string &date, const std::string &time, DeviceDateTime &out)
{
    if (date.size() != 10 || date[4] != '-' || date[7] != '-')
        return false;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!parseInt(date.substr(0, 4), 2000, 2099, y) || !parseInt(date.substr(5, 2), 1, 12, mo))
        return false;
    if (!parseInt(date.substr(8, 2), 1, 31, d) || !platform::dateExists(y, mo, d))
        return false;
    if ((time.size() != 5 && time.size() != 8) || time[2] != ':' || (time.size() == 8 && time[5] != ':'))
        return false;
    if (!parseInt(time.substr(0, 2), 0, 23, h) || !parseInt(time.substr(3, 2), 0, 59, mi))
        return false;
    if (time.size() == 8 && !parseInt(time.substr(6, 2), 0, 59, s))
        return false;
    out = {uint8_t(y - 2000), uint8_t(mo), uint8_t(d), uint8_t(h), uint8_t(mi), uint8_t(s)};
    return true;
}

DeviceDateTime localNow()
{
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    platform::localTime(t, tm);
    return {uint8_t(tm.tm_year % 100), uint8_t(tm.tm_mon + 1), uint8_t(tm.tm_mday),
            uint8_t(tm.tm_hour),       uint8_t(tm.tm_min),     uint8_t(tm.tm_sec)};
}

// Prints as the job goes: one vendor, no report.
class PrintingReporter : public Reporter {
public:
    void out(const std::string &text) override { std::fputs(text.c_str(), stdout); }
    void err(const std::string &text) override { std::fputs(text.c_str(), stderr); }
    void clock(const DeviceDateTime &vendor, std::time_t) override
    {
        std::printf("%s\n", DeviceDateTimeText(vendor).c_str());
    }
};

} // namespace

int runJob(COrvathVender &vender, const Target &target, const VendorJob &job, Reporter &reporter)
{
    vender.SetAddress(target.host, target.port);
    vender.SetMessageSink(
        [&reporter](const std::string &text, VenderMessageIcon) { reporter.err(utf8(text) + "\n"); });
    if (!vender.OpenSession(1)) {
        reporter.err(utf8(commtext::kMsgNoConnection) + "\n");
        return kFailure;
    }
    const int rc = job(vender, reporter, target);
    vender.CloseSession();
    return rc;
}

int runSingle(const Options &opt, const VendorJob &job)
{
    COrvathVender vender;
    PrintingReporter reporter;
    Target target;
    target.host = opt.host;
    target.port = opt.port;
    const int rc = runJob(vender, target, job, reporter);
    if (opt.trace)
        for (const std::string &line : vender.Trace().entries())
            std::fprintf(stderr, "%s\n", utf8(line).c_str());
    return rc;
}

namespace {

Prepared usageError(const char *what, const std::string &arg = {})
{
    return {nullptr, usage(what, arg)};
}

Prepared clockCommand(const std::vector<std::string> &args)
{
    const std::string sub = args.size() > 1 ? args[1] : "";
    if (sub == "get") {
        if (args.size() != 2)
            return usageError("clock get takes no arguments");
        return {[](COrvathVender &v, Reporter &r, const Target &) {
            DeviceDateTime t;
            if (!v.ReadClock(t)) {
                r.err(utf8(clocktext::kCommError) + "\n");
                return int(kFailure);
            }
            r.clock(t, std::time(nullptr));
            return int(kSuccess);
        }};
    }
    if (sub == "set") {
        DeviceDateTime when{};
        bool now = false;
        if (args.size() == 3 && args[2] == "now") {
            now = true;
        } else if (args.size() == 4 || (args.size() == 3 && args[2].find(' ') != std::string::npos)) {
            // The date and the time as two arguments, or as one quoted argument.
            std::string date = args[2], time = args.size() == 4 ? args[3] : "";
            if (args.size() == 3) {
                time = date.substr(date.find(' ') + 1);
                date = date.substr(0, date.find(' '));
            }
            if (!parseDateTime(date, time, when))
                return usageError("invalid date or time (YYYY-MM-DD HH:MM[:SS], years 2000-2099): ",
                                  args.size() == 4 ? args[2] + " " + args[3] : args[2]);
        } else {
            return usageError("clock set needs \"now\" or a date and time YYYY-MM-DD HH:MM[:SS]");
        }
        // "now" is each vendor's own moment: the PC time when its setting goes out.
        return {[now, when](COrvathVender &v, Reporter &r, const Target &) {
            if (!v.SetClock(now ? localNow() : when)) {
                failed(r, clocktext::kTitleSetClock);
                return int(kFailure);
            }
            r.out(utf8(clocktext::kMsgClockSet) + "\n");
            return int(kSuccess);
        }};
    }
    return usageError("clock needs \"get\" or \"set\"");
}

// Sets the device number `text` (checked: at most six 7-bit ASCII characters).
int setNumber(COrvathVender &v, Reporter &r, const std::string &text)
{
    if (!v.SetDeviceNumber(text.c_str())) {
        failed(r, clocktext::kTitleSetNumber);
        return kFailure;
    }
    r.out(utf8(clocktext::kMsgNumberSet) + "\n");
    return kSuccess;
}

Prepared numberCommand(const std::vector<std::string> &args, const Fleet &fleet)
{
    const std::string sub = args.size() > 1 ? args[1] : "";
    if (sub == "get") {
        if (args.size() != 2)
            return usageError("number get takes no arguments");
        return {[](COrvathVender &v, Reporter &r, const Target &) {
            char number[kDeviceNumberLength + 1];
            if (!v.ReadDeviceNumber(number)) {
                r.err(utf8(clocktext::kCommError) + "\n");
                return int(kFailure);
            }
            r.out(utf8(std::string(number, kDeviceNumberLength)) + "\n");
            return int(kSuccess);
        }};
    }
    if (sub == "set" && args.size() == 3 && args[2] == "--from-list") {
        if (!fleet.active)
            return usageError("number set --from-list needs --hosts FILE");
        if (!fleet.everyNumberListed)
            return usageError("number set --from-list needs a NUMBER on every line of the list");
        return {[](COrvathVender &v, Reporter &r, const Target &t) { return setNumber(v, r, t.number); }};
    }
    if (sub == "set") {
        if (args.size() != 3)
            return usageError("number set needs the device number TEXT (up to six characters)");
        // Every vendor has a number of its own: one text for a whole list is refused.
        if (fleet.active)
            return usageError("with --hosts, number set takes --from-list (each vendor its own NUMBER)");
        const std::string &text = args[2];
        for (unsigned char c : text)
            if (c >= 0x80) {
                std::fprintf(stderr, "%s\n", utf8(clocktext::kMsgNotAscii).c_str());
                return {nullptr, kUsage};
            }
        if (text.size() > kDeviceNumberLength)
            return usageError("the device number has at most six characters: ", text);
        return {[text](COrvathVender &v, Reporter &r, const Target &) { return setNumber(v, r, text); }};
    }
    return usageError("number needs \"get\" or \"set\"");
}

Prepared logoSendCommand(const std::vector<std::string> &args)
{
    if (args.size() != 3)
        return usageError("logo send needs the work image FILE");
    const std::string &file = args[2];
    // Checked before the connection is opened: only a regular file can be a work file
    // (a FIFO or a device would block the transfer or never end).
    if (platform::pathKind(file) != platform::PathKind::RegularFile) {
        std::fprintf(stderr, "%s\n%s\n", utf8(commtext::kMsgLogoFileUnreadable).c_str(),
                     utf8(logotext::kMsgLogoSendFailed).c_str());
        return {nullptr, kFailure};
    }
    return {[file](COrvathVender &v, Reporter &r, const Target &) {
        if (!v.SendLogo(1, file)) {
            r.err(utf8(logotext::kMsgLogoSendFailed) + "\n");
            return int(kFailure);
        }
        r.out(utf8(logotext::kMsgLogoSent) + "\n");
        return int(kSuccess);
    }};
}

} // namespace

const char *vendorCommandsHelp()
{
    return "  clock get                          print the vendor clock as YY/MM/DD HH:MM:SS\n"
           "  clock set now                      set the vendor clock to the PC's local time\n"
           "  clock set YYYY-MM-DD HH:MM[:SS]    set the vendor clock to that time (seconds default 0;\n"
           "                                     the vendor keeps years 2000-2099)\n"
           "  number get                         print the vendor's six-character device number\n"
           "  number set TEXT                    set the device number (filled up with spaces to six;\n"
           "                                     at most six 7-bit ASCII characters)\n"
           "  number set --from-list             with --hosts: give each vendor the NUMBER of its line\n"
           "  logo send FILE                     send FILE, a work image file, as the receipt logo\n";
}

Prepared prepareVendorCommand(const std::vector<std::string> &args, const Fleet &fleet)
{
    const std::string &cmd = args.at(0);
    if (cmd == "clock")
        return clockCommand(args);
    if (cmd == "number")
        return numberCommand(args, fleet);
    if (cmd == "logo" && args.size() > 1 && args[1] == "send")
        return logoSendCommand(args);
    return usageError("unknown command: ", cmd + (args.size() > 1 ? " " + args[1] : std::string()));
}

} // namespace ctl
