#pragma once
#include "tests/support/CImportHook.h"

#include <string>
#include <vector>

// The "ProductSuite" value under HKLM "System\CurrentControlSet\Control\ProductOptions",
// as raw bytes of any type. Every zero-filled LocalAlloc block ends right at
// a no-access page, so reading one byte past an allocation ends the test
// process.
class CFakeProductSuite {
public:
    CFakeProductSuite();
    ~CFakeProductSuite();

    // A multi-string from its items, with the final empty string.
    static std::vector<BYTE> MultiString(const std::vector<std::string>& items);

    bool keyPresent = true;
    bool valuePresent = true;
    DWORD type = REG_MULTI_SZ;
    std::vector<BYTE> data;
    std::string openedKey;
    int blocksLive = 0;

private:
    using OpenFn = LSTATUS(WINAPI*)(HKEY, LPCSTR, PHKEY);
    using QueryFn = LSTATUS(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
    static LSTATUS WINAPI FakeOpen(HKEY root, LPCSTR subKey, PHKEY result);
    static LSTATUS WINAPI FakeQuery(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                    LPDWORD size);
    static HLOCAL WINAPI FakeLocalAlloc(UINT flags, SIZE_T bytes);
    static HLOCAL WINAPI FakeLocalFree(HLOCAL block);

    std::vector<HKEY> m_standIns;
    std::vector<void*> m_pages;
    testing_support::CImportHook m_open;
    testing_support::CImportHook m_query;
    testing_support::CImportHook m_alloc;
    testing_support::CImportHook m_free;
};
