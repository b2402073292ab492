// Windows: standard output and error in binary mode, so that what quorvelctl writes there
// is the same bytes as on POSIX. In text mode the C runtime would turn every LF into CR LF,
// and "mfp get" without -o, whose file lines already end in CR LF, would write CR CR LF.
// The console shows the texts, which are UTF-8, in its UTF-8 code page.
#include "ctl.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace ctl {

void prepareStandardStreams()
{
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
}

} // namespace ctl
