#include "tests/e2e/CTestPlatform.h"

#include <cstdlib>

namespace {

// Wine's major version; 0 on Windows.
int WineMajorVersion()
{
    using WineGetVersionFn = const char*(__cdecl*)();
    const auto wineGetVersion = reinterpret_cast<WineGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return wineGetVersion ? std::atoi(wineGetVersion()) : 0;
}

bool IsWine8()
{
    return WineMajorVersion() == 8;
}

} // namespace

bool CTestPlatform::IsWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

const wchar_t* CTestPlatform::PayloadId()
{
    return IsWow64() ? L"146" : L"145";
}

REGSAM CTestPlatform::OtherView()
{
    if (sizeof(void*) == 8)
        return KEY_WOW64_32KEY;
    return IsWow64() ? KEY_WOW64_64KEY : 0;
}

bool CTestPlatform::DebuggerSeesPayload()
{
    return !IsWow64() || IsWine8();
}

bool CTestPlatform::AnswersSessionState()
{
    return !IsWine8();
}
