#pragma once
// What the connection to the vendor runs on: a clock and a byte stream, behind one small
// table of functions. The connection (CSocketBase) holds the protocol's limits and its
// receive loop; a backend gives it the two times it reads and makes the connections.
//
// Backends: the system's sockets with the real clocks (the default: POSIX sockets in
// posixsock.h, Winsock in winsock.h, one of them built), and an in-memory peer on a
// virtual clock for tests, fuzzing and benchmarks (memorynet.h).
// Everything that belongs to one platform stays inside its backend.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CWaitCancel;

// The two times the connection reads.
class CCommClock {
public:
    using Duration = std::chrono::nanoseconds;
    virtual ~CCommClock() = default;
    // Monotonic time from an arbitrary start: every wait and limit is measured on it.
    virtual Duration Monotonic() const = 0;
    // Calendar time since the epoch: the whole reply's deadline is counted from its second.
    virtual Duration Calendar() const = 0;
};

// The real clocks: steady time and the calendar, as the system backends use them.
class CRealClock : public CCommClock {
public:
    Duration Monotonic() const override;
    Duration Calendar() const override;
};

// The limit on a connect and on sends that have to wait, counted from the moment it was
// armed on a clock. Shared by the backends so that they give up at the same moment.
class CTimeLimit {
public:
    explicit CTimeLimit(const CCommClock &clock) : m_clock(&clock) {}
    // From now on, a wait that would end more than limitMs after this call is abandoned.
    void Arm(uint32_t limitMs);
    bool Armed() const { return m_armed; }
    // False once the armed limit has passed (true while not armed).
    bool Pending() const;
    // Milliseconds left before the limit passes (at least 1); -1 when not armed.
    int RemainingMs() const;

private:
    const CCommClock *m_clock;
    CCommClock::Duration m_start{};
    bool m_armed = false;
    uint32_t m_limitMs = 0;
};

// One connection to the vendor. Every wait in it also ends, as a failure, once the cancel
// it was made with is cancelled.
class CTransport {
public:
    // Receive: no bytes there (yet).
    static constexpr int Nothing = -2;

    virtual ~CTransport() = default;
    // Connects to host:port (an address in numeric form). Arms the limit with limitMs
    // first: a connect that would wait longer is abandoned.
    virtual bool Connect(const std::string &host, uint16_t port, uint32_t limitMs) = 0;
    // Arms the limit again, counted from now; sends that have to wait are held to it.
    virtual void ArmLimit(uint32_t limitMs) = 0;
    // Sends every byte, waiting as needed under the limit; false on failure.
    virtual bool Send(const uint8_t *bytes, size_t length) = 0;
    // Waits up to waitMs (more than 0) until bytes or the peer's close can be received:
    // 1 ready, 0 the time passed, -1 failed or cancelled.
    virtual int WaitReadable(int waitMs) = 0;
    // Takes up to size bytes that are already there, without waiting: their count, 0 when
    // the peer has closed, -1 on failure, Nothing when none have come.
    virtual int Receive(uint8_t *buffer, size_t size) = 0;
    // Shuts the sending side and closes.
    virtual void Close() = 0;
};

// A clock and the connections made against it.
class CCommBackend {
public:
    virtual ~CCommBackend() = default;
    virtual const CCommClock &Clock() const = 0;
    // A new, unconnected transport whose waits end when `cancel` is cancelled (null: never).
    virtual std::unique_ptr<CTransport> NewTransport(const CWaitCancel *cancel) = 0;
};

// The default: the system's sockets and the real clocks, shared by every connection.
CCommBackend &SystemBackend();

// Readies the system's sockets for the program: on POSIX a peer that goes away while we
// write must give a failed write, not end the process (SIGPIPE is ignored); on Windows
// Winsock is started. False when that fails.
bool StartSystemSockets();
