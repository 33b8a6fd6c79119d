#include "probe/CInstallerLog.h"

#include "ovlib/CFolderHandle.h"
#include "ovlib/QueryVersion.h"

// The line format is wvsprintfW's, bounded by its own 1,024-unit limit.
#define STRSAFE_NO_DEPRECATE
#include <strsafe.h>

#include <cstdarg>
#include <cwchar>

wchar_t CInstallerLog::s_szLine[CInstallerLog::kLineUnits];

namespace {

constexpr wchar_t kSwitchKey[] = L"Software\\Quorvel";
constexpr const wchar_t* kSwitchValues[] = {L"DebugLog", L"MsiDebugLog"};
constexpr wchar_t kFilePattern[] = L"QVLMSI%d.log";
constexpr wchar_t kHeader[] = L"Log started at %s on %s.";

constexpr int kPathUnits = MAX_PATH;
constexpr int kClockUnits = 32;

// A value's first four bytes; missing, longer or unreadable data counts as 0.
DWORD ReadSwitch(HKEY key, const wchar_t* name)
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

void FormatDate(const SYSTEMTIME& now, wchar_t (&text)[kClockUnits])
{
    wsprintfW(text, L"%02u/%02u/%02u", now.wMonth, now.wDay, now.wYear % 100u);
}

void FormatTime(const SYSTEMTIME& now, wchar_t (&text)[kClockUnits])
{
    wsprintfW(text, L"%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
}

} // namespace

CInstallerLog::CInstallerLog()
{
    m_dwMode = ReadLogMode();
    if (m_dwMode == 0)
        return;
    if (m_dwMode & LOG_TO_FILE) {
        m_hFile.reset(OpenLogFile(kFilePattern));
        if (!m_hFile)
            m_dwMode = LOG_TO_DEBUGGER;
    }
    WriteHeader();
}

void CInstallerLog::WriteHeader()
{
    SYSTEMTIME now;
    wchar_t date[kClockUnits];
    wchar_t time[kClockUnits];
    // Two readings, the date first: around midnight they may disagree.
    GetLocalTime(&now);
    FormatDate(now, date);
    GetLocalTime(&now);
    FormatTime(now, time);
    Write(kHeader, time, date);
}

DWORD CInstallerLog::ReadLogMode()
{
    ovLib::CRegKeyHandle key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSwitchKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return 0;
    DWORD mode = 0;
    for (const wchar_t* name : kSwitchValues)
        mode |= ReadSwitch(key.get(), name);
    return mode;
}

// No folder, or a path that does not fit, opens nothing: a cut-off path
// could name some other file. The name is opened in the folder held by
// handle, and the file kept only if it is a plain one of its own.
HANDLE CInstallerLog::OpenLogFile(const wchar_t* pattern)
{
    wchar_t path[kPathUnits] = {};
    wchar_t name[kPathUnits];
    const DWORD folderLength = GetLogFolder(kPathUnits, path);
    if (folderLength == 0 || folderLength >= kPathUnits)
        return INVALID_HANDLE_VALUE;
    RemoveTrailingBackslash(path);
    // The folder, a backslash and the name must fit, as one path.
    if (FAILED(StringCchPrintfW(name, kPathUnits, pattern, GetCurrentProcessId())) ||
        std::wcslen(path) + 1 + std::wcslen(name) >= kPathUnits)
        return INVALID_HANDLE_VALUE;

    ovLib::CFolderHandle folder;
    if (!folder.Open(path, ovLib::CFolderHandle::Link::Refused))
        return INVALID_HANDLE_VALUE;
    bool created = false;
    ovLib::CFileHandle file = folder.OpenFile(name, GENERIC_WRITE, FILE_SHARE_READ, created);
    if (file)
        SetFilePointer(file.get(), 0, nullptr, FILE_END);
    return file.release();
}

// On 9x a temporary path that is the current folder goes to the Windows folder instead.
DWORD CInstallerLog::GetLogFolder(DWORD size, wchar_t* buffer)
{
    OSVERSIONINFOW version;
    if (!ovLib::QueryVersion(version))
        return 0;
    const DWORD length = GetTempPathW(size, buffer);
    if (version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS || length == 0 || length >= size)
        return length;
    wchar_t current[kPathUnits];
    const DWORD currentLength = GetCurrentDirectoryW(kPathUnits, current);
    if (currentLength == 0 || currentLength >= kPathUnits || std::wcscmp(current, buffer) != 0)
        return length;
    return GetWindowsDirectoryW(buffer, size);
}

// A drive root such as C:\ keeps its backslash.
bool CInstallerLog::RemoveTrailingBackslash(wchar_t* path)
{
    const size_t length = std::wcslen(path);
    if (length <= 3 || path[length - 1] != L'\\')
        return false;
    path[length - 1] = L'\0';
    return true;
}

void CInstallerLog::Write(const wchar_t* format, ...)
{
    if (m_dwMode == 0)
        return;
    CCriticalSectionLock::CHold hold(m_Lock);

    va_list args;
    va_start(args, format);
    wvsprintfW(s_szLine, format, args);
    va_end(args);

    size_t length = std::wcslen(s_szLine);
    if (length == 0 || s_szLine[length - 1] != L'\n') {
        StringCchCatW(s_szLine, kLineUnits, L"\r\n");
        length = std::wcslen(s_szLine);
    }
    if (m_dwMode & LOG_TO_FILE) {
        DWORD written = 0;
        WriteFile(m_hFile.get(), s_szLine, static_cast<DWORD>(length * sizeof(wchar_t)), &written, nullptr);
    }
    if (m_dwMode & LOG_TO_DEBUGGER)
        OutputDebugStringW(s_szLine);
}
