#pragma once
#include "ovlib/CCriticalSection.h"
#include "ovlib/CUniqueHandle.h"
#include "ovlib/CWideString.h"
#include "trace/CTraceSwitches.h"

#include <windows.h>

#include <cstdarg>

enum class MessageType : int { Information = 1, Warning = 2, Error = 3 };

// The trace object: filters messages by type, prefixes them and writes each
// as one line to the debugger output and/or a UTF-16 log file
// "<directory>\<module>[-0x<pid>].log". It configures itself on first use and
// never reports its own failures.
class CDebugOutput {
public:
    // A name that cannot be stored stays empty and is filled from the
    // executable's name on first use.
    explicit CDebugOutput(const wchar_t* moduleName) noexcept;
    CDebugOutput(const CDebugOutput&) = delete;
    CDebugOutput& operator=(const CDebugOutput&) = delete;
    virtual ~CDebugOutput() = default;

    void Information(const wchar_t* format, va_list args) noexcept { Trace(MessageType::Information, format, args); }
    void Warning(const wchar_t* format, va_list args) noexcept { Trace(MessageType::Warning, format, args); }
    void Error(const wchar_t* format, va_list args) noexcept { Trace(MessageType::Error, format, args); }

    // Once configured, a rejected message costs the flag test and one
    // comparison. A negative threshold passes every type.
    bool IsEnabled(MessageType type) noexcept
    {
        if (!m_bInitialized)
            Initialize();
        return m_nDebugType != 0 && static_cast<int>(type) >= m_nDebugType;
    }

    void FormatAndOutput(MessageType type, const wchar_t* format, va_list args) noexcept;
    virtual void Output(const ovLib::CWideString& line) noexcept;
    // The one-time configuration; later calls return at once.
    virtual bool Initialize() noexcept;

    // Reopens the file when the directory changed.
    bool SetDirectory(const wchar_t* directory) noexcept;
    // Opens an open file again under its current name.
    bool ReopenFile() noexcept;

protected:
    // Fills an empty module name and directory from the executable's path.
    bool FillDefaults() noexcept;
    // Lock held: (re)opens the file for appending; a new file gets a BOM.
    bool OpenFile() noexcept;

    int m_nDebugType = 0;
    ovLib::CWideString m_strModuleName;
    ovLib::CWideString m_strDirectory;
    ovQvl::CTraceSwitches m_Switches = {};
    ovLib::CFileHandle m_hLogFile;
    // Held while configuring, opening and writing; recursive, because a
    // trace call can come from inside the configuration.
    ovLib::CCriticalSection m_csLock;
    DWORD m_bInitialized = 0;

private:
    void Trace(MessageType type, const wchar_t* format, va_list args) noexcept
    {
        if (IsEnabled(type))
            FormatAndOutput(type, format, args);
    }
    void BuildLine(ovLib::CWideString& line, MessageType type, const wchar_t* format, va_list args) const;
    void WriteToFile(const ovLib::CWideString& line) noexcept;
};
