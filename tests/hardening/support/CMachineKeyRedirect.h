#pragma once
#include "tests/support/CImportHook.h"

#include <windows.h>

#include <string>

// Sends Setup's reads of HKEY_LOCAL_MACHINE "Software\Quorvel" and below (the
// installer-log switches and the debug options) to a key of this process
// under HKEY_CURRENT_USER, so that tests running side by side and the
// machine's own settings never meet. The redirection allocates nothing, so
// that tests can fail the allocations of the code under test.
class CMachineKeyRedirect {
public:
    static constexpr wchar_t kRedirected[] = L"Software\\Quorvel";

    CMachineKeyRedirect();
    CMachineKeyRedirect(const CMachineKeyRedirect&) = delete;
    CMachineKeyRedirect& operator=(const CMachineKeyRedirect&) = delete;
    ~CMachineKeyRedirect();

    // machinePath as Setup names it below HKLM, e.g.
    // L"Software\\Quorvel\\Orvane\\Debug\\DebugOutput". False when it cannot be written.
    bool Set(const std::wstring& machinePath, const wchar_t* name, DWORD type, const void* data, DWORD size) const;
    bool SetNumber(const std::wstring& machinePath, const wchar_t* name, DWORD value) const;
    bool SetString(const std::wstring& machinePath, const wchar_t* name, const std::wstring& text) const;
    // Creates the key (and its parents) with no values.
    bool Create(const std::wstring& machinePath) const;
    // Removes every key and value given so far.
    void Clear() const;

    // The key of a process under HKEY_CURRENT_USER, for clean-up by another.
    static std::wstring KeyOf(DWORD processId);

private:
    static LSTATUS WINAPI Redirect(HKEY parent, LPCWSTR path, DWORD options, REGSAM access, PHKEY result);

    std::wstring m_strKey;
    testing_support::CImportHook m_hook;
};
