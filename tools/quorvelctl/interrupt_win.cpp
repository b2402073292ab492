#include "interrupt.h"

#include <windows.h>

#include <atomic>
#include <io.h>

namespace ctl {

namespace {

std::atomic<int> g_interrupts{0};

// Runs on a thread of the system's own. Ctrl+C and Ctrl+Break are counted and the process
// goes on; a close of the console, a log-off or a shut-down is counted too, but the system
// ends the process once this returns, so that one gives the vendors' waits a moment to end.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    g_interrupts.fetch_add(1);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        ::Sleep(2000);
    return TRUE;
}

} // namespace

void watchInterrupts()
{
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

int interruptCount()
{
    return g_interrupts.load();
}

bool isTerminal(std::FILE *stream)
{
    return ::_isatty(::_fileno(stream)) != 0;
}

} // namespace ctl
