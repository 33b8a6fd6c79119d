#include "tests/hardening/support/CMachineKeyRedirect.h"

#include <cwchar>

namespace {

CMachineKeyRedirect* g_active = nullptr;
wchar_t g_key[MAX_PATH];
using OpenFn = LSTATUS(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
OpenFn g_open = nullptr;

bool IsRedirected(HKEY parent, LPCWSTR path)
{
    const std::size_t length = wcslen(CMachineKeyRedirect::kRedirected);
    return parent == HKEY_LOCAL_MACHINE && path && _wcsnicmp(path, CMachineKeyRedirect::kRedirected, length) == 0 &&
           (path[length] == L'\0' || path[length] == L'\\');
}

} // namespace

CMachineKeyRedirect::CMachineKeyRedirect()
    : m_strKey(KeyOf(GetCurrentProcessId())),
      m_hook("advapi32.dll", "RegOpenKeyExW", reinterpret_cast<const void*>(&Redirect))
{
    g_open = m_hook.Original<OpenFn>();
    wcsncpy(g_key, m_strKey.c_str(), MAX_PATH - 1);
    RegDeleteTreeW(HKEY_CURRENT_USER, m_strKey.c_str());
    g_active = this;
}

CMachineKeyRedirect::~CMachineKeyRedirect()
{
    g_active = nullptr;
    RegDeleteTreeW(HKEY_CURRENT_USER, m_strKey.c_str());
}

std::wstring CMachineKeyRedirect::KeyOf(DWORD processId)
{
    return L"Software\\SetupTests\\hardening-" + std::to_wstring(processId);
}

LSTATUS WINAPI CMachineKeyRedirect::Redirect(HKEY parent, LPCWSTR path, DWORD options, REGSAM access, PHKEY result)
{
    if (!g_active || !IsRedirected(parent, path))
        return g_open(parent, path, options, access, result);
    wchar_t redirected[2 * MAX_PATH];
    if (swprintf(redirected, 2 * MAX_PATH, L"%ls\\%ls", g_key, path) < 0)
        return ERROR_FILENAME_EXCED_RANGE;
    return g_open(HKEY_CURRENT_USER, redirected, options, access & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY), result);
}

void CMachineKeyRedirect::Clear() const
{
    RegDeleteTreeW(HKEY_CURRENT_USER, m_strKey.c_str());
}

bool CMachineKeyRedirect::Create(const std::wstring& machinePath) const
{
    HKEY key = nullptr;
    const std::wstring path = m_strKey + L"\\" + machinePath;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool CMachineKeyRedirect::Set(const std::wstring& machinePath, const wchar_t* name, DWORD type, const void* data,
                              DWORD size) const
{
    const std::wstring path = m_strKey + L"\\" + machinePath;
    return Create(machinePath) &&
           RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name, type, data, size) == ERROR_SUCCESS;
}

bool CMachineKeyRedirect::SetNumber(const std::wstring& machinePath, const wchar_t* name, DWORD value) const
{
    return Set(machinePath, name, REG_DWORD, &value, sizeof(value));
}

bool CMachineKeyRedirect::SetString(const std::wstring& machinePath, const wchar_t* name,
                                    const std::wstring& text) const
{
    return Set(machinePath, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
