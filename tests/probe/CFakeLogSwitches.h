#pragma once
#include "tests/support/CImportHook.h"

#include <map>
#include <string>
#include <vector>

// The installer-log switches under HKLM "Software\Quorvel", answered without
// touching the machine's registry, which parallel test processes share.
// Opens of other keys and queries of other keys pass through.
class CFakeLogSwitches {
public:
    struct Value {
        DWORD type;
        std::vector<BYTE> data;
    };

    CFakeLogSwitches();
    ~CFakeLogSwitches();

    void Set(const wchar_t* name, DWORD type, std::vector<BYTE> data) { values[name] = {type, std::move(data)}; }
    void SetNumber(const wchar_t* name, DWORD number);

    bool keyPresent = true;
    std::map<std::wstring, Value> values;
    int opens = 0;
    REGSAM access = 0;

private:
    using OpenFn = LSTATUS(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
    using QueryFn = LSTATUS(WINAPI*)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
    static LSTATUS WINAPI FakeOpen(HKEY root, LPCWSTR subKey, DWORD options, REGSAM sam, PHKEY result);
    static LSTATUS WINAPI FakeQuery(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                    LPDWORD size);

    std::vector<HKEY> m_standIns;  // real keys handed out for the switch key, closed by the code
    testing_support::CImportHook m_open;
    testing_support::CImportHook m_query;
};
