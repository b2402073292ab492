#pragma once
// Reading the work file that a logo transfer sends: in binary (every byte as it is in the
// file, a 0x1A or a CR LF pair included), only a regular file, and never waiting on the
// open (a FIFO or a device would). One file per platform: logofile_posix.cpp and
// logofile_win.cpp, where the path's CP932 bytes become UTF-16 for the system.
#include <cstddef>
#include <cstdint>
#include <string>

enum class LogoFileRead {
    Read, // the whole file is in the buffer
    Unreadable, // missing, not a regular file, or a read failed
    TooLarge, // `limit` bytes or more
};

// Reads the file at `path` into `buffer` (room for limit - 1 bytes); `length` is then the
// count of bytes read.
LogoFileRead ReadLogoFile(const std::string &path, uint8_t *buffer, size_t limit, size_t &length);
