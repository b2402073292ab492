#pragma once
// The vendor list of fleet mode: a text file, one vendor a line,
//
//     ADDR[:PORT] [NAME] [NUMBER]      # a comment
//
// ADDR is a numeric IPv4 or IPv6 address (IPv6 with a port as [ADDR]:PORT), NAME the
// operator's label for the vendor, NUMBER the device number that vendor should carry.
// Fields are separated by blanks; `#` starts a comment; blank lines are ignored. The file
// is UTF-8 (a byte order mark is skipped) with LF or CR LF line ends.
#include <cstdint>
#include <string>
#include <vector>

namespace ctl {

struct ListedVendor {
    int line = 0; // 1-based line of the list
    std::string host; // as written, without brackets
    uint16_t port = 0;
    std::string name; // empty when the line gives none
    std::string number; // empty when the line gives none; at most six characters
    // "ADDR:PORT", or "[ADDR]:PORT" for IPv6: how the report names the vendor.
    std::string label() const;
};

struct ListProblem {
    int line = 0;
    std::string text;
};

// Reads the list `text`; a vendor without a port gets `defaultPort`. True when every line
// is good; otherwise `problems` says which are not (in line order) and `vendors` must not
// be used. A vendor listed twice (the same address and port, however written) is a problem
// on its second line.
bool ParseVendorList(const std::string &text, uint16_t defaultPort, std::vector<ListedVendor> &vendors,
                     std::vector<ListProblem> &problems);

// The largest list file read (far beyond a few thousand vendors).
inline constexpr size_t kVendorListSizeLimit = 16 * 1024 * 1024;

// The name of the files written for a vendor: NAME, or the address and port when the line
// gives no name, with every character a file name cannot safely hold replaced by '_'.
std::string FileStem(const ListedVendor &vendor);

} // namespace ctl
