#include "comm/winsock.h"

#include "comm/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>

namespace {

// Winsock is started once for the process and left running until it ends.
bool winsockReady()
{
    static const bool ready = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

// A socket of the process only: child processes never inherit it.
SOCKET newSocket(int family, int type, int protocol)
{
    if (!winsockReady())
        return INVALID_SOCKET;
    return ::WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

bool setNonBlocking(SOCKET s)
{
    u_long on = 1;
    return ::ioctlsocket(s, FIONBIO, &on) == 0;
}

timeval timeOf(int ms)
{
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    return tv;
}

} // namespace

bool IsNumericAddress(const std::string &text)
{
    if (!winsockReady())
        return false;
    in6_addr buf{};
    return ::inet_pton(AF_INET, text.c_str(), &buf) == 1 || ::inet_pton(AF_INET6, text.c_str(), &buf) == 1;
}

std::string NumericAddressBytes(const std::string &text)
{
    if (!winsockReady())
        return {};
    in6_addr buf{};
    if (::inet_pton(AF_INET, text.c_str(), &buf) == 1)
        return std::string(reinterpret_cast<const char *>(&buf), 4);
    if (::inet_pton(AF_INET6, text.c_str(), &buf) == 1)
        return std::string(reinterpret_cast<const char *>(&buf), sizeof buf);
    return {};
}

// ---------------------------------------------------------------------------------------
// CWaitCancel: its wake-up is a datagram socket on loopback connected to itself; a cancel
// sends it a byte, which makes it readable for the socket's waits that select on it.

CWaitCancel::CWaitCancel()
{
    const SOCKET s = newSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return; // cancels then only take effect at the next wait's end
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof self;
    if (::bind(s, reinterpret_cast<sockaddr *>(&self), sizeof self) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr *>(&self), &len) != 0 ||
        ::connect(s, reinterpret_cast<sockaddr *>(&self), sizeof self) != 0 || !setNonBlocking(s)) {
        ::closesocket(s);
        return;
    }
    m_wake[0] = m_wake[1] = std::intptr_t(s);
}

CWaitCancel::~CWaitCancel()
{
    if (m_wake[0] >= 0)
        ::closesocket(SOCKET(m_wake[0]));
}

void CWaitCancel::CancelUpTo(uint64_t ticket)
{
    uint64_t was = m_cancelledUpTo.load();
    while (was < ticket && !m_cancelledUpTo.compare_exchange_weak(was, ticket)) {
    }
    if (m_wake[1] >= 0) {
        const char one = 1;
        // A full buffer already wakes every wait; nothing is lost when this send fails.
        (void)::send(SOCKET(m_wake[1]), &one, 1, 0);
    }
}

void CWaitCancel::Clear() const
{
    if (m_wake[0] < 0)
        return;
    char scratch[64];
    while (::recv(SOCKET(m_wake[0]), scratch, sizeof scratch, 0) > 0) {
    }
}

// ---------------------------------------------------------------------------------------
// CTimeOutSock

CTimeOutSock::CTimeOutSock(const CCommClock &clock, const CWaitCancel *cancel)
    : m_clock(clock), m_cancel(cancel), m_limit(clock), m_sock(INVALID_SOCKET)
{
}

CTimeOutSock::~CTimeOutSock()
{
    closeSocket();
}

bool CTimeOutSock::create(int family)
{
    closeSocket();
    const SOCKET s = newSocket(family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return false;
    if (!setNonBlocking(s)) {
        ::closesocket(s);
        return false;
    }
    m_sock = s;
    return true;
}

int CTimeOutSock::SetTimeOut(uint32_t limitMs)
{
    m_limit.Arm(limitMs);
    return 1;
}

int CTimeOutSock::waitFor(Wait what, int waitMs)
{
    const SOCKET s = SOCKET(m_sock);
    const SOCKET wake = m_cancel && m_cancel->WakeHandle() >= 0 ? SOCKET(m_cancel->WakeHandle()) : INVALID_SOCKET;
    const auto end = m_clock.Monotonic() + std::chrono::milliseconds(waitMs < 0 ? 0 : waitMs);
    for (;;) {
        if (m_cancel && m_cancel->Cancelled())
            return -1;
        int left = waitMs;
        if (waitMs > 0) {
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(end - m_clock.Monotonic()).count();
            if (ms <= 0)
                return 0;
            left = int(ms);
        }
        fd_set readable, writable, failed;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        if (what == Wait::Readable)
            FD_SET(s, &readable);
        else
            FD_SET(s, &writable);
        // A refused connect shows only in the exception set, never as writable.
        if (what == Wait::Connected)
            FD_SET(s, &failed);
        if (wake != INVALID_SOCKET)
            FD_SET(wake, &readable);
        timeval tv = timeOf(left < 0 ? 0 : left);
        const int r = ::select(0, &readable, &writable, &failed, left < 0 ? nullptr : &tv);
        if (r == SOCKET_ERROR) {
            if (::WSAGetLastError() == WSAEINTR)
                continue;
            return -1;
        }
        if (r == 0)
            return 0;
        if (wake != INVALID_SOCKET && FD_ISSET(wake, &readable)) {
            if (m_cancel->Cancelled())
                return -1;
            // A cancel of an earlier operation: not this one's.
            m_cancel->Clear();
        }
        if (FD_ISSET(s, &failed))
            return -1;
        if (FD_ISSET(s, &readable) || FD_ISSET(s, &writable))
            return 1;
    }
}

bool CTimeOutSock::waitWritable(Wait what)
{
    for (;;) {
        if (!OnMessagePending())
            return false; // the limit has passed: abandon the call
        const int r = waitFor(what, m_limit.RemainingMs());
        if (r != 0)
            return r > 0;
    }
}

bool CTimeOutSock::connectTo(const sockaddr *address, int addressLength)
{
    const SOCKET s = SOCKET(m_sock);
    if (s == INVALID_SOCKET)
        return false;
    // The socket is non-blocking while it connects, so that the wait can be abandoned; a
    // connect under way is reported as "would block".
    if (::connect(s, address, addressLength) != 0) {
        if (::WSAGetLastError() != WSAEWOULDBLOCK)
            return false;
        if (!waitWritable(Wait::Connected))
            return false;
        int err = 0;
        int len = sizeof err;
        if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&err), &len) != 0 || err != 0)
            return false;
    }
    // Connected. The socket stays non-blocking: reads and sends wait by themselves, each
    // under its own limit and ended at once by a cancel.
    return true;
}

bool CTimeOutSock::Connect(const std::string &host, uint16_t port, uint32_t limitMs)
{
    if (!winsockReady())
        return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // Numeric addresses only: a name lookup could wait on the network for longer than the
    // connect limit allows, outside any limit of ours.
    hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found)
        return false;

    SetTimeOut(limitMs);
    bool connected = false;
    // A name may stand for several addresses; try them in turn within the one limit.
    for (addrinfo *ai = found; ai && !connected; ai = ai->ai_next) {
        if (!create(ai->ai_family))
            continue;
        connected = connectTo(ai->ai_addr, int(ai->ai_addrlen));
        if (!connected) {
            shutdownSend();
            closeSocket();
            if (!OnMessagePending() || (m_cancel && m_cancel->Cancelled()))
                break;
        }
    }
    ::freeaddrinfo(found);
    if (!connected)
        return false;
    // Frames are small and strictly alternate; send each at once.
    BOOL one = TRUE;
    ::setsockopt(SOCKET(m_sock), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one), sizeof one);
    return true;
}

bool CTimeOutSock::Send(const uint8_t *bytes, size_t length)
{
    const SOCKET s = SOCKET(m_sock);
    if (s == INVALID_SOCKET)
        return false;
    size_t sent = 0;
    while (sent < length) {
        const int piece = int(std::min<size_t>(length - sent, 1 << 20));
        const int r = ::send(s, reinterpret_cast<const char *>(bytes + sent), piece, 0);
        if (r != SOCKET_ERROR) {
            sent += size_t(r);
            continue;
        }
        const int err = ::WSAGetLastError();
        if (err == WSAEINTR)
            continue;
        if (err != WSAEWOULDBLOCK || !waitWritable(Wait::Writable))
            return false;
    }
    return true;
}

int CTimeOutSock::WaitReadable(int waitMs)
{
    if (SOCKET(m_sock) == INVALID_SOCKET)
        return -1;
    return waitFor(Wait::Readable, waitMs);
}

int CTimeOutSock::Receive(uint8_t *buffer, size_t size)
{
    const SOCKET s = SOCKET(m_sock);
    if (s == INVALID_SOCKET)
        return -1;
    const int want = int(std::min<size_t>(size, 1 << 20));
    for (;;) {
        const int r = ::recv(s, reinterpret_cast<char *>(buffer), want, 0);
        if (r != SOCKET_ERROR)
            return r;
        const int err = ::WSAGetLastError();
        if (err == WSAEINTR)
            continue;
        return err == WSAEWOULDBLOCK ? Nothing : -1;
    }
}

void CTimeOutSock::shutdownSend()
{
    if (SOCKET(m_sock) != INVALID_SOCKET)
        ::shutdown(SOCKET(m_sock), SD_SEND);
}

void CTimeOutSock::closeSocket()
{
    if (SOCKET(m_sock) != INVALID_SOCKET) {
        ::closesocket(SOCKET(m_sock));
        m_sock = INVALID_SOCKET;
    }
}

void CTimeOutSock::Close()
{
    shutdownSend();
    closeSocket();
}

// ---------------------------------------------------------------------------------------
// The backend

namespace {

class CWinsockBackend : public CCommBackend {
public:
    const CCommClock &Clock() const override { return m_clock; }
    std::unique_ptr<CTransport> NewTransport(const CWaitCancel *cancel) override
    {
        return std::make_unique<CTimeOutSock>(m_clock, cancel);
    }

private:
    CRealClock m_clock;
};

} // namespace

CCommBackend &WinsockBackend()
{
    static CWinsockBackend backend;
    return backend;
}

CCommBackend &SystemBackend()
{
    return WinsockBackend();
}

bool StartSystemSockets()
{
    return winsockReady();
}
