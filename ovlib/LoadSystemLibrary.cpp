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
    return CLibrary(LoadLibraryW(path));
}

} // namespace ovLib
