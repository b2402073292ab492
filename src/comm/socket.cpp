#include "comm/socket.h"

#include "texts/comm.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace commtext;
using Clock = std::chrono::steady_clock;

bool IsNumericAddress(const std::string &text)
{
    in6_addr buf{};
    return ::inet_pton(AF_INET, text.c_str(), &buf) == 1 || ::inet_pton(AF_INET6, text.c_str(), &buf) == 1;
}

// ---------------------------------------------------------------------------------------
// CWaitCancel

CWaitCancel::CWaitCancel()
{
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        m_wake[0] = m_wake[1] = -1; // cancels then only take effect at the next wait's end
}

CWaitCancel::~CWaitCancel()
{
    for (int fd : m_wake)
        if (fd >= 0)
            ::close(fd);
}

void CWaitCancel::CancelUpTo(uint64_t ticket)
{
    uint64_t was = m_cancelledUpTo.load();
    while (was < ticket && !m_cancelledUpTo.compare_exchange_weak(was, ticket)) {
    }
    if (m_wake[1] >= 0) {
        const uint8_t one = 1;
        // A full pipe already wakes every wait; nothing is lost when this write fails.
        [[maybe_unused]] const ssize_t r = ::write(m_wake[1], &one, 1);
    }
}

void CWaitCancel::Begin(uint64_t ticket)
{
    m_running = ticket;
    Clear();
}

void CWaitCancel::Clear() const
{
    if (m_wake[0] < 0)
        return;
    uint8_t scratch[64];
    while (::read(m_wake[0], scratch, sizeof scratch) > 0) {
    }
}

// ---------------------------------------------------------------------------------------
// CTimeOutSock

CTimeOutSock::~CTimeOutSock()
{
    Close();
}

bool CTimeOutSock::Create(int family)
{
    Close();
    m_fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    return m_fd >= 0;
}

int CTimeOutSock::SetTimeOut(uint32_t limitMs)
{
    m_start = Clock::now();
    m_armed = true;
    m_limitMs = limitMs;
    return 1;
}

bool CTimeOutSock::OnMessagePending() const
{
    if (!m_armed)
        return true;
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
    return !(elapsedMs > double(m_limitMs));
}

int CTimeOutSock::remainingMs() const
{
    if (!m_armed)
        return -1;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start).count();
    const long long left = (long long)m_limitMs - elapsed + 1;
    return int(std::clamp(left, 1LL, (long long)m_limitMs + 1));
}

int CTimeOutSock::waitFor(short events, int waitMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(waitMs < 0 ? 0 : waitMs);
    for (;;) {
        if (m_cancel && m_cancel->Cancelled())
            return -1;
        int left = waitMs;
        if (waitMs > 0) {
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
            if (ms <= 0)
                return 0;
            left = int(ms);
        }
        pollfd p[2] = {{m_fd, events, 0}, {m_cancel ? m_cancel->WakeHandle() : -1, POLLIN, 0}};
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
        const int r = waitFor(POLLOUT, remainingMs());
        if (r != 0)
            return r > 0;
    }
}

bool CTimeOutSock::Connect(const sockaddr *address, unsigned addressLength)
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

int CTimeOutSock::Receive(uint8_t *buffer, size_t size, int waitMs)
{
    if (m_fd < 0)
        return -1;
    for (;;) {
        const ssize_t r = ::recv(m_fd, buffer, size, MSG_DONTWAIT);
        if (r >= 0)
            return int(r);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        if (waitMs <= 0)
            return TimedOut;
        const int w = waitFor(POLLIN, waitMs);
        if (w < 0)
            return -1;
        if (w == 0)
            return TimedOut;
        waitMs = 0; // ready: the next read takes what came, and does not wait again
    }
}

void CTimeOutSock::ShutdownSend()
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_WR);
}

void CTimeOutSock::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

// ---------------------------------------------------------------------------------------
// CSocketBase


CSocketBase::CSocketBase() = default;

CSocketBase::~CSocketBase() = default;

void CSocketBase::SetAddress(const std::string &host, uint16_t port)
{
    m_host = host;
    m_port = port;
}

bool CSocketBase::OpenConnection()
{
    return OpenConnection(m_limitMs);
}

bool CSocketBase::OpenConnection(uint32_t limitMs)
{
    m_sock.reset();
    if (m_cancel.Cancelled())
        return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // Numeric addresses only: a name lookup could wait on the network for longer than the
    // connect limit allows, outside any limit of ours.
    hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(m_port);
    if (::getaddrinfo(m_host.c_str(), service.c_str(), &hints, &found) != 0 || !found)
        return false;

    auto sock = std::make_unique<CTimeOutSock>();
    sock->SetTimeOut(limitMs);
    sock->SetCancel(&m_cancel);
    bool connected = false;
    // A name may stand for several addresses; try them in turn within the one limit.
    for (addrinfo *ai = found; ai && !connected; ai = ai->ai_next) {
        if (!sock->Create(ai->ai_family))
            continue;
        connected = sock->Connect(ai->ai_addr, unsigned(ai->ai_addrlen));
        if (!connected) {
            sock->ShutdownSend();
            sock->Close();
            if (!sock->OnMessagePending() || m_cancel.Cancelled())
                break;
        }
    }
    ::freeaddrinfo(found);
    if (!connected)
        return false;
    // A connect made under a shorter limit leaves the sends of the new connection the
    // usual limit, counted from now.
    if (limitMs != m_limitMs)
        sock->SetTimeOut(m_limitMs);
    // Frames are small and strictly alternate; send each at once.
    int one = 1;
    ::setsockopt(sock->handle(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_sock = std::move(sock);
    return true;
}

bool CSocketBase::CloseConnection()
{
    if (!m_sock)
        return true;
    m_sock->ShutdownSend();
    m_sock->Close();
    m_sock.reset();
    return true;
}

void CSocketBase::dropStaleBytes()
{
    // A reply that came too late for an exchange already given up would otherwise be
    // taken for the reply to the request about to be sent.
    uint8_t scratch[ReadPiece];
    int dropped = 0;
    for (;;) {
        const int r = m_sock->Receive(scratch, sizeof scratch, 0);
        if (r <= 0)
            break; // nothing (more) there; a close is found out when waiting for the reply
        dropped += r;
    }
    if (dropped)
        m_trace.Trace(kTrStaleDropped, dropped);
}

namespace {

// The moment the whole reply must be in: the calendar second at the end of the send plus
// the limit, passed once the calendar time is later than that second (so 5 to 6 s after
// the send). It is taken over to the monotonic clock so that every wait can be cut to it.
Clock::time_point replyDeadline(int limitSeconds)
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto intoSecond = sinceEpoch - std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    return Clock::now() + std::chrono::seconds(limitSeconds + 1) -
           std::chrono::duration_cast<Clock::duration>(intoSecond);
}

} // namespace

bool CSocketBase::findReplyFrame(uint8_t *collected, size_t &have, uint8_t *reply, bool &found)
{
    found = false;
    // Every SOH is a possible start of the reply. The first one whose bytes so far are
    // still a frame in the making decides: complete, it is the reply; incomplete, more
    // bytes are awaited. A start that turned out invalid is dropped, and the scan goes on
    // with the byte after that SOH, so a false start cannot swallow the real frame.
    size_t start = 0;
    for (;;) {
        const uint8_t *soh = static_cast<const uint8_t *>(std::memchr(collected + start, frame::SOH, have - start));
        if (!soh) {
            have = 0; // nothing there can begin a frame any more
            return true;
        }
        start = size_t(soh - collected);
        ResetChecker(m_checker);
        const bool complete = CheckReplyFrame(m_checker, m_trace, collected + start, have - start);
        if (m_checker.frameStart == 0 && m_checker.state != 0) {
            if (complete) {
                if (m_checker.frameLength > frame::BufferSize)
                    return false;
                std::memcpy(reply, collected + start, m_checker.frameLength);
                found = true;
                return true;
            }
            // Keep the frame in the making at the front of the collection.
            std::memmove(collected, collected + start, have - start);
            have -= start;
            return true;
        }
        ++start; // this start is invalid
        if (start >= have) {
            have = 0;
            return true;
        }
    }
}

bool CSocketBase::Exchange(const uint8_t *request, size_t length, uint8_t *reply)
{
    if (!m_sock)
        return false;
    ResetChecker(m_checker);
    m_trace.Trace(kTrSendPrepare);
    dropStaleBytes();
    m_trace.Trace(kTrSendStart, int(length));
    if (!m_sock->Send(request, length)) {
        m_trace.Trace(kTrSendFailed);
        return false;
    }
    const Clock::time_point deadline = replyDeadline(ReplyDeadlineSeconds);

    // Bytes are collected until a valid frame stands among them. Each wait lasts at most
    // 1 s and never past the deadline of the whole reply. A peer that closes the
    // connection ends the exchange at once. Bytes before the frame's SOH and after its
    // check byte are dropped.
    uint8_t collected[CollectSize];
    size_t have = 0;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            m_trace.Trace(kTrNoReply, int(have));
            return false;
        }
        const int waitMs = int(std::min<long long>(left, ReceiveWaitSeconds * 1000));
        const int r = m_sock->Receive(collected + have, std::min(ReadPiece, CollectSize - have), waitMs);
        if (r == CTimeOutSock::TimedOut) {
            m_trace.Trace(kTrNoReply, int(have));
            return false;
        }
        if (r < 0) {
            m_trace.Trace(kTrReceiveFailed);
            return false;
        }
        if (r == 0) {
            m_trace.Trace(kTrPeerClosed, int(have));
            return false;
        }
        have += size_t(r);
        bool found = false;
        if (!findReplyFrame(collected, have, reply, found))
            return false;
        if (found)
            return true; // every wait ended by the deadline, so the frame was in time
    }
}
