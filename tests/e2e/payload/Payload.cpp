// Test payload. The driver tells it through the environment where to report
// and how to end; it reports its id, its own path, its exact command line and
// its current folder, each followed by a NUL, as UTF-16.
#include "ovlib/CUniqueHandle.h"

#include <windows.h>
#include <winver.h>

#include <cstdlib>
#include <string>

#ifndef E2E_PAYLOAD_ID
#error E2E_PAYLOAD_ID names the resource slot this build is for
#endif

namespace {

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    return length < ARRAYSIZE(value) ? std::wstring(value, length) : std::wstring();
}

std::wstring ModulePath()
{
    wchar_t path[MAX_PATH * 2];
    return std::wstring(path, GetModuleFileNameW(nullptr, path, ARRAYSIZE(path)));
}

std::wstring CurrentFolder()
{
    wchar_t folder[MAX_PATH * 2];
    return std::wstring(folder, GetCurrentDirectoryW(ARRAYSIZE(folder), folder));
}

void WriteReport(const std::wstring& reportPath)
{
    std::wstring report;
    for (const std::wstring& field : {std::to_wstring(E2E_PAYLOAD_ID), ModulePath(),
                                      std::wstring(GetCommandLineW()), CurrentFolder()}) {
        report += field;
        report += L'\0';
    }
    ovLib::CFileHandle file(CreateFileW(reportPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file)
        WriteFile(file.get(), report.data(), static_cast<DWORD>(report.size() * sizeof(wchar_t)),
                  &written, nullptr);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // An import of a library that Windows does not map from its KnownDLLs
    // list: one of that name beside the payload would be loaded.
    GetFileVersionInfoSizeW(ModulePath().c_str(), nullptr);
    const std::wstring debugText = Variable(L"E2E_DEBUG_TEXT");
    if (!debugText.empty()) {
        OutputDebugStringW(debugText.c_str());
        OutputDebugStringA(("narrow " + std::to_string(E2E_PAYLOAD_ID)).c_str());
    }
    // The report comes last, so a report proves that the payload was waited for.
    Sleep(std::wcstoul(Variable(L"E2E_SLEEP_MS").c_str(), nullptr, 10));
    const std::wstring reportPath = Variable(L"E2E_REPORT");
    if (!reportPath.empty())
        WriteReport(reportPath);
    // ExitProcess passes every 32-bit value, 0xC0000005 included, bit for bit.
    ExitProcess(std::wcstoul(Variable(L"E2E_EXIT_CODE").c_str(), nullptr, 0));
}
