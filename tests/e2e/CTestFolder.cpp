#include "tests/e2e/CTestFolder.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

namespace {

std::wstring DriverTempFolder()
{
    wchar_t folder[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder, length < MAX_PATH ? length : 0);
}

} // namespace

// The process id keeps parallel test processes apart.
CTestFolder::CTestFolder(const std::wstring& name)
    : m_strPath(DriverTempFolder() + L"setup-e2e-" + std::to_wstring(GetCurrentProcessId()) +
                L"-" + name)
{
    std::filesystem::create_directories(m_strPath);
}

CTestFolder::~CTestFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_strPath, ignored);
}
