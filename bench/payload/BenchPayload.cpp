// The benchmark's payload. It does only what its environment asks
// (bench/PayloadProtocol.h) and has no C runtime, so that whoever starts it,
// Setup, the minimal launcher or the driver, starts exactly the same work.
#include "bench/PayloadProtocol.h"
#include "ovlib/CUniqueHandle.h"

#include <windows.h>

namespace {

bool Variable(const wchar_t* name, wchar_t (&value)[MAX_PATH])
{
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length != 0 && length < MAX_PATH;
}

DWORD Number(const wchar_t* name)
{
    wchar_t text[MAX_PATH];
    DWORD number = 0;
    if (Variable(name, text)) {
        for (const wchar_t* digit = text; *digit >= L'0' && *digit <= L'9'; ++digit)
            number = number * 10 + static_cast<DWORD>(*digit - L'0');
    }
    return number;
}

HANDLE OpenEventNamedBy(const wchar_t* variable, DWORD access)
{
    wchar_t name[MAX_PATH];
    return Variable(variable, name) ? OpenEventW(access, FALSE, name) : nullptr;
}

void Signal(const wchar_t* variable)
{
    ovLib::CKernelHandle event(OpenEventNamedBy(variable, EVENT_MODIFY_STATE));
    if (event)
        SetEvent(event.get());
}

void HoldUntilReleased()
{
    ovLib::CKernelHandle release(OpenEventNamedBy(benchPayload::kReleaseEvent, SYNCHRONIZE));
    if (!release)
        return;
    Signal(benchPayload::kSleptEvent);
    WaitForSingleObject(release.get(), benchPayload::kHoldLimitMs);
}

// The view and its mapping go with the process.
FILETIME* StampSlot(const wchar_t* variable)
{
    wchar_t name[MAX_PATH];
    if (!Variable(variable, name))
        return nullptr;
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
    return mapping ? static_cast<FILETIME*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(FILETIME)))
                   : nullptr;
}

} // namespace

extern "C" void PayloadEntry()
{
    if (FILETIME* started = StampSlot(benchPayload::kStartStamp))
        GetSystemTimePreciseAsFileTime(started);
    Signal(benchPayload::kStartedEvent);
    if (const DWORD sleepMs = Number(benchPayload::kSleepMs))
        Sleep(sleepMs);
    HoldUntilReleased();
    // Mapped ahead, so that taking the stamp is the last thing before the exit.
    FILETIME* stamp = StampSlot(benchPayload::kExitStamp);
    if (stamp)
        GetSystemTimePreciseAsFileTime(stamp);
    ExitProcess(0);
}
