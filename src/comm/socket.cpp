#include "comm/socket.h"

#include "texts/comm.h"

#include <algorithm>
#include <cstring>

using namespace commtext;

// ---------------------------------------------------------------------------------------
// CWaitCancel (its wake-up pipe is in the POSIX backend)

void CWaitCancel::Begin(uint64_t ticket)
{
    m_running = ticket;
    Clear();
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
    std::unique_ptr<CTransport> sock = m_backend->NewTransport(&m_cancel);
    if (!sock->Connect(m_host, m_port, limitMs))
        return false;
    // A connect made under a shorter limit leaves the sends of the new connection the
    // usual limit, counted from now.
    if (limitMs != m_limitMs)
        sock->ArmLimit(m_limitMs);
    m_sock = std::move(sock);
    return true;
}

bool CSocketBase::CloseConnection()
{
    if (!m_sock)
        return true;
    m_sock->Close();
    m_sock.reset();
    return true;
}

int CSocketBase::receive(uint8_t *buffer, size_t size, int waitMs)
{
    const int r = m_sock->Receive(buffer, size);
    if (r != CTransport::Nothing)
        return r;
    if (waitMs <= 0)
        return TimedOut;
    const int w = m_sock->WaitReadable(waitMs);
    if (w < 0)
        return -1;
    if (w == 0)
        return TimedOut;
    // Ready: this read takes what came, and does not wait again.
    const int again = m_sock->Receive(buffer, size);
    return again == CTransport::Nothing ? TimedOut : again;
}

void CSocketBase::dropStaleBytes()
{
    // A reply that came too late for an exchange already given up would otherwise be
    // taken for the reply to the request about to be sent.
    uint8_t scratch[ReadPiece];
    int dropped = 0;
    for (;;) {
        const int r = receive(scratch, sizeof scratch, 0);
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
CCommClock::Duration replyDeadline(const CCommClock &clock, int limitSeconds)
{
    const CCommClock::Duration sinceEpoch = clock.Calendar();
    const auto intoSecond = sinceEpoch - std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    return clock.Monotonic() + std::chrono::seconds(limitSeconds + 1) - intoSecond;
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
        const uint8_t *soh =
            static_cast<const uint8_t *>(std::memchr(collected + start, frame::SOH, have - start));
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
    const CCommClock &clock = m_backend->Clock();
    const CCommClock::Duration deadline = replyDeadline(clock, ReplyDeadlineSeconds);

    // Bytes are collected until a valid frame stands among them. Each wait lasts at most
    // 1 s and never past the deadline of the whole reply. A peer that closes the
    // connection ends the exchange at once. Bytes before the frame's SOH and after its
    // check byte are dropped.
    uint8_t collected[CollectSize];
    size_t have = 0;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock.Monotonic()).count();
        if (left <= 0) {
            m_trace.Trace(kTrNoReply, int(have));
            return false;
        }
        const int waitMs = int(std::min<long long>(left, ReceiveWaitSeconds * 1000));
        const int r = receive(collected + have, std::min(ReadPiece, CollectSize - have), waitMs);
        if (r == TimedOut) {
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
