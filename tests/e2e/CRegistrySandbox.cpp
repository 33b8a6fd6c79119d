#include "tests/e2e/CRegistrySandbox.h"

CRegistrySandbox::CRegistrySandbox(HKEY root, std::wstring path, REGSAM view)
    : m_hRoot(root), m_strPath(std::move(path)), m_view(view), m_key(root, m_strPath, view)
{
}

void CRegistrySandbox::Set(const std::wstring& subKey, const std::wstring& name,
                           const winRun::CRegistryValue& value)
{
    const std::wstring key = subKey.empty() ? m_strPath : m_strPath + L"\\" + subKey;
    m_values.push_back(std::make_unique<winRun::CScopedRegistryValue>(
        winRun::CRegistryLocation{m_hRoot, key, name, m_view}, value));
}
