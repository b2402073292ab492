#include "probe.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <poll.h>

namespace desk {

namespace {

uint32_t internAtom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const uint32_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

double msBetween(SteadyClock::time_point from, SteadyClock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

double PingStats::percentile(double p) const
{
    if (sent <= 0)
        return 0.0;
    // Nearest rank over all pings sent; the unanswered ones rank above every answer.
    const int rank = std::max(1, int(std::ceil(p / 100.0 * sent)));
    if (rank > answered())
        return std::numeric_limits<double>::infinity();
    return latencies[size_t(rank - 1)];
}

WindowProbe::WindowProbe()
{
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (!c || xcb_connection_has_error(c)) {
        std::fprintf(stderr, "probe: cannot reach the X server\n");
        if (c)
            xcb_disconnect(c);
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    m_connection = c;
    m_root = it.data->root;
    m_wmProtocols = internAtom(c, "WM_PROTOCOLS");
    m_ping = internAtom(c, "_NET_WM_PING");
    // The answers to pings go to the root window with the structure-notify mask.
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, m_root, XCB_CW_EVENT_MASK, &mask);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // in force from here
}

WindowProbe::~WindowProbe()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

void WindowProbe::pump(SteadyClock::time_point until)
{
    if (!m_connection)
        return;
    xcb_generic_event_t *event = xcb_poll_for_event(m_connection);
    if (!event) {
        const auto now = SteadyClock::now();
        if (now >= until)
            return;
        pollfd p{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        const int wait = int(std::ceil(msBetween(now, until)));
        if (::poll(&p, 1, std::max(wait, 1)) <= 0 || xcb_connection_has_error(m_connection))
            return;
        event = xcb_poll_for_event(m_connection);
    }
    for (; event; event = xcb_poll_for_event(m_connection)) {
        const auto now = SteadyClock::now();
        switch (event->response_type & 0x7F) {
        case XCB_CLIENT_MESSAGE: {
            const auto *m = reinterpret_cast<const xcb_client_message_event_t *>(event);
            if (m->format == 32 && m->window == m_root && m->type == m_wmProtocols &&
                m->data.data32[0] == m_ping && m->data.data32[2] == m_pinged) {
                const uint32_t index = m->data.data32[1] - m_firstSerial;
                if (index < m_sentAt.size() && m_answerMs[index] < 0)
                    m_answerMs[index] = msBetween(m_sentAt[index], now);
            }
            break;
        }
        case XCB_UNMAP_NOTIFY: {
            const auto *u = reinterpret_cast<const xcb_unmap_notify_event_t *>(event);
            if (m_watched && u->window == m_watched && !m_gone) {
                m_gone = true;
                m_goneAt = now;
            }
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto *d = reinterpret_cast<const xcb_destroy_notify_event_t *>(event);
            if (m_watched && d->window == m_watched && !m_gone) {
                m_gone = true;
                m_goneAt = now;
            }
            break;
        }
        default:
            break;
        }
        std::free(event);
    }
}

PingStats WindowProbe::pingFor(WindowId window, int durationMs, int periodMs, int capMs,
                               const std::function<void()> &between)
{
    PingStats stats;
    if (!m_connection)
        return stats;
    m_pinged = window;
    m_firstSerial = ++m_serial;
    m_sentAt.clear();
    m_answerMs.clear();

    const auto start = SteadyClock::now();
    const auto end = start + std::chrono::milliseconds(durationMs);
    auto next = start;
    while (SteadyClock::now() < end) {
        if (SteadyClock::now() >= next) {
            xcb_client_message_event_t ping{};
            ping.response_type = XCB_CLIENT_MESSAGE;
            ping.format = 32;
            ping.window = uint32_t(window);
            ping.type = m_wmProtocols;
            ping.data.data32[0] = m_ping;
            ping.data.data32[1] = m_firstSerial + uint32_t(m_sentAt.size()); // the ping's number
            ping.data.data32[2] = uint32_t(window);
            // No event mask: the event goes to the client that made the window.
            xcb_send_event(m_connection, 0, uint32_t(window), XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char *>(&ping));
            xcb_flush(m_connection);
            m_sentAt.push_back(SteadyClock::now());
            m_answerMs.push_back(-1.0);
            next += std::chrono::milliseconds(periodMs);
        }
        if (between)
            between();
        pump(std::min(next, end));
    }
    m_serial += uint32_t(m_sentAt.size());

    // The answers still missing, each waited for until its cap.
    const auto lastCap = m_sentAt.empty() ? end : m_sentAt.back() + std::chrono::milliseconds(capMs);
    while (SteadyClock::now() < lastCap &&
           std::any_of(m_answerMs.begin(), m_answerMs.end(), [](double ms) { return ms < 0; }))
        pump(std::min(lastCap, SteadyClock::now() + std::chrono::milliseconds(50)));

    stats.sent = int(m_sentAt.size());
    for (double ms : m_answerMs)
        if (ms >= 0 && ms <= capMs)
            stats.latencies.push_back(ms);
    std::sort(stats.latencies.begin(), stats.latencies.end());
    m_pinged = 0;
    return stats;
}

bool WindowProbe::watch(WindowId window)
{
    if (!m_connection)
        return false;
    m_watched = window;
    m_gone = false;
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_generic_error_t *error = xcb_request_check(
        m_connection,
        xcb_change_window_attributes_checked(m_connection, uint32_t(window), XCB_CW_EVENT_MASK, &mask));
    if (error) {
        std::free(error);
        m_watched = 0;
        return false;
    }
    // Only what happens from here counts.
    pump(SteadyClock::now());
    m_gone = false;
    return true;
}

double WindowProbe::msUntilGone(WindowId window, SteadyClock::time_point since, int ms)
{
    if (!m_connection || window != m_watched)
        return -1.0;
    const auto until = since + std::chrono::milliseconds(ms);
    while (!m_gone && SteadyClock::now() < until)
        pump(until);
    m_watched = 0;
    return m_gone ? msBetween(since, m_goneAt) : -1.0;
}

} // namespace desk
