#include "probe/CPlatformFacts.h"

#include "ovlib/CUniqueHandle.h"
#include "ovlib/IsWow64.h"
#include "ovlib/LoadSystemLibrary.h"
#include "ovlib/QueryVersion.h"
#include "probe/CInstallerLog.h"
#include "probe/CVersionCache.h"

#include <cstddef>

BOOL CPlatformFacts::m_bInitialized;
DWORD CPlatformFacts::m_dwPlatformFlags;
WORD CPlatformFacts::m_wServicePackMajor;
WORD CPlatformFacts::m_wServicePackMinor;
BOOL CPlatformFacts::m_bServer;
BOOL CPlatformFacts::m_bWow64;
BOOL CPlatformFacts::m_bTerminalServices;
BOOL CPlatformFacts::m_bActiveSession;
BOOL CPlatformFacts::m_bAdministrator;

namespace {

struct VersionBit {
    DWORD major;
    DWORD minor;
    DWORD bit;
};

constexpr VersionBit kNtVersions[] = {
    {3, 51, 0x0001}, {4, 0, 0x0002}, {5, 0, 0x0004}, {5, 1, 0x0008}, {5, 2, 0x0010}, {6, 0, 0x0020},
};
constexpr VersionBit k9xVersions[] = {{4, 0, 0x0001}, {4, 10, 0x0002}, {4, 90, 0x0004}};

template <std::size_t N>
DWORD VersionBitOf(const VersionBit (&table)[N], const OSVERSIONINFOW& version)
{
    for (const VersionBit& row : table) {
        if (row.major == version.dwMajorVersion && row.minor == version.dwMinorVersion)
            return row.bit;
    }
    return 0;
}

} // namespace

DWORD CPlatformFacts::FlagsFor(const OSVERSIONINFOW& version)
{
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT:
        return PLATFORM_NT | VersionBitOf(kNtVersions, version);
    case VER_PLATFORM_WIN32_WINDOWS:
        return PLATFORM_9X | VersionBitOf(k9xVersions, version);
    default:
        return 0;
    }
}

void CPlatformFacts::Initialize()
{
    if (m_bInitialized)
        return;
    CVersionCache cache;
    m_bTerminalServices = CVersionCache::HasTerminalServices();
    m_bActiveSession = CVersionCache::IsInActiveSession();
    m_bAdministrator = CVersionCache::IsCurrentUserAdmin();

    DWORD major = 0;
    DWORD minor = 0;
    ReadPlatformFlags(major, minor);
    ReadServicePack();
    ReadWow64();
    m_bInitialized = TRUE;

    CInstallerLog log;
    WriteReport(log, major, minor);
}

void CPlatformFacts::WriteReport(CInstallerLog& log, DWORD major, DWORD minor)
{
    const bool nt = (m_dwPlatformFlags & PLATFORM_NT) != 0;
    log.Write(L"OS Info: %s %d.%d (%x)", nt ? L"NT" : L"9x", major, minor, m_dwPlatformFlags);
    if (m_bServer)
        log.Write(L"NT Server");
    if (m_wServicePackMajor || m_wServicePackMinor)
        log.Write(L"Service Pack: %d.%d", m_wServicePackMajor, m_wServicePackMinor);
    if (m_bTerminalServices)
        log.Write(L"Terminal Services are installed");
    if (m_bTerminalServices && m_bActiveSession)
        log.Write(L"In Active Session");
    if (nt && m_bAdministrator)
        log.Write(L"Current User is Administrator");
}

void CPlatformFacts::ReadPlatformFlags(DWORD& major, DWORD& minor)
{
    OSVERSIONINFOW version;
    if (!ovLib::QueryVersion(version))
        return;
    m_dwPlatformFlags |= FlagsFor(version);
    major = version.dwMajorVersion;
    minor = version.dwMinorVersion;
}

// Only NT 4.0 and the later listed versions have a service pack worth reading.
void CPlatformFacts::ReadServicePack()
{
    if (!IsAtLeast(0xFFFF, 2, 0, 0))
        return;
    OSVERSIONINFOEXW version;
    if (!ovLib::QueryVersion(version))
        return;
    m_wServicePackMajor = version.wServicePackMajor;
    m_wServicePackMinor = version.wServicePackMinor;
    if (version.wProductType != VER_NT_WORKSTATION)
        m_bServer = TRUE;
}

void CPlatformFacts::ReadWow64()
{
    // The system's own copy, never one planted beside Setup or in its current folder.
    ovLib::CLibrary kernel = ovLib::LoadSystemLibrary(L"KERNEL32.DLL");
    if (!kernel)
        return;
    if (ovLib::AskWow64(ovLib::Wow64Question(kernel.get()), m_bWow64) != 1)
        m_bWow64 = FALSE;
}

BOOL CPlatformFacts::IsAtLeast(DWORD win9xMask, DWORD ntMask, WORD spMajor, WORD spMinor) const
{
    const DWORD flags = m_dwPlatformFlags;
    if (!(flags & PLATFORM_NT)) {
        if (!(flags & PLATFORM_9X))
            return FALSE;
        return (win9xMask | PLATFORM_9X) <= flags;
    }
    const DWORD requested = ntMask | PLATFORM_NT;
    if (requested != flags)
        return requested < flags;
    if (spMajor != m_wServicePackMajor)
        return spMajor < m_wServicePackMajor;
    return spMinor <= m_wServicePackMinor;
}
