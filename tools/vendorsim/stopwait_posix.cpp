#include "vendorsim/stopwait.h"

#include <csignal>
#include <pthread.h>

namespace vendorsim {

namespace {

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void prepareStopWait()
{
    // The signals are taken by sigwait below; blocked here, every thread started later
    // has them blocked too.
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void waitForStop()
{
    const sigset_t set = stopSignals();
    int sig = 0;
    sigwait(&set, &sig);
}

} // namespace vendorsim
