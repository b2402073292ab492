#include "platform/instanceguard.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

InstanceGuard::~InstanceGuard()
{
    release();
}

std::string InstanceGuard::lockFilePath(const std::string &name)
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/" + name + ".lock";
    // The temporary folder is shared by all users: the user id keeps their guards apart.
    return std::filesystem::temp_directory_path().string() + "/" + name + "-" + std::to_string(::getuid()) +
        ".lock";
}

InstanceGuard::Result InstanceGuard::acquire(const std::string &name)
{
    release();
    if (name.empty() || name.find('/') != std::string::npos)
        return Result::Failed;
    const std::string path = lockFilePath(name);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Result::Failed;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? Result::AlreadyRunning : Result::Failed;
    }
    m_handle = fd;
    m_held = true;
    // Record the holder; failing to do so does not matter for the guard itself.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0)
        (void)!::pwrite(fd, pid.data(), pid.size(), 0);
    return Result::Acquired;
}

void InstanceGuard::release()
{
    if (m_handle != kNone) {
        // Empty the file first so that it no longer names this process; the lock itself
        // goes with the descriptor.
        if (m_held)
            (void)!::ftruncate(int(m_handle), 0);
        ::close(int(m_handle));
    }
    m_handle = kNone;
    m_held = false;
}

} // namespace platform
