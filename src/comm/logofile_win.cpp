#include "comm/logofile.h"

#include <windows.h>

namespace {

// The path's CP932 bytes as UTF-16 for the W functions; empty when they are not CP932.
std::wstring widePath(const std::string &path)
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

} // namespace

LogoFileRead ReadLogoFile(const std::string &path, uint8_t *buffer, size_t limit, size_t &length)
{
    length = 0;
    const std::wstring wide = widePath(path);
    if (wide.empty())
        return LogoFileRead::Unreadable;
    // A file handle reads bytes as they are: no text mode, no end at 0x1A.
    const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return LogoFileRead::Unreadable;
    // Only a file on a disk: a device (NUL, COM1, CON) or a pipe is refused.
    LARGE_INTEGER size{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileSizeEx(h, &size) || size.QuadPart < 0) {
        ::CloseHandle(h);
        return LogoFileRead::Unreadable;
    }
    if (uint64_t(size.QuadPart) >= limit) {
        ::CloseHandle(h);
        return LogoFileRead::TooLarge;
    }
    const size_t want = size_t(size.QuadPart);
    while (length < want) {
        DWORD got = 0;
        if (!::ReadFile(h, buffer + length, DWORD(want - length), &got, nullptr) || got == 0)
            break;
        length += got;
    }
    ::CloseHandle(h);
    return LogoFileRead::Read;
}
