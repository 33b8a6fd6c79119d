#include "ovlib/IsWow64.h"

#include "ovlib/ProcAddress.h"
#include "trace/Trace.h"

namespace ovLib {

bool IsWow64() noexcept
{
    // Already loaded in every process: no reference is taken, none released.
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) {
        TraceError(L"ovLib::IsWow64(51) : GetModuleHandle(\"kernel32.dll\") (0x%08X)", GetLastError());
        return false;
    }
    const auto isWow64Process = ProcAddress<decltype(&::IsWow64Process)>(kernel, "IsWow64Process");
    if (!isWow64Process)
        return false;
    BOOL wow64 = FALSE;
    return isWow64Process(GetCurrentProcess(), &wow64) == 1 && wow64 == 1;
}

} // namespace ovLib
