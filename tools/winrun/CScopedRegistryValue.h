#pragma once
#include "tools/winrun/CRegistryValue.h"

#include <optional>

namespace winRun {

// Gives a registry value for the object's lifetime (or, given none, removes
// it) and then puts back what was there before, absence included.
class CScopedRegistryValue {
public:
    CScopedRegistryValue(CRegistryLocation location, const std::optional<CRegistryValue>& value);
    CScopedRegistryValue(const CScopedRegistryValue&) = delete;
    CScopedRegistryValue& operator=(const CScopedRegistryValue&) = delete;
    ~CScopedRegistryValue();

private:
    static void Apply(const CRegistryLocation& location, const std::optional<CRegistryValue>& value);

    CRegistryLocation m_location;
    std::optional<CRegistryValue> m_previous;
};

} // namespace winRun
