#include "platform/curdir.h"

#include "platform/cp932.h"

#include <windows.h>

namespace platform {

bool currentDirectory(std::string &dir)
{
    const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    if (n == 0)
        return false;
    std::wstring wide(n, L'\0');
    const DWORD got = ::GetCurrentDirectoryW(n, wide.data());
    if (got == 0 || got >= n)
        return false;
    wide.resize(got);
    // A name CP932 cannot hold would come back as another folder's: refused instead.
    BOOL lossy = FALSE;
    const int m = ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), nullptr, 0,
                                        nullptr, &lossy);
    if (m <= 0 || lossy)
        return false;
    std::string out(size_t(m), '\0');
    ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), out.data(), m, nullptr,
                          nullptr);
    dir = std::move(out);
    return true;
}

bool setCurrentDirectory(const std::string &dir)
{
    const std::wstring wide = widePathFromCp932(dir);
    return !wide.empty() && ::SetCurrentDirectoryW(wide.c_str());
}

bool isAbsolutePath(const std::string &path)
{
    if (!path.empty() && (path[0] == '\\' || path[0] == '/'))
        return true;
    const bool letter =
        path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return letter && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

} // namespace platform
