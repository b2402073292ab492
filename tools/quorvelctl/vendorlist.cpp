#include "vendorlist.h"

#include "comm/port.h"
#include "comm/socket.h"

#include <cctype>
#include <map>
#include <string_view>

namespace ctl {

namespace {

constexpr size_t kNameLimit = 128; // bytes: a label, and the name of a file

// True when `s` is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool isUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        unsigned min = 0, cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1, min = 0x80, cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2, min = 0x800, cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3, min = 0x10000, cp = c & 0x07u;
        } else {
            return false;
        }
        for (size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size())
                return false;
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// ADDR, ADDR:PORT, [ADDR] or [ADDR]:PORT; a bare address with several colons is IPv6
// without a port. Empty on success, else what is wrong.
std::string parseAddress(const std::string &field, uint16_t defaultPort, std::string &host, uint16_t &port)
{
    std::string portText;
    bool bracketed = false;
    if (field[0] == '[') {
        const size_t close = field.find(']');
        if (close == std::string::npos)
            return "no ']' after the IPv6 address: " + field;
        host = field.substr(1, close - 1);
        const std::string rest = field.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':')
                return "unexpected text after ']': " + field;
            portText = rest.substr(1);
            if (portText.empty())
                return "no port after ':': " + field;
        }
        bracketed = true;
    } else {
        const size_t colon = field.find(':');
        if (colon != std::string::npos && field.find(':', colon + 1) == std::string::npos) {
            host = field.substr(0, colon);
            portText = field.substr(colon + 1);
            if (portText.empty())
                return "no port after ':': " + field;
        } else {
            host = field;
        }
    }
    const bool v6 = host.find(':') != std::string::npos;
    if (!IsNumericAddress(host) || (bracketed && !v6))
        return "not a numeric IPv4 or IPv6 address (names are not looked up): " + field;
    port = defaultPort;
    if (!portText.empty() && !ParsePort(portText, port))
        return "invalid port (1-65535): " + portText;
    return {};
}

std::string checkName(const std::string &name)
{
    if (!isUtf8(name))
        return "the name is not UTF-8";
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F)
            return "the name holds a control character";
    if (name.size() > kNameLimit)
        return "the name is longer than " + std::to_string(kNameLimit) + " bytes: " + name;
    return {};
}

std::string checkNumber(const std::string &number)
{
    for (unsigned char c : number)
        if (c < 0x21 || c > 0x7E)
            return "the device number takes only 7-bit ASCII characters: " + number;
    if (number.size() > 6)
        return "the device number has at most six characters: " + number;
    return {};
}

} // namespace

std::string ListedVendor::label() const
{
    const std::string p = std::to_string(port);
    return host.find(':') != std::string::npos ? "[" + host + "]:" + p : host + ":" + p;
}

bool ParseVendorList(const std::string &text, uint16_t defaultPort, std::vector<ListedVendor> &vendors,
                     std::vector<ListProblem> &problems)
{
    vendors.clear();
    problems.clear();
    std::map<std::pair<std::string, uint16_t>, int> seen; // address bytes and port -> line
    size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int lineNo = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        std::vector<std::string> fields;
        for (size_t i = 0; i < line.size();) {
            while (i < line.size() && isBlank(line[i]))
                ++i;
            size_t j = i;
            while (j < line.size() && !isBlank(line[j]))
                ++j;
            if (j > i)
                fields.push_back(line.substr(i, j - i));
            i = j;
        }
        if (fields.empty())
            continue;
        auto problem = [&](const std::string &what) { problems.push_back({lineNo, what}); };
        if (fields.size() > 3) {
            problem("more than three fields (ADDR[:PORT] [NAME] [NUMBER])");
            continue;
        }
        ListedVendor v;
        v.line = lineNo;
        std::string wrong = parseAddress(fields[0], defaultPort, v.host, v.port);
        if (wrong.empty() && fields.size() > 1)
            wrong = checkName(v.name = fields[1]);
        if (wrong.empty() && fields.size() > 2)
            wrong = checkNumber(v.number = fields[2]);
        if (!wrong.empty()) {
            problem(wrong);
            continue;
        }
        const auto [it, fresh] = seen.emplace(std::make_pair(NumericAddressBytes(v.host), v.port), lineNo);
        if (!fresh) {
            problem(v.label() + " is listed already, on line " + std::to_string(it->second));
            continue;
        }
        vendors.push_back(std::move(v));
    }
    return problems.empty();
}

std::string FileStem(const ListedVendor &vendor)
{
    const std::string from = vendor.name.empty() ? vendor.host + "_" + std::to_string(vendor.port) : vendor.name;
    std::string stem;
    for (char c : from) {
        const unsigned char u = static_cast<unsigned char>(c);
        const bool keep = u >= 0x80 || std::isalnum(u) || c == '.' || c == '-' || c == '_';
        stem += keep ? c : '_';
    }
    // Neither hidden, nor "." or "..", nor a name Windows keeps for a device, nor one it
    // would cut (a trailing dot).
    std::string upper;
    for (char c : stem.substr(0, stem.find('.')))
        upper += char(std::toupper(static_cast<unsigned char>(c)));
    static const char *const devices[] = {"CON", "PRN", "AUX", "NUL"};
    bool device = false;
    for (const char *d : devices)
        device = device || upper == d;
    device = device ||
        (upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
         upper[3] >= '0' && upper[3] <= '9');
    if (stem[0] == '.' || device)
        stem.insert(stem.begin(), '_');
    if (stem.back() == '.')
        stem.back() = '_';
    return stem;
}

} // namespace ctl
