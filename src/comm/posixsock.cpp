#include "comm/posixsock.h"

#include "comm/socket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

bool IsNumericAddress(const std::string &text)
{
    in6_addr buf{};
    return ::inet_pton(AF_INET, text.c_str(), &buf) == 1 || ::inet_pton(AF_INET6, text.c_str(), &buf) == 1;
}

std::string NumericAddressBytes(const std::string &text)
{
    in6_addr buf{};
    if (::inet_pton(AF_INET, text.c_str(), &buf) == 1)
        return std::string(reinterpret_cast<const char *>(&buf), 4);
    if (::inet_pton(AF_INET6, text.c_str(), &buf) == 1)
        return std::string(reinterpret_cast<const char *>(&buf), sizeof buf);
    return {};
}

// ---------------------------------------------------------------------------------------
// CWaitCancel: its wake-up is a pipe that the socket's waits poll beside the socket.

CWaitCancel::CWaitCancel()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_wake[0] = fds[0];
        m_wake[1] = fds[1];
    } // otherwise cancels only take effect at the next wait's end
}

CWaitCancel::~CWaitCancel()
{
    for (std::intptr_t fd : m_wake)
        if (fd >= 0)
            ::close(int(fd));
}

void CWaitCancel::CancelUpTo(uint64_t ticket)
{
    uint64_t was = m_cancelledUpTo.load();
    while (was < ticket && !m_cancelledUpTo.compare_exchange_weak(was, ticket)) {
    }
    if (m_wake[1] >= 0) {
        const uint8_t one = 1;
        // A full pipe already wakes every wait; nothing is lost when this write fails.
        [[maybe_unused]] const ssize_t r = ::write(int(m_wake[1]), &one, 1);
    }
}

void CWaitCancel::Clear() const
{
    if (m_wake[0] < 0)
        return;
    uint8_t scratch[64];
    while (::read(int(m_wake[0]), scratch, sizeof scratch) > 0) {
    }
}

// ---------------------------------------------------------------------------------------
// CTimeOutSock

CTimeOutSock::CTimeOutSock(const CCommClock &clock, const CWaitCancel *cancel)
    : m_clock(clock), m_cancel(cancel), m_limit(clock)
{
}

CTimeOutSock::~CTimeOutSock()
{
    closeSocket();
}

bool CTimeOutSock::create(int family)
{
    closeSocket();
    m_fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    return m_fd >= 0;
}

int CTimeOutSock::SetTimeOut(uint32_t limitMs)
{
    m_limit.Arm(limitMs);
    return 1;
}

int CTimeOutSock::waitFor(short events, int waitMs)
{
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
        pollfd p[2] = {{m_fd, events, 0}, {m_cancel ? int(m_cancel->WakeHandle()) : -1, POLLIN, 0}};
        const int r = ::poll(p, p[1].fd >= 0 ? 2 : 1, left);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (r == 0)
            return 0;
        if (p[1].revents) {
            if (m_cancel->Cancelled())
                return -1;
            // A cancel of an earlier operation: not this one's.
            m_cancel->Clear();
        }
        if (p[0].revents)
            return 1;
    }
}

bool CTimeOutSock::waitWritable()
{
    for (;;) {
        if (!OnMessagePending())
            return false; // the limit has passed: abandon the call
        const int r = waitFor(POLLOUT, m_limit.RemainingMs());
        if (r != 0)
            return r > 0;
    }
}

bool CTimeOutSock::connectTo(const sockaddr *address, unsigned addressLength)
{
    if (m_fd < 0)
        return false;
    // The socket is non-blocking while it connects, so that the wait can be abandoned.
    if (::connect(m_fd, address, socklen_t(addressLength)) != 0) {
        if (errno != EINPROGRESS && errno != EINTR)
            return false;
        if (!waitWritable())
            return false;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0)
            return false;
    }
    // Connected. The socket stays non-blocking: reads and sends wait by themselves, each
    // under its own limit and ended at once by a cancel.
    return true;
}

bool CTimeOutSock::Connect(const std::string &host, uint16_t port, uint32_t limitMs)
{
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
        connected = connectTo(ai->ai_addr, unsigned(ai->ai_addrlen));
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
    int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return true;
}

bool CTimeOutSock::Send(const uint8_t *bytes, size_t length)
{
    if (m_fd < 0)
        return false;
    size_t sent = 0;
    while (sent < length) {
        const ssize_t r = ::send(m_fd, bytes + sent, length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r >= 0) {
            sent += size_t(r);
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitWritable())
                return false;
        } else {
            return false;
        }
    }
    return true;
}

int CTimeOutSock::WaitReadable(int waitMs)
{
    if (m_fd < 0)
        return -1;
    return waitFor(POLLIN, waitMs);
}

int CTimeOutSock::Receive(uint8_t *buffer, size_t size)
{
    if (m_fd < 0)
        return -1;
    for (;;) {
        const ssize_t r = ::recv(m_fd, buffer, size, MSG_DONTWAIT);
        if (r >= 0)
            return int(r);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? Nothing : -1;
    }
}

void CTimeOutSock::shutdownSend()
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_WR);
}

void CTimeOutSock::closeSocket()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
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

class CPosixBackend : public CCommBackend {
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

CCommBackend &PosixBackend()
{
    static CPosixBackend backend;
    return backend;
}

CCommBackend &SystemBackend()
{
    return PosixBackend();
}

bool StartSystemSockets()
{
    return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}
