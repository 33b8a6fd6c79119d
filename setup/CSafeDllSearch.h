#pragma once
#include <windows.h>

#include <delayimp.h>

// Where Setup's libraries come from. Setup is often started from a downloads
// folder, where anyone may have left a DLL named like a system library: only
// the system directory may supply them.
class CSafeDllSearch {
public:
    // Restricts the process's library search to the system directory. Where
    // the system cannot (NT 6.0 without its update), the current folder is
    // dropped from the search instead. False when neither could be done.
    static bool Restrict() noexcept;

    // The delay-load helper's exception for a library that cannot be loaded.
    static constexpr DWORD kLoadFailed = VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND);

    // Notification hook of the delay-load helper: a library bound at first
    // use is loaded by its full path in the system directory, even when the
    // first use comes before Restrict. When that fails it raises kLoadFailed
    // (not continuable) instead of returning. Null leaves every other step to
    // the helper.
    static FARPROC WINAPI OnDelayLoad(unsigned notification, PDelayLoadInfo info) noexcept;
};
