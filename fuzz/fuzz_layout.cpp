// The layout file reader and writer.
//
// Input: the content of a layout file.
// Properties: whenever the content reads as a layout, writing that layout and reading the
// written file (over a different starting layout) gives the same layout back, and writing
// it again gives the same bytes.
#include "fuzzcheck.h"

#include "logo/logolayout.h"

#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view content(reinterpret_cast<const char *>(data), size);
    LogoLayout layout;
    if (!ParseLayoutFile(content, layout))
        return 0;
    const std::string written = FormatLayoutFile(layout);

    // Start from values the file must override, so that a field the reader skipped shows.
    LogoLayout back;
    back.printerType = -7;
    back.backgroundName = "stale";
    for (TextLayer &l : back.layers) {
        l.x = l.y = -9;
        l.size = 1234;
        l.faceName = "stale face";
        l.text = "stale text";
    }
    FUZZ_CHECK(ParseLayoutFile(written, back), "the written file does not read back:\n%s", written.c_str());
    FUZZ_CHECK(back == layout, "read back differs from what was written:\n%s", written.c_str());
    FUZZ_CHECK(FormatLayoutFile(back) == written, "writing again gives other bytes:\n%s", written.c_str());
    return 0;
}
