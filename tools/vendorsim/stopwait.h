#pragma once
// How the quorvel-vendorsim tool is told to stop: SIGINT, SIGTERM or SIGHUP on POSIX, Ctrl+C,
// Ctrl+Break or the console window's close on Windows. One file per platform:
// stopwait_posix.cpp, stopwait_win.cpp.
namespace vendorsim {

// Call first thing, before any thread starts: from here on the stop requests are only
// noted, and a send to a closed connection fails instead of ending the process.
void prepareStopWait();

// Returns once a stop has been asked for.
void waitForStop();

} // namespace vendorsim
