// The MFP parameter file reader and writer.
//
// Input: the content of an MFPconfig.csv file.
// Properties: a content that fails the header test leaves the set exactly as it was;
// whenever it reads as a set, writing that set and reading the written file over a set of
// other values gives the same 112 bytes back, and writing it again gives the same bytes.
#include "fuzzcheck.h"

#include "mfp/mfpfile.h"
#include "mfp/mfpparams.h"

#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view content(reinterpret_cast<const char *>(data), size);
    MfpParameterSet set = MfpParameterSet::Initial();
    const MfpParameterSet before = set;
    if (!ParseMfpFile(content, set)) {
        FUZZ_CHECK(set.bytes == before.bytes, "a file that failed the header test changed the set");
        return 0;
    }
    const std::string written = FormatMfpFile(set);

    // Start from values the file must override, so that a line the reader skipped shows.
    MfpParameterSet back;
    back.bytes.fill(0xA5);
    FUZZ_CHECK(ParseMfpFile(written, back), "the written file does not read back:\n%s", written.c_str());
    FUZZ_CHECK(back.bytes == set.bytes, "read back differs from what was written:\n%s", written.c_str());
    FUZZ_CHECK(FormatMfpFile(back) == written, "writing again gives other bytes:\n%s", written.c_str());
    return 0;
}
