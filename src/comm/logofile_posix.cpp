#include "comm/logofile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

LogoFileRead ReadLogoFile(const std::string &path, uint8_t *buffer, size_t limit, size_t &length)
{
    length = 0;
    // Opening never waits (a FIFO would), and only a regular file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return LogoFileRead::Unreadable;
    }
    if (uint64_t(st.st_size) >= limit) {
        ::close(fd);
        return LogoFileRead::TooLarge;
    }
    const size_t want = size_t(st.st_size);
    while (length < want) {
        const ssize_t r = ::read(fd, buffer + length, want - length);
        if (r <= 0)
            break;
        length += size_t(r);
    }
    ::close(fd);
    return LogoFileRead::Read;
}
