// Built as another "Setup.exe", so that Wine gives it the Windows version the
// driver sets for Setup. It asks the system the questions whose answers an
// installer log report rests on, each with the inputs the probe uses, and
// writes the raw answers as "name=number" lines to the file named by E2E_ANSWERS.
#include "ovlib/CUniqueHandle.h"
#include "ovlib/ProcAddress.h"

#include <windows.h>
#include <wtsapi32.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::ofstream g_out;

void Answer(const char* name, unsigned long value)
{
    g_out << name << '=' << value << '\n';
}

void AskVersion()
{
    OSVERSIONINFOW basic = {};
    basic.dwOSVersionInfoSize = sizeof(basic);
    Answer("versionQuery", GetVersionExW(&basic) ? 1 : 0);
    Answer("platformId", basic.dwPlatformId);
    Answer("major", basic.dwMajorVersion);
    Answer("minor", basic.dwMinorVersion);

    OSVERSIONINFOEXW extended = {};
    extended.dwOSVersionInfoSize = sizeof(extended);
    Answer("extendedQuery", GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended)) ? 1 : 0);
    Answer("servicePackMajor", extended.wServicePackMajor);
    Answer("servicePackMinor", extended.wServicePackMinor);
    Answer("productType", extended.wProductType);
    Answer("suiteMask", extended.wSuiteMask);

    Answer("packedVersion", GetVersion());
}

// VerifyVersionInfoA asked whether the terminal suite bit is set, as the probe asks it.
void AskTerminalSuite()
{
    using SetMaskFn = ULONGLONG(WINAPI*)(ULONGLONG, DWORD, BYTE);
    using VerifyFn = BOOL(WINAPI*)(OSVERSIONINFOEXA*, DWORD, DWORDLONG);
    auto setMask = ovLib::ProcAddress<SetMaskFn>(GetModuleHandleA("ntdll.dll"), "VerSetConditionMask");
    auto verify = ovLib::ProcAddress<VerifyFn>(GetModuleHandleA("KERNEL32.DLL"), "VerifyVersionInfoA");
    Answer("terminalSuiteCalls", setMask && verify ? 1 : 0);
    if (!setMask || !verify)
        return;
    OSVERSIONINFOEXA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    version.wSuiteMask = VER_SUITE_TERMINAL;
    Answer("terminalSuiteVerified", verify(&version, VER_SUITENAME, setMask(0, VER_SUITENAME, VER_AND)));
}

// The product suites as a list; whether "Terminal Server" is among them is the driver's question.
void AskProductSuites()
{
    ovLib::CRegKeyHandle key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\ProductOptions", key.put()) !=
        ERROR_SUCCESS) {
        Answer("productSuiteType", REG_NONE);
        return;
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    RegQueryValueExA(key.get(), "ProductSuite", nullptr, &type, nullptr, &size);
    std::vector<char> data(size + 2, '\0');
    if (RegQueryValueExA(key.get(), "ProductSuite", nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS)
        type = REG_NONE;
    Answer("productSuiteType", type);
    unsigned long terminalServer = 0;
    for (const char* item = data.data(); *item; item += std::strlen(item) + 1)
        terminalServer |= std::strcmp(item, "Terminal Server") == 0;
    Answer("productSuiteTerminalServer", terminalServer);
}

void AskSession()
{
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    ovLib::CLibrary wtsapi(LoadLibraryW((std::wstring(path, length) + L"\\wtsapi32.dll").c_str()));
    Answer("wtsLoaded", wtsapi ? 1 : 0);
    if (!wtsapi)
        return;
    using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, DWORD, LPSTR*, DWORD*);
    using FreeFn = void(WINAPI*)(void*);
    auto query = ovLib::ProcAddress<QueryFn>(wtsapi.get(), "WTSQuerySessionInformationA");
    auto freeMemory = ovLib::ProcAddress<FreeFn>(wtsapi.get(), "WTSFreeMemory");
    Answer("wtsCalls", query && freeMemory ? 1 : 0);
    if (!query || !freeMemory)
        return;
    const auto ask = [&](const char* okName, const char* valueName, DWORD infoClass, std::size_t width) {
        LPSTR data = nullptr;
        DWORD bytes = 0;
        const BOOL ok = query(nullptr, WTS_CURRENT_SESSION, infoClass, &data, &bytes);
        Answer(okName, ok ? 1 : 0);
        if (!ok)
            return;
        unsigned long value = 0;
        std::memcpy(&value, data, width);
        Answer(valueName, value);
        freeMemory(data);
    };
    ask("protocolQuery", "protocol", WTSClientProtocolType, sizeof(USHORT));
    ask("connectStateQuery", "connectState", WTSConnectState, sizeof(DWORD));
}

// Present in the token's group list at all, whatever its attributes.
void AskAdministrators()
{
    ovLib::CKernelHandle token;
    std::vector<BYTE> groups(4096);
    DWORD length = 0;
    const bool listed = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
                        GetTokenInformation(token.get(), TokenGroups, groups.data(),
                                            static_cast<DWORD>(groups.size()), &length);
    Answer("groupsRead", listed ? 1 : 0);
    if (!listed)
        return;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    ovLib::CSid administrators;
    AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                             0, administrators.put());
    const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
    unsigned long found = 0;
    for (DWORD i = 0; i < list->GroupCount && administrators; ++i)
        found |= EqualSid(list->Groups[i].Sid, administrators.get()) ? 1 : 0;
    Answer("administratorsInToken", found);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t path[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableW(L"E2E_ANSWERS", path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path))
        return 1;
    g_out.open(std::filesystem::path(std::wstring(path, length)));
    AskVersion();
    AskTerminalSuite();
    AskProductSuites();
    AskSession();
    AskAdministrators();
    return g_out ? 0 : 2;
}
