#include "platform/openfiles.h"

#include <sys/resource.h>

namespace platform {

long raiseOpenFileLimit()
{
    rlimit lim{};
    if (::getrlimit(RLIMIT_NOFILE, &lim) != 0)
        return 1024;
    if (lim.rlim_cur < lim.rlim_max) {
        rlimit want = lim;
        want.rlim_cur = lim.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &want) == 0)
            lim = want;
    }
    return lim.rlim_cur == RLIM_INFINITY || lim.rlim_cur > 1000000 ? 1000000 : long(lim.rlim_cur);
}

} // namespace platform
