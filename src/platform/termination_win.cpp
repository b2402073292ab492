// Windows: no signals. A console the program was started from (or one it has) sends its
// control events instead: Ctrl+C, Ctrl+Break, the console's close, the log-off and the
// shut-down. Each is handled as a signal is on POSIX: the user-interface thread is asked to
// close the windows; if the program has not ended within the grace period, the process
// ends at once (exit status 128 + 2 for Ctrl+C, as SIGINT). The windows' own close box and
// the session's end reach the program through Qt's window messages, not through here.
#include "platform/termination.h"

#include <QMetaObject>
#include <QObject>

#include <windows.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace platform {

namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
QObject *g_receiver = nullptr; // guarded by g_mutex
std::function<void()> g_close; // guarded by g_mutex
bool g_asked = false; // a control event has come; guarded by g_mutex
bool g_requested = false; // the close request has been posted; guarded by g_mutex
bool g_finished = false; // guarded by g_mutex
std::chrono::milliseconds g_grace{0};

void postCloseRequest()
{
    if (g_requested || !g_receiver || !g_close)
        return;
    g_requested = true;
    QMetaObject::invokeMethod(g_receiver, g_close, Qt::QueuedConnection);
}

// Runs on a thread of the system's own, which no busy window can starve.
BOOL WINAPI onControlEvent(DWORD event)
{
    std::unique_lock<std::mutex> lock(g_mutex);
    if (g_finished)
        return FALSE;
    g_asked = true;
    postCloseRequest();
    if (g_changed.wait_for(lock, g_grace, [] { return g_finished; }))
        return TRUE;
    std::fprintf(stderr, "quorvel: console event %lu: the windows did not close within %lld ms; ending at once\n",
                 static_cast<unsigned long>(event), static_cast<long long>(g_grace.count()));
    std::fflush(stderr);
    ::ExitProcess(128 + 2);
}

} // namespace

void startTerminationWatch(std::chrono::milliseconds grace)
{
    g_grace = grace;
    ::SetConsoleCtrlHandler(onControlEvent, TRUE);
}

void setTerminationRequest(QObject *receiver, std::function<void()> close)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_receiver = receiver;
    g_close = std::move(close);
    if (g_asked)
        postCloseRequest();
}

void terminationWatchFinished()
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_finished = true;
        g_receiver = nullptr;
        g_close = nullptr;
    }
    g_changed.notify_all();
}

} // namespace platform
