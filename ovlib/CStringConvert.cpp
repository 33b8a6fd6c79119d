#include "ovlib/CStringConvert.h"

#include "ovlib/CCatchInfo.h"

namespace ovLib {

namespace {

// Fixed texts that callers and tests read as they are: the numbers in them are not line numbers.
constexpr CCatchSite kFormatSite = OVLIB_CATCH_SITE(L"ovLib::CStringConvert::FormatV(203)");
constexpr CCatchSite kAppendPathSite = OVLIB_CATCH_SITE(L"ovLib::CStringConvert::AppendPath(283)");

} // namespace

bool CStringConvert::Format(CWideString& target, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const bool result = FormatV(target, format, args);
    va_end(args);
    return result;
}

bool CStringConvert::FormatV(CWideString& target, const wchar_t* format, va_list args)
{
    return CCatchInfo::Run(kFormatSite, [&] { target.FormatV(format, args); });
}

bool CStringConvert::AppendPath(CWideString& path, const wchar_t* part)
{
    return CCatchInfo::Run(kAppendPathSite, [&] {
        CWideString tail(part);
        tail.TrimLeft(L'\\');
        path.TrimRight(L'\\');
        path.AppendChar(L'\\');
        path.Append(tail);
    });
}

} // namespace ovLib
