#pragma once
#include "tests/e2e/CScopedRegistryKey.h"
#include "tools/winrun/CScopedRegistryValue.h"

#include <memory>
#include <string>
#include <vector>

// A registry key for one test to fill: taken away at the start, so that no
// earlier setting leaks in, and put back as it was at the end, even when the
// test fails. view as in winRun::CRegistryLocation.
class CRegistrySandbox {
public:
    CRegistrySandbox(HKEY root, std::wstring path, REGSAM view = 0);

    // subKey is relative to the sandbox's key; empty for the key itself.
    void Set(const std::wstring& subKey, const std::wstring& name, const winRun::CRegistryValue& value);

private:
    HKEY m_hRoot;
    std::wstring m_strPath;
    REGSAM m_view;
    CScopedRegistryKey m_key;  // declared before the values: put back after they are removed
    std::vector<std::unique_ptr<winRun::CScopedRegistryValue>> m_values;
};
