#include "tests/probe/CFakeFolders.h"

#include <gtest/gtest.h>

namespace {

CFakeFolders* g_active = nullptr;

std::wstring MakeTestFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"probe-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(GetTickCount()) + L"\\";
    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << "cannot create the test folder";
    return folder;
}

// The answer of a folder query: the length copied, or the size needed.
DWORD Answer(const std::wstring& text, DWORD size, LPWSTR buffer)
{
    const DWORD length = static_cast<DWORD>(text.size());
    if (length + 1 > size)
        return length + 1;
    text.copy(buffer, length);
    buffer[length] = L'\0';
    return length;
}

} // namespace

CFakeFolders::CFakeFolders()
    : m_folder(MakeTestFolder()),
      m_tempPath("kernel32.dll", "GetTempPathW", reinterpret_cast<const void*>(&FakeGetTempPathW)),
      m_currentDirectory("kernel32.dll", "GetCurrentDirectoryW",
                         reinterpret_cast<const void*>(&FakeGetCurrentDirectoryW)),
      m_windowsDirectory("kernel32.dll", "GetWindowsDirectoryW",
                         reinterpret_cast<const void*>(&FakeGetWindowsDirectoryW)),
      m_createFile("kernel32.dll", "CreateFileW", reinterpret_cast<const void*>(&FakeCreateFileW))
{
    tempPath = m_folder;
    g_active = this;
}

CFakeFolders::~CFakeFolders()
{
    g_active = nullptr;
    for (auto it = m_subfolders.rbegin(); it != m_subfolders.rend(); ++it)
        RemoveTree(*it + L"\\");
    RemoveTree(m_folder);
}

void CFakeFolders::RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

std::wstring CFakeFolders::MakeSubfolder(const std::wstring& name)
{
    std::wstring folder = m_folder + name;
    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << "cannot create a subfolder of " << folder.size()
                                                           << " units";
    m_subfolders.push_back(folder);
    return folder;
}

std::wstring CFakeFolders::LogName() const
{
    return L"QVLMSI" + std::to_wstring(GetCurrentProcessId()) + L".log";
}

std::wstring CFakeFolders::ReadLog(const std::wstring& folder) const
{
    const std::wstring path = folder + LogName();
    HANDLE file = m_createFile.Original<decltype(&CreateFileW)>()(path.c_str(), GENERIC_READ,
                                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return L"<missing>";
    std::wstring text;
    wchar_t chunk[512];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read) {
        EXPECT_EQ(0u, read % sizeof(wchar_t)) << "odd byte count in the log";
        text.append(chunk, read / sizeof(wchar_t));
    }
    CloseHandle(file);
    return text;
}

void CFakeFolders::WriteLog(const std::wstring& folder, const std::wstring& text) const
{
    const std::wstring path = folder + LogName();
    HANDLE file = m_createFile.Original<decltype(&CreateFileW)>()(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

DWORD WINAPI CFakeFolders::FakeGetTempPathW(DWORD size, LPWSTR buffer)
{
    if (!g_active->tempPath) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    return Answer(*g_active->tempPath, size, buffer);
}

DWORD WINAPI CFakeFolders::FakeGetCurrentDirectoryW(DWORD size, LPWSTR buffer)
{
    if (!g_active->currentDirectory)
        return g_active->m_currentDirectory.Original<decltype(&GetCurrentDirectoryW)>()(size, buffer);
    return Answer(*g_active->currentDirectory, size, buffer);
}

UINT WINAPI CFakeFolders::FakeGetWindowsDirectoryW(LPWSTR buffer, UINT size)
{
    if (!g_active->windowsDirectory)
        return g_active->m_windowsDirectory.Original<decltype(&GetWindowsDirectoryW)>()(buffer, size);
    return Answer(*g_active->windowsDirectory, size, buffer);
}

HANDLE WINAPI CFakeFolders::FakeCreateFileW(LPCWSTR path, DWORD access, DWORD share,
                                            LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD attributes,
                                            HANDLE templateFile)
{
    CFakeFolders& self = *g_active;
    self.created.emplace_back(path);
    if (self.refuseCreate) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return self.m_createFile.Original<decltype(&CreateFileW)>()(path, access, share, security, disposition,
                                                                 attributes, templateFile);
}
