#pragma once
#include "ovlib/CUniqueHandle.h"

#include <windows.h>

// The bytes of one resource, straight from its module's mapped image, held
// until the reader goes or lets them go.
class CResourceReader {
public:
    // The step that failed, in the order they are taken.
    enum class Step { None, Find, Size, Load, Lock };

    // Finds, sizes, loads and locks resource id of type in module (null: the
    // executable). An empty resource is a failure; nothing after a failed
    // step is tried. What was loaded stays held either way.
    Step Read(WORD id, const wchar_t* type, HMODULE module) noexcept;
    void Release() noexcept { m_hLoaded.reset(); }

    const void* Bytes() const noexcept { return m_pBytes; }
    DWORD Size() const noexcept { return m_dwSize; }

private:
    ovLib::CLoadedResource m_hLoaded;
    const void* m_pBytes = nullptr;
    DWORD m_dwSize = 0;
};
