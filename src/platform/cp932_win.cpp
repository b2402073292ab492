#include "platform/cp932.h"

#include <windows.h>

namespace platform {

std::wstring widePathFromCp932(const std::string &path)
{
    if (path.empty())
        return {};
    const int n = ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, path.data(), int(path.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(size_t(n), L'\0');
    ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, path.data(), int(path.size()), wide.data(), n);
    return wide;
}

} // namespace platform

namespace platform {

std::string utf8FromCp932(const std::string &cp932)
{
    if (cp932.empty())
        return {};
    // Without MB_ERR_INVALID_CHARS a byte that is not CP932 becomes U+FFFD.
    const int n = ::MultiByteToWideChar(932, 0, cp932.data(), int(cp932.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(size_t(n), L'\0');
    ::MultiByteToWideChar(932, 0, cp932.data(), int(cp932.size()), wide.data(), n);
    const int m = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(m > 0 ? m : 0), '\0');
    if (m > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}

std::string cp932FromUtf8(const char *utf8)
{
    const std::string in = utf8 ? utf8 : "";
    if (in.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, in.data(), int(in.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(size_t(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, in.data(), int(in.size()), wide.data(), n);
    const char unknown = '?';
    const int m = ::WideCharToMultiByte(932, 0, wide.data(), n, nullptr, 0, &unknown, nullptr);
    std::string out(size_t(m > 0 ? m : 0), '\0');
    if (m > 0)
        ::WideCharToMultiByte(932, 0, wide.data(), n, out.data(), m, &unknown, nullptr);
    return out;
}

} // namespace platform
