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
// of one process that live at the same time. A folder of that name left by an
// earlier process with the same id is not shared: the next count is taken.
CTestFolder::CTestFolder(const std::wstring& name)
{
    const std::wstring base = TempFolder() + L"setup-tests-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    const std::wstring suffix = name.empty() ? L"" : L"-" + name;
    for (;;) {
        m_strPath = base + std::to_wstring(NextCount()) + suffix;
        if (CreateDirectoryW(m_strPath.c_str(), nullptr))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    ADD_FAILURE() << "cannot create the test folder, error " << GetLastError();
}

CTestFolder::~CTestFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_strPath, ignored);
}

} // namespace testing_support
