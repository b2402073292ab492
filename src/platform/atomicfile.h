#pragma once
// Whole-file reads and writes: every file the tool reads or writes goes through these two.
// One file per platform (atomicfile_posix.cpp, atomicfile_win.cpp); paths are CP932 bytes,
// which the Windows side turns into UTF-16 for the system. Every read and write is binary:
// no byte is changed or taken as the end of the file.
//
// A write never leaves a file half written: the bytes go to a new file beside the target,
// which is synced and then renamed over it. The target is what a plain write would reach:
// a symbolic link is followed to the file it names (the link stays a link), a file the
// user may not write is refused, and the replaced file keeps its permissions and, where
// the user may set them, its owner and group.
//
// On Windows the temporary file is flushed (FlushFileBuffers) and moved over the target with
// MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH), since the C library's
// rename() there does not replace an existing file; a device name (NUL, COM1, ...) is
// refused, as a device is on POSIX. Links are not followed there.
//
// A read takes only a regular file (after following links) no larger than the caller's
// limit, so a FIFO, a device or a folder is refused at once and never blocks or reads
// without end.
#include <cstddef>
#include <string>

namespace platform {

// Writes `bytes` as the whole content of `path` (byte for byte, no line-end translation).
//
// - A symbolic link at `path` is followed (through a chain of links) and its final target
//   is written; a link to a missing file creates that file.
// - An existing target must be a regular file the user may write; a file without any write
//   permission bit counts as read-only even for the superuser. Otherwise false, and the
//   file is not touched.
// - The new content goes to a temporary file in the target's folder, which gets the old
//   file's permission bits (a new file: 0666 less the umask) and, as far as the user may
//   set them, its owner and group; it is synced to the disk and renamed over the target.
// - Only where no file can be made in that folder (no write permission on the folder) but
//   the target itself is writable, the target is rewritten in place.
//
// Returns false when anything fails; the previous file, if any, is then left as it was
// (except after a failed in-place rewrite) and no temporary file is left behind.
bool writeFileAtomically(const std::string &path, const std::string &bytes);

// Reads the whole file at `path` into `bytes`. Returns false, leaving `bytes` as it was,
// when the path cannot be opened, is not a regular file after following links (a folder,
// a FIFO, a device, a socket), holds more than `maxBytes` bytes, or cannot be read. Never
// waits for a writer: a FIFO is refused without blocking.
bool readWholeFile(const std::string &path, std::string &bytes, size_t maxBytes);

// What is at a path, as far as a look at it (following links) tells.
enum class PathKind {
    Missing, // nothing is there
    RegularFile,
    Folder,
    Other, // a device, a FIFO, ...
    Unknown, // cannot be looked at (no permission on a folder on the way, ...)
};
PathKind pathKind(const std::string &path);

} // namespace platform
