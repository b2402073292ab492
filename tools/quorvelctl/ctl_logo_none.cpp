// The logo file commands in a build without Qt (they draw with it): refused with a word
// on why, and left out of --help.
#include "ctl.h"

#include <cstdio>

namespace ctl {

int runLogoFileCommand(const std::vector<std::string> &args)
{
    std::fprintf(stderr, "quorvelctl: \"logo %s\" is not in this build (it needs Qt)\n", args.at(1).c_str());
    return kFailure;
}

const char *logoFileCommandsHelp()
{
    return "";
}

} // namespace ctl
