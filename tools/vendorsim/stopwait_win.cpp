#include "vendorsim/stopwait.h"

#include <windows.h>

namespace vendorsim {

namespace {

HANDLE stopEvent()
{
    static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

BOOL WINAPI onConsoleEvent(DWORD)
{
    // Ctrl+C, Ctrl+Break, the window's close, the log-off and the shut-down all stop the
    // simulator. For a close the system waits for this handler to return, then ends the
    // process; the main thread has its moment to stop the simulator meanwhile.
    ::SetEvent(stopEvent());
    ::Sleep(500);
    return TRUE;
}

} // namespace

void prepareStopWait()
{
    stopEvent();
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void waitForStop()
{
    ::WaitForSingleObject(stopEvent(), INFINITE);
}

} // namespace vendorsim
