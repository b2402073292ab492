#pragma once
// The TCP connection to the vendor and one request/reply exchange at a time.
//
// Time limits: the connect, and any later send that has to wait, are abandoned once more
// than 10 s have passed since the connection was opened (monotonic clock). After a send,
// every wait for reply bytes lasts at most 1 s, and the whole reply must be in before the
// whole-second time passes the second of the send plus 5 (so between 5 and 6 s); a wait is
// cut short where it would reach past that moment.
#include "comm/frame.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

struct sockaddr;

// True for an IPv4 address in dotted-decimal form or an IPv6 address in numeric form, the
// only kinds of device address the connection takes.
bool IsNumericAddress(const std::string &text);

// Limit on the connect and on a send that has to wait, counted from the opening.
inline constexpr uint32_t kConnectSendLimitMs = 10000;

// A stream socket whose blocking connect and send give up once the armed limit has passed.
class CTimeOutSock {
public:
    CTimeOutSock() = default;
    ~CTimeOutSock();
    CTimeOutSock(const CTimeOutSock &) = delete;
    CTimeOutSock &operator=(const CTimeOutSock &) = delete;

    // Makes an unconnected TCP socket of the given address family.
    bool Create(int family);
    // Arms the limit: from now on, a connect or send that waits longer than limitMs
    // (counted from this call) is abandoned. Returns 1.
    int SetTimeOut(uint32_t limitMs);
    // Asked while a connect or send waits: false once the armed limit has passed, which
    // abandons the waiting call.
    bool OnMessagePending() const;

    bool Connect(const sockaddr *address, unsigned addressLength);
    // Sends every byte, waiting as needed under the limit; false on failure.
    bool Send(const uint8_t *bytes, size_t length);
    // Waits up to waitMs for bytes (0: takes only what is already there) and reads up to
    // size of them: their count, 0 when the peer has closed, -1 on failure, TimedOut when
    // nothing came in time.
    static constexpr int TimedOut = -2;
    int Receive(uint8_t *buffer, size_t size, int waitMs);

    void ShutdownSend();
    void Close();
    int handle() const { return m_fd; }

private:
    // Milliseconds left before the armed limit passes (at least 1); -1 when not armed.
    int remainingMs() const;
    bool waitWritable();

    int m_fd = -1;
    int m_receiveWaitMs = 0; // the wait currently set on the socket for blocking reads
    std::chrono::steady_clock::time_point m_start{};
    bool m_armed = false;
    uint32_t m_limitMs = 0;
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

    // Where OpenConnection connects to; 127.0.0.1 and 9004 unless set otherwise. The host
    // is an IPv4 or IPv6 address in numeric form; a name is not looked up.
    void SetAddress(const std::string &host, uint16_t port);
    const std::string &host() const { return m_host; }
    uint16_t port() const { return m_port; }

    bool OpenConnection();
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
    // The owned socket, null while not connected.
    CTimeOutSock *Socket() { return m_sock.get(); }

private:
    void dropStaleBytes();
    // Looks for the reply frame among the `have` collected bytes; sets found and copies
    // the frame into reply when one is complete. Drops bytes that can no longer belong to
    // a frame, so the collection never holds more than one frame and one read.
    bool findReplyFrame(uint8_t *collected, size_t &have, uint8_t *reply, bool &found);

    FrameChecker m_checker;
    TraceLog m_trace;
    std::string m_host = "127.0.0.1";
    uint16_t m_port = 9004;
    std::unique_ptr<CTimeOutSock> m_sock;
    uint32_t m_limitMs = kConnectSendLimitMs;
};
