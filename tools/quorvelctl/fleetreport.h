#pragma once
// The fleet report: one line per vendor in list order and a summary, as text and as JSON.
//
// A line holds, separated by tabs: the vendor as ADDR:PORT, its name, OK / FAIL / NOT
// TRIED, the tool's message, the milliseconds it took and, for `clock get`, the vendor's
// clock and its offset from the PC's clock. An empty field is shown as "-".
#include "comm/vender.h"
#include "vendorlist.h"

#include <ctime>
#include <string>
#include <vector>

namespace ctl {

struct VendorResult {
    enum class Status { NotTried, Ok, Failed };
    Status status = Status::NotTried;
    std::string message; // UTF-8, one line
    long long ms = 0;
    bool hasClock = false; // clock get succeeded
    std::string clock; // as clock get prints it
    bool hasOffset = false; // the vendor's clock is a real date and time
    long long offsetSeconds = 0; // vendor minus PC
};

struct FleetSummary {
    size_t ok = 0, failed = 0, notTried = 0;
};

FleetSummary Summarize(const std::vector<VendorResult> &results);

// "N ok, N failed, N not tried"
std::string SummaryLine(const FleetSummary &summary);

// The vendor's line, ending with a newline. `command` is the vendor command as given
// ("clock get" adds the clock columns).
std::string ReportLine(const ListedVendor &vendor, const VendorResult &result, const std::string &command);

// {"command": ..., "vendors": [{...}, ...], "summary": {...}}: the same fields as the text.
std::string ReportJson(const std::string &command, const std::vector<ListedVendor> &vendors,
                       const std::vector<VendorResult> &results, const FleetSummary &summary);

// The vendor's clock minus the PC's local time at `pcTime`, in seconds (the vendor's year
// is within 2000-2099). False when the vendor's clock is no real date and time.
bool ClockOffsetSeconds(const DeviceDateTime &vendor, std::time_t pcTime, long long &seconds);

} // namespace ctl
