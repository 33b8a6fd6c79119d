#pragma once
#include "tools/winrun/CRegistryValue.h"

#include <optional>
#include <string>

namespace winRun {

// Gives a registry value for the object's lifetime (or, given none, removes
// it) and then puts back what was there before, absence included.
class CScopedRegistryValue {
public:
    CScopedRegistryValue(HKEY root, std::wstring key, std::wstring name,
                         const std::optional<CRegistryValue>& value);
    CScopedRegistryValue(const CScopedRegistryValue&) = delete;
    CScopedRegistryValue& operator=(const CScopedRegistryValue&) = delete;
    ~CScopedRegistryValue();

private:
    static void Apply(HKEY root, const std::wstring& key, const std::wstring& name,
                      const std::optional<CRegistryValue>& value);

    HKEY m_hRoot;
    std::wstring m_strKey;
    std::wstring m_strName;
    std::optional<CRegistryValue> m_previous;
};

} // namespace winRun
