#pragma once
#include "ovlib/CUniqueHandle.h"

namespace ovLib {

// Loads the system's own copy of a library by its full path in the system
// directory, so that a library of that name beside the program or in the
// current folder is never the one loaded, nor one named like a library it
// imports. Empty when the path does not fit MAX_PATH or the library cannot be
// loaded (GetLastError says why). Never traces: the probe and the loader's
// hook use it too.
CLibrary LoadSystemLibrary(const wchar_t* name) noexcept;

} // namespace ovLib
