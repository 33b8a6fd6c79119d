#include "ovlib/IsWow64.h"

#include "ovlib/ProcAddress.h"
#include "trace/Trace.h"

namespace ovLib {

namespace {

// Fixed texts that callers and tests read as they are: the numbers in them are not line numbers.
constexpr const wchar_t* kNoKernel = L"ovLib::IsWow64(51) : GetModuleHandle(\"kernel32.dll\") (0x%08X)";

} // namespace

IsWow64ProcessFn Wow64Question(HMODULE kernel) noexcept
{
    return ProcAddress<IsWow64ProcessFn>(kernel, "IsWow64Process");
}

BOOL AskWow64(IsWow64ProcessFn question, BOOL& wow64) noexcept
{
    return question ? question(GetCurrentProcess(), &wow64) : FALSE;
}

bool IsWow64() noexcept
{
    // Already loaded in every process: no reference is taken, none released.
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) {
        TraceError(kNoKernel, GetLastError());
        return false;
    }
    BOOL wow64 = FALSE;
    return AskWow64(Wow64Question(kernel), wow64) == 1 && wow64 == 1;
}

} // namespace ovLib
