#pragma once
// The simulator's sockets: a loopback listener, the connections it accepts, and a wake-up
// that ends every wait of the simulator for good when it stops. One file per platform:
// simnet_posix.cpp, simnet_win.cpp.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vendorsim::net {

// A socket (a descriptor or a Winsock handle); kNone when there is none.
using Handle = std::intptr_t;
inline constexpr Handle kNone = -1;

// 127.0.0.0/8 or ::1, in numeric form.
bool isLoopback(const std::string &address);

// Listens on the numeric address `address` and `port` (0: an ephemeral one, then read
// back into `port`). False with the reason in `why`.
bool listenOn(const std::string &address, uint16_t &port, Handle &listener, std::string &why);

// A connection taken off the listener (not inherited by child processes, no delay on
// small sends); kNone on failure.
Handle acceptOne(Handle listener);

// Once signalled, stays signalled: every later wait on it ends at once.
struct Wake {
    Handle watch = kNone; // what the waits watch
    Handle signal = kNone; // what signal() writes to
};
bool makeWake(Wake &wake, std::string &why);
void signalWake(const Wake &wake);
void closeWake(Wake &wake);

// Waits until a connection can be accepted (true) or the wake is signalled or the wait
// fails (false).
bool waitForConnection(Handle listener, const Wake &wake);
// Sleeps ms milliseconds; false at once when the wake is signalled.
bool sleepUnlessWoken(const Wake &wake, int ms);

// Bytes received (more than 0), 0 when the peer has closed, -1 on failure.
long receiveSome(Handle s, uint8_t *buffer, size_t size);
bool sendAll(Handle s, const uint8_t *bytes, size_t length);
// Ends both directions: a receive waiting in another thread returns.
void shutdownBoth(Handle s);
void closeHandle(Handle s);

} // namespace vendorsim::net
