#pragma once
// Sends the debug options' HKLM reads to a CTestKey of this process, so that
// parallel tests and the machine's own settings cannot meet, and records the
// access mask of every key opened. The redirection allocates nothing, so that
// tests can fail chosen allocations of the code under test.
#include "tests/support/CImportHook.h"
#include "tests/trace/CTestKey.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

class CDebugKeyRedirect {
public:
    // Below the test key, the layout of HKLM: Software\Quorvel\Orvane\Debug\...
    static constexpr wchar_t kDebugKey[] = L"Software\\Quorvel\\Orvane\\Debug";

    CDebugKeyRedirect() : m_hook("advapi32.dll", "RegOpenKeyExW", reinterpret_cast<const void*>(&Redirect))
    {
        m_opened.reserve(kMaxOpens);
        s_active = this;
    }
    ~CDebugKeyRedirect() { s_active = nullptr; }

    const CTestKey& Key() const { return m_key; }
    // Path (as asked for) and access mask of every open after construction.
    std::vector<std::pair<std::wstring, REGSAM>> Opened() const
    {
        std::vector<std::pair<std::wstring, REGSAM>> opened;
        for (const COpen& open : m_opened)
            opened.emplace_back(open.path, open.access);
        return opened;
    }

private:
    static constexpr std::size_t kMaxOpens = 256;
    struct COpen {
        wchar_t path[MAX_PATH];
        REGSAM access;
    };

    static LSTATUS WINAPI Redirect(HKEY parent, LPCWSTR path, DWORD options, REGSAM access, PHKEY result)
    {
        CDebugKeyRedirect* self = s_active;
        using OpenFn = LSTATUS(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
        const auto open = self->m_hook.Original<OpenFn>();
        if (self->m_opened.size() < kMaxOpens) {
            COpen record{};
            wcsncpy(record.path, path ? path : L"", MAX_PATH - 1);
            record.access = access;
            self->m_opened.push_back(record);
        }
        const std::size_t prefixLength = wcslen(kDebugKey);
        if (parent == HKEY_LOCAL_MACHINE && path && _wcsnicmp(path, kDebugKey, prefixLength) == 0) {
            wchar_t redirected[2 * MAX_PATH];
            swprintf(redirected, 2 * MAX_PATH, L"%ls\\%ls", self->m_key.Path().c_str(), path);
            return open(HKEY_CURRENT_USER, redirected, options, access & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY),
                        result);
        }
        return open(parent, path, options, access, result);
    }

    static inline CDebugKeyRedirect* s_active = nullptr;

    CTestKey m_key;
    CImportHook m_hook;
    std::vector<COpen> m_opened;
};

} // namespace testing_support
