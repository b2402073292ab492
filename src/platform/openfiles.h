#pragma once
// The number of files a process may hold open. A program that serves or talks to many
// vendors at once needs a socket (and more) for each, beyond the small default limit.

namespace platform {

// Raises the limit on open files as far as the process may; returns the limit then in
// force (1000000 where there is none to speak of).
long raiseOpenFileLimit();

} // namespace platform
