#pragma once
// Probes of a program's event loop through the window system, on an X connection of their
// own, and the timing of a window's going.
//
// The ping is the one window managers send to see whether a program still answers: a
// WM_PROTOCOLS client message with _NET_WM_PING, the time stamp and the window. Qt answers
// it on its user-interface thread, when it handles the event, by sending it back to the
// root window (with the structure-notify mask, which this connection selects there). So the
// time from the ping to the answer is how long the program's event loop keeps an event
// waiting; a program whose user-interface thread is stuck answers late or not at all.
// Each ping carries its own number in the time-stamp field, so every answer is matched to
// its ping.
#include "desk.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

struct xcb_connection_t;

namespace desk {

using SteadyClock = std::chrono::steady_clock;

// The answers to a series of pings.
struct PingStats {
    int sent = 0;
    std::vector<double> latencies; // ms, of the pings answered within the cap, ascending
    int answered() const { return int(latencies.size()); }
    int unanswered() const { return sent - answered(); }
    // The p-th percentile (0..100, nearest rank) over every ping sent, a ping not answered
    // within the cap counting as infinitely late (then the result is infinity).
    double percentile(double p) const;
    double median() const { return percentile(50); }
    // The latest answer within the cap; 0 when none came.
    double maxAnswered() const { return latencies.empty() ? 0.0 : latencies.back(); }
};

class WindowProbe {
public:
    WindowProbe();
    ~WindowProbe();
    WindowProbe(const WindowProbe &) = delete;
    WindowProbe &operator=(const WindowProbe &) = delete;

    // The X server on $DISPLAY was reached.
    bool connected() const { return m_connection != nullptr; }

    // Pings `window` every `periodMs` for `durationMs`, then waits for the answers still
    // missing; a ping not answered within `capMs` of being sent counts as unanswered.
    // `between` (when given) runs between pings; it must not wait long, as an answer is
    // timed when it is read.
    PingStats pingFor(WindowId window, int durationMs, int periodMs, int capMs,
                      const std::function<void()> &between = {});

    // Starts watching `window` for being unmapped or destroyed; false when the window does
    // not exist. Call before the action that should close it.
    bool watch(WindowId window);
    // Waits until the watched `window` has been unmapped or destroyed, at most `ms` from
    // `since`; the time from `since` to then in ms, or a negative number when it did not
    // happen in time.
    double msUntilGone(WindowId window, SteadyClock::time_point since, int ms);

private:
    // Handles the events that have come; when none has, waits for some until `until`.
    void pump(SteadyClock::time_point until);

    xcb_connection_t *m_connection = nullptr;
    uint32_t m_root = 0;
    uint32_t m_wmProtocols = 0;
    uint32_t m_ping = 0;
    uint32_t m_serial = 0;
    // The ping series under way: window, send times by number (from m_firstSerial) and
    // the answer times.
    WindowId m_pinged = 0;
    uint32_t m_firstSerial = 0;
    std::vector<SteadyClock::time_point> m_sentAt;
    std::vector<double> m_answerMs; // negative: not answered yet
    // The window watched for its going, and whether it went.
    WindowId m_watched = 0;
    bool m_gone = false;
    SteadyClock::time_point m_goneAt;
};

} // namespace desk
