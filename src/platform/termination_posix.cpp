#include "platform/termination.h"

#include <QMetaObject>
#include <QObject>

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
QObject *g_receiver = nullptr; // guarded by g_mutex
std::function<void()> g_close; // guarded by g_mutex
int g_signal = 0; // the first signal taken; guarded by g_mutex
bool g_requested = false; // the close request has been posted; guarded by g_mutex
bool g_finished = false; // guarded by g_mutex

sigset_t terminationSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

// Posts the close request once; with g_mutex held. The receiver cannot go away meanwhile:
// clearing it takes the same lock.
void postCloseRequest()
{
    if (g_requested || !g_receiver || !g_close)
        return;
    g_requested = true;
    QMetaObject::invokeMethod(g_receiver, g_close, Qt::QueuedConnection);
}

void watch(sigset_t set, std::chrono::milliseconds grace)
{
    int sig = 0;
    while (::sigwait(&set, &sig) != 0) {
    }
    std::unique_lock<std::mutex> lock(g_mutex);
    if (g_finished)
        return;
    g_signal = sig;
    postCloseRequest();
    if (g_changed.wait_for(lock, grace, [] { return g_finished; }))
        return;
    // The windows did not close in time (the user-interface thread is stuck): end now.
    // Later signals stay blocked and pending; nothing else runs our code any more.
    std::fprintf(stderr, "quorvel: signal %d: the windows did not close within %lld ms; ending at once\n", sig,
                 static_cast<long long>(grace.count()));
    std::fflush(stderr);
    ::_exit(128 + sig);
}

} // namespace

void startTerminationWatch(std::chrono::milliseconds grace)
{
    const sigset_t set = terminationSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(watch, set, grace).detach();
}

void setTerminationRequest(QObject *receiver, std::function<void()> close)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_receiver = receiver;
    g_close = std::move(close);
    if (g_signal != 0)
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
