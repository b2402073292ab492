#pragma once
// The Winsock backend: a TCP stream socket whose waits select on the socket and on the
// cancel's wake-up socket, and the real clocks (steady and calendar). The Windows sibling
// of posixsock.h; a build has one of the two.
#include "comm/transport.h"

#include <cstdint>

struct sockaddr;

// A stream socket whose connect and sends give up once the armed limit has passed.
class CTimeOutSock : public CTransport {
public:
    // Every wait also ends, as a failure, when `cancel` is cancelled (null: never).
    CTimeOutSock(const CCommClock &clock, const CWaitCancel *cancel);
    ~CTimeOutSock() override;
    CTimeOutSock(const CTimeOutSock &) = delete;
    CTimeOutSock &operator=(const CTimeOutSock &) = delete;

    // Looks the numeric address up (no name lookup: it could wait on the network outside
    // any limit of ours) and connects to it within the limit.
    bool Connect(const std::string &host, uint16_t port, uint32_t limitMs) override;
    void ArmLimit(uint32_t limitMs) override { SetTimeOut(limitMs); }
    bool Send(const uint8_t *bytes, size_t length) override;
    int WaitReadable(int waitMs) override;
    int Receive(uint8_t *buffer, size_t size) override;
    void Close() override;

    // Arms the limit: from now on, a connect or send that waits longer than limitMs
    // (counted from this call) is abandoned. Returns 1.
    int SetTimeOut(uint32_t limitMs);
    // Asked while a connect or send waits: false once the armed limit has passed, which
    // abandons the waiting call.
    bool OnMessagePending() const { return m_limit.Pending(); }

private:
    enum class Wait { Readable, Writable, Connected };
    bool create(int family);
    bool connectTo(const sockaddr *address, int addressLength);
    void shutdownSend();
    void closeSocket();
    // Waits under the armed limit until a send may go on (or a connect has ended).
    bool waitWritable(Wait what);
    // Waits up to waitMs (-1: without end) for `what` on the socket: 1 ready, 0 time
    // passed, -1 failed or cancelled (a refused connect counts as failed).
    int waitFor(Wait what, int waitMs);

    const CCommClock &m_clock;
    const CWaitCancel *m_cancel;
    CTimeLimit m_limit;
    std::uintptr_t m_sock;
};

// Winsock and the real clocks, shared by every connection (SystemBackend() here).
CCommBackend &WinsockBackend();
