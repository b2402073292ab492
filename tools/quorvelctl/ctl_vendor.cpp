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
void failed(const char *title)
{
    const std::string text = utf8(FailureMessage(title));
    std::fprintf(stderr, "%s\n", text.substr(0, text.find('\n')).c_str());
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

} // namespace

// Opens the connection, runs the operation, closes, prints the trace when asked for.
int withVendor(const Options &opt, const std::function<int(COrvathVender &)> &op)
{
    COrvathVender vender;
    vender.SetAddress(opt.host, opt.port);
    vender.SetMessageSink(
        [](const std::string &text, VenderMessageIcon) { std::fprintf(stderr, "%s\n", utf8(text).c_str()); });
    int rc;
    if (!vender.OpenSession(1)) {
        std::fprintf(stderr, "%s\n", utf8(commtext::kMsgNoConnection).c_str());
        rc = kFailure;
    } else {
        rc = op(vender);
        vender.CloseSession();
    }
    if (opt.trace)
        for (const std::string &line : vender.Trace().entries())
            std::fprintf(stderr, "%s\n", utf8(line).c_str());
    return rc;
}

namespace {

int clockCommand(const Options &opt, const std::vector<std::string> &args)
{
    const std::string sub = args.size() > 1 ? args[1] : "";
    if (sub == "get") {
        if (args.size() != 2)
            return usage("clock get takes no arguments");
        return withVendor(opt, [](COrvathVender &v) {
            DeviceDateTime t;
            if (!v.ReadClock(t)) {
                std::fprintf(stderr, "%s\n", utf8(clocktext::kCommError).c_str());
                return int(kFailure);
            }
            std::printf("%s\n", DeviceDateTimeText(t).c_str());
            return int(kSuccess);
        });
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
                return usage("invalid date or time (YYYY-MM-DD HH:MM[:SS], years 2000-2099): ",
                             args.size() == 4 ? args[2] + " " + args[3] : args[2]);
        } else {
            return usage("clock set needs \"now\" or a date and time YYYY-MM-DD HH:MM[:SS]");
        }
        return withVendor(opt, [&](COrvathVender &v) {
            if (!v.SetClock(now ? localNow() : when)) {
                failed(clocktext::kTitleSetClock);
                return int(kFailure);
            }
            std::printf("%s\n", utf8(clocktext::kMsgClockSet).c_str());
            return int(kSuccess);
        });
    }
    return usage("clock needs \"get\" or \"set\"");
}

int numberCommand(const Options &opt, const std::vector<std::string> &args)
{
    const std::string sub = args.size() > 1 ? args[1] : "";
    if (sub == "get") {
        if (args.size() != 2)
            return usage("number get takes no arguments");
        return withVendor(opt, [](COrvathVender &v) {
            char number[kDeviceNumberLength + 1];
            if (!v.ReadDeviceNumber(number)) {
                std::fprintf(stderr, "%s\n", utf8(clocktext::kCommError).c_str());
                return int(kFailure);
            }
            std::printf("%s\n", utf8(std::string(number, kDeviceNumberLength)).c_str());
            return int(kSuccess);
        });
    }
    if (sub == "set") {
        if (args.size() != 3)
            return usage("number set needs the device number TEXT (up to six characters)");
        const std::string &text = args[2];
        for (unsigned char c : text)
            if (c >= 0x80) {
                std::fprintf(stderr, "%s\n", utf8(clocktext::kMsgNotAscii).c_str());
                return kUsage;
            }
        if (text.size() > kDeviceNumberLength)
            return usage("the device number has at most six characters: ", text);
        return withVendor(opt, [&](COrvathVender &v) {
            if (!v.SetDeviceNumber(text.c_str())) {
                failed(clocktext::kTitleSetNumber);
                return int(kFailure);
            }
            std::printf("%s\n", utf8(clocktext::kMsgNumberSet).c_str());
            return int(kSuccess);
        });
    }
    return usage("number needs \"get\" or \"set\"");
}

int logoSendCommand(const Options &opt, const std::vector<std::string> &args)
{
    if (args.size() != 3)
        return usage("logo send needs the work image FILE");
    const std::string &file = args[2];
    // Checked before the connection is opened: only a regular file can be a work file
    // (a FIFO or a device would block the transfer or never end).
    if (platform::pathKind(file) != platform::PathKind::RegularFile) {
        std::fprintf(stderr, "%s\n%s\n", utf8(commtext::kMsgLogoFileUnreadable).c_str(),
                     utf8(logotext::kMsgLogoSendFailed).c_str());
        return kFailure;
    }
    return withVendor(opt, [&](COrvathVender &v) {
        if (!v.SendLogo(1, file)) {
            std::fprintf(stderr, "%s\n", utf8(logotext::kMsgLogoSendFailed).c_str());
            return int(kFailure);
        }
        std::printf("%s\n", utf8(logotext::kMsgLogoSent).c_str());
        return int(kSuccess);
    });
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
           "  logo send FILE                     send FILE, a work image file, as the receipt logo\n";
}

int runVendorCommand(const Options &opt, const std::vector<std::string> &args)
{
    const std::string &cmd = args.at(0);
    if (cmd == "clock")
        return clockCommand(opt, args);
    if (cmd == "number")
        return numberCommand(opt, args);
    if (cmd == "logo" && args.size() > 1 && args[1] == "send")
        return logoSendCommand(opt, args);
    return usage("unknown command: ", cmd + (args.size() > 1 ? " " + args[1] : std::string()));
}

} // namespace ctl
