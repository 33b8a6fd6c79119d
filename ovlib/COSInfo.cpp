#include "ovlib/COSInfo.h"

#include "ovlib/IsWow64.h"
#include "ovlib/QueryVersion.h"
#include "trace/Trace.h"

namespace ovLib {

namespace {

// Fixed texts that callers and tests read as they are: the numbers in them are not line numbers.
constexpr const wchar_t* kNoVersion =
    L"ovLib::COSInfo::InitializeOSInfo(1124) : GetVersionEx() == FALSE, 0x%08X";
constexpr const wchar_t* kNoKernel = L"ovLib::COSInfo::IsWin64(123) : m_Kernel.Create() == false\n";
constexpr const wchar_t* kWow64Failed =
    L"ovLib::COSInfo::IsWin64(132) : m_Kernel.IsWow64Process() == FALSE, 0x%08X\n";

} // namespace

OSVERSIONINFOEXW COSInfo::OSVersion;
SYSTEM_INFO COSInfo::SystemInfo;
bool COSInfo::isWin64;
bool COSInfo::isWin64Known;
bool COSInfo::initialized;

bool COSInfo::InitializeOSInfo() noexcept
{
    if (initialized)
        return true;

    // Systems before the extended record know only the plain one.
    if (!QueryVersion(OSVersion) && !QueryVersion(reinterpret_cast<OSVERSIONINFOW&>(OSVersion)))
        TraceError(kNoVersion, GetLastError());

    ZeroMemory(&SystemInfo, sizeof(SystemInfo));
    GetSystemInfo(&SystemInfo);

    initialized = true;
    return true;
}

bool COSInfo::IsWin64() noexcept
{
    if (isWin64Known)
        return isWin64;

    if (!m_Kernel.IsLoaded() && !m_Kernel.Create()) {
        TraceError(kNoKernel);
        return false;
    }

    BOOL wow64 = FALSE;
    if (m_Kernel.IsWow64Process && !AskWow64(m_Kernel.IsWow64Process, wow64)) {
        TraceError(kWow64Failed, GetLastError());
        isWin64 = false;
        isWin64Known = true;
        return false;
    }
    isWin64 = wow64 == 1;
    isWin64Known = true;
    return isWin64;
}

} // namespace ovLib
