#pragma once
// Writing a whole file so that a failure never leaves it half written: the bytes go to a
// temporary file beside the target, which is then renamed over it.
#include <string>

namespace platform {

// Writes `bytes` as the whole content of `path` (byte for byte, no line-end translation).
// Returns false when anything fails; the previous file at `path`, if any, is then left
// exactly as it was and no temporary file is left behind.
bool writeFileAtomically(const std::string &path, const std::string &bytes);

// Reads the whole file into `bytes`. Returns false when it cannot be opened or read.
bool readWholeFile(const std::string &path, std::string &bytes);

} // namespace platform
