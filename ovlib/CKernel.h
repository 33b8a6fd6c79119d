#pragma once
#include "ovlib/CModule.h"

namespace ovLib {

// The system's kernel library, loaded by full path from the system directory,
// with the entry points that not every Windows version has. An entry is null
// when the system lacks it or it was not looked up; the three file-system
// redirection entries are looked up only under WOW64.
class CKernel : public CModule {
public:
    // Nothing loaded and every entry null. constexpr so that the process-wide
    // table is usable before any dynamic initialiser runs.
    constexpr CKernel() noexcept = default;
    ~CKernel() override = default;

    // Loads the library, then looks up the entries. True only when both
    // succeeded.
    bool Load(const wchar_t* path) noexcept;
    // With true, looks the entries up in the library held (false when none is
    // held, leaving the table as it was, or when any entry is missing). With
    // false, clears the table.
    bool ResolveEntryPoints(bool resolve) noexcept;
    // Loads KERNEL32.DLL from the system directory. Missing entries do not
    // make it fail.
    bool Create() noexcept;

    decltype(&::SetProcessWorkingSetSize) SetProcessWorkingSetSize = nullptr;
    decltype(&::AttachConsole) AttachConsole = nullptr;
    decltype(&::VerSetConditionMask) VerSetConditionMask = nullptr;
    decltype(&::VerifyVersionInfoA) VerifyVersionInfoA = nullptr;
    decltype(&::VerifyVersionInfoW) VerifyVersionInfoW = nullptr;
    decltype(&::IsWow64Process) IsWow64Process = nullptr;
    decltype(&::Wow64EnableWow64FsRedirection) Wow64EnableWow64FsRedirection = nullptr;
    decltype(&::ProcessIdToSessionId) ProcessIdToSessionId = nullptr;
    decltype(&::WTSGetActiveConsoleSessionId) WTSGetActiveConsoleSessionId = nullptr;
    decltype(&::GetSystemWow64DirectoryW) GetSystemWow64DirectoryW = nullptr;
    decltype(&::GetSystemWow64DirectoryA) GetSystemWow64DirectoryA = nullptr;
    decltype(&::Wow64DisableWow64FsRedirection) Wow64DisableWow64FsRedirection = nullptr;
    decltype(&::Wow64RevertWow64FsRedirection) Wow64RevertWow64FsRedirection = nullptr;

private:
    // Stores the named export (null included) in entry; false when absent.
    template <class Function>
    bool Resolve(Function& entry, const char* name) noexcept
    {
        entry = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProc(name)));
        return entry != nullptr;
    }
};

} // namespace ovLib
