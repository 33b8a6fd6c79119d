#pragma once
// Debug options for trace tests: on at the given threshold, to the debugger
// only, every line as formatted by the caller unless a test switches more on.
#include "trace/CDebugOptions.h"

#include <windows.h>

namespace testing_support {

inline ovQvl::CDebugOptions PlainOptions(DWORD debugType = 1)
{
    ovQvl::CDebugOptions options;
    auto& output = options.DebugOutput;
    output.DebugType = debugType;
    output.OutputToDebugger = 1;
    output.OutputToFile = 0;
    output.AppendProcessIdToFile = 0;
    output.PrependThreadId = 0;
    output.PrependProcessId = 0;
    output.PrependDateTime = 0;
    output.PrependModuleName = 0;
    output.AppendNewLine = 0;
    output.PrependType = 0;
    output.ExclusiveModules = 0;
    return options;
}

} // namespace testing_support
