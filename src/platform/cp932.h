#pragma once
// CP932 text without Qt: what the command line prints, and the paths the Windows file
// functions take. The Windows side converts with the system (cp932_win.cpp); elsewhere
// the conversion is Qt's, beside the QString one (codepage.cpp).
#include <string>

namespace platform {

// CP932 bytes as UTF-8; a byte sequence that is not CP932 becomes U+FFFD.
std::string utf8FromCp932(const std::string &cp932);

// UTF-8 (the system's texts as the source writes them) as CP932 bytes; a character that
// CP932 cannot hold becomes "?".
std::string cp932FromUtf8(const char *utf8);

// Windows only: a path held as CP932 bytes as the UTF-16 text of the system's W functions.
// Empty when `path` is empty or not valid CP932.
std::wstring widePathFromCp932(const std::string &path);

} // namespace platform
