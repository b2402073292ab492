#include "platform/atomicfile.h"

#include "platform/cp932.h"
#include "platform/pathsplit.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace platform {

const std::string_view kPathSeparators = "\\/";

namespace {

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : m_h(h) {}
    ~Handle() { reset(); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    void reset()
    {
        if (valid())
            ::CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }
    // Closes and reports whether the close succeeded.
    bool close()
    {
        const HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return h == INVALID_HANDLE_VALUE || ::CloseHandle(h);
    }

private:
    HANDLE m_h;
};

bool writeAll(HANDLE h, const char *p, size_t n)
{
    while (n > 0) {
        const DWORD piece = n > (1u << 30) ? DWORD(1u << 30) : DWORD(n);
        DWORD written = 0;
        if (!::WriteFile(h, p, piece, &written, nullptr) || written == 0)
            return false;
        p += written;
        n -= written;
    }
    return true;
}

// Opens what is at `path` for a look at it only (attributes, type), sharing everything.
HANDLE openToLook(const std::wstring &path)
{
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// A file on a disk that is not a folder; a device name (NUL, COM1, CON, ...) opens as a
// character device and is not one.
bool isDiskFile(HANDLE h)
{
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info) &&
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates a new, empty file beside `target`, named after it with a leading dot and a
// unique suffix.
HANDLE createTemporary(const std::string &target, std::wstring &tmpPath)
{
    static std::atomic<unsigned> counter{0};
    const std::string folder = folderOfPath(target, kPathSeparators);
    const std::string stem =
        (folder == "." ? std::string()
                       : folder + (lastPathSeparator(folder, kPathSeparators) + 1 == folder.size() ? "" : "\\")) +
        "." + nameOfPath(target, kPathSeparators) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, "%lu-%u-%lx", ::GetCurrentProcessId(), counter++,
                      (unsigned long)(::GetTickCount64() & 0xFFFFFFu));
        tmpPath = widePathFromCp932(stem + suffix);
        if (tmpPath.empty())
            break;
        const HANDLE h =
            ::CreateFileW(tmpPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return h;
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

// Rewrites the existing `target` in place: for a folder in which no new file can be made.
bool rewriteInPlace(const std::wstring &target, const std::string &bytes)
{
    Handle h(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid() || !isDiskFile(h.get()))
        return false;
    const bool ok =
        ::SetEndOfFile(h.get()) && writeAll(h.get(), bytes.data(), bytes.size()) && ::FlushFileBuffers(h.get());
    return h.close() && ok;
}

} // namespace

bool writeFileAtomically(const std::string &path, const std::string &bytes)
{
    const std::wstring target = widePathFromCp932(path);
    if (target.empty())
        return false;

    bool exists = false;
    {
        Handle look(openToLook(target));
        if (look.valid()) {
            exists = true;
            // What a plain write would refuse, the replacement refuses too: a folder, a
            // device, a read-only file.
            if (!isDiskFile(look.get()))
                return false;
            const DWORD attributes = ::GetFileAttributesW(target.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY))
                return false;
        } else {
            const DWORD err = ::GetLastError();
            if (err != ERROR_FILE_NOT_FOUND)
                return false; // a missing folder on the way, no permission, ...
        }
    }

    std::wstring tmpPath;
    Handle tmp(createTemporary(path, tmpPath));
    if (!tmp.valid()) {
        if (exists && ::GetLastError() == ERROR_ACCESS_DENIED)
            return rewriteInPlace(target, bytes);
        return false;
    }
    bool ok = writeAll(tmp.get(), bytes.data(), bytes.size()) && ::FlushFileBuffers(tmp.get());
    ok = tmp.close() && ok;
    // The C library's rename() does not replace an existing file here; this does, and
    // returns only once the move is on the disk.
    if (ok && ::MoveFileExW(tmpPath.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    ::DeleteFileW(tmpPath.c_str());
    return false;
}

bool readWholeFile(const std::string &path, std::string &bytes, size_t maxBytes)
{
    const std::wstring wide = widePathFromCp932(path);
    if (wide.empty())
        return false;
    Handle h(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!h.valid() || !isDiskFile(h.get()) || !::GetFileSizeEx(h.get(), &size) || size.QuadPart < 0 ||
        uint64_t(size.QuadPart) > maxBytes)
        return false;

    // The file may grow while it is read: never take more than the limit.
    std::string out;
    out.reserve(size_t(size.QuadPart));
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h.get(), buf, sizeof buf, &n, nullptr))
            return false;
        if (n == 0)
            break;
        if (size_t(n) > maxBytes - out.size())
            return false;
        out.append(buf, n);
    }
    bytes.swap(out);
    return true;
}

PathKind pathKind(const std::string &path)
{
    const std::wstring wide = widePathFromCp932(path);
    if (wide.empty())
        return path.empty() ? PathKind::Missing : PathKind::Unknown;
    Handle look(openToLook(wide));
    if (!look.valid()) {
        const DWORD err = ::GetLastError();
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? PathKind::Missing : PathKind::Unknown;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(look.get()) == FILE_TYPE_DISK && ::GetFileInformationByHandle(look.get(), &info))
        return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::RegularFile;
    return PathKind::Other;
}

} // namespace platform
