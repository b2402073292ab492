#pragma once
// The in-memory backend: a scripted peer on the other side of an in-memory connection, and
// a virtual clock, for tests, fuzzing and benchmarks. Nothing here touches the network.
//
// Virtual time moves only when the connection waits: a wait jumps at once to the next
// thing the peer has scheduled or to the end of the wait, whichever comes first, so a
// 1 s wait costs microseconds and a run's times are exact and repeatable.
//
// The peer is a script: it is asked what to do with every connect, and it is handed every
// byte the tool sends, when it sends it. It answers by scheduling bytes (in pieces, at
// chosen virtual times) and a close on that connection, or by no longer reading.
//
// Everything runs on the thread that uses the connection (the script's functions too);
// nothing else may touch the net while an operation runs.
#include "comm/transport.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CVirtualClock : public CCommClock {
public:
    // 2026-01-01 00:00:00 UTC: a whole second, so that the first reply deadline falls 6 s
    // after a send at the start.
    static constexpr Duration kDefaultCalendarStart = std::chrono::seconds(1767225600);

    // Monotonic time starts at 0, calendar time at calendarStart.
    explicit CVirtualClock(Duration calendarStart = kDefaultCalendarStart) : m_calendarStart(calendarStart) {}

    Duration Monotonic() const override { return m_now; }
    Duration Calendar() const override { return m_calendarStart + m_now; }
    // Monotonic milliseconds (whole ones passed).
    int64_t NowMs() const { return std::chrono::duration_cast<std::chrono::milliseconds>(m_now).count(); }
    // Moves time on to t; never back.
    void AdvanceTo(Duration t)
    {
        if (t > m_now)
            m_now = t;
    }
    void AdvanceMs(int64_t ms) { AdvanceTo(m_now + std::chrono::milliseconds(ms)); }

private:
    Duration m_calendarStart;
    Duration m_now{0};
};

using MemoryBytes = std::vector<uint8_t>;

// What the peer does with a connect.
struct CConnectAnswer {
    enum Kind {
        Accept, // the connect succeeds afterMs after it was asked for
        Refuse, // it fails afterMs after it was asked for
        Hang, // it never completes: the connect limit ends it
    };
    Kind kind = Accept;
    int64_t afterMs = 0;
};

// The peer's side of one in-memory connection.
class CMemoryLink {
public:
    CMemoryLink(CVirtualClock &clock, int index, std::string host, uint16_t port)
        : m_clock(clock), m_index(index), m_host(std::move(host)), m_port(port)
    {
    }
    CMemoryLink(const CMemoryLink &) = delete;
    CMemoryLink &operator=(const CMemoryLink &) = delete;

    // Connections asked for on the net, counted from 1.
    int Index() const { return m_index; }
    const std::string &Host() const { return m_host; }
    uint16_t Port() const { return m_port; }
    int64_t NowMs() const { return m_clock.NowMs(); }

    // Bytes that can be read from virtual millisecond atMs on (from now when earlier). Bytes
    // scheduled for the same or an earlier moment are read first. Ignored once the peer
    // has closed or the tool has closed the connection.
    void Deliver(int64_t atMs, const uint8_t *bytes, size_t length);
    void Deliver(int64_t atMs, const MemoryBytes &bytes) { Deliver(atMs, bytes.data(), bytes.size()); }
    // The peer closes at atMs (now when earlier): once what came before has been read, a
    // read sees the end of the stream. Bytes scheduled for later never come.
    void CloseAt(int64_t atMs);
    // Calls off a close that has not come yet.
    void KeepOpen();
    // From now on the peer reads no more than windowBytes further bytes: a send beyond
    // them waits, and fails once the connection's limit passes.
    void StopReading(size_t windowBytes);

    bool ClosedByPeer() const { return m_closeAt >= 0 && m_clock.NowMs() >= m_closeAt; }
    bool ClosedByTool() const { return m_toolClosed; }

private:
    friend class CMemoryTransport;
    // Moves the bytes whose time has come to the readable ones.
    void arrive();
    // When the next scheduled bytes or the close come; -1 when nothing is scheduled.
    int64_t nextEventMs() const;
    size_t readableBytes() const { return m_readEnd - m_readPos; }

    CVirtualClock &m_clock;
    int m_index;
    std::string m_host;
    uint16_t m_port;
    // Every byte delivered and not yet read, in the order they come: [m_readPos, m_readEnd)
    // can be read, and each mark says from when on the bytes up to its end can.
    struct Mark {
        int64_t atMs;
        size_t end;
    };
    MemoryBytes m_bytes;
    std::vector<Mark> m_marks; // of the bytes not yet readable, in time order
    size_t m_readPos = 0;
    size_t m_readEnd = 0;
    int64_t m_closeAt = -1;
    bool m_reading = true;
    size_t m_window = 0; // bytes the peer still takes while it does not read
    bool m_toolClosed = false;
};

// The peer's functions. onConnect: null accepts every connect at once. onBytes: the bytes
// of one send, as the tool sent them (a request frame is one send); null reads and drops.
struct CMemoryScript {
    std::function<CConnectAnswer(CMemoryLink &)> onConnect;
    std::function<void(CMemoryLink &, const uint8_t *, size_t)> onBytes;
};

// The backend: connections to the scripted peer, all on one virtual clock.
class CMemoryNet : public CCommBackend {
public:
    explicit CMemoryNet(CMemoryScript script = {},
                        CVirtualClock::Duration calendarStart = CVirtualClock::kDefaultCalendarStart);
    ~CMemoryNet() override;
    CMemoryNet(const CMemoryNet &) = delete;
    CMemoryNet &operator=(const CMemoryNet &) = delete;

    const CCommClock &Clock() const override { return m_clock; }
    std::unique_ptr<CTransport> NewTransport(const CWaitCancel *cancel) override;

    CVirtualClock &VirtualClock() { return m_clock; }
    const CVirtualClock &VirtualClock() const { return m_clock; }
    void SetScript(CMemoryScript script) { m_script = std::move(script); }

    // Every send the tool made: on which connection, when, and its bytes (kept unless
    // switched off, as a fuzzer does for speed).
    struct Sent {
        int link = 0;
        int64_t atMs = 0;
        MemoryBytes bytes;
    };
    void SetRecording(bool on) { m_recording = on; }
    const std::vector<Sent> &SentLog() const { return m_sent; }
    // Connections asked for so far, and each one's peer side (index from 1).
    int Connects() const { return int(m_links.size()); }
    CMemoryLink &Link(int index) { return *m_links.at(size_t(index - 1)); }
    // Forgets the connections and the sends (the clock goes on); none may still be in use.
    void Reset();

private:
    friend class CMemoryTransport;
    CVirtualClock m_clock;
    CMemoryScript m_script;
    std::vector<std::unique_ptr<CMemoryLink>> m_links;
    std::vector<Sent> m_sent;
    bool m_recording = true;
};
