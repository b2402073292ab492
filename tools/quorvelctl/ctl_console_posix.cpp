// POSIX: the arguments and standard output and error carry bytes as they are already.
#include "ctl.h"

namespace ctl {

void prepareStandardStreams() {}

std::vector<std::string> commandLineArguments(int argc, char **argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace ctl
