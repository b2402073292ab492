#pragma once
// Conversion between the Japanese code page (CP932, "windows-31j") and QString.
// Models and files keep text as CP932 bytes in std::string; convert only at a widget
// or at the font engine.
#include "platform/cp932.h"

#include <QString>
#include <string>

namespace platform {

// CP932 bytes -> QString. Invalid sequences become U+FFFD.
QString fromCp932(const std::string &bytes);
QString fromCp932(const char *bytes);

// QString -> CP932 bytes. Characters that CP932 cannot hold become "?" (as the
// platform's ANSI conversion does).
std::string toCp932(const QString &text);

// cp932FromUtf8() (cp932.h) is the convenience for UTF-8 literals in our sources (the
// system's texts are written in the source as UTF-8 and held in CP932 at run time).

} // namespace platform
