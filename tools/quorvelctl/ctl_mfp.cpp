// "mfp get", "mfp set", "mfp show": the vendor's MFP parameters and the MFP parameter
// file from the command line, with the same set, file rules and transfer order as the MFP
// settings dialog. Every argument is checked before anything is read or sent.
#include "ctl.h"

#include "mfp/mfpfile.h"
#include "platform/atomicfile.h"
#include "platform/messages.h"
#include "texts/files.h"
#include "texts/mfp.h"

#include <cstdio>
#include <iterator>
#include <string>

namespace ctl {

namespace {

void failed(Reporter &r, const char *titleCp932)
{
    r.err(utf8(FailureMessage(titleCp932)) + "\n");
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

// The set as texts, one line per entry.
std::string setText(const MfpParameterSet &set)
{
    std::string text;
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
        text += line + "\n";
    }
    text += utf8(mfptext::kTreeFaxLine2) + ": " + rowText(mfptext::kFaxLine2Names, set.faxLine2()) + "\n";
    text +=
        utf8(mfptext::kTreeScanCharging) + ": " + rowText(mfptext::kScanChargingNames, set.scanCharging()) + "\n";
    return text;
}

// Receives the three kinds into a set that starts in its initial state.
bool receive(COrvathVender &v, Reporter &r, MfpParameterSet &set)
{
    set = MfpParameterSet::Initial();
    if (ReceiveMfpParameters(v, set))
        return true;
    failed(r, mfptext::kTitleReceive);
    return false;
}

Prepared usageError(const char *what, const std::string &arg = {})
{
    return {nullptr, usage(what, arg)};
}

// Writes `set` as the file at `path`; says so when it cannot.
int save(Reporter &r, const std::string &path, const MfpParameterSet &set)
{
    if (SaveMfpFile(path, set) != MfpSaveOutcome::Saved) {
        r.err(path + ": " + utf8(CannotCreateFileMessage().text) + "\n");
        return kFailure;
    }
    return kSuccess;
}

Prepared getCommand(const std::vector<std::string> &args, const Fleet &fleet)
{
    std::string out;
    if (args.size() == 4 && args[2] == "-o" && !args[3].empty())
        out = args[3];
    else if (args.size() != 2)
        return usageError(fleet.active ? "mfp get with --hosts takes -o DIR"
                                       : "mfp get takes no arguments but -o FILE.csv");
    if (fleet.active) {
        // One file per vendor, named after it, in the folder given.
        if (out.empty())
            return usageError("mfp get with --hosts needs -o DIR, the folder for the vendors' files");
        if (platform::pathKind(out) != platform::PathKind::Folder)
            return usageError("mfp get -o: no such folder: ", out);
        return {[out](COrvathVender &v, Reporter &r, const Target &t) {
            MfpParameterSet set;
            if (!receive(v, r, set))
                return int(kFailure);
            return save(r, out + "/" + t.fileStem + ".csv", set);
        }};
    }
    return {[out](COrvathVender &v, Reporter &r, const Target &) {
        MfpParameterSet set;
        if (!receive(v, r, set))
            return int(kFailure);
        if (out.empty()) {
            const std::string text = FormatMfpFile(set);
            std::fwrite(text.data(), 1, text.size(), stdout);
            return std::fflush(stdout) == 0 ? int(kSuccess) : int(kFailure);
        }
        return save(r, out, set);
    }};
}

Prepared setCommand(const std::vector<std::string> &args)
{
    if (args.size() != 3)
        return usageError("mfp set needs the parameter FILE.csv");
    MfpParameterSet set;
    if (!loadFile(args[2], set))
        return {nullptr, kFailure};
    return {[set](COrvathVender &v, Reporter &r, const Target &) {
        if (!SendMfpParameters(v, set)) {
            failed(r, mfptext::kTitleSend);
            return int(kFailure);
        }
        r.out(utf8(mfptext::kMsgSent) + "\n");
        return int(kSuccess);
    }};
}

Prepared showCommand(const std::vector<std::string> &args, const Fleet &fleet)
{
    if (args.size() > 3)
        return usageError("mfp show takes at most one FILE.csv");
    if (args.size() == 3) {
        if (fleet.active)
            return usageError("mfp show FILE reads no vendor: leave out --hosts");
        MfpParameterSet set;
        if (!loadFile(args[2], set))
            return {nullptr, kFailure};
        std::fputs(setText(set).c_str(), stdout);
        return {nullptr, kSuccess};
    }
    return {[](COrvathVender &v, Reporter &r, const Target &) {
        MfpParameterSet set;
        if (!receive(v, r, set))
            return int(kFailure);
        r.out(setText(set));
        return int(kSuccess);
    }};
}

} // namespace

const char *mfpCommandsHelp()
{
    return "  mfp get [-o FILE.csv]              receive the vendor's MFP parameters and write them as\n"
           "                                     an MFP parameter file (to standard output without -o)\n"
           "  mfp set FILE.csv                   load FILE onto the initial parameters and send them\n"
           "  mfp show [FILE.csv]                print the vendor's MFP parameters (or FILE's) as texts\n";
}

Prepared prepareMfpCommand(const std::vector<std::string> &args, const Fleet &fleet)
{
    const std::string sub = args.size() > 1 ? args[1] : "";
    if (sub == "get")
        return getCommand(args, fleet);
    if (sub == "set")
        return setCommand(args);
    if (sub == "show")
        return showCommand(args, fleet);
    return usageError("mfp needs \"get\", \"set\" or \"show\"");
}

} // namespace ctl
