#include "tools/winrun/CScopedRegistryValue.h"

namespace winRun {

CScopedRegistryValue::CScopedRegistryValue(HKEY root, std::wstring key, std::wstring name,
                                           const std::optional<CRegistryValue>& value)
    : m_hRoot(root),
      m_strKey(std::move(key)),
      m_strName(std::move(name)),
      m_previous(CRegistryValue::Read(m_hRoot, m_strKey, m_strName))
{
    Apply(m_hRoot, m_strKey, m_strName, value);
}

CScopedRegistryValue::~CScopedRegistryValue()
{
    try {
        Apply(m_hRoot, m_strKey, m_strName, m_previous);
    } catch (const std::exception&) {
        // The next user of the value sets it again; nothing better to do here.
    }
}

void CScopedRegistryValue::Apply(HKEY root, const std::wstring& key, const std::wstring& name,
                                 const std::optional<CRegistryValue>& value)
{
    if (value)
        value->Write(root, key, name);
    else
        CRegistryValue::Delete(root, key, name);
}

} // namespace winRun
