#include "setup/CSafeDllSearch.h"

#include "ovlib/LoadSystemLibrary.h"
#include "ovlib/ProcAddress.h"

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryWFn = BOOL(WINAPI*)(LPCWSTR);

// The import descriptors name libraries in ASCII.
bool Widen(const char* narrow, wchar_t (&wide)[MAX_PATH]) noexcept
{
    for (int i = 0; i < MAX_PATH; ++i) {
        const unsigned char unit = static_cast<unsigned char>(narrow[i]);
        if (unit >= 0x80)
            return false;
        wide[i] = unit;
        if (unit == 0)
            return true;
    }
    return false;
}

} // namespace

bool CSafeDllSearch::Restrict() noexcept
{
    // Both are looked up: neither exists on every system Setup starts on.
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDefaultDirectories =
        ovLib::ProcAddress<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories");
    if (setDefaultDirectories && setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return true;
    const auto setDllDirectory = ovLib::ProcAddress<SetDllDirectoryWFn>(kernel, "SetDllDirectoryW");
    return setDllDirectory && setDllDirectory(L"");
}

FARPROC WINAPI CSafeDllSearch::OnDelayLoad(unsigned notification, PDelayLoadInfo info) noexcept
{
    if (notification != dliNotePreLoadLibrary)
        return nullptr;
    wchar_t name[MAX_PATH];
    if (info && info->szDll && Widen(info->szDll, name)) {
        if (HMODULE module = ovLib::LoadSystemLibrary(name).release())
            return reinterpret_cast<FARPROC>(module);
    }
    // A null answer would make the helper load the bare name, from wherever
    // the search finds it first: end as the helper ends for a library that
    // cannot be loaded, and never return.
    const ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
    RaiseException(kLoadFailed, EXCEPTION_NONCONTINUABLE, 1, &argument);
    return nullptr;
}
