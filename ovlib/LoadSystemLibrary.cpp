#include "ovlib/LoadSystemLibrary.h"

namespace ovLib {

CLibrary LoadSystemLibrary(const wchar_t* name) noexcept
{
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    // The backslash and the terminator must fit as well.
    if (length == 0 || length + 1 + lstrlenW(name) >= MAX_PATH) {
        if (length != 0)
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return CLibrary();
    }
    path[length] = L'\\';
    lstrcpyW(path + length + 1, name);
    // Its own imports are looked for beside it, in the system directory,
    // instead of beside the program.
    return CLibrary(LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

} // namespace ovLib
