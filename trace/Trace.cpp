#include "trace/Trace.h"

#include "trace/CRegDebugOutput.h"

#include <cstdarg>

void TraceInfo(const wchar_t* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    g_DebugOutput.Information(format, args);
    va_end(args);
}

void TraceWarning(const wchar_t* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    g_DebugOutput.Warning(format, args);
    va_end(args);
}

void TraceError(const wchar_t* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    g_DebugOutput.Error(format, args);
    va_end(args);
}
