#pragma once
#include "ovlib/CUniqueHandle.h"
#include "probe/CCriticalSectionLock.h"

// The installer's own small log: switched on by the machine's registry, one
// UTF-16 file per process in the temporary folder and/or the debugger output.
// It never fails outward; a log that cannot open its file goes on as
// debugger output alone.
class CInstallerLog {
public:
    static constexpr DWORD LOG_TO_FILE = 0x1;
    static constexpr DWORD LOG_TO_DEBUGGER = 0x4;

    CInstallerLog();
    CInstallerLog(const CInstallerLog&) = delete;
    CInstallerLog& operator=(const CInstallerLog&) = delete;
    ~CInstallerLog() = default;

    // wvsprintfW formatting; a line end is added unless the text ends in one.
    void Write(const wchar_t* format, ...);

private:
    static constexpr int kLineUnits = 2048;

    static DWORD ReadLogMode();
    static HANDLE OpenLogFile(const wchar_t* pattern);
    static DWORD GetLogFolder(DWORD size, wchar_t* buffer);
    static bool RemoveTrailingBackslash(wchar_t* path);
    void WriteHeader();

    static wchar_t s_szLine[kLineUnits];

    DWORD m_dwMode = 0;
    CCriticalSectionLock m_Lock;
    ovLib::CFileHandle m_hFile;  // declared after the lock: closed before it is deleted
};
