#include "tests/hardening/sweep/CSweptFunctions.h"

#include "tests/hardening/support/CImportTable.h"
#include "tests/support/CImportHook.h"

#include <ntsecapi.h>
#include <winternl.h>
#include <wtsapi32.h>

#include <cstring>
#include <type_traits>

namespace {

enum class How {
    Keeps,     // a failed call does nothing
    Releases,  // a failed call still releases what it was given
    LooksUp,   // looked up at run time; a failed call does nothing
};

struct CSlot {
    const char* dll;
    const char* name;
    How how;
    INT_PTR failure;
    DWORD error;
    void* real;
    unsigned calls;
};

struct CSweepState {
    bool armed = false;
    DWORD thread = 0;
    const CSlot* target = nullptr;
    unsigned ordinal = 0;
    bool struck = false;
};
CSweepState g_state;

using GetModuleHandleWFn = HMODULE(WINAPI*)(LPCWSTR);
using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
GetModuleHandleWFn g_realGetModuleHandleW;
GetProcAddressFn g_realGetProcAddress;

// Only the main thread's calls count: the sweep follows Setup's one thread.
bool Strike(CSlot& slot)
{
    if (!g_state.armed || GetCurrentThreadId() != g_state.thread)
        return false;
    ++slot.calls;
    if (&slot != g_state.target || slot.calls != g_state.ordinal)
        return false;
    g_state.struck = true;
    return true;
}

// A looked-up function's real entry, found when first needed: its library
// may be loaded only by the code under test.
void* RealOf(CSlot& slot)
{
    if (!slot.real) {
        // Widened by hand: the conversion call has a fake of its own.
        wchar_t dll[MAX_PATH] = {};
        for (std::size_t i = 0; slot.dll[i] && i + 1 < MAX_PATH; ++i)
            dll[i] = static_cast<wchar_t>(slot.dll[i]);
        slot.real = reinterpret_cast<void*>(g_realGetProcAddress(g_realGetModuleHandleW(dll), slot.name));
    }
    return slot.real;
}

template <class R>
R FailureAs(INT_PTR value)
{
    if constexpr (std::is_pointer_v<R>)
        return reinterpret_cast<R>(value);
    else
        return static_cast<R>(value);
}

template <CSlot* Slot, class F>
struct CFake;

template <CSlot* Slot, class R, class... A>
struct CFake<Slot, R(WINAPI*)(A...)> {
    static R WINAPI Call(A... args)
    {
        using Function = R(WINAPI*)(A...);
        const auto real = reinterpret_cast<Function>(RealOf(*Slot));
        if (!Strike(*Slot))
            return real(args...);
        if (Slot->how == How::Releases)
            real(args...);
        SetLastError(Slot->error);
        if constexpr (!std::is_void_v<R>)
            return FailureAs<R>(Slot->failure);
    }
};

// Not declared for the system version the project builds for.
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// Every function with a fake: where it comes from, what a failed call
// returns, and the error it leaves (registry calls return theirs).
#define SWEPT_IMPORTS(X)                                                                    \
    X(kernel32, CloseHandle, FALSE, ERROR_INVALID_HANDLE, Releases)                         \
    X(kernel32, CreateFileW, INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED, Keeps)              \
    X(kernel32, CreateProcessW, FALSE, ERROR_ACCESS_DISABLED_BY_POLICY, Keeps)              \
    X(kernel32, DeleteFileW, FALSE, ERROR_SHARING_VIOLATION, Keeps)                         \
    X(kernel32, FindClose, FALSE, ERROR_INVALID_HANDLE, Releases)                           \
    X(kernel32, FindFirstFileW, INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED, Keeps)           \
    X(kernel32, FindNextFileW, FALSE, ERROR_ACCESS_DENIED, Keeps)                           \
    X(kernel32, FindResourceW, 0, ERROR_RESOURCE_TYPE_NOT_FOUND, Keeps)                     \
    X(kernel32, FreeLibrary, FALSE, ERROR_INVALID_HANDLE, Releases)                         \
    X(kernel32, GetCurrentDirectoryW, 0, ERROR_ACCESS_DENIED, Keeps)                        \
    X(kernel32, GetExitCodeProcess, FALSE, ERROR_ACCESS_DENIED, Keeps)                      \
    X(kernel32, GetFileInformationByHandle, FALSE, ERROR_ACCESS_DENIED, Keeps)              \
    X(kernel32, GetFileSizeEx, FALSE, ERROR_ACCESS_DENIED, Keeps)                           \
    X(kernel32, GetModuleFileNameW, 0, ERROR_MOD_NOT_FOUND, Keeps)                          \
    X(kernel32, GetModuleHandleA, 0, ERROR_MOD_NOT_FOUND, Keeps)                            \
    X(kernel32, GetModuleHandleW, 0, ERROR_MOD_NOT_FOUND, Keeps)                            \
    X(kernel32, GetProcAddress, 0, ERROR_PROC_NOT_FOUND, Keeps)                             \
    X(kernel32, GetSystemDirectoryW, 0, ERROR_ACCESS_DENIED, Keeps)                         \
    X(kernel32, GetTempPathW, 0, ERROR_ACCESS_DENIED, Keeps)                                \
    X(kernel32, GetVersionExW, FALSE, ERROR_INSUFFICIENT_BUFFER, Keeps)                     \
    X(kernel32, GetWindowsDirectoryW, 0, ERROR_ACCESS_DENIED, Keeps)                        \
    X(kernel32, HeapAlloc, 0, ERROR_NOT_ENOUGH_MEMORY, Keeps)                               \
    X(kernel32, HeapFree, FALSE, ERROR_INVALID_PARAMETER, Releases)                         \
    X(kernel32, HeapReAlloc, 0, ERROR_NOT_ENOUGH_MEMORY, Keeps)                             \
    X(kernel32, InitializeCriticalSectionAndSpinCount, FALSE, ERROR_NOT_ENOUGH_MEMORY, Keeps) \
    X(kernel32, LoadLibraryExW, 0, ERROR_MOD_NOT_FOUND, Keeps)                              \
    X(kernel32, LoadResource, 0, ERROR_NOT_ENOUGH_MEMORY, Keeps)                            \
    X(kernel32, LocalAlloc, 0, ERROR_NOT_ENOUGH_MEMORY, Keeps)                              \
    X(kernel32, LockResource, 0, ERROR_INVALID_HANDLE, Keeps)                               \
    X(kernel32, MultiByteToWideChar, 0, ERROR_NO_UNICODE_TRANSLATION, Keeps)                \
    X(kernel32, ReadFile, FALSE, ERROR_READ_FAULT, Keeps)                                   \
    X(kernel32, SetFilePointer, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK, Keeps)       \
    X(kernel32, SizeofResource, 0, ERROR_RESOURCE_DATA_NOT_FOUND, Keeps)                    \
    X(kernel32, WriteFile, FALSE, ERROR_DISK_FULL, Keeps)                                   \
    X(user32, MessageBoxW, 0, ERROR_NOT_ENOUGH_MEMORY, Keeps)                               \
    X(advapi32, AddAccessAllowedAceEx, FALSE, ERROR_ALLOTTED_SPACE_EXCEEDED, Keeps)         \
    X(advapi32, AllocateAndInitializeSid, FALSE, ERROR_NOT_ENOUGH_MEMORY, Keeps)            \
    X(advapi32, CheckTokenMembership, FALSE, ERROR_NOT_ENOUGH_MEMORY, Keeps)                \
    X(advapi32, EqualSid, FALSE, ERROR_INVALID_SID, Keeps)                                  \
    X(advapi32, GetTokenInformation, FALSE, ERROR_INSUFFICIENT_BUFFER, Keeps)               \
    X(advapi32, InitializeAcl, FALSE, ERROR_INSUFFICIENT_BUFFER, Keeps)                     \
    X(advapi32, InitializeSecurityDescriptor, FALSE, ERROR_INVALID_PARAMETER, Keeps)        \
    X(advapi32, OpenProcessToken, FALSE, ERROR_ACCESS_DENIED, Keeps)                        \
    X(advapi32, RegCloseKey, ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE, Releases)          \
    X(advapi32, RegEnumValueW, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, Keeps)             \
    X(advapi32, RegOpenKeyA, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, Keeps)               \
    X(advapi32, RegOpenKeyExW, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, Keeps)             \
    X(advapi32, RegQueryValueExA, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, Keeps)          \
    X(advapi32, RegQueryValueExW, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, Keeps)          \
    X(advapi32, SetSecurityDescriptorControl, FALSE, ERROR_INVALID_PARAMETER, Keeps)        \
    X(advapi32, SetSecurityDescriptorDacl, FALSE, ERROR_INVALID_SECURITY_DESCR, Keeps)      \
    X(advapi32, SetSecurityDescriptorOwner, FALSE, ERROR_INVALID_SECURITY_DESCR, Keeps)     \
    X(advapi32, SystemFunction036, FALSE, ERROR_GEN_FAILURE, Keeps)                         \

#define SWEPT_LOOK_UPS(X)                                                                             \
    X(kernel32, IsWow64Process, decltype(&::IsWow64Process), FALSE, ERROR_ACCESS_DENIED)              \
    X(kernel32, VerifyVersionInfoA, decltype(&::VerifyVersionInfoA), FALSE, ERROR_OLD_WIN_VERSION)    \
    X(kernel32, VerifyVersionInfoW, decltype(&::VerifyVersionInfoW), FALSE, ERROR_OLD_WIN_VERSION)    \
    X(kernel32, SetDefaultDllDirectories, SetDefaultDllDirectoriesFn, FALSE, ERROR_INVALID_PARAMETER) \
    X(kernel32, SetDllDirectoryW, decltype(&::SetDllDirectoryW), FALSE, ERROR_INVALID_PARAMETER)      \
    X(kernel32, SetProcessWorkingSetSize, decltype(&::SetProcessWorkingSetSize), FALSE,               \
      ERROR_ACCESS_DENIED)                                                                             \
    X(kernel32, AttachConsole, decltype(&::AttachConsole), FALSE, ERROR_ACCESS_DENIED)                \
    X(kernel32, ProcessIdToSessionId, decltype(&::ProcessIdToSessionId), FALSE, ERROR_ACCESS_DENIED)  \
    X(kernel32, WTSGetActiveConsoleSessionId, decltype(&::WTSGetActiveConsoleSessionId), 0xFFFFFFFF,  \
      ERROR_SUCCESS)                                                                                   \
    X(kernel32, GetSystemWow64DirectoryW, decltype(&::GetSystemWow64DirectoryW), 0,                   \
      ERROR_CALL_NOT_IMPLEMENTED)                                                                      \
    X(kernel32, GetSystemWow64DirectoryA, decltype(&::GetSystemWow64DirectoryA), 0,                   \
      ERROR_CALL_NOT_IMPLEMENTED)                                                                      \
    X(kernel32, Wow64EnableWow64FsRedirection, decltype(&::Wow64EnableWow64FsRedirection), FALSE,     \
      ERROR_ACCESS_DENIED)                                                                             \
    X(kernel32, Wow64DisableWow64FsRedirection, decltype(&::Wow64DisableWow64FsRedirection), FALSE,   \
      ERROR_ACCESS_DENIED)                                                                             \
    X(kernel32, Wow64RevertWow64FsRedirection, decltype(&::Wow64RevertWow64FsRedirection), FALSE,     \
      ERROR_ACCESS_DENIED)                                                                             \
    X(kernel32, SetFileInformationByHandle, decltype(&::SetFileInformationByHandle), FALSE,           \
      ERROR_ACCESS_DENIED)                                                                             \
    X(kernel32, GetFinalPathNameByHandleW, decltype(&::GetFinalPathNameByHandleW), 0,                 \
      ERROR_PATH_NOT_FOUND)                                                                            \
    X(ntdll, NtCreateFile, decltype(&::NtCreateFile), 0xC0000022 /* STATUS_ACCESS_DENIED */,          \
      ERROR_ACCESS_DENIED)                                                                             \
    X(wtsapi32, WTSQuerySessionInformationA, decltype(&::WTSQuerySessionInformationA), FALSE,         \
      ERROR_ACCESS_DENIED)

#define DEFINE_IMPORT_SLOT(dll, name, failure, error, how) \
    CSlot g_slot_##name{#dll ".dll", #name, How::how, (INT_PTR)(failure), error, nullptr, 0};
#define DEFINE_LOOK_UP_SLOT(dll, name, type, failure, error) \
    CSlot g_slot_##name{#dll ".dll", #name, How::LooksUp, (INT_PTR)(failure), error, nullptr, 0};
SWEPT_IMPORTS(DEFINE_IMPORT_SLOT)
SWEPT_LOOK_UPS(DEFINE_LOOK_UP_SLOT)

struct CEntry {
    CSlot* slot;
    const void* fake;
};

#define IMPORT_ENTRY(dll, name, failure, error, how) \
    {&g_slot_##name, reinterpret_cast<const void*>(&CFake<&g_slot_##name, decltype(&::name)>::Call)},
#define LOOK_UP_ENTRY(dll, name, type, failure, error) \
    {&g_slot_##name, reinterpret_cast<const void*>(&CFake<&g_slot_##name, type>::Call)},
const CEntry kEntries[] = {SWEPT_IMPORTS(IMPORT_ENTRY) SWEPT_LOOK_UPS(LOOK_UP_ENTRY)};

// Headless, a box returns at once anyway; this one is not even drawn.
int WINAPI NoBox(HWND, LPCWSTR, LPCWSTR, UINT)
{
    return IDOK;
}

const std::vector<CSweptFunctions::CCannotFail> kCannotFail = {
    {"GetCurrentProcess", "a constant pseudo-handle"},
    {"GetCurrentProcessId", "no failure value"},
    {"GetCurrentThreadId", "no failure value"},
    {"GetLastError", "reads the thread's error"},
    {"SetLastError", "returns nothing"},
    {"Sleep", "returns nothing"},
    {"RaiseException", "does not return; raised only when a library cannot come from the system folder"},
    {"GetProcessHeap", "the heap lives as long as the process"},
    {"GetVersion", "no failure value"},
    {"GetSystemInfo", "returns nothing"},
    {"GetLocalTime", "returns nothing"},
    {"OutputDebugStringW", "returns nothing"},
    {"EnterCriticalSection", "returns nothing"},
    {"LeaveCriticalSection", "returns nothing"},
    {"DeleteCriticalSection", "returns nothing"},
    {"InitializeCriticalSection", "returns nothing and cannot fail from NT 6.0 on"},
    {"FreeResource", "does nothing on NT"},
    {"LocalFree", "releases as on success; its pointer result is not read"},
    {"FreeSid", "releases as on success; its pointer result is not read"},
    {"lstrcmpA", "compares"},
    {"lstrcpyW", "copies into a buffer Setup sized"},
    {"lstrlenA", "counts"},
    {"lstrlenW", "counts"},
    {"wsprintfW", "formats into a buffer Setup sized"},
    {"wvsprintfW", "formats into a buffer Setup sized"},
    {"PeekMessageW", "FALSE only says the queue is empty"},
    {"TranslateMessage", "its result says whether a character message was posted"},
    {"DispatchMessageW", "returns what the window procedure returns"},
    {"VerSetConditionMask", "builds a number"},
    {"RtlNtStatusToDosError", "translates a status; it has no failure value"},
    {"WTSFreeMemory", "returns nothing"},
    {"WaitForSingleObject", "fails only for a handle without SYNCHRONIZE access; Setup waits on the process "
                            "handle CreateProcessW gave it, which has all access"},
};

} // namespace

CSweptFunctions::CSweptFunctions()
{
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    g_realGetModuleHandleW = reinterpret_cast<GetModuleHandleWFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetModuleHandleW")));
    g_realGetProcAddress =
        reinterpret_cast<GetProcAddressFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetProcAddress")));

    // Look-ups first: the fake of GetProcAddress itself goes in front of them.
    m_lookUps = std::make_unique<testing_support::CProcAddressHook>();
    for (const CEntry& entry : kEntries) {
        CSlot& slot = *entry.slot;
        slot.calls = 0;
        if (slot.how == How::LooksUp) {
            m_lookUps->Override(slot.name, entry.fake);
            continue;
        }
        const auto dll = CImportTable::DllOf(slot.name);
        if (!dll || *dll != slot.dll)
            continue;
        m_imports.push_back(std::make_unique<testing_support::CImportHook>(slot.dll, slot.name, entry.fake));
        slot.real = m_imports.back()->Original<void*>();
    }
    g_slot_MessageBoxW.real = reinterpret_cast<void*>(&NoBox);
}

CSweptFunctions::~CSweptFunctions()
{
    Disarm();
    m_imports.clear();
    m_lookUps.reset();
}

void CSweptFunctions::Arm(const std::string& function, unsigned ordinal)
{
    g_state = CSweepState{};
    for (const CEntry& entry : kEntries) {
        entry.slot->calls = 0;
        if (function == entry.slot->name)
            g_state.target = entry.slot;
    }
    g_state.ordinal = ordinal;
    g_state.thread = GetCurrentThreadId();
    g_state.armed = true;
}

void CSweptFunctions::Disarm()
{
    g_state.armed = false;
}

std::map<std::string, unsigned> CSweptFunctions::Calls() const
{
    std::map<std::string, unsigned> calls;
    for (const CEntry& entry : kEntries) {
        if (entry.slot->calls)
            calls[entry.slot->name] = entry.slot->calls;
    }
    return calls;
}

bool CSweptFunctions::Struck() const
{
    return g_state.struck;
}

std::string CSweptFunctions::Asked() const
{
    return m_lookUps->Asked();
}

std::vector<std::string> CSweptFunctions::Names()
{
    std::vector<std::string> names;
    for (const CEntry& entry : kEntries)
        names.emplace_back(entry.slot->name);
    return names;
}

const std::vector<CSweptFunctions::CCannotFail>& CSweptFunctions::CannotFail()
{
    return kCannotFail;
}

bool CSweptFunctions::IsKnown(const std::string& name)
{
    for (const CEntry& entry : kEntries) {
        if (name == entry.slot->name)
            return true;
    }
    for (const CCannotFail& function : kCannotFail) {
        if (name == function.name)
            return true;
    }
    return false;
}
