#pragma once
// Fixes the trace's view of the local time (2008-01-15 09:30:05.042) and of
// the process and thread ids while installed. Install it only around trace
// calls: the test framework asks for thread ids of its own.
#include "tests/support/CImportHook.h"

#include <windows.h>

namespace testing_support {

struct FixedIdentity {
    DWORD processId = 0x0A1C;
    DWORD threadId = 0x0B20;
};

class CFixedIdentity {
public:
    explicit CFixedIdentity(FixedIdentity identity = {}) { s_identity = identity; }

private:
    static void WINAPI LocalTime(LPSYSTEMTIME time) { *time = SYSTEMTIME{2008, 1, 2, 15, 9, 30, 5, 42}; }
    static DWORD WINAPI ProcessId() { return s_identity.processId; }
    static DWORD WINAPI ThreadId() { return s_identity.threadId; }

    static inline FixedIdentity s_identity;

    CImportHook m_time{"kernel32.dll", "GetLocalTime", reinterpret_cast<const void*>(&LocalTime)};
    CImportHook m_process{"kernel32.dll", "GetCurrentProcessId", reinterpret_cast<const void*>(&ProcessId)};
    CImportHook m_thread{"kernel32.dll", "GetCurrentThreadId", reinterpret_cast<const void*>(&ThreadId)};
};

} // namespace testing_support
