#include "platform/atomicfile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

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

} // namespace

bool writeFileAtomically(const std::string &path, const std::string &bytes)
{
    if (path.empty())
        return false;
    // The temporary file lies in the target's own folder so the rename stays on one
    // file system and is atomic.
    // A file marked read-only (no write permission for anyone) stays protected, as it
    // would if it were opened for writing in place; renaming over it would replace it.
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0))
        return false;
    std::string tmpl = path + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        return false;
    // Keep the permissions of an existing target; a new file gets the usual 0666 & ~umask.
    if (exists) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(tmpl.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(tmpl.c_str());
    return false;
}

bool readWholeFile(const std::string &path, std::string &bytes)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (ok)
        bytes.swap(out);
    return ok;
}

} // namespace platform
