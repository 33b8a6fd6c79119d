#pragma once
#include "ovlib/CWideString.h"

#include <cstdarg>

namespace ovLib {

// Text operations that never throw: a caught allocation or string failure is
// reported with one trace line and turns into false.
class CStringConvert {
public:
    // Replaces target with the formatted text. On false target is unchanged.
    static bool Format(CWideString& target, const wchar_t* format, ...);
    static bool FormatV(CWideString& target, const wchar_t* format, va_list args);

    // Joins with exactly one backslash: the path's trailing and the part's
    // leading backslashes are dropped. A null part counts as empty. On false
    // the path may already have been trimmed.
    static bool AppendPath(CWideString& path, const wchar_t* part);
};

} // namespace ovLib
