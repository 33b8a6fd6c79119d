#pragma once
#include "tests/support/CImportHook.h"

#include <optional>
#include <string>
#include <vector>

// The run-time entry points of the Terminal Services checks: the suite test
// of the kernel and ntdll, and the session queries of "wtsapi32.dll", whose
// real system copy is loaded and freed while its two entry points are faked.
// Absent entry points: hooks.Override(name, nullptr).
class CFakeTerminalServices {
public:
    explicit CFakeTerminalServices(testing_support::CProcAddressHook& hooks);
    ~CFakeTerminalServices();

    static constexpr ULONGLONG kConditionMask = 0x5EC0DE;

    // Suite test.
    std::vector<std::string> modulesMissing;  // for GetModuleHandleA
    BOOL verifyResult = 1;
    std::string conditionCall;   // "mask,type,condition" of VerSetConditionMask
    std::string verifyCall;      // "size,suite,typeMask,conditionMask" of VerifyVersionInfoA
    std::vector<std::string> modulesAsked;

    // Sessions.
    bool loadFails = false;
    std::vector<std::wstring> loaded;  // every path given to LoadLibraryExW
    USHORT protocol = 0;
    DWORD state = 0;
    bool protocolQueryFails = false;
    bool stateQueryFails = false;
    // Bytes each answer holds, when fewer than its value's size.
    std::optional<DWORD> protocolBytes;
    std::optional<DWORD> stateBytes;
    std::string queries;  // "class@server/session;" per query
    int answersLive = 0;

private:
    static ULONGLONG WINAPI FakeVerSetConditionMask(ULONGLONG mask, DWORD type, BYTE condition);
    static BOOL WINAPI FakeVerifyVersionInfoA(OSVERSIONINFOEXA* version, DWORD typeMask, DWORDLONG conditions);
    static HMODULE WINAPI FakeGetModuleHandleA(LPCSTR name);
    static HMODULE WINAPI FakeLoadLibraryExW(LPCWSTR path, HANDLE file, DWORD flags);
    static BOOL WINAPI FakeQuery(HANDLE server, DWORD session, DWORD infoClass, LPSTR* answer, DWORD* bytes);
    static void WINAPI FakeFree(void* answer);

    std::vector<void*> m_answers;
    testing_support::CImportHook m_moduleHandle;
    testing_support::CImportHook m_loadLibrary;
};
