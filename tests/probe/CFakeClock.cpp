#include "tests/probe/CFakeClock.h"

namespace {
CFakeClock* g_active = nullptr;
}

CFakeClock::CFakeClock()
    : m_hook("kernel32.dll", "GetLocalTime", reinterpret_cast<const void*>(&FakeGetLocalTime))
{
    g_active = this;
}

CFakeClock::~CFakeClock()
{
    g_active = nullptr;
}

void CFakeClock::Queue(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME reading = {};
    reading.wYear = year;
    reading.wMonth = month;
    reading.wDay = day;
    reading.wHour = hour;
    reading.wMinute = minute;
    reading.wSecond = second;
    reading.wMilliseconds = 999;
    readings.push_back(reading);
}

void WINAPI CFakeClock::FakeGetLocalTime(LPSYSTEMTIME now)
{
    CFakeClock& self = *g_active;
    ++self.calls;
    if (self.readings.empty())
        self.Queue(2007, 12, 4, 14, 3, 27);
    *now = self.readings.front();
    if (self.readings.size() > 1)
        self.readings.pop_front();
}
