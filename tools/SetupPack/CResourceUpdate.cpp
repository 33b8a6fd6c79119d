#include "tools/SetupPack/CResourceUpdate.h"

bool CResourceUpdate::Begin(const std::wstring& path)
{
    m_hUpdate.reset(BeginUpdateResourceW(path.c_str(), FALSE));
    return m_hUpdate.valid();
}

bool CResourceUpdate::Replace(const wchar_t* type, WORD id, WORD language,
                              const std::vector<std::uint8_t>& bytes)
{
    return UpdateResourceW(m_hUpdate.get(), type, MAKEINTRESOURCEW(id), language,
                           const_cast<std::uint8_t*>(bytes.data()), static_cast<DWORD>(bytes.size()));
}

bool CResourceUpdate::Commit()
{
    return EndUpdateResourceW(m_hUpdate.release(), FALSE);
}
