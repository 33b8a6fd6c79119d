#include "tools/winrun/CScopedRegistryValue.h"

namespace winRun {

CScopedRegistryValue::CScopedRegistryValue(CRegistryLocation location,
                                           const std::optional<CRegistryValue>& value)
    : m_location(std::move(location)), m_previous(CRegistryValue::Read(m_location))
{
    Apply(m_location, value);
}

CScopedRegistryValue::~CScopedRegistryValue()
{
    try {
        Apply(m_location, m_previous);
    } catch (const std::exception&) {
        // The next user of the value sets it again; nothing better to do here.
    }
}

void CScopedRegistryValue::Apply(const CRegistryLocation& location,
                                 const std::optional<CRegistryValue>& value)
{
    if (value)
        value->Write(location);
    else
        CRegistryValue::Delete(location);
}

} // namespace winRun
