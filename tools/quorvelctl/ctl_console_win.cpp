// Windows: the arguments as CP932 from the UTF-16 command line; standard output and error in binary mode, so that what quorvelctl writes there
// is the same bytes as on POSIX. In text mode the C runtime would turn every LF into CR LF,
// and "mfp get" without -o, whose file lines already end in CR LF, would write CR CR LF.
// The console shows the texts, which are UTF-8, in its UTF-8 code page while quorvelctl
// runs; the console's own code page comes back when it ends.
#include "ctl.h"

#include <windows.h>
// after windows.h, whose types it uses
#include <shellapi.h>

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

std::vector<std::string> commandLineArguments(int argc, char **argv)
{
    int n = 0;
    LPWSTR *wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
        const int m = ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string a(size_t(m > 0 ? m : 1), '\0');
        if (m > 0)
            ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide[i], -1, a.data(), m, nullptr, nullptr);
        a.resize(a.size() - 1); // the terminating zero
        out.push_back(std::move(a));
    }
    ::LocalFree(wide);
    return out;
}

} // namespace ctl
