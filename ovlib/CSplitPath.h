#pragma once
#include "ovlib/CWideString.h"

namespace ovLib {

// Queries that produce paths.
class CSplitPath {
public:
    // The system directory; a directory that needs more than MAX_PATH
    // characters with its terminator fails. The target is empty after false.
    static bool GetSystemDirectoryW(CWideString& target) noexcept;
};

} // namespace ovLib
