#pragma once
#include "ovlib/CWideString.h"
#include "trace/CModuleMap.h"
#include "trace/CTraceSwitches.h"

#include <windows.h>


namespace ovLib {
class CRegistry;
}

namespace ovQvl {

// The machine-wide switches of the diagnostic trace, read from
// HKLM\Software\Quorvel\Orvane\Debug. Each field is named after its registry
// value; a flag is on when non-zero.
class CDebugOptions {
public:
    // Sub-key DebugOutput: what the trace writes, and where.
    struct CDebugOutputGroup : CTraceSwitches {
        DWORD DebugType;
        ovLib::CWideString Directory;
        // Sub-key DebugOutput\Modules: module name -> traces (non-zero) or not.
        CModuleMap Modules;
    };

    CDebugOptions() noexcept;
    virtual ~CDebugOptions() = default;

    void Reset() noexcept;
    // "<base path>\<subKey>" into path.
    bool BuildRegPath(const wchar_t* subKey, ovLib::CWideString& path) noexcept;
    // Starts from the defaults. Absent keys and unreadable single values are
    // not failures; an unreadable module entry is.
    bool Load() noexcept;

    CDebugOutputGroup DebugOutput;

    // Sub-key CrashHandler: carried along, not acted upon.
    DWORD DumpOnNew;
    DWORD TerminateOnNew;
    DWORD ThrowOnNew;
    DWORD DumpOnException;
    DWORD TerminateOnException;
    DWORD DumpOnPurecall;
    DWORD TerminateOnPurecall;
    DWORD DumpOnSecurity;
    DWORD TerminateOnSecurity;
    DWORD DumpOnInvalidParameter;
    DWORD TerminateOnInvalidParameter;
    ovLib::CWideString Directory;
    DWORD DumpType;
    DWORD AppendDateTimeToFile;
    DWORD AppendVersionToFile;

private:
    void ReadCrashHandler(ovLib::CRegistry& reg) noexcept;
    void ReadDebugOutput(ovLib::CRegistry& reg) noexcept;
    bool ReadModules(ovLib::CRegistry& mapReg) noexcept;
};

} // namespace ovQvl
