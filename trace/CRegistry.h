#pragma once
#include "ovlib/CUniqueHandle.h"
#include "ovlib/CWideString.h"

#include <windows.h>

namespace ovLib {

// Owner of one open registry key. Every operation leaves the Win32 result of
// its last registry call, or a code of its own, in LastError(); unexpected
// conditions are traced. A missing value is never traced.
class CRegistry {
public:
    CRegistry() noexcept = default;
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;
    virtual ~CRegistry() = default;

    // Closes any key held first. The access mask goes through unchanged,
    // view flags included.
    bool Open(HKEY parent, const wchar_t* path, REGSAM access) noexcept;
    // True when the last result is success; on a closed object that is the
    // result of the call before.
    bool Close() noexcept;

    // REG_SZ or REG_EXPAND_SZ (not expanded); the text ends at its first NUL.
    bool GetString(const wchar_t* name, CWideString& out) noexcept;
    // Direct: the data of up to four bytes lands in the destination even when
    // the value turns out not to be a REG_DWORD.
    bool GetNumber(const wchar_t* name, DWORD* destination) noexcept;
    // Staged: out changes only on success.
    bool GetNumber(const wchar_t* name, DWORD& out) noexcept;
    // The name of the value at index; ERROR_NO_MORE_ITEMS past the last one,
    // ERROR_MORE_DATA when the name does not fit capacity characters.
    LONG EnumValue(DWORD index, wchar_t* name, DWORD capacity) noexcept;

    LONG LastError() const noexcept { return m_lError; }
    // The open key, as a parent for Open; null while closed.
    HKEY GetHandle() const noexcept { return m_hKey.get(); }

private:
    CRegKeyHandle m_hKey;
    LONG m_lError = ERROR_SUCCESS;
};

} // namespace ovLib
