#include "platform/openfiles.h"

namespace platform {

long raiseOpenFileLimit()
{
    // Sockets and file handles are not counted against a small per-process limit here
    // (the C runtime's own limit covers only its FILE streams, which a vendor does not use).
    return 1000000;
}

} // namespace platform
