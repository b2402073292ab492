#pragma once
// The few system facts the protocol, MFP and command-line tests need, the same on every
// platform: the process id (for folder names), a device that is not a regular file, and a
// FIFO where the system has them.
#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <process.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testsys {

inline std::string processId()
{
#ifdef _WIN32
    return std::to_string(::_getpid());
#else
    return std::to_string(::getpid());
#endif
}

// A device whose name opens like a file's and whose reads never end.
inline std::string endlessDevice()
{
#ifdef _WIN32
    return "NUL";
#else
    return "/dev/zero";
#endif
}

// Makes a FIFO at `path`; false where the system has none (Windows).
inline bool makeFifo(const std::filesystem::path &path)
{
#ifdef _WIN32
    (void)path;
    return false;
#else
    return ::mkfifo(path.c_str(), 0600) == 0;
#endif
}

// Runs `command` in the system's shell and returns the program's exit status (-1 when it
// did not end by itself). The Windows shell under Wine now and then fails to start a
// program on a loaded machine and says so with 9009 ("not recognized"), a status none of
// our programs gives: such a run is made once more.
inline int shell(const std::string &command)
{
#ifdef _WIN32
    int status = std::system(command.c_str());
    if (status == 9009)
        status = std::system(command.c_str());
    return status;
#else
    const int w = std::system(command.c_str());
    return WIFEXITED(w) ? WEXITSTATUS(w) : -1;
#endif
}

// Where output is thrown away.
inline std::string nullDevice()
{
#ifdef _WIN32
    return "NUL";
#else
    return "/dev/null";
#endif
}

} // namespace testsys
