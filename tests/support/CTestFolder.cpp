#include "tests/support/CTestFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <system_error>

namespace testing_support {

namespace {

std::wstring TempFolder()
{
    wchar_t folder[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) {
        ADD_FAILURE() << "no temporary folder";
        return L"";
    }
    return folder;
}

unsigned NextCount()
{
    static std::atomic<unsigned> s_count{0};
    return ++s_count;
}

} // namespace

// The process id keeps parallel test processes apart, the count the folders
// of one process that live at the same time.
CTestFolder::CTestFolder(const std::wstring& name)
    : m_strPath(TempFolder() + L"setup-tests-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(NextCount()) + (name.empty() ? L"" : L"-" + name))
{
    if (!CreateDirectoryW(m_strPath.c_str(), nullptr))
        ADD_FAILURE() << "cannot create the test folder, error " << GetLastError();
}

CTestFolder::~CTestFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_strPath, ignored);
}

} // namespace testing_support
