#pragma once
#include <windows.h>

// Time since a start, on the performance counter.
class CStopwatch {
public:
    CStopwatch() noexcept { Restart(); }

    void Restart() noexcept { QueryPerformanceCounter(&m_start); }
    double ElapsedMs() const noexcept;

private:
    LARGE_INTEGER m_start;
};
