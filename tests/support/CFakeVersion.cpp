#include "tests/support/CFakeVersion.h"

namespace testing_support {

namespace {
CFakeVersion* g_active = nullptr;
}

CFakeVersion::CFakeVersion(const FakeVersionRecord& record, Packed packed)
    : record(record), m_versionEx("kernel32.dll", "GetVersionExW", reinterpret_cast<const void*>(&FakeGetVersionExW))
{
    if (packed == Packed::FromRecord)
        m_version.emplace("kernel32.dll", "GetVersion", reinterpret_cast<const void*>(&FakeGetVersion));
    g_active = this;
}

CFakeVersion::~CFakeVersion()
{
    g_active = nullptr;
}

BOOL WINAPI CFakeVersion::FakeGetVersionExW(OSVERSIONINFOW* version)
{
    CFakeVersion& self = *g_active;
    const DWORD size = version->dwOSVersionInfoSize;
    self.sizes.push_back(size);
    const bool extended = size == sizeof(OSVERSIONINFOEXW);
    if ((size != sizeof(OSVERSIONINFOW) && !extended) || self.queryFails ||
        (extended && self.extendedQueryFails)) {
        SetLastError(self.refusal);
        return FALSE;
    }
    const FakeVersionRecord& r = self.record;
    version->dwPlatformId = r.platformId;
    version->dwMajorVersion = r.major;
    version->dwMinorVersion = r.minor;
    version->dwBuildNumber = 1234;
    if (extended) {
        auto* ex = reinterpret_cast<OSVERSIONINFOEXW*>(version);
        ex->wServicePackMajor = r.spMajor;
        ex->wServicePackMinor = r.spMinor;
        ex->wProductType = r.productType;
    }
    return TRUE;
}

DWORD WINAPI CFakeVersion::FakeGetVersion()
{
    const FakeVersionRecord& r = g_active->record;
    const DWORD family = r.platformId == VER_PLATFORM_WIN32_NT ? 0 : 0x80000000;
    return family | (1234u << 16) | (r.minor << 8) | r.major;
}

} // namespace testing_support
