#include "tests/probe/CFakeLogSwitches.h"

#include <algorithm>
#include <cstring>

namespace {
CFakeLogSwitches* g_active = nullptr;
}

CFakeLogSwitches::CFakeLogSwitches()
    : m_open("advapi32.dll", "RegOpenKeyExW", reinterpret_cast<const void*>(&FakeOpen)),
      m_query("advapi32.dll", "RegQueryValueExW", reinterpret_cast<const void*>(&FakeQuery))
{
    g_active = this;
}

CFakeLogSwitches::~CFakeLogSwitches()
{
    g_active = nullptr;
}

void CFakeLogSwitches::SetNumber(const wchar_t* name, DWORD number)
{
    std::vector<BYTE> data(sizeof(number));
    std::memcpy(data.data(), &number, sizeof(number));
    Set(name, REG_DWORD, std::move(data));
}

LSTATUS WINAPI CFakeLogSwitches::FakeOpen(HKEY root, LPCWSTR subKey, DWORD options, REGSAM sam, PHKEY result)
{
    CFakeLogSwitches& self = *g_active;
    auto original = self.m_open.Original<OpenFn>();
    if (root != HKEY_LOCAL_MACHINE || !subKey || std::wcscmp(subKey, L"Software\\Quorvel") != 0)
        return original(root, subKey, options, sam, result);
    ++self.opens;
    self.access = sam;
    if (!self.keyPresent)
        return ERROR_FILE_NOT_FOUND;
    const LSTATUS status = original(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, result);
    if (status == ERROR_SUCCESS)
        self.m_standIns.push_back(*result);
    return status;
}

// Like the registry: data that does not fit leaves the buffer undefined
// (here: scribbled over) and reports the size it needs.
LSTATUS WINAPI CFakeLogSwitches::FakeQuery(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                           LPDWORD size)
{
    CFakeLogSwitches& self = *g_active;
    if (std::find(self.m_standIns.begin(), self.m_standIns.end(), key) == self.m_standIns.end())
        return self.m_query.Original<QueryFn>()(key, name, reserved, type, data, size);
    auto found = self.values.find(name ? name : L"");
    if (found == self.values.end())
        return ERROR_FILE_NOT_FOUND;
    const Value& value = found->second;
    if (type)
        *type = value.type;
    const DWORD needed = static_cast<DWORD>(value.data.size());
    if (data && size && *size < needed) {
        std::memset(data, 0xA5, *size);
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed)
        std::memcpy(data, value.data.data(), needed);
    if (size)
        *size = needed;
    return ERROR_SUCCESS;
}
