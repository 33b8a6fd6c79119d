#include "probe/CVersionCache.h"

#include "ovlib/CUniqueHandle.h"
#include "ovlib/LoadSystemLibrary.h"
#include "ovlib/ProcAddress.h"
#include "ovlib/QueryVersion.h"

#include <cstring>

BOOL CVersionCache::s_bGathered;
OSVERSIONINFOW CVersionCache::s_VersionInfo;
BOOL CVersionCache::s_bTerminalServices;

namespace {

constexpr char kTerminalServerSuite[] = "Terminal Server";
constexpr char kProductOptionsKey[] = "System\\CurrentControlSet\\Control\\ProductOptions";
constexpr char kProductSuiteValue[] = "ProductSuite";
constexpr wchar_t kWtsLibrary[] = L"wtsapi32.dll";

constexpr DWORD kVerSuiteName = 0x40;
constexpr BYTE kVerAnd = 6;
constexpr WORD kVerSuiteTerminal = 0x10;

// Session queries of the Terminal Services library.
constexpr DWORD kClientProtocolType = 16;
constexpr DWORD kConnectState = 8;
constexpr USHORT kProtocolConsole = 0;
constexpr USHORT kProtocolRemoteDesktop = 2;
constexpr DWORD kStateActive = 0;
const HANDLE kCurrentServer = nullptr;
constexpr DWORD kCurrentSession = 0xFFFFFFFF;

using VerSetConditionMaskFn = ULONGLONG(WINAPI*)(ULONGLONG, DWORD, BYTE);
using VerifyVersionInfoAFn = BOOL(WINAPI*)(OSVERSIONINFOEXA*, DWORD, DWORDLONG);
using WtsQuerySessionInformationFn = BOOL(WINAPI*)(HANDLE, DWORD, DWORD, LPSTR*, DWORD*);
using WtsFreeMemoryFn = void(WINAPI*)(void*);

// One answer of the session query, released through the library's own call.
class CWtsAnswer {
public:
    explicit CWtsAnswer(WtsFreeMemoryFn freeMemory) noexcept : m_freeMemory(freeMemory) {}
    CWtsAnswer(const CWtsAnswer&) = delete;
    CWtsAnswer& operator=(const CWtsAnswer&) = delete;
    ~CWtsAnswer() { Release(); }

    bool Query(WtsQuerySessionInformationFn query, DWORD infoClass) noexcept
    {
        Release();
        m_dwBytes = 0;
        return query(kCurrentServer, kCurrentSession, infoClass, &m_data, &m_dwBytes) != FALSE;
    }

    // False when the system answered fewer bytes than a T: nothing beyond
    // them is read.
    template <class T>
    bool First(T& value) const noexcept
    {
        if (!m_data || m_dwBytes < sizeof(value))
            return false;
        std::memcpy(&value, m_data, sizeof(value));
        return true;
    }

    void Release() noexcept
    {
        if (m_data)
            m_freeMemory(m_data);
        m_data = nullptr;
    }

private:
    WtsFreeMemoryFn m_freeMemory;
    LPSTR m_data = nullptr;
    DWORD m_dwBytes = 0;
};

BOOL VerifyTerminalSuite()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll)
        return FALSE;
    auto setConditionMask = ovLib::ProcAddress<VerSetConditionMaskFn>(ntdll, "VerSetConditionMask");
    if (!setConditionMask)
        return FALSE;
    const ULONGLONG conditions = setConditionMask(0, kVerSuiteName, kVerAnd);

    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (!kernel)
        return FALSE;
    auto verify = ovLib::ProcAddress<VerifyVersionInfoAFn>(kernel, "VerifyVersionInfoA");
    if (!verify)
        return FALSE;
    OSVERSIONINFOEXA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    version.wSuiteMask = kVerSuiteTerminal;
    return verify(&version, kVerSuiteName, conditions) == 1;
}

// Strings of a multi-string that ends after `bytes`, whether or not the data
// carries its terminators: the caller's buffer holds one zero byte beyond it.
bool MultiStringContains(const char* data, DWORD bytes, const char* wanted)
{
    const char* const end = data + bytes;
    for (const char* item = data; item < end && *item; item += lstrlenA(item) + 1) {
        if (lstrcmpA(item, wanted) == 0)
            return true;
    }
    return false;
}

} // namespace

CVersionCache::CVersionCache()
{
    CHold hold(*this);
    if (s_bGathered)
        return;
    ovLib::QueryVersion(s_VersionInfo);
    s_bTerminalServices = IsTerminalServicesInstalled();
    s_bGathered = TRUE;
}

BOOL CVersionCache::IsNtFamily() noexcept
{
    return s_VersionInfo.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

BOOL CVersionCache::IsTerminalServicesInstalled() noexcept
{
    const DWORD version = GetVersion();
    if (version & 0x80000000)
        return FALSE;
    const BYTE major = LOBYTE(LOWORD(version));
    const BYTE minor = HIBYTE(LOWORD(version));
    if (major <= 4)
        return IsProductSuiteInstalled(kTerminalServerSuite);
    if (minor != 0)
        return TRUE;
    return VerifyTerminalSuite();
}

BOOL CVersionCache::IsProductSuiteInstalled(const char* suiteName) noexcept
{
    ovLib::CRegKeyHandle key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kProductOptionsKey, key.put()) != ERROR_SUCCESS)
        return FALSE;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), kProductSuiteValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS ||
        size == 0 || size == MAXDWORD)
        return FALSE;
    ovLib::CLocalMemory buffer(LocalAlloc(LPTR, size + 1));
    if (!buffer)
        return FALSE;
    auto* data = static_cast<BYTE*>(buffer.get());
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), kProductSuiteValue, nullptr, &type, data, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return FALSE;
    return MultiStringContains(reinterpret_cast<const char*>(data), size, suiteName);
}

BOOL CVersionCache::IsInActiveSession() noexcept
{
    if (!IsNtFamily() || !s_bTerminalServices)
        return TRUE;
    ovLib::CLibrary wtsapi = ovLib::LoadSystemLibrary(kWtsLibrary);
    if (!wtsapi)
        return TRUE;
    auto query = ovLib::ProcAddress<WtsQuerySessionInformationFn>(wtsapi.get(), "WTSQuerySessionInformationA");
    auto freeMemory = ovLib::ProcAddress<WtsFreeMemoryFn>(wtsapi.get(), "WTSFreeMemory");
    if (!query || !freeMemory)
        return FALSE;

    CWtsAnswer answer(freeMemory);
    USHORT protocol = 0;
    if (!answer.Query(query, kClientProtocolType) || !answer.First(protocol))
        return FALSE;
    if (protocol != kProtocolConsole && protocol != kProtocolRemoteDesktop)
        return FALSE;
    DWORD state = 0;
    if (!answer.Query(query, kConnectState) || !answer.First(state))
        return FALSE;
    return state == kStateActive;
}

BOOL CVersionCache::IsCurrentUserAdmin() noexcept
{
    if (!IsNtFamily())
        return TRUE;
    ovLib::CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return FALSE;
    union {
        TOKEN_GROUPS groups;
        BYTE bytes[4096];
    } list;
    DWORD length = 0;
    if (!GetTokenInformation(token.get(), TokenGroups, &list, sizeof(list), &length))
        return FALSE;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    ovLib::CSid administrators;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                  0, 0, 0, administrators.put()))
        return FALSE;
    // Deny-only and disabled entries count too: only presence is asked.
    for (DWORD i = 0; i < list.groups.GroupCount; ++i) {
        if (EqualSid(list.groups.Groups[i].Sid, administrators.get()))
            return TRUE;
    }
    return FALSE;
}
