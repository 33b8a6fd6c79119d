// The fault sweep's program: a test driver, or, given --sweep-case, one case
// of the sweep in a fresh process.
#include "tests/hardening/sweep/CSweepCase.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kCaseSwitch[] = "--sweep-case=";

// Under Wine an unhandled crash can end the process with 0, which would pass.
LONG WINAPI TerminateWithExceptionCode(EXCEPTION_POINTERS* pointers)
{
    TerminateProcess(GetCurrentProcess(), pointers->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

std::wstring TemporaryFolder()
{
    wchar_t folder[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"TMP", folder, MAX_PATH);
    return length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

// "Function:ordinal"; an empty function counts calls.
int RunCase(const std::string& request)
{
    const std::size_t colon = request.rfind(':');
    if (colon == std::string::npos)
        return 2;
    const unsigned ordinal = static_cast<unsigned>(std::strtoul(request.c_str() + colon + 1, nullptr, 10));
    return CSweepCase(request.substr(0, colon), ordinal, TemporaryFolder()).Run();
}

} // namespace

int main(int argc, char** argv)
{
    SetUnhandledExceptionFilter(TerminateWithExceptionCode);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kCaseSwitch, sizeof(kCaseSwitch) - 1) == 0)
            return RunCase(argv[i] + sizeof(kCaseSwitch) - 1);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
