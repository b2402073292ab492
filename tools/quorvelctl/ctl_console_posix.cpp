// POSIX: standard output and error carry bytes as they are already.
#include "ctl.h"

namespace ctl {

void prepareStandardStreams() {}

} // namespace ctl
