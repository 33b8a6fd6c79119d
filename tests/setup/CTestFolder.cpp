#include "tests/setup/CTestFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

CTestFolder::CTestFolder(bool withBlank)
{
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) {
        ADD_FAILURE() << "no temporary folder";
        return;
    }
    static unsigned s_count;
    const std::wstring base = std::wstring(temp) + (withBlank ? L"setup tests " : L"setup-tests-") +
                              std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++s_count);
    if (!CreateDirectoryW(base.c_str(), nullptr))
        ADD_FAILURE() << "cannot create the test folder, error " << GetLastError();
    m_path = base + L"\\";
}

CTestFolder::~CTestFolder()
{
    if (m_path.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}
