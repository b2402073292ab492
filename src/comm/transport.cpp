#include "comm/transport.h"

#include <algorithm>

CCommClock::Duration CRealClock::Monotonic() const
{
    return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now().time_since_epoch());
}

CCommClock::Duration CRealClock::Calendar() const
{
    return std::chrono::duration_cast<Duration>(std::chrono::system_clock::now().time_since_epoch());
}

void CTimeLimit::Arm(uint32_t limitMs)
{
    m_start = m_clock->Monotonic();
    m_armed = true;
    m_limitMs = limitMs;
}

bool CTimeLimit::Pending() const
{
    if (!m_armed)
        return true;
    const double elapsedMs = std::chrono::duration<double, std::milli>(m_clock->Monotonic() - m_start).count();
    return !(elapsedMs > double(m_limitMs));
}

int CTimeLimit::RemainingMs() const
{
    if (!m_armed)
        return -1;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_clock->Monotonic() - m_start).count();
    const long long left = (long long)m_limitMs - elapsed + 1;
    return int(std::clamp(left, 1LL, (long long)m_limitMs + 1));
}
