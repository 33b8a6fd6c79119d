#include "tests/probe/CFakeProductSuite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

CFakeProductSuite* g_active = nullptr;

DWORD PageSize()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

} // namespace

CFakeProductSuite::CFakeProductSuite()
    : m_open("advapi32.dll", "RegOpenKeyA", reinterpret_cast<const void*>(&FakeOpen)),
      m_query("advapi32.dll", "RegQueryValueExA", reinterpret_cast<const void*>(&FakeQuery)),
      m_alloc("kernel32.dll", "LocalAlloc", reinterpret_cast<const void*>(&FakeLocalAlloc)),
      m_free("kernel32.dll", "LocalFree", reinterpret_cast<const void*>(&FakeLocalFree))
{
    g_active = this;
}

CFakeProductSuite::~CFakeProductSuite()
{
    g_active = nullptr;
}

std::vector<BYTE> CFakeProductSuite::MultiString(const std::vector<std::string>& items)
{
    std::vector<BYTE> bytes;
    for (const std::string& item : items) {
        bytes.insert(bytes.end(), item.begin(), item.end());
        bytes.push_back(0);
    }
    bytes.push_back(0);
    return bytes;
}

LSTATUS WINAPI CFakeProductSuite::FakeOpen(HKEY root, LPCSTR subKey, PHKEY result)
{
    CFakeProductSuite& self = *g_active;
    auto original = self.m_open.Original<OpenFn>();
    if (root != HKEY_LOCAL_MACHINE)
        return original(root, subKey, result);
    self.openedKey = subKey ? subKey : "";
    if (!self.keyPresent || self.openedKey != "System\\CurrentControlSet\\Control\\ProductOptions")
        return ERROR_FILE_NOT_FOUND;
    const LSTATUS status = original(HKEY_CURRENT_USER, "Software", result);
    if (status == ERROR_SUCCESS)
        self.m_standIns.push_back(*result);
    return status;
}

LSTATUS WINAPI CFakeProductSuite::FakeQuery(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                            LPDWORD size)
{
    CFakeProductSuite& self = *g_active;
    if (std::find(self.m_standIns.begin(), self.m_standIns.end(), key) == self.m_standIns.end())
        return self.m_query.Original<QueryFn>()(key, name, reserved, type, data, size);
    if (!self.valuePresent || !name || std::strcmp(name, "ProductSuite") != 0)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = self.type;
    const DWORD needed = static_cast<DWORD>(self.data.size());
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed)
        std::memcpy(data, self.data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

HLOCAL WINAPI CFakeProductSuite::FakeLocalAlloc(UINT flags, SIZE_T bytes)
{
    CFakeProductSuite& self = *g_active;
    const DWORD page = PageSize();
    if (!(flags & LMEM_ZEROINIT) || (flags & LMEM_MOVEABLE) || bytes > page)
        return self.m_alloc.Original<decltype(&LocalAlloc)>()(flags, bytes);
    auto* base = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(base + page, page, PAGE_NOACCESS, &old);
    self.m_pages.push_back(base);
    ++self.blocksLive;
    return base + page - bytes;
}

HLOCAL WINAPI CFakeProductSuite::FakeLocalFree(HLOCAL block)
{
    CFakeProductSuite& self = *g_active;
    const DWORD page = PageSize();
    for (auto it = self.m_pages.begin(); it != self.m_pages.end(); ++it) {
        auto* base = static_cast<BYTE*>(*it);
        if (block >= base && block < base + page) {
            VirtualFree(base, 0, MEM_RELEASE);
            self.m_pages.erase(it);
            --self.blocksLive;
            return nullptr;
        }
    }
    return self.m_free.Original<decltype(&LocalFree)>()(block);
}
