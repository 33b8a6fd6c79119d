#include "tests/e2e/CTestPlatform.h"

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
