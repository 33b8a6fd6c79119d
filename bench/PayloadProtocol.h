#pragma once
#include <windows.h>

// The clock of the stamps. Declared by the SDK only from Windows 8 on; Wine
// has it whatever version it reports.
extern "C" __declspec(dllimport) void WINAPI GetSystemTimePreciseAsFileTime(FILETIME* now);

// What the benchmark's payload reads from its environment. Every variable is
// optional; with none set the payload ends at once with 0.
namespace benchPayload {

// Name of an event the payload sets as soon as it runs.
constexpr wchar_t kStartedEvent[] = L"BENCH_STARTED";
// Milliseconds the payload sleeps after it has set the started event.
constexpr wchar_t kSleepMs[] = L"BENCH_SLEEP_MS";
// Names of two events: after its sleep the payload sets the first and waits
// (at most kHoldLimitMs) until the second is set, so that the driver can
// sample its parent while the payload still runs.
constexpr wchar_t kSleptEvent[] = L"BENCH_SLEPT";
constexpr wchar_t kReleaseEvent[] = L"BENCH_RELEASE";
constexpr unsigned long kHoldLimitMs = 60000;
// Name of a file mapping that receives, as a FILETIME, the system time
// (GetSystemTimePreciseAsFileTime) taken just before the payload's ExitProcess.
constexpr wchar_t kExitStamp[] = L"BENCH_EXIT_STAMP";
// The same, for the time taken first thing when the payload runs.
constexpr wchar_t kStartStamp[] = L"BENCH_START_STAMP";

} // namespace benchPayload
