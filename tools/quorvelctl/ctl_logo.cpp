// Logo file commands of quorvelctl: logo render, logo header.
#include "ctl.h"

#include <cstdio>

namespace ctl {

const char *logoFileCommandsHelp()
{
    return "";
}

int runLogoFileCommand(const std::vector<std::string> &)
{
    std::fprintf(stderr, "quorvelctl: logo file commands are not available yet\n");
    return kFailure;
}

} // namespace ctl
