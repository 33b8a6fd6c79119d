#pragma once
#include "ovlib/CUniqueHandle.h"

#include <windows.h>

// The extracted payload, held open from the check of its bytes until it has
// run: others may read it, but nobody may write, rename or delete it, so the
// program that runs is the one that was checked.
class CHeldPayload {
public:
    // Opens path for reading, shared with readers only, and compares its
    // bytes with resource id of type in module (null: the executable). False
    // when the file cannot be opened or read, or differs; nothing is held then.
    bool Hold(const wchar_t* path, WORD id, const wchar_t* type, HMODULE module) noexcept;
    // Lets the file go, so that it can be deleted.
    void Release() noexcept { m_hFile.reset(); }

private:
    bool Matches(const BYTE* expected, DWORD size) noexcept;

    ovLib::CFileHandle m_hFile;
};
