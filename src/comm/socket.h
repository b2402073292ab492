#pragma once
// The TCP connection to the vendor and one request/reply exchange at a time.
//
// Time limits: the connect, and any later send that has to wait, are abandoned once more
// than 10 s have passed since the connection was opened (monotonic clock). After a send,
// every wait for reply bytes lasts at most 1 s, and the whole reply must be in before the
// whole-second time passes the second of the send plus 5 (so between 5 and 6 s); a wait is
// cut short where it would reach past that moment.
#include "comm/frame.h"
#include "comm/transport.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// True for an IPv4 address in dotted-decimal form or an IPv6 address in numeric form, the
// only kinds of device address the connection takes.
bool IsNumericAddress(const std::string &text);

// The address's bytes (4 for IPv4, 16 for IPv6), so that two spellings of one address
// compare equal; empty when the text is not a numeric address.
std::string NumericAddressBytes(const std::string &text);

// Limit on the connect and on a send that has to wait, counted from the opening.
inline constexpr uint32_t kConnectSendLimitMs = 10000;
// Limit on a connect made again inside an attempt, after a failed exchange: the vendor
// that no longer answers is given as long as one wait for a reply, not the opening's 10 s.
inline constexpr uint32_t kReconnectLimitMs = 1000;

// Lets another thread end the connection's waits at once. Operations are numbered
// (tickets, counting up); the one running announces its ticket (Begin), and a cancel ends
// every operation whose ticket is at or below the one given. A cancel wakes a wait through
// a wake-up handle that the socket's waits watch beside the socket, so a wait for a
// connect, a send or a reply returns without its time running out. The handle is the
// system backend's (a pipe in posixsock.cpp, a loopback datagram socket in winsock.cpp); a
// wait of the in-memory backend asks Cancelled() instead.
class CWaitCancel {
public:
    CWaitCancel();
    ~CWaitCancel();
    CWaitCancel(const CWaitCancel &) = delete;
    CWaitCancel &operator=(const CWaitCancel &) = delete;

    // Any thread: cancels the operations with tickets up to `ticket`.
    void CancelUpTo(uint64_t ticket);
    // The thread that waits: the operation with `ticket` starts.
    void Begin(uint64_t ticket);
    bool Cancelled() const { return m_running != 0 && m_running <= m_cancelledUpTo.load(); }
    // Readable once a cancel has been made since the last Clear (a descriptor or a socket
    // handle of the system backend; -1 when there is none).
    std::intptr_t WakeHandle() const { return m_wake[0]; }
    // Takes the wake-up bytes out of the pipe (the thread that waits, when the cancel was
    // not for its operation).
    void Clear() const;

private:
    std::intptr_t m_wake[2] = {-1, -1};
    uint64_t m_running = 0; // only the thread that waits reads and writes it
    std::atomic<uint64_t> m_cancelledUpTo{0};
};

// Owns the connection, the reply checker's state and the trace ring.
class CSocketBase {
public:
    static constexpr int ReceiveWaitSeconds = 1;
    static constexpr int ReplyDeadlineSeconds = 5;
    static constexpr size_t ReadPiece = 1024;
    static constexpr size_t CollectSize = 7000;

    CSocketBase();
    virtual ~CSocketBase();
    CSocketBase(const CSocketBase &) = delete;
    CSocketBase &operator=(const CSocketBase &) = delete;

    // What the connection runs on: SystemBackend() unless set otherwise. Set it while no
    // connection is open; the backend must outlive the connection.
    void SetBackend(CCommBackend &backend) { m_backend = &backend; }
    CCommBackend &Backend() const { return *m_backend; }

    // Where OpenConnection connects to; 127.0.0.1 and 9004 unless set otherwise. The host
    // is an IPv4 or IPv6 address in numeric form; a name is not looked up.
    void SetAddress(const std::string &host, uint16_t port);
    const std::string &host() const { return m_host; }
    uint16_t port() const { return m_port; }

    // Connects within the connect limit (SetConnectSendLimit), or within limitMs when given.
    bool OpenConnection();
    bool OpenConnection(uint32_t limitMs);
    bool CloseConnection(); // always true
    bool IsConnected() const { return m_sock != nullptr; }

    // Sends one request frame and collects one reply frame into reply (frame::BufferSize
    // bytes); true when a valid frame now starts the reply buffer. The frame is taken from
    // wherever its SOH stands among the bytes received.
    bool Exchange(const uint8_t *request, size_t length, uint8_t *reply);

    TraceLog &Log() { return m_trace; }
    const TraceLog &Log() const { return m_trace; }

    // The connect/send limit; kConnectSendLimitMs unless a test shortens it.
    void SetConnectSendLimit(uint32_t ms) { m_limitMs = ms; }
    uint32_t ConnectSendLimit() const { return m_limitMs; }
    // The open connection, null while not connected.
    CTransport *Transport() { return m_sock.get(); }
    // Ends the connect, send and reply waits of an operation from another thread.
    CWaitCancel &Cancel() { return m_cancel; }
    bool Cancelled() const { return m_cancel.Cancelled(); }

private:
    // Takes what has come, waiting up to waitMs (0: not at all) when nothing has: the count
    // of bytes, 0 when the peer has closed, -1 on failure, TimedOut when nothing came.
    static constexpr int TimedOut = -2;
    int receive(uint8_t *buffer, size_t size, int waitMs);
    void dropStaleBytes();
    // Looks for the reply frame among the `have` collected bytes; sets found and copies
    // the frame into reply when one is complete. Drops bytes that can no longer belong to
    // a frame, so the collection never holds more than one frame and one read.
    bool findReplyFrame(uint8_t *collected, size_t &have, uint8_t *reply, bool &found);

    CWaitCancel m_cancel;
    FrameChecker m_checker;
    TraceLog m_trace;
    std::string m_host = "127.0.0.1";
    uint16_t m_port = 9004;
    CCommBackend *m_backend = &SystemBackend();
    std::unique_ptr<CTransport> m_sock;
    uint32_t m_limitMs = kConnectSendLimitMs;
};
