#pragma once
// Ending the program on SIGTERM, SIGINT and SIGHUP, also when the user-interface thread is
// stuck. The signals are blocked in every thread and taken by a thread of their own
// (sigwait), which no busy window can starve. On a signal that thread asks the
// user-interface thread to close the windows (a queued call); if the program has not
// ended within the grace period it ends the process at once with exit status 128 + the
// signal's number. Whole-file writes replace a file only by renaming a complete copy, so
// such an end never leaves a half-written file.
#include <chrono>
#include <functional>

class QObject;

namespace platform {

// Blocks the three signals in the calling thread, and with it in every thread started
// after this, and starts the thread that waits for them. Call first thing in main, before
// the application object starts threads of its own. Once only.
void startTerminationWatch(std::chrono::milliseconds grace);

// After a signal (also one that came before this call), `close` runs once in the thread of
// `receiver`. `receiver` must outlive the request: clear it first (nullptr) before it goes.
void setTerminationRequest(QObject *receiver, std::function<void()> close);

// The program's own end: no signal ends the process from here on.
void terminationWatchFinished();

} // namespace platform
