#pragma once
// The process's current directory, as the file dialogs move it to the folder picked, and
// whether a path is absolute. Paths are CP932 bytes. One file per platform:
// curdir_posix.cpp, curdir_win.cpp.
#include <string>

namespace platform {

// The process's current directory (whatever its length), or false when it cannot be read
// (on Windows also when its name has a character CP932 cannot hold).
bool currentDirectory(std::string &dir);
bool setCurrentDirectory(const std::string &dir);

// True for a path that does not depend on the current directory: "/..." on POSIX;
// "C:\...", "C:/...", "\\server\..." and "\..." on Windows.
bool isAbsolutePath(const std::string &path);

} // namespace platform
