#include "interrupt.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace ctl {

namespace {

std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "counted from a signal handler");

extern "C" void onInterrupt(int)
{
    g_interrupts.fetch_add(1);
}

} // namespace

void watchInterrupts()
{
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

int interruptCount()
{
    return g_interrupts.load();
}

bool isTerminal(std::FILE *stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

} // namespace ctl
