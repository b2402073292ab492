#include "platform/curdir.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

bool currentDirectory(std::string &dir)
{
    std::string buf(256, '\0');
    for (;;) {
        if (::getcwd(buf.data(), buf.size())) {
            buf.resize(std::char_traits<char>::length(buf.c_str()));
            dir = std::move(buf);
            return true;
        }
        if (errno != ERANGE || buf.size() > (std::size_t(1) << 24))
            return false;
        buf.resize(buf.size() * 2);
    }
}

bool setCurrentDirectory(const std::string &dir)
{
    return !dir.empty() && ::chdir(dir.c_str()) == 0;
}

bool isAbsolutePath(const std::string &path)
{
    return !path.empty() && path[0] == '/';
}

} // namespace platform
