#pragma once
#include <windows.h>

// A stretch of the local clock, from one reading to a later one, that a time
// stamp written in between must fall into.
class CClockSpan {
public:
    CClockSpan(const SYSTEMTIME& from, const SYSTEMTIME& to) noexcept;

    // slackMs widens the span on both sides, for stamps that are cut to whole
    // seconds or read a moment apart from each other.
    bool Holds(const SYSTEMTIME& stamp, ULONGLONG slackMs) const noexcept;

    // A stamp from a date read just before midnight and a time read just after.
    static SYSTEMTIME NextDay(const SYSTEMTIME& stamp) noexcept;

private:
    ULONGLONG m_from;
    ULONGLONG m_to;
};
