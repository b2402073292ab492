#pragma once
// Splitting a path held as CP932 bytes into its folder and its name. In CP932 the second
// byte of a two-byte character can be 0x5C, the byte of "\" (表 is 95 5C, ソ is 83 5C), so
// a separator is looked for character by character, never byte by byte from the end.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// True for a byte that starts a two-byte CP932 character.
inline bool isCp932LeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The separators of this system's paths: "/" on POSIX, "\\" and "/" on Windows.
extern const std::string_view kPathSeparators;

// The offset of the last byte of `path` that is one of `separators` and not the second
// byte of a two-byte character; npos when there is none.
size_t lastPathSeparator(std::string_view path, std::string_view separators);

// The folder part of `path` ("." when it has none; a root separator stays as it is) and
// its name part, split at the last of `separators`.
std::string folderOfPath(const std::string &path, std::string_view separators);
std::string nameOfPath(const std::string &path, std::string_view separators);

} // namespace platform
