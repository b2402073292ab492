// Vendor commands of quorvelctl: clock, number, logo send.
#include "ctl.h"

#include <cstdio>

namespace ctl {

const char *vendorCommandsHelp()
{
    return "  clock get                          print the vendor clock as YY/MM/DD HH:MM:SS\n"
           "  clock set now                      set the vendor clock to the PC's local time\n"
           "  clock set YYYY-MM-DD HH:MM[:SS]    set the vendor clock to that time (seconds default 0)\n"
           "  number get                         print the vendor's six-character device number\n"
           "  number set TEXT                    set the device number (filled up with spaces to six)\n"
           "  logo send FILE                     send FILE, a work image file, as the receipt logo\n";
}

int runVendorCommand(const Options &, const std::vector<std::string> &)
{
    std::fprintf(stderr, "quorvelctl: vendor commands are not available yet\n");
    return kFailure;
}

} // namespace ctl
