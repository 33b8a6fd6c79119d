#pragma once
#include "tests/support/CImportHook.h"

#include <deque>

// GetLocalTime answers the queued readings in turn, then repeats the last;
// with none queued, 2007-12-04 14:03:27.
class CFakeClock {
public:
    CFakeClock();
    ~CFakeClock();

    void Queue(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);

    std::deque<SYSTEMTIME> readings;
    int calls = 0;

private:
    static void WINAPI FakeGetLocalTime(LPSYSTEMTIME now);

    testing_support::CImportHook m_hook;
};
