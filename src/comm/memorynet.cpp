#include "comm/memorynet.h"

#include "comm/socket.h"

#include <algorithm>
#include <cstring>

namespace {

std::chrono::nanoseconds atMsTime(int64_t ms)
{
    return std::chrono::milliseconds(ms);
}

} // namespace

// ---------------------------------------------------------------------------------------
// CMemoryLink

void CMemoryLink::Deliver(int64_t atMs, const uint8_t *bytes, size_t length)
{
    if (m_toolClosed || length == 0)
        return;
    atMs = std::max(atMs, m_clock.NowMs());
    if (m_closeAt >= 0 && atMs > m_closeAt)
        return; // the peer will have closed by then
    if (m_readPos == m_readEnd && m_marks.empty()) {
        m_bytes.clear(); // everything has been read: start the buffer over
        m_readPos = m_readEnd = 0;
    }
    // After every byte of the same or an earlier moment.
    auto later = std::upper_bound(m_marks.begin(), m_marks.end(), atMs,
                                  [](int64_t t, const Mark &m) { return t < m.atMs; });
    const size_t at = later == m_marks.begin() ? m_readEnd : std::prev(later)->end;
    m_bytes.insert(m_bytes.begin() + long(at), bytes, bytes + length);
    for (auto m = later; m != m_marks.end(); ++m)
        m->end += length;
    m_marks.insert(later, Mark{atMs, at + length});
}

void CMemoryLink::CloseAt(int64_t atMs)
{
    if (ClosedByPeer())
        return;
    m_closeAt = std::max(atMs, m_clock.NowMs());
    while (!m_marks.empty() && m_marks.back().atMs > m_closeAt) {
        m_marks.pop_back();
        m_bytes.resize(m_marks.empty() ? m_readEnd : m_marks.back().end);
    }
}

void CMemoryLink::KeepOpen()
{
    if (!ClosedByPeer())
        m_closeAt = -1;
}

void CMemoryLink::StopReading(size_t windowBytes)
{
    m_reading = false;
    m_window = windowBytes;
}

void CMemoryLink::arrive()
{
    const int64_t now = m_clock.NowMs();
    size_t due = 0;
    while (due < m_marks.size() && m_marks[due].atMs <= now)
        ++due;
    if (due == 0)
        return;
    m_readEnd = m_marks[due - 1].end;
    m_marks.erase(m_marks.begin(), m_marks.begin() + long(due));
}

int64_t CMemoryLink::nextEventMs() const
{
    int64_t next = m_marks.empty() ? -1 : m_marks.front().atMs;
    if (m_closeAt >= 0 && (next < 0 || m_closeAt < next))
        next = m_closeAt;
    return next;
}

// ---------------------------------------------------------------------------------------
// CMemoryTransport: the tool's side, with the same limits as a socket's.

class CMemoryTransport : public CTransport {
public:
    CMemoryTransport(CMemoryNet &net, const CWaitCancel *cancel)
        : m_net(net), m_clock(net.m_clock), m_cancel(cancel), m_limit(net.m_clock)
    {
    }
    ~CMemoryTransport() override { Close(); }
    CMemoryTransport(const CMemoryTransport &) = delete;
    CMemoryTransport &operator=(const CMemoryTransport &) = delete;

    bool Connect(const std::string &host, uint16_t port, uint32_t limitMs) override
    {
        m_limit.Arm(limitMs);
        if (cancelled())
            return false;
        auto link = std::make_unique<CMemoryLink>(m_clock, m_net.Connects() + 1, host, port);
        CMemoryLink *peer = link.get();
        m_net.m_links.push_back(std::move(link));
        const CConnectAnswer answer =
            m_net.m_script.onConnect ? m_net.m_script.onConnect(*peer) : CConnectAnswer{};
        const int64_t due =
            answer.kind == CConnectAnswer::Hang ? -1 : m_clock.NowMs() + std::max<int64_t>(0, answer.afterMs);
        const bool completed = (due >= 0 && due <= m_clock.NowMs()) || waitUnderLimit(due);
        if (!completed || answer.kind != CConnectAnswer::Accept) {
            peer->m_toolClosed = true;
            return false;
        }
        m_link = peer;
        return true;
    }

    void ArmLimit(uint32_t limitMs) override { m_limit.Arm(limitMs); }

    bool Send(const uint8_t *bytes, size_t length) override
    {
        if (!m_link)
            return false;
        if (m_net.m_recording)
            m_net.m_sent.push_back({m_link->Index(), m_clock.NowMs(), MemoryBytes(bytes, bytes + length)});
        if (m_link->m_reading) {
            if (m_net.m_script.onBytes && !m_link->ClosedByPeer())
                m_net.m_script.onBytes(*m_link, bytes, length);
            return true;
        }
        // The peer no longer reads: what its window takes goes at once, the rest waits.
        const size_t taken = std::min(length, m_link->m_window);
        m_link->m_window -= taken;
        return taken == length || waitUnderLimit(-1);
    }

    int WaitReadable(int waitMs) override
    {
        if (!m_link || cancelled())
            return -1;
        m_link->arrive();
        if (readable())
            return 1;
        const int64_t end = m_clock.NowMs() + std::max(waitMs, 0);
        const int64_t next = m_link->nextEventMs();
        if (next >= 0 && next <= end) {
            m_clock.AdvanceTo(atMsTime(next));
            m_link->arrive();
            return 1;
        }
        m_clock.AdvanceTo(atMsTime(end));
        return 0;
    }

    int Receive(uint8_t *buffer, size_t size) override
    {
        if (!m_link)
            return -1;
        m_link->arrive();
        const size_t have = m_link->readableBytes();
        if (have > 0) {
            const size_t n = std::min(have, size);
            std::memcpy(buffer, m_link->m_bytes.data() + m_link->m_readPos, n);
            m_link->m_readPos += n;
            return int(n);
        }
        return m_link->ClosedByPeer() ? 0 : Nothing;
    }

    void Close() override
    {
        if (m_link)
            m_link->m_toolClosed = true;
        m_link = nullptr;
    }

private:
    bool cancelled() const { return m_cancel && m_cancel->Cancelled(); }
    bool readable() const { return m_link->readableBytes() > 0 || m_link->ClosedByPeer(); }

    // Waits, as a socket's connect or send does, until virtual millisecond `due` (-1: never)
    // within the armed limit: true when it came in time.
    bool waitUnderLimit(int64_t due)
    {
        if (!m_limit.Armed()) {
            // Without a limit only what is due can end the wait (what never comes would
            // keep a socket waiting for ever: here it fails).
            if (due >= 0)
                m_clock.AdvanceTo(atMsTime(due));
            return due >= 0;
        }
        for (;;) {
            if (!m_limit.Pending() || cancelled())
                return false; // the limit has passed: abandon the call
            const int64_t end = m_clock.NowMs() + m_limit.RemainingMs();
            if (due >= 0 && due <= end) {
                m_clock.AdvanceTo(atMsTime(due));
                return true;
            }
            m_clock.AdvanceTo(atMsTime(end));
        }
    }

    CMemoryNet &m_net;
    CVirtualClock &m_clock;
    const CWaitCancel *m_cancel;
    CTimeLimit m_limit;
    CMemoryLink *m_link = nullptr;
};

// ---------------------------------------------------------------------------------------
// CMemoryNet

CMemoryNet::CMemoryNet(CMemoryScript script, CVirtualClock::Duration calendarStart)
    : m_clock(calendarStart), m_script(std::move(script))
{
}

CMemoryNet::~CMemoryNet() = default;

std::unique_ptr<CTransport> CMemoryNet::NewTransport(const CWaitCancel *cancel)
{
    return std::make_unique<CMemoryTransport>(*this, cancel);
}

void CMemoryNet::Reset()
{
    m_links.clear();
    m_sent.clear();
}
