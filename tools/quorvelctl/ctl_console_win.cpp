// Windows: standard output and error in binary mode, so that what quorvelctl writes there
// is the same bytes as on POSIX. In text mode the C runtime would turn every LF into CR LF,
// and "mfp get" without -o, whose file lines already end in CR LF, would write CR CR LF.
// The console shows the texts, which are UTF-8, in its UTF-8 code page while quorvelctl
// runs; the console's own code page comes back when it ends.
#include "ctl.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

namespace ctl {

namespace {

UINT g_consoleCodePage = 0;

void restoreConsoleCodePage()
{
    ::SetConsoleOutputCP(g_consoleCodePage);
}

} // namespace

void prepareStandardStreams()
{
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    g_consoleCodePage = ::GetConsoleOutputCP();
    if (g_consoleCodePage != 0 && g_consoleCodePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8))
        std::atexit(restoreConsoleCodePage);
}

} // namespace ctl
