#include "fleetreport.h"

#include "platform/calendar.h"

#include <cstdio>

namespace ctl {

namespace {

const char *statusText(VendorResult::Status s)
{
    switch (s) {
    case VendorResult::Status::Ok:
        return "OK";
    case VendorResult::Status::Failed:
        return "FAIL";
    case VendorResult::Status::NotTried:
        break;
    }
    return "NOT TRIED";
}

bool isClockGet(const std::string &command)
{
    return command == "clock get";
}

std::string field(const std::string &text)
{
    return text.empty() ? "-" : text;
}

std::string offsetText(long long seconds)
{
    std::string text = seconds > 0 ? "+" : "";
    text += std::to_string(seconds);
    text += 's';
    return text;
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
long long daysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

long long secondsOf(long long y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s)
{
    return daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

std::string jsonString(const std::string &s)
{
    std::string out = "\"";
    for (char c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", u);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace

FleetSummary Summarize(const std::vector<VendorResult> &results)
{
    FleetSummary s;
    for (const VendorResult &r : results)
        switch (r.status) {
        case VendorResult::Status::Ok:
            ++s.ok;
            break;
        case VendorResult::Status::Failed:
            ++s.failed;
            break;
        case VendorResult::Status::NotTried:
            ++s.notTried;
            break;
        }
    return s;
}

std::string SummaryLine(const FleetSummary &summary)
{
    return std::to_string(summary.ok) + " ok, " + std::to_string(summary.failed) + " failed, " +
        std::to_string(summary.notTried) + " not tried";
}

std::string ReportLine(const ListedVendor &vendor, const VendorResult &result, const std::string &command)
{
    std::string line = vendor.label() + '\t' + field(vendor.name) + '\t' + statusText(result.status) + '\t' +
        field(result.message) + '\t' + std::to_string(result.ms) + " ms";
    if (isClockGet(command))
        line += '\t' + (result.hasClock ? result.clock : "-") + '\t' +
            (result.hasOffset ? offsetText(result.offsetSeconds) : "-");
    return line + '\n';
}

std::string ReportJson(const std::string &command, const std::vector<ListedVendor> &vendors,
                       const std::vector<VendorResult> &results, const FleetSummary &summary)
{
    std::string out = "{\n  \"command\": " + jsonString(command) + ",\n  \"vendors\": [";
    for (size_t i = 0; i < vendors.size() && i < results.size(); ++i) {
        const ListedVendor &v = vendors[i];
        const VendorResult &r = results[i];
        out += i ? ",\n    {" : "\n    {";
        out += "\"vendor\": " + jsonString(v.label()) + ", \"name\": " + jsonString(v.name) +
            ", \"line\": " + std::to_string(v.line) + ", \"status\": " + jsonString(statusText(r.status)) +
            ", \"message\": " + jsonString(r.message) + ", \"ms\": " + std::to_string(r.ms);
        if (isClockGet(command)) {
            out += ", \"clock\": " + (r.hasClock ? jsonString(r.clock) : "null");
            out += ", \"offset_s\": " + (r.hasOffset ? std::to_string(r.offsetSeconds) : "null");
        }
        out += "}";
    }
    out += vendors.empty() ? "],\n" : "\n  ],\n";
    out += "  \"summary\": {\"ok\": " + std::to_string(summary.ok) +
        ", \"failed\": " + std::to_string(summary.failed) +
        ", \"not_tried\": " + std::to_string(summary.notTried) + "}\n}\n";
    return out;
}

bool ClockOffsetSeconds(const DeviceDateTime &vendor, std::time_t pcTime, long long &seconds)
{
    const int year = 2000 + vendor.year;
    if (vendor.year > 99 || !platform::dateExists(year, vendor.month, vendor.day) || vendor.hour > 23 ||
        vendor.minute > 59 || vendor.second > 59)
        return false;
    std::tm pc{};
    if (!platform::localTime(pcTime, pc))
        return false;
    seconds = secondsOf(year, vendor.month, vendor.day, vendor.hour, vendor.minute, vendor.second) -
        secondsOf(pc.tm_year + 1900LL, unsigned(pc.tm_mon + 1), unsigned(pc.tm_mday), unsigned(pc.tm_hour),
                  unsigned(pc.tm_min), unsigned(pc.tm_sec));
    return true;
}

} // namespace ctl
