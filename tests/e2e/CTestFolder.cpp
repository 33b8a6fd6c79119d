#include "tests/e2e/CTestFolder.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <system_error>

namespace {

std::wstring DriverTempFolder()
{
    wchar_t folder[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder, length < MAX_PATH ? length : 0);
}

unsigned NextCount()
{
    static std::atomic<unsigned> s_count{0};
    return ++s_count;
}

} // namespace

// The process id keeps parallel test processes apart, the count folders of
// one test that live at the same time.
CTestFolder::CTestFolder(const std::wstring& name)
    : m_strPath(DriverTempFolder() + L"setup-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(NextCount()) + L"-" + name)
{
    std::filesystem::create_directories(m_strPath);
}

CTestFolder::~CTestFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_strPath, ignored);
}
