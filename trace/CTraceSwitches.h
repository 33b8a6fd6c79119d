#pragma once
#include <windows.h>

namespace ovQvl {

// The on/off switches of the diagnostic trace, each named after its value in
// the DebugOutput key; on when non-zero. Zero-initialized, all are off.
struct CTraceSwitches {
    DWORD OutputToDebugger;
    DWORD OutputToFile;
    DWORD AppendProcessIdToFile;
    DWORD PrependThreadId;
    DWORD PrependProcessId;
    DWORD PrependDateTime;
    DWORD PrependModuleName;
    DWORD AppendNewLine;
    DWORD PrependType;
    DWORD ExclusiveModules;
};

} // namespace ovQvl
