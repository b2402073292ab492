#include "platform/atomicfile.h"

#include "platform/pathsplit.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

const std::string_view kPathSeparators = "/";

namespace {

// Longest chain of symbolic links followed, as the kernel's own limit.
constexpr int kMaxLinkHops = 40;

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    // Closes and reports whether the close succeeded (a deferred write error shows here).
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const char *p, size_t n)
{
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

std::string folderOf(const std::string &path)
{
    return folderOfPath(path, "/");
}

std::string nameOf(const std::string &path)
{
    return nameOfPath(path, "/");
}

// Follows a chain of symbolic links from `path` to the file it finally names (which need
// not exist). False on a loop or a link that cannot be read.
bool resolveLinks(const std::string &path, std::string &target)
{
    target = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0)
            return errno == ENOENT; // a new file
        if (!S_ISLNK(st.st_mode))
            return true;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n <= 0 || size_t(n) >= link.size())
            return false;
        link.resize(size_t(n));
        target = link.front() == '/' ? link : folderOf(target) + "/" + link;
    }
    errno = ELOOP;
    return false;
}

// Creates a new, empty file beside `target` with `mode` (less the umask), named after it
// with a leading dot and a unique suffix. Returns the descriptor, or -1 with errno set.
int createTemporary(const std::string &target, mode_t mode, std::string &tmpPath)
{
    static std::atomic<unsigned> counter{0};
    const std::string stem = folderOf(target) + "/." + nameOf(target) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto tick =
            static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, "%d-%u-%llx", int(::getpid()), counter++, tick & 0xFFFFFFu);
        tmpPath = stem + suffix;
        const int fd = ::open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives the new file the replaced file's owner and group as far as the user may (the
// superuser: both; the owner: a group of their own), then its permission bits (after the
// owner change, which clears the set-id bits).
void takeOverAttributes(int fd, const struct stat &old)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)::fchown(fd, uid_t(-1), old.st_gid);
    ::fchmod(fd, old.st_mode & 07777);
}

void syncFolder(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

// Rewrites `target` (a regular file that was `old`) in place: for a folder in which no new
// file can be made.
bool rewriteInPlace(const std::string &target, const struct stat &old, const std::string &bytes)
{
    // Non-blocking and without following links, so a file swapped for a FIFO or a link
    // since the check is refused instead of waited on or followed.
    Fd fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    struct stat now {};
    if (fd.get() < 0 || ::fstat(fd.get(), &now) != 0 || !S_ISREG(now.st_mode) || now.st_ino != old.st_ino ||
        now.st_dev != old.st_dev)
        return false;
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return false;
    const bool ok =
        ::ftruncate(fd.get(), 0) == 0 && writeAll(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0;
    return fd.close() && ok;
}

} // namespace

bool writeFileAtomically(const std::string &path, const std::string &bytes)
{
    if (path.empty())
        return false;
    std::string target;
    if (!resolveLinks(path, target))
        return false;

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return false;
    if (exists) {
        // What a plain write would refuse, the replacement refuses too. A file without any
        // write permission bit stays protected even for the superuser, who would otherwise
        // pass every check.
        if (!S_ISREG(old.st_mode) || (old.st_mode & 0222) == 0 ||
            ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return false;
    }

    // The temporary file lies in the target's own folder so the rename stays on one file
    // system and is atomic. Until it has the old file's permissions it is private.
    std::string tmpPath;
    Fd fd(createTemporary(target, exists ? 0600 : 0666, tmpPath));
    if (fd.get() < 0) {
        if (exists && (errno == EACCES || errno == EPERM))
            return rewriteInPlace(target, old, bytes);
        return false;
    }
    if (exists)
        takeOverAttributes(fd.get(), old);
    bool ok = writeAll(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    if (ok && ::rename(tmpPath.c_str(), target.c_str()) == 0) {
        syncFolder(folderOf(target));
        return true;
    }
    ::unlink(tmpPath.c_str());
    return false;
}

bool readWholeFile(const std::string &path, std::string &bytes, size_t maxBytes)
{
    // Looked at before it is opened, so that no device is ever opened; and again once open,
    // in case the path was swapped in between. The open does not block on a FIFO.
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > maxBytes)
        return false;
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > maxBytes)
        return false;
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return false;

    // The file may grow while it is read: never take more than the limit.
    std::string out;
    out.reserve(size_t(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        if (size_t(n) > maxBytes - out.size())
            return false;
        out.append(buf, size_t(n));
    }
    bytes.swap(out);
    return true;
}

PathKind pathKind(const std::string &path)
{
    struct stat st {};
    if (path.empty())
        return PathKind::Missing;
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? PathKind::Missing : PathKind::Unknown;
    return S_ISREG(st.st_mode) ? PathKind::RegularFile : S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Other;
}

} // namespace platform
