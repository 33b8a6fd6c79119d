#include "tests/e2e/CClockSpan.h"

namespace {

constexpr ULONGLONG kTicksPerMs = 10000;
constexpr ULONGLONG kTicksPerDay = 24ull * 60 * 60 * 1000 * kTicksPerMs;

// 0 for a stamp that names no real moment, such as month 13.
ULONGLONG Ticks(const SYSTEMTIME& stamp) noexcept
{
    FILETIME time;
    if (!SystemTimeToFileTime(&stamp, &time))
        return 0;
    return (ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

CClockSpan::CClockSpan(const SYSTEMTIME& from, const SYSTEMTIME& to) noexcept
    : m_from(Ticks(from)), m_to(Ticks(to))
{
}

bool CClockSpan::Holds(const SYSTEMTIME& stamp, ULONGLONG slackMs) const noexcept
{
    const ULONGLONG ticks = Ticks(stamp);
    const ULONGLONG slack = slackMs * kTicksPerMs;
    return ticks != 0 && m_from != 0 && ticks + slack >= m_from && ticks <= m_to + slack;
}

SYSTEMTIME CClockSpan::NextDay(const SYSTEMTIME& stamp) noexcept
{
    SYSTEMTIME next = {};
    const ULONGLONG ticks = Ticks(stamp);
    if (ticks == 0)
        return next;
    const ULONGLONG later = ticks + kTicksPerDay;
    const FILETIME time = {static_cast<DWORD>(later), static_cast<DWORD>(later >> 32)};
    FileTimeToSystemTime(&time, &next);
    return next;
}
