#include "platform/pathsplit.h"

namespace platform {

size_t lastPathSeparator(std::string_view path, std::string_view separators)
{
    size_t last = std::string_view::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (isCp932LeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i; // the trail byte, whatever its value, is part of this character
            continue;
        }
        if (separators.find(path[i]) != std::string_view::npos)
            last = i;
    }
    return last;
}

std::string folderOfPath(const std::string &path, std::string_view separators)
{
    const size_t at = lastPathSeparator(path, separators);
    if (at == std::string::npos)
        return ".";
    // "/x" and "C:\x" keep their root: the folder of a file at the top is the root itself.
    if (at == 0 || (at == 2 && path[1] == ':'))
        return path.substr(0, at + 1);
    return path.substr(0, at);
}

std::string nameOfPath(const std::string &path, std::string_view separators)
{
    const size_t at = lastPathSeparator(path, separators);
    return at == std::string::npos ? path : path.substr(at + 1);
}

} // namespace platform
