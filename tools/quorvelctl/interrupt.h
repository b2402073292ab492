#pragma once
// What a fleet run needs of the operating system besides sockets and files: Ctrl+C, and
// whether a stream is a terminal. One file per platform.
#include <cstdio>

namespace ctl {

// From now on, Ctrl+C (and a request to end the process) no longer ends it but is counted.
void watchInterrupts();
// The interrupts counted since watchInterrupts; safe from any thread.
int interruptCount();

bool isTerminal(std::FILE *stream);

} // namespace ctl
