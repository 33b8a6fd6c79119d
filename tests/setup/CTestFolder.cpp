#include "tests/setup/CTestFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

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
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((m_path + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((m_path + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(m_path.c_str());
}
