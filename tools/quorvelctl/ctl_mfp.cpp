// "mfp get", "mfp set", "mfp show": the vendor's MFP parameters and the MFP parameter
// file from the command line, with the same set, file rules and transfer order as the MFP
// settings dialog. Every argument is checked before anything is read or sent.
#include "ctl.h"

#include "mfp/mfpfile.h"
#include "platform/messages.h"
#include "texts/files.h"
#include "texts/mfp.h"

#include <cstdio>
#include <iterator>
#include <string>

namespace ctl {

namespace {

void failed(const char *titleCp932)
{
    std::fprintf(stderr, "%s\n", utf8(FailureMessage(titleCp932)).c_str());
}

// Loads `file` onto the initial set; tells why not on standard error.
bool loadFile(const std::string &file, MfpParameterSet &set)
{
    set = MfpParameterSet::Initial();
    switch (LoadMfpFile(file, set)) {
    case MfpLoadOutcome::Loaded:
        return true;
    case MfpLoadOutcome::CannotOpen:
        std::fprintf(stderr, "%s: %s\n", file.c_str(), utf8(filetext::kMsgCannotOpenFile).c_str());
        return false;
    case MfpLoadOutcome::WrongKind:
        std::fprintf(stderr, "%s: %s\n", file.c_str(), utf8(WrongFileMessage().text).c_str());
        return false;
    }
    return false;
}

// The text of `row` in `names`, or the number itself when the row is beyond the list.
template <size_t N> std::string rowText(const char *const (&names)[N], unsigned row)
{
    return row < N ? utf8(names[row]) : std::to_string(row);
}

void printSet(const MfpParameterSet &set)
{
    for (size_t k = 0; k < kMfpPaperCount; ++k) {
        auto b = [&](size_t field) { return unsigned(set.entryByte(k, field)); };
        const unsigned code = b(PaperCodeIndex);
        char label[64];
        std::snprintf(label, sizeof label, mfptext::kTreePaperItemFormat, int(k + 1));
        std::string line = utf8(label);
        line += ": " + (code < kPaperCodeRows ? utf8(PaperCodeItemText(code)) : std::to_string(code));
        const std::string fields[] = {
            rowText(mfptext::kLefSefNames, b(LefSef)),         rowText(mfptext::kWidePaperNames, b(WidePaper)),
            rowText(mfptext::kIndexPaperNames, b(IndexPaper)), rowText(mfptext::kReservedNames, b(Reserved)),
            rowText(mfptext::kPaperTypeNames, b(PaperType)),   rowText(mfptext::kPaperWeightNames, b(PaperWeight)),
            rowText(mfptext::kIndexTabNames, b(IndexTab)),     rowText(mfptext::kPaperColorNames, b(PaperColor)),
            rowText(mfptext::kOtherSpecNames, b(OtherSpec)),
        };
        for (const std::string &f : fields)
            line += ", " + f;
        if (b(PaperNumber) != k) // the vendor's own numbering of this entry
            line += " (paper number " + std::to_string(b(PaperNumber) + 1) + ")";
        std::printf("%s\n", line.c_str());
    }
    std::printf("%s: %s\n", utf8(mfptext::kTreeFaxLine2).c_str(),
                rowText(mfptext::kFaxLine2Names, set.faxLine2()).c_str());
    std::printf("%s: %s\n", utf8(mfptext::kTreeScanCharging).c_str(),
                rowText(mfptext::kScanChargingNames, set.scanCharging()).c_str());
}

// Receives the three kinds into a set that starts in its initial state.
bool receive(COrvathVender &v, MfpParameterSet &set)
{
    set = MfpParameterSet::Initial();
    if (ReceiveMfpParameters(v, set))
        return true;
    failed(mfptext::kTitleReceive);
    return false;
}

int getCommand(const Options &opt, const std::vector<std::string> &args)
{
    std::string out;
    if (args.size() == 4 && args[2] == "-o" && !args[3].empty())
        out = args[3];
    else if (args.size() != 2)
        return usage("mfp get takes no arguments but -o FILE.csv");
    return withVendor(opt, [&](COrvathVender &v) {
        MfpParameterSet set;
        if (!receive(v, set))
            return int(kFailure);
        if (out.empty()) {
            const std::string text = FormatMfpFile(set);
            std::fwrite(text.data(), 1, text.size(), stdout);
            return std::fflush(stdout) == 0 ? int(kSuccess) : int(kFailure);
        }
        if (SaveMfpFile(out, set) != MfpSaveOutcome::Saved) {
            std::fprintf(stderr, "%s: %s\n", out.c_str(), utf8(CannotCreateFileMessage().text).c_str());
            return int(kFailure);
        }
        return int(kSuccess);
    });
}

int setCommand(const Options &opt, const std::vector<std::string> &args)
{
    if (args.size() != 3)
        return usage("mfp set needs the parameter FILE.csv");
    MfpParameterSet set;
    if (!loadFile(args[2], set))
        return kFailure;
    return withVendor(opt, [&](COrvathVender &v) {
        if (!SendMfpParameters(v, set)) {
            failed(mfptext::kTitleSend);
            return int(kFailure);
        }
        std::printf("%s\n", utf8(mfptext::kMsgSent).c_str());
        return int(kSuccess);
    });
}

int showCommand(const Options &opt, const std::vector<std::string> &args)
{
    if (args.size() > 3)
        return usage("mfp show takes at most one FILE.csv");
    MfpParameterSet set;
    if (args.size() == 3) {
        if (!loadFile(args[2], set))
            return kFailure;
        printSet(set);
        return kSuccess;
    }
    return withVendor(opt, [&](COrvathVender &v) {
        if (!receive(v, set))
            return int(kFailure);
        printSet(set);
        return int(kSuccess);
    });
}

} // namespace

const char *mfpCommandsHelp()
{
    return "  mfp get [-o FILE.csv]              receive the vendor's MFP parameters and write them as\n"
           "                                     an MFP parameter file (to standard output without -o)\n"
           "  mfp set FILE.csv                   load FILE onto the initial parameters and send them\n"
           "  mfp show [FILE.csv]                print the vendor's MFP parameters (or FILE's) as texts\n";
}

int runMfpCommand(const Options &opt, const std::vector<std::string> &args)
{
    const std::string sub = args.size() > 1 ? args[1] : "";
    if (sub == "get")
        return getCommand(opt, args);
    if (sub == "set")
        return setCommand(opt, args);
    if (sub == "show")
        return showCommand(opt, args);
    return usage("mfp needs \"get\", \"set\" or \"show\"");
}

} // namespace ctl
