#pragma once
// Loopback ports for tests: one nobody listens on, a listener of the test's own, and the
// few calls a test's own peer makes on a connection it accepted. One file per platform:
// loopback.cpp (POSIX), loopback_win.cpp (Winsock).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testutil {

// A socket (a descriptor or a Winsock handle); kNoSocket when there is none.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// A loopback port that nobody listens on: bound for a moment, then released.
uint16_t portWithNothingListening();

// Receives exactly `n` bytes from the connected socket `fd`, waiting as long as it takes;
// false when the peer closes or the receive fails first.
bool recvExactly(SocketHandle fd, uint8_t *buffer, size_t n);

// A loopback listener of the test's own on an ephemeral port. Connections wait in the
// kernel's queue and are never answered unless the test accepts them (with a backlog of
// 64, a vendor that takes the connection and never reads or answers). fillQueue() (with a
// backlog of 0) fills that queue, so further connects hang, as towards a vendor that has
// been switched off.
struct Listener {
    explicit Listener(int backlog = 4);
    ~Listener();
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    // Takes the queue with connects of its own and gives them 100 ms to arrive.
    void fillQueue();

    // The next connection, waiting up to waitMs (-1: without end); kNoSocket when none came.
    SocketHandle accept(int waitMs = -1) const;

    SocketHandle fd = kNoSocket;
    uint16_t port = 0;
    bool ok = false; // bound, listening, its port known
    std::vector<SocketHandle> fillers;
};

// A peer's calls on a connection: bytes received (0: closed, -1: failed), a send of all
// bytes, the close.
long peerReceive(SocketHandle s, uint8_t *buffer, size_t size);
bool peerSend(SocketHandle s, const uint8_t *bytes, size_t length);
void peerClose(SocketHandle s);

} // namespace testutil
