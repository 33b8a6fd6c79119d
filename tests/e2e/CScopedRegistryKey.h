#pragma once
#include "tools/winrun/CRegistryValue.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Takes a registry key and everything beneath it away for the object's
// lifetime, so that a test starts from no key at all and may create it, and
// then puts back what was there before, absence included. view as in
// winRun::CRegistryLocation. Failures throw std::system_error.
class CScopedRegistryKey {
public:
    CScopedRegistryKey(HKEY root, std::wstring path, REGSAM view = 0);
    CScopedRegistryKey(const CScopedRegistryKey&) = delete;
    CScopedRegistryKey& operator=(const CScopedRegistryKey&) = delete;
    ~CScopedRegistryKey();

    static bool Exists(HKEY root, const std::wstring& path, REGSAM view = 0);

private:
    struct CTree {
        std::vector<std::pair<std::wstring, winRun::CRegistryValue>> values;
        std::vector<std::pair<std::wstring, CTree>> keys;
    };

    static std::optional<CTree> Read(HKEY parent, const std::wstring& path, REGSAM view);
    static void Write(HKEY parent, const std::wstring& path, REGSAM view, const CTree& tree);
    static void Delete(HKEY root, const std::wstring& path, REGSAM view);

    HKEY m_hRoot;
    std::wstring m_strPath;
    REGSAM m_view;
    std::optional<CTree> m_previous;
};
