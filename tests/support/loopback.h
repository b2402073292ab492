#pragma once
// Loopback ports for tests: one nobody listens on, and a listener of the test's own.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testutil {

// A loopback port that nobody listens on: bound for a moment, then released.
uint16_t portWithNothingListening();

// Receives exactly `n` bytes from the connected socket `fd`, waiting as long as it takes;
// false when the peer closes or the receive fails first.
bool recvExactly(int fd, uint8_t *buffer, size_t n);

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

    int fd = -1;
    uint16_t port = 0;
    bool ok = false; // bound, listening, its port known
    std::vector<int> fillers;
};

} // namespace testutil
