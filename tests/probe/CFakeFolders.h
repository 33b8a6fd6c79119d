#pragma once
#include "tests/support/CImportHook.h"

#include <optional>
#include <string>
#include <vector>

// A fresh folder of this test as the temporary folder, with the folder
// queries and file creation under the test's control. The folder and the
// files in it are removed afterwards.
class CFakeFolders {
public:
    CFakeFolders();
    ~CFakeFolders();

    // The real folder, with a trailing backslash.
    const std::wstring& Folder() const { return m_folder; }
    // Its own subfolder, created, without a trailing backslash.
    std::wstring MakeSubfolder(const std::wstring& name);
    std::wstring LogName() const;
    // The log file's bytes as UTF-16 units; "<missing>" when there is none.
    std::wstring ReadLog(const std::wstring& folder) const;
    std::wstring ReadLog() const { return ReadLog(m_folder); }
    void WriteLog(const std::wstring& folder, const std::wstring& text) const;

    std::optional<std::wstring> tempPath;  // nullopt: GetTempPathW fails
    std::optional<std::wstring> currentDirectory;  // nullopt: the real one
    std::optional<std::wstring> windowsDirectory;  // nullopt: the real one
    bool refuseCreate = false;
    std::vector<std::wstring> created;  // every path given to CreateFileW

private:
    static DWORD WINAPI FakeGetTempPathW(DWORD size, LPWSTR buffer);
    static DWORD WINAPI FakeGetCurrentDirectoryW(DWORD size, LPWSTR buffer);
    static UINT WINAPI FakeGetWindowsDirectoryW(LPWSTR buffer, UINT size);
    static HANDLE WINAPI FakeCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                         DWORD disposition, DWORD attributes, HANDLE templateFile);
    void RemoveTree(const std::wstring& folder);

    std::wstring m_folder;
    std::vector<std::wstring> m_subfolders;
    testing_support::CImportHook m_tempPath;
    testing_support::CImportHook m_currentDirectory;
    testing_support::CImportHook m_windowsDirectory;
    testing_support::CImportHook m_createFile;
};
