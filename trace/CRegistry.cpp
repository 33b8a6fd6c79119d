#include "trace/CRegistry.h"

#include "ovlib/CCatchInfo.h"
#include "trace/Trace.h"

#include <cwchar>

namespace ovLib {

namespace {

// Fixed texts that callers and tests read as they are: the numbers in them are not line numbers.
constexpr const wchar_t* kKeyMissing =
    L"ovLib::CRegistry::Open(102) : RegOpenKeyEx() != ERROR_SUCCESS, %s, 0x%08X\n";
constexpr const wchar_t* kKeyNotOpened =
    L"ovLib::CRegistry::Open(106) : RegOpenKeyEx() != ERROR_SUCCESS, %s, 0x%08X\n";
constexpr const wchar_t* kNotText = L"ovLib::CRegistry::GetString(269) : dwType != REG_SZ\n";
// A format: its percent sign is doubled.
constexpr const wchar_t* kOddSize = L"ovLib::CRegistry::GetString(277) : dwSize %% sizeof(TCHAR) != 0\n";
constexpr CCatchSite kTextSite = OVLIB_CATCH_SITE(L"ovLib::CRegistry::GetString(304)");
constexpr const wchar_t* kTextNotRead =
    L"ovLib::CRegistry::GetString(298) : RegQueryValueEx() != ERROR_SUCCESS, 0x%08X\n";
constexpr const wchar_t* kNotNumber = L"ovLib::CRegistry::GetNumber(367) : dwType != REG_DWORD\n";

} // namespace

bool CRegistry::Open(HKEY parent, const wchar_t* path, REGSAM access) noexcept
{
    Close();
    HKEY key = nullptr;
    m_lError = RegOpenKeyExW(parent, path, 0, access, &key);
    if (m_lError == ERROR_SUCCESS) {
        m_hKey.reset(key);
        return m_hKey.valid();
    }
    if (m_lError == ERROR_FILE_NOT_FOUND)
        TraceInfo(kKeyMissing, path, m_lError);
    else
        TraceError(kKeyNotOpened, path, m_lError);
    return false;
}

bool CRegistry::Close() noexcept
{
    if (m_hKey)
        m_lError = RegCloseKey(m_hKey.release());
    return m_lError == ERROR_SUCCESS;
}

bool CRegistry::GetString(const wchar_t* name, CWideString& out) noexcept
{
    DWORD type = 0;
    DWORD size = 0;
    m_lError = RegQueryValueExW(m_hKey.get(), name, nullptr, &type, nullptr, &size);
    if (m_lError != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        TraceError(kNotText);
        m_lError = ERROR_INVALID_DATA;
        return false;
    }
    if (size % sizeof(wchar_t) != 0) {
        TraceError(kOddSize);
        m_lError = ERROR_INVALID_DATA;
        return false;
    }

    // One character more than stored, so that a text stored without its
    // terminator still fits.
    size += sizeof(wchar_t);
    const bool nothingCaught = CCatchInfo::Run(kTextSite, [&] {
        wchar_t* buffer = out.GetBuffer(static_cast<int>(size / sizeof(wchar_t)));
        m_lError = RegQueryValueExW(m_hKey.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
        if (m_lError != ERROR_SUCCESS) {
            TraceError(kTextNotRead, m_lError);
            out.Empty();
            return;
        }
        out.ReleaseBuffer(static_cast<int>(wcsnlen(buffer, size / sizeof(wchar_t))));
    });
    if (!nothingCaught)
        m_lError = ERROR_OUTOFMEMORY;
    return m_lError == ERROR_SUCCESS;
}

bool CRegistry::GetNumber(const wchar_t* name, DWORD* destination) noexcept
{
    DWORD type = 0;
    DWORD size = sizeof(DWORD);
    m_lError = RegQueryValueExW(m_hKey.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(destination),
                                &size);
    if (m_lError != ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD) {
        TraceError(kNotNumber);
        m_lError = ERROR_INVALID_DATA;
        return false;
    }
    return true;
}

bool CRegistry::GetNumber(const wchar_t* name, DWORD& out) noexcept
{
    DWORD staged = 0;
    if (!GetNumber(name, &staged))
        return false;
    out = staged;
    return true;
}

LONG CRegistry::EnumValue(DWORD index, wchar_t* name, DWORD capacity) noexcept
{
    DWORD length = capacity;
    m_lError = RegEnumValueW(m_hKey.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    return m_lError;
}

} // namespace ovLib
