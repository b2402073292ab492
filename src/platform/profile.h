#pragma once
// Private-profile ("ini") files: "[name]" lines open sections, "key=value" lines give
// values. Section and key names match without regard to letter case; blanks around
// names and values are ignored. Every other line (comments, blank lines, unknown
// sections and keys) is kept byte for byte when the file is written. Files are read
// with CR LF or LF line ends and written with CR LF. Text is CP932 bytes; case folding
// touches only single-byte letters, never the trail byte of a double-byte character.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Largest settings file read (or rewritten): a real one holds a few lines. A larger file, or
// anything but a regular file, reads as absent and is never overwritten.
inline constexpr std::size_t kMaxProfileFileSize = 1u << 20;

// The value of `key` in `section`, or `defaultValue` when the file, the section or the
// key is absent. Like a fixed buffer of `bufferSize` bytes with its terminator, the
// result holds at most bufferSize - 1 bytes (nothing at all for a size of 0).
std::string readProfileString(const std::string &path, const std::string &section, const std::string &key,
                              const std::string &defaultValue, std::size_t bufferSize);

// The value read as a decimal integer: an optional sign, then the digits up to the first
// other character. A value without leading digits gives 0; an absent key gives
// `defaultValue`. Values beyond 32 bits wrap around.
int32_t readProfileInt(const std::string &path, const std::string &section, const std::string &key,
                       int32_t defaultValue);

// Sets `key` in `section` to `value`: an existing key's line is replaced in place, a
// missing key is added after the last non-blank line of its section, a missing section
// is added at the end of the file, and a missing file is created. The file is replaced
// as a whole (written beside, then renamed over), so a failure reports false and leaves
// the previous file as it was.
bool writeProfileString(const std::string &path, const std::string &section, const std::string &key,
                        const std::string &value);

// Sets several keys as writeProfileString does, in the given order, with one replacement
// of the file: either every value is written or the file stays as it was.
struct ProfileValue {
    std::string section;
    std::string key;
    std::string value;
};
bool writeProfileStrings(const std::string &path, const std::vector<ProfileValue> &values);

} // namespace platform
