#include "mfp/mfpfile.h"

#include "platform/atomicfile.h"
#include "platform/textlines.h"
#include "texts/mfp.h"

#include <cstdio>

namespace {

uint8_t lowByte(int32_t v)
{
    return uint8_t(uint32_t(v) & 0xFF);
}

} // namespace

std::string FormatMfpFile(const MfpParameterSet &set)
{
    std::string out = mfptext::kFileKeyword;
    out += "\r\n";
    for (size_t k = 0; k < kMfpPaperCount; ++k) {
        for (size_t f = 0; f < kMfpEntrySize; ++f) {
            if (f)
                out += ',';
            out += std::to_string(unsigned(set.entryByte(k, f)));
        }
        out += "\r\n";
    }
    out += "100," + std::to_string(unsigned(set.faxLine2())) + "\r\n";
    out += "101," + std::to_string(unsigned(set.scanCharging())) + "\r\n";
    return out;
}

int32_t ReadCsvField(std::string_view line, size_t &pos)
{
    if (pos > line.size())
        pos = line.size();
    size_t end = line.find(',', pos);
    const size_t next = end == std::string_view::npos ? line.size() : end + 1;
    if (end == std::string_view::npos)
        end = line.size();
    const size_t start = pos;
    pos = next;
    return ReadDecimal(line.substr(start, end - start));
}

bool ParseMfpFile(std::string_view content, MfpParameterSet &set)
{
    std::string_view line;
    if (!nextLine(content, line))
        line = {}; // an empty file gives an empty first line
    if (!MatchKeyword(line, mfptext::kFileKeyword))
        return false;
    while (nextLine(content, line)) {
        size_t pos = 0;
        const int32_t key = ReadCsvField(line, pos);
        const int32_t group = key / 100; // truncated toward zero
        if (group == 0) {
            // Keys 10-99 and -1 to -99 name no entry of the set: ignored as other unknown keys.
            if (key < 0 || key >= int32_t(kMfpPaperCount))
                continue;
            MfpPaperEntry e = set.entry(size_t(key));
            e[PaperNumber] = uint8_t(key);
            for (size_t f = PaperCodeIndex; f < kMfpEntrySize; ++f)
                e[f] = lowByte(ReadCsvField(line, pos));
        } else if (group == 1) {
            if (key == 100)
                set.faxLine2() = lowByte(ReadCsvField(line, pos));
            else if (key == 101)
                set.scanCharging() = lowByte(ReadCsvField(line, pos));
        }
    }
    return true;
}

MfpSaveOutcome SaveMfpFile(const std::string &path, const MfpParameterSet &set)
{
    return platform::writeFileAtomically(path, FormatMfpFile(set)) ? MfpSaveOutcome::Saved
                                                                   : MfpSaveOutcome::CannotCreate;
}

MfpLoadOutcome LoadMfpFile(const std::string &path, MfpParameterSet &set)
{
    // Only a regular file up to the limit is read: a FIFO or a device would block or
    // never end.
    std::string content;
    if (!platform::readWholeFile(path, content, kMfpFileSizeLimit))
        return MfpLoadOutcome::CannotOpen;
    MfpParameterSet read = set;
    if (!ParseMfpFile(content, read))
        return MfpLoadOutcome::WrongKind;
    set = read;
    return MfpLoadOutcome::Loaded;
}

bool MfpFileExists(const std::string &path)
{
    const platform::PathKind kind = platform::pathKind(path);
    return kind != platform::PathKind::Missing && kind != platform::PathKind::Unknown;
}
